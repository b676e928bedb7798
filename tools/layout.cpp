// Lays out a program folder: the settings file with its defaults, the four tables with the rows
// the program ships, the folders it expects and the blank floppy template. Only what is missing is
// made, so running it again over a folder in use changes nothing the user has.

#include "model/ProgramFolder.h"
#include "model/Settings.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

#include <cstdio>

namespace {

bool fail(const QString& message)
{
    std::fprintf(stderr, "layout: %s\n", qUtf8Printable(message));
    return false;
}

bool writeDefaultSettings(const QString& path)
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
        QString error;
        if (!file.setValue(key, value, &error))
            return fail(error);
    }
    return true;
}

using Row = QList<std::pair<QString, QString>>;

bool createTable(const QString& folder, const QString& name, const QList<TableField>& fields,
                 const QList<Row>& rows)
{
    const QString path = folder + QLatin1Char('/') + name;
    if (QFile::exists(path))
        return true;
    QString error;
    if (!CreateTable(path, fields, &error))
        return fail(error);
    TableHandle table;
    table.setFolder(folder);
    table.setTableName(name);
    if (!table.open(&error))
        return fail(error);
    for (const Row& row : rows) {
        table.insert();
        for (const auto& [field, value] : row)
            table.setFieldValue(field, value);
        if (!table.post(&error))
            return fail(error);
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

bool createTables(const QString& folder)
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

    // Memory and first-disk sizes in MB that each system needs to install and run comfortably.
    const struct
    {
        const char* name;
        int ram;
        int disk;
    } systems[] = {{"Windows XP", 512, 10000},  {"Windows 2000", 256, 8000},
                   {"Windows 7", 2048, 25000},  {"Windows 10", 4096, 40000},
                   {"Windows 11", 4096, 64000}, {"Windows Server 2019", 4096, 40000},
                   {"Debian 12", 2048, 20000},  {"Ubuntu 24.04", 4096, 25000},
                   {"Fedora 41", 2048, 20000},  {"FreeBSD 14", 1024, 10000},
                   {"Alpine Linux", 512, 2000}, {"ReactOS", 512, 5000},
                   {"MS-DOS 6.22", 32, 500}};
    QList<Row> profiles;
    for (const auto& system : systems)
        profiles.append({{s("NAME"), s(system.name)},
                         {s("DISK"), QString::number(system.disk)},
                         {s("RAM"), QString::number(system.ram)}});

    return createTable(folder, TableSchemas::VMStoreTable, TableSchemas::vmStoreFields(), stores) &&
           createTable(folder, TableSchemas::VersionTable, TableSchemas::versionFields(),
                       versions) &&
           createTable(folder, TableSchemas::OpSysTable, TableSchemas::opSysFields(), profiles) &&
           createTable(folder, TableSchemas::ProcessTable, TableSchemas::processFields(), {});
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

bool writeFloppyTemplate(const QString& folder)
{
    const QString path = folder + QStringLiteral("/resource/144mb.img");
    if (QFile::exists(path))
        return true;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(blankFloppy()) != 1474560)
        return fail(QStringLiteral("%1: %2").arg(path, file.errorString()));
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: vimor-layout PROGRAM-FOLDER\n");
        return 2;
    }
    const QString folder = QDir(args.at(1)).absolutePath();
    ProgramFolder::setPath(folder);
    QDir dir;
    for (const char* sub : {"", "VMs", "Media", "images", "resource", "qemu"}) {
        if (!dir.mkpath(folder + QLatin1Char('/') + QString::fromUtf8(sub))) {
            fail(QStringLiteral("cannot create folders in %1").arg(folder));
            return 1;
        }
    }
    const bool ok = writeDefaultSettings(folder + QStringLiteral("/vimor.ini")) &&
                    createTables(folder) && writeFloppyTemplate(folder);
    return ok ? 0 : 1;
}
