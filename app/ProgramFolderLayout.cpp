#include "app/ProgramFolderLayout.h"

#include "model/Settings.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {

bool fail(const QString& message, QString* error)
{
    if (error)
        *error = message;
    return false;
}

bool writeDefaultSettings(const QString& path, QString* error)
{
    if (QFile::exists(path))
        return true;
    // No "Wizard7Complete": the first start runs the first-run wizard.
    const SettingsFile file(path);
    namespace K = SettingKeys;
    const std::pair<SettingKey, QString> values[] = {{K::Dock, QStringLiteral("No")},
                                                     {K::RememberTabs, QStringLiteral("Yes")},
                                                     {K::Maximized, QStringLiteral("No")},
                                                     {K::StopServices, QStringLiteral("False")},
                                                     {K::PackageURL, QString()},
                                                     {K::EnableUpdates, QStringLiteral("No")},
                                                     {K::UpdateURL, QString()},
                                                     {K::Version, QStringLiteral("7.0")},
                                                     {K::CompatDrive, QString()},
                                                     {K::ConsoleFontInstalled, QString()}};
    for (const auto& [key, value] : values) {
        if (!file.setValue(key, value, error))
            return false;
    }
    return true;
}

using Row = QList<std::pair<QString, QString>>;

bool createTable(const QString& folder, const QString& name, const QList<TableField>& fields,
                 const QList<Row>& rows, QString* error)
{
    const QString path = folder + QLatin1Char('/') + name;
    if (QFile::exists(path))
        return true;
    if (!CreateTable(path, fields, error))
        return false;
    TableHandle table;
    table.setFolder(folder);
    table.setTableName(name);
    if (!table.open(error))
        return false;
    for (const Row& row : rows) {
        table.insert();
        for (const auto& [field, value] : row)
            table.setFieldValue(field, value);
        if (!table.post(error))
            return false;
    }
    return true;
}

// Memory and first-disk sizes in MB that each system needs to install and run comfortably, and the
// hardware it installs on. The Linux systems start from the BIOS: they install and boot on it
// alike, it starts fastest without KVM, and snapshots need no firmware variables beside the disk.
struct ShippedProfile
{
    const char* name;
    int ram;
    int disk;
    const char* hardware;
};
constexpr char Windows11[] = "arch=64;machine=q35;firmware=uefi-secure;tpm=2.0;cpus=2;ram=4096;"
                             "disk=sata;nic=e1000e;video=std;sound=hda;usb=xhci;tablet=yes;"
                             "localtime=yes;hpet=off;clipboard=yes";
constexpr char Windows10[] = "arch=64;machine=q35;firmware=uefi;tpm=2.0;cpus=2;disk=sata;"
                             "nic=e1000e;video=std;sound=hda;usb=xhci;tablet=yes;localtime=yes;"
                             "clipboard=yes";
constexpr char Linux[] = "arch=64;machine=q35;firmware=bios;cpus=2;disk=virtio;"
                         "nic=virtio-net-pci;video=virtio;sound=hda;rng=yes;usb=xhci;tablet=yes;"
                         "localtime=no;clipboard=yes";
constexpr char Bsd[] = "arch=64;disk=virtio;nic=virtio-net-pci;localtime=no";
// Systems without an xHCI driver keep their hardware, with USB 1.1.
constexpr char Older[] = "usb=uhci";
// clang-format off
constexpr ShippedProfile ShippedProfiles[] = {
    {"Windows XP", 512, 10000, Older},
    {"Windows 2000", 256, 8000, Older},
    {"Windows 7", 2048, 25000, Older},
    {"Windows 10", 4096, 40000, Windows10},
    {"Windows 11", 4096, 64000, Windows11},
    {"Windows Server 2019", 4096, 40000, Windows10},
    {"Debian 12", 2048, 20000, Linux},
    {"Ubuntu 24.04", 4096, 25000, Linux},
    {"Fedora 41", 2048, 20000, Linux},
    {"FreeBSD 14", 1024, 10000, Bsd},
    {"Alpine Linux", 512, 2000, Bsd},
    {"ReactOS", 512, 5000, Older},
    {"MS-DOS 6.22", 32, 500, Older},
};
// clang-format on

// A table laid out by an earlier build keeps its rows; a shipped system whose row has no hardware
// yet gets its preset, so existing VMs' profiles learn today's hardware without losing the user's
// own edits.
bool addShippedPresets(const QString& folder, QString* error)
{
    TableHandle table;
    table.setFolder(folder);
    table.setTableName(TableSchemas::OpSysTable);
    if (!table.open(error))
        return false;
    const QString hardwareField = QStringLiteral("HARDWARE");
    table.first();
    for (; !table.isEmpty() && !table.eof(); table.next()) {
        if (!table.fieldValue(hardwareField).trimmed().isEmpty())
            continue;
        const QString name = table.fieldValue(QStringLiteral("NAME"));
        for (const ShippedProfile& system : ShippedProfiles) {
            if (name != QLatin1String(system.name) || !*system.hardware)
                continue;
            table.edit();
            table.setFieldValue(hardwareField, QString::fromLatin1(system.hardware));
            if (!table.post(error))
                return false;
        }
    }
    return true;
}

QString hostQemuVersion()
{
    QProcess qemu;
    qemu.start(QStringLiteral("qemu-system-x86_64"), {QStringLiteral("--version")});
    if (!qemu.waitForFinished(10000))
        return {};
    const auto match = QRegularExpression(QStringLiteral("version (\\d+\\.\\d+(\\.\\d+)?)"))
                           .match(QString::fromLocal8Bit(qemu.readAllStandardOutput()));
    return match.hasMatch() ? match.captured(1) : QString();
}

bool createTables(const QString& folder, QString* error)
{
    const auto s = [](const char* text) { return QString::fromUtf8(text); };
    const QList<Row> stores = {
        {{s("DSNAME"), s("Default VM Store")}, {s("DSID"), s("0")}, {s("PATH"), s("{VR}\\VMs")}}};

    const QString qemuVersion = hostQemuVersion();
    const QString description = qemuVersion.isEmpty()
                                    ? s("QEMU (Debian)")
                                    : QStringLiteral("QEMU %1 (Debian)").arg(qemuVersion);
    // The host's QEMU speaks today's command line, draws into the main window's panels (or its own
    // window) and has no KQEMU, FMOD or Bluetooth; it takes USB devices and the monitor connection.
    const QList<Row> versions = {{{s("VERSION"), s("QEMU 7.2 and above")},
                                  {s("DESC"), description},
                                  {s("BOOT"), QString()},
                                  {s("INT"), s("Yes")},
                                  {s("USB"), s("Yes")},
                                  {s("PATH"), s("{VR}\\qemu")},
                                  {s("DEFAULT"), s("Yes")},
                                  {s("KQEMU"), s("No")},
                                  {s("FMOD"), s("No")},
                                  {s("ID"), RandomId(50)},
                                  {s("BT"), s("No")},
                                  {s("VERID"), s("3")},
                                  {s("CONSOLE"), s("Yes")}}};

    QList<Row> profiles;
    for (const ShippedProfile& system : ShippedProfiles)
        profiles.append({{s("NAME"), s(system.name)},
                         {s("DISK"), QString::number(system.disk)},
                         {s("RAM"), QString::number(system.ram)},
                         {s("HARDWARE"), s(system.hardware)}});

    return createTable(folder, TableSchemas::VMStoreTable, TableSchemas::vmStoreFields(), stores,
                       error) &&
           createTable(folder, TableSchemas::VersionTable, TableSchemas::versionFields(), versions,
                       error) &&
           createTable(folder, TableSchemas::OpSysTable, TableSchemas::opSysFields(), profiles,
                       error) &&
           addShippedPresets(folder, error) &&
           createTable(folder, TableSchemas::ProcessTable, TableSchemas::processFields(), {},
                       error);
}

// A blank 1.44 MB floppy: one FAT12 file system with an empty root folder.
QByteArray blankFloppy()
{
    QByteArray image(1474560, '\0');
    auto put16 = [&image](int at, int value) {
        image[at] = char(value & 0xff);
        image[at + 1] = char((value >> 8) & 0xff);
    };
    const unsigned char jump[] = {0xEB, 0x3C, 0x90};
    for (int i = 0; i < 3; ++i)
        image[i] = char(jump[i]);
    image.replace(3, 8, "MSDOS5.0");
    put16(11, 512);  // bytes per sector
    image[13] = 1;   // sectors per cluster
    put16(14, 1);    // reserved sectors
    image[16] = 2;   // FATs
    put16(17, 224);  // root entries
    put16(19, 2880); // sectors
    image[21] = char(0xF0);
    put16(22, 9);  // sectors per FAT
    put16(24, 18); // sectors per track
    put16(26, 2);  // heads
    image[38] = 0x29;
    put16(39, 0x1234);
    put16(41, 0x5678);
    image.replace(43, 11, "NO NAME    ");
    image.replace(54, 8, "FAT12   ");
    // Without an operating system a boot attempt stops at once.
    image[62] = char(0xF4);
    image[510] = char(0x55);
    image[511] = char(0xAA);
    for (int fat = 0; fat < 2; ++fat) {
        const int at = 512 * (1 + 9 * fat);
        image[at] = char(0xF0);
        image[at + 1] = char(0xFF);
        image[at + 2] = char(0xFF);
    }
    return image;
}

bool writeFloppyTemplate(const QString& folder, QString* error)
{
    const QString path = folder + QStringLiteral("/resource/144mb.img");
    if (QFile::exists(path))
        return true;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(blankFloppy()) != 1474560)
        return fail(QStringLiteral("%1: %2").arg(path, file.errorString()), error);
    return true;
}

// The names the program starts, and the host programs behind them.
const std::pair<const char*, const char*> qemuPrograms[] = {
    {"qemu.exe", "qemu-system-i386"},
    {"qemu-system-x86_64.exe", "qemu-system-x86_64"},
    {"qemu-img.exe", "qemu-img"},
    {"qemu-system-arm.exe", "qemu-system-arm"},
    {"qemu-system-ppc.exe", "qemu-system-ppc"},
    {"qemu-system-ppc64.exe", "qemu-system-ppc64"},
    {"qemu-system-mips.exe", "qemu-system-mips"},
    {"qemu-system-mips64.exe", "qemu-system-mips64"},
    {"qemu-system-mipsel.exe", "qemu-system-mipsel"},
    {"qemu-system-mips64el.exe", "qemu-system-mips64el"},
    {"qemu-system-sparc.exe", "qemu-system-sparc"},
    {"qemu-system-sparc64.exe", "qemu-system-sparc64"},
    {"qemu-system-m68k.exe", "qemu-system-m68k"},
    {"qemu-system-cris.exe", "qemu-system-cris"}};

// A link, or a link that points nowhere, counts as there.
bool present(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

bool placeLink(const QString& target, const QString& link, ProgramFolderLayout::Existing existing,
               QString* error)
{
    if (present(link)) {
        if (existing == ProgramFolderLayout::Existing::Keep)
            return true;
        QFile::remove(link);
    }
    if (!QFile::link(target, link))
        return fail(QStringLiteral("cannot link %1 to %2").arg(link, target), error);
    return true;
}

} // namespace

bool ProgramFolderLayout::layOut(const QString& folder, QString* error)
{
    QString ignored;
    QString* reason = error ? error : &ignored;
    for (const char* sub : {"", "VMs", "Media", "images", "resource", "qemu"}) {
        if (!QDir().mkpath(folder + QLatin1Char('/') + QString::fromUtf8(sub)))
            return fail(QStringLiteral("cannot create folders in %1").arg(folder), reason);
    }
    return writeDefaultSettings(folder + QStringLiteral("/vimor.ini"), reason) &&
           createTables(folder, reason) && writeFloppyTemplate(folder, reason);
}

bool ProgramFolderLayout::linkHostQemu(const QString& qemuFolder, Existing existing, QString* error)
{
    if (!QDir().mkpath(qemuFolder))
        return fail(QStringLiteral("cannot create %1").arg(qemuFolder), error);
    for (const auto& [name, program] : qemuPrograms) {
        const QString link = qemuFolder + QLatin1Char('/') + QString::fromUtf8(name);
        const QString target = QStandardPaths::findExecutable(QString::fromUtf8(program));
        if (!target.isEmpty()) {
            if (!placeLink(target, link, existing, error))
                return false;
        } else if (existing == Existing::Replace) {
            QFile::remove(link);
        }
    }
    // The firmware and keymaps, found where the version's folder is given to -L.
    const QDir firmware(QStringLiteral("/usr/share/qemu"));
    const auto entries = firmware.entryInfoList(QDir::AllEntries | QDir::NoDotAndDotDot);
    for (const QFileInfo& entry : entries) {
        if (!placeLink(entry.absoluteFilePath(), qemuFolder + QLatin1Char('/') + entry.fileName(),
                       existing, error))
            return false;
    }
    return true;
}
