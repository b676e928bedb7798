#include "launch/LaunchString.h"

#include "launch/ClipboardChannel.h"
#include "launch/EmbeddedDisplay.h"
#include "launch/FirmwareChoice.h"
#include "launch/ModernOptions.h"
#include "launch/Panels.h"
#include "launch/TpmEmulator.h"
#include "launch/VMFirmware.h"
#include "library/VMStores.h"
#include "media/DriveValues.h"
#include "model/ImageFormat.h"
#include "model/IniFile.h"
#include "model/ModernHardware.h"
#include "model/ProgramFolder.h"
#include "model/QemuGeneration.h"
#include "model/Settings.h"
#include "model/VMContext.h"
#include "model/VMFile.h"
#include "platform/HostDrives.h"
#include "platform/RuntimeFolder.h"
#include "versions/VersionRegistry.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>

namespace {

QString s(const char* text)
{
    return QString::fromLatin1(text);
}

const QString Yes = QStringLiteral("Yes");
const QChar Quote = QLatin1Char('"');
const QString PhysicalDrivePrefix = QStringLiteral("\\\\.\\PhysicalDrive");
const QString FatPrefix = QStringLiteral("fat:");

// Numbered sections beyond this are taken for a damaged count: reading them all would only hang
// the window behind a launch.
constexpr int MaxNumberedSections = 1000;

// A count or number as the file stores it; anything that is not a decimal number counts as 0.
int number(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : 0;
}

int sectionCount(const QString& text)
{
    return std::min(number(text), MaxNumberedSections);
}

bool isHostDevice(const QString& value)
{
    return value.startsWith(PhysicalDrivePrefix, Qt::CaseInsensitive) ||
           (value.size() == 2 && value.at(1) == QLatin1Char(':'));
}

// QEMU's option syntax ends a value at a single comma; a doubled one stands for the comma itself.
// Without this a path could add options of its own to the drive.
QString escapedCommas(const QString& value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char(','), QStringLiteral(",,"));
    return escaped;
}

QString fileOption(const QString& path)
{
    return QStringLiteral("file=") + escapedCommas(path);
}

// The format of a drive, told so that QEMU never guesses it: the one recorded when the file was
// chosen, never one read now from bytes the guest may have written. Without a record (the launch
// asks first) the name decides, else raw.
QString formatOption(const QString& recorded, const QString& path)
{
    QString format = ImageFormat::isKnown(recorded) ? recorded : ImageFormat::ofName(path);
    if (format.isEmpty() || path.startsWith(FatPrefix) || path.startsWith(QLatin1String("/dev/")))
        format = QStringLiteral("raw");
    return QStringLiteral(",format=") + format;
}

// A folder shared without "rw:" is a read-only node, which QEMU opens as a disk only with writes
// kept aside and as a floppy only read-only.
QString readOnlyFolderOption(const QString& path, const QString& option)
{
    return path.startsWith(FatPrefix) && !path.startsWith(QLatin1String("fat:rw:")) &&
                   !path.contains(QLatin1String(":rw:"))
               ? option
               : QString();
}

// Catalogue values that only today's QEMU has: older generations leave the option out, so QEMU
// takes its own default.
struct ModernOnly
{
    const char* key;
    const char* id;
};
constexpr ModernOnly ModernOnlyValues[] = {
    {"MID", "q35"},    {"CID", "host"},   {"CID", "max"},
    {"VID", "virtio"}, {"LID", "e1000e"}, {"LID", "virtio-net-pci"},
};

bool modernOnly(const char* key, const QString& id)
{
    for (const ModernOnly& value : ModernOnlyValues) {
        if (qstrcmp(value.key, key) == 0 && id == QLatin1String(value.id))
            return true;
    }
    return false;
}

// Whether the folder holds a file named "*.bin" in any case, hidden ones aside: the first one
// found answers, where a listing would read, sort and pattern-match the whole folder.
bool holdsBios(const QString& folder)
{
    QDirIterator entries(folder, QDir::Files);
    while (entries.hasNext()) {
        entries.next();
        if (entries.fileName().endsWith(QLatin1String(".bin"), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// The version folder, or the first of its subfolders in name order, that holds a "*.bin" file.
QString biosFolder(const QString& stored)
{
    // An unknown version has no folder; its stand-in "\\" would search the whole disk.
    if (stored.isEmpty())
        return {};
    QString folder = ProgramFolder::nativeExpanded(stored);
    while (folder.size() > 1 &&
           (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\'))))
        folder.chop(1);

    const QDir top(folder);
    if (holdsBios(folder))
        return folder;
    // Subfolders in name order without regard to case, as the desktop this ran on lists them;
    // names starting with "." are hidden and left out.
    QString found;
    const QStringList subfolders =
        top.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : subfolders) {
        if (name.startsWith(QLatin1Char('.')))
            continue;
        if (holdsBios(top.filePath(name)))
            found = QDir::toNativeSeparators(top.filePath(name));
    }
    return found;
}

// VNC's own authentication takes eight characters at most: letters and digits, without those that
// look alike, so that the password can be typed from the screen.
QString VncPassword()
{
    static const QString alphabet =
        QStringLiteral("abcdefghijkmnpqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ23456789");
    QString password;
    for (int n = 0; n < 8; ++n)
        password += alphabet.at(QRandomGenerator::system()->bounded(int(alphabet.size())));
    return password;
}

// "-redir" has no host address: QEMU before 7.2 listens on every interface, whichever address the
// redirector names, so the address is left out of the form it reads.
QString withoutHostAddress(const QString& redirector)
{
    static const QRegularExpression named(
        QStringLiteral("^([a-z]+):(?:\\d{1,3}\\.){3}\\d{1,3}:(\\d+:.*)$"));
    const QRegularExpressionMatch match = named.match(redirector);
    return match.hasMatch() ? match.captured(1) + QLatin1Char(':') + match.captured(2) : redirector;
}

// Turns one VM definition file into QEMU's arguments, keeping note of the first value that would
// break the string's grouping.
class Builder final
{
public:
    // The build reads the selected VM's file once: it asks for some hundred keys of it.
    Builder(VMContext& vm, const LaunchEnvironment& env)
        : m_vm(vm), m_env(env), m_file(vm.selectedVM())
    {}

    LaunchString build();

private:
    QString read(const char* section, const char* key) const
    {
        return m_file.read(QUtf8StringView(section), QUtf8StringView(key));
    }
    QString read(const QString& section, const char* key) const
    {
        return m_file.read(section, QUtf8StringView(key));
    }
    bool isYes(const char* section, const char* key) const { return read(section, key) == Yes; }
    bool flag(const char* field) const { return m_version.flag(s(field)); }

    // A value inserted as it stands: a double quote in it would regroup everything after it.
    QString plain(const QString& value)
    {
        if (m_unsafe.isEmpty() && value.contains(Quote))
            m_unsafe = value;
        return value;
    }
    // Q(x): the value enclosed in double quotes.
    QString quoted(const QString& value) { return Quote + plain(value) + Quote; }
    // A value the syntax leaves unquoted, quoted all the same when it would otherwise not stay one
    // argument (empty, or holding a blank).
    QString word(const QString& value)
    {
        if (value.isEmpty() || value.contains(QLatin1Char(' ')) ||
            value.contains(QLatin1Char('\t')))
            return quoted(value);
        return plain(value);
    }

    // Today's QEMU reads a comma inside an option list as the start of another option: a stored
    // value that would do so is refused, naming its setting.
    QString listValue(const QString& setting, const QString& value)
    {
        if (value.contains(QLatin1Char(',')))
            refuse(setting, value);
        return plain(value);
    }
    void refuse(const QString& setting, const QString& value)
    {
        if (m_refusal.isEmpty())
            m_refusal =
                QStringLiteral("This virtual machine cannot be launched: the setting \"%1\" "
                               "holds \"%2\", which QEMU cannot take. Please correct it "
                               "and try again.")
                    .arg(setting, value);
    }
    bool modern() const { return m_modern; }
    QString socketFolder(QString* error = nullptr);
    bool vncOnSocket() const
    {
        return read("Hardware", "OutputID") == QLatin1String("2") &&
               !read("Hardware", "VNC Number").isEmpty() &&
               ModernHardware::VncOnSocket(
                   m_file.read(QStringLiteral("Hardware"), ModernHardware::VncSocketKey()));
    }

    // A hard-disk value as the path QEMU opens on this host.
    QString diskPath(const QString& value)
    {
        const QString path = ResolveDrivePath(value, [this] {
            if (!m_storeFolder)
                m_storeFolder = FindVMStore(m_vm.table(VMContext::Table::VLookup),
                                            read("General", "VM Store ID"));
            return *m_storeFolder;
        });
        if (path.startsWith(FatPrefix))
            return path;
        return HostDrives::devicePathOf(path);
    }
    // A media value (CD-ROM, floppy) as the path QEMU opens on this host.
    static QString mediaPath(const QString& value)
    {
        if (value.startsWith(FatPrefix))
            return value;
        if (isHostDevice(value))
            return HostDrives::devicePathOf(value);
        return ProgramFolder::nativeExpanded(value);
    }

    void appendModernDisk(const QString& path, const QString& format, int index, int scsiUnit,
                          const QString& indexSuffix);
    QString recordedFormat(const QString& section, const QString& key) const
    {
        return m_file.read(section, ImageFormat::KeyFor(key));
    }
    void appendFirmware();
    void appendTpm();
    QString usbController();
    void appendSound();
    void appendCard(const QString& section);
    void appendModernCard(const QString& section, int n, int& ports);
    void appendModernUsb();
    void appendMonitor();
    void appendBios();
    void appendSerialPorts();
    void appendParallelPorts();
    void appendDisks();
    void appendFloppies();
    void appendBoot();
    void appendKqemu();
    void appendNetwork();
    void appendUsb();
    void appendIntegratedDisplay();
    void appendVnc();
    QString tail();

    VMContext& m_vm;
    const LaunchEnvironment& m_env;
    const IniSnapshot m_file;
    QString m_versionId;
    VersionRegistry::Row m_version;
    std::optional<std::optional<QString>> m_storeFolder; // the VM's store, once looked up
    QString m_arc;
    QString m_generation;
    bool m_compatDrive = false;
    bool m_usbOn = false;
    bool m_modern = false;
    bool m_scsiController = false;
    bool m_ahciController = false;
    bool m_virtioScsiController = false;
    QString m_machine;
    ModernHardware::DiskBus m_diskBus = ModernHardware::DiskBus::Ide;
    QString m_r;
    QString m_unsafe;
    QString m_refusal;
    QString m_socketFolder;
    QString m_vncPassword;
    QStringList m_notes;
};

LaunchString Builder::build()
{
    const QString optional = read("Advanced", "OptionalString");
    if (isYes("Advanced", "OverrideAll") && !optional.isEmpty()) {
        // The user's own command line: its quotes group its arguments, so only an unbalanced
        // one is a fault.
        return {optional, optional.count(Quote) % 2 != 0 ? optional : QString(), {}, {}};
    }

    m_versionId = read("General", "Qemu Version ID");
    m_arc = read("General", "Arc");
    m_version = m_vm.versions().VersionRow(m_versionId);
    m_generation = m_version.code;
    m_modern = QemuGeneration::isModern(m_generation);
    // Today's QEMU takes only the -drive form, which names the format.
    m_compatDrive = m_vm.startSettings().compatDrive && !m_modern;

    appendBios();
    QString accelerator;
    if (modern()) {
        m_machine = ModernOptions::machineId(read("Hardware", "MID"));
        if (ModernOptions::machineRemoved(m_machine) && m_refusal.isEmpty())
            m_refusal = QStringLiteral("This virtual machine cannot be launched: today's QEMU has "
                                       "no machine \"%1\" any more. Please choose another "
                                       "machine in \"CPU Type\".")
                            .arg(read("Hardware", "MachineType"));
        const bool secureBoot = ModernHardware::FirmwareOf(read("Hardware", "Firmware")) ==
                                    ModernHardware::Firmware::SecureBoot &&
                                m_arc == QLatin1String("x86");
        // Secure Boot keeps its variables in flash that only SMM code may write: without it,
        // or on a board without SMM, the firmware stops before it shows anything.
        if (secureBoot && (m_machine != QLatin1String("q35") ||
                           read("Advanced", "OptionalString").contains(QLatin1String("smm=off")))) {
            if (m_refusal.isEmpty())
                m_refusal = QStringLiteral(
                    "This virtual machine cannot be launched: \"UEFI Secure Boot\" needs the "
                    "machine \"Standard PC (Q35 + ICH9, 2009)\" with SMM. Please choose that "
                    "machine in \"CPU Type\", or another firmware in \"Firmware\".");
        }
        m_r +=
            QStringLiteral(" -M ") + quoted(listValue(s("Machine"), m_machine) +
                                            (secureBoot ? QStringLiteral(",smm=on") : QString()));
        QString why;
        // QEMU takes one accelerator: a VM carried over from an older QEMU may name its own.
        if (const std::optional<QString> own =
                ModernOptions::ownAccelerator(read("Advanced", "OptionalString"))) {
            accelerator = *own;
            m_notes.append(QStringLiteral("Acceleration: as the additional QEMU parameters say"));
        } else {
            accelerator = ModernOptions::accelerator(
                m_arc, m_env.kvmDevice.isEmpty() ? s("/dev/kvm") : m_env.kvmDevice, &why);
            // The host's KVM serves only the emulators built for it (qemu-system-arm has none on
            // an arm64 host).
            if (accelerator == QLatin1String("kvm")) {
                const std::optional<QStringList> listed = ModernOptions::emulatorAccelerators(
                    m_vm.versions().VMExecutable(m_vm.selectedVM()));
                if (listed && !listed->contains(QLatin1String("kvm"))) {
                    accelerator = QStringLiteral("tcg");
                    why = QStringLiteral("this QEMU has no KVM");
                }
            }
            m_r += QStringLiteral(" -accel ") + accelerator;
            m_notes.append(accelerator == QLatin1String("kvm")
                               ? QStringLiteral("Acceleration: KVM (%1)").arg(why)
                               : QStringLiteral("Acceleration: none, QEMU emulates the processor "
                                                "(%1)")
                                     .arg(why));
        }
        m_r += QStringLiteral(" -m ") + quoted(listValue(s("Memory"), read("Hardware", "RAM")));
    } else {
        if (const QString machine = read("Hardware", "MID"); !modernOnly("MID", machine))
            m_r += QStringLiteral(" -M ") + quoted(machine);
        m_r += QStringLiteral(" -m ") + plain(read("Hardware", "RAM"));
    }
    QString cpu = read("Hardware", "CID");
    // The host's own processor exists only with KVM; emulated, the nearest is every feature QEMU
    // can emulate.
    if (modern() && cpu == QLatin1String("host") && accelerator != QLatin1String("kvm"))
        cpu = QStringLiteral("max");
    if (m_arc != QLatin1String("cf") && m_arc != QLatin1String("cris") &&
        cpu != QLatin1String("Default") && (modern() || !modernOnly("CID", cpu)))
        m_r += QStringLiteral(" -cpu ") + quoted(modern() ? listValue(s("CPU"), cpu) : cpu);
    const QString processors = read("Hardware", "Processors");
    if (number(processors) > 1 && modern()) {
        // One socket of many cores: a client edition of Windows uses no more than two sockets.
        const QString n = listValue(s("Processors"), processors.trimmed());
        m_r += QStringLiteral(" -smp ") +
               quoted(n + QStringLiteral(",sockets=1,cores=") + n + QStringLiteral(",threads=1"));
    } else if (number(processors) > 1) {
        m_r += QStringLiteral(" -smp ") + plain(processors);
    }
    if (modern())
        appendFirmware();

    const QString kernel = read("Hardware", "Kernel");
    if (!kernel.isEmpty())
        m_r += QStringLiteral(" -kernel ") + quoted(ProgramFolder::nativeExpanded(kernel));
    const QString initrd = read("Hardware", "initrd");
    if (!initrd.isEmpty())
        m_r += QStringLiteral(" -initrd ") + quoted(ProgramFolder::nativeExpanded(initrd));
    // The kernel's command line is no path: only the macro is replaced.
    const QString append = read("Hardware", "Append");
    if (!append.isEmpty())
        m_r += QStringLiteral(" -append ") + quoted(ProgramFolder::expand(append));

    const QString video = read("Hardware", "VID");
    if (!modern()) {
        if (!modernOnly("VID", video))
            m_r += QStringLiteral(" -vga ") + plain(video);
    } else if (ModernOptions::takesVgaCard(m_arc) || video == QLatin1String("none"))
        m_r += QStringLiteral(" -vga ") + quoted(listValue(s("Video Card"), video));
    appendSerialPorts();
    appendParallelPorts();

    const QString title = read("General", "Window Title");
    const QString name = title == QLatin1String("{VM NAME}") ? m_vm.selectedVMName() : title;
    // "-name" takes options after a comma too (a doubled one is part of the name), and a name with
    // "=" would read as an option without "guest=".
    m_r += QStringLiteral(" -name ") +
           quoted(modern() ? QStringLiteral("guest=") + escapedCommas(name) : name);

    appendDisks();
    appendFloppies();
    appendBoot();
    appendSound();
    appendKqemu();
    if (isYes("Hardware", "Do Not Start CPU"))
        m_r += QStringLiteral(" -S");
    appendNetwork();

    if (m_arc == QLatin1String("x86")) {
        if (isYes("Hardware", "Enable WIN2K Hack"))
            m_r += QStringLiteral(" -win2k-hack");
        if (isYes("Advanced", "Enable HAL Hack"))
            m_r +=
                modern() ? QStringLiteral(" -rtc driftfix=slew") : QStringLiteral(" -rtc-td-hack");
        if (isYes("Advanced", "Disable HPET"))
            m_r += modern() ? QStringLiteral(" -machine hpet=off") : QStringLiteral(" -no-hpet");
        if (isYes("Advanced", "ACPI"))
            m_r += modern() ? QStringLiteral(" -machine acpi=off") : QStringLiteral(" -no-acpi");
        if (isYes("Advanced", "Disable Boot Signature"))
            m_r += QStringLiteral(" -no-fd-bootchk");
    }

    const QString snapshot = read("Advanced", "Snapshot");
    if (!snapshot.isEmpty())
        m_r += QStringLiteral(" -loadvm ") + quoted(snapshot);
    if (isYes("Hardware", "Do Not Apply"))
        m_r += QStringLiteral(" -snapshot");

    if (modern())
        appendModernUsb();
    else
        appendUsb();
    if (modern() && m_arc == QLatin1String("x86")) {
        if (isYes("Hardware", "VirtIO RNG"))
            m_r += QStringLiteral(" -device virtio-rng-pci");
        if (ModernHardware::SharesClipboard(
                m_file.read(s("Hardware"), ModernHardware::ShareClipboardKey())))
            m_r += ClipboardChannel::LaunchOptions();
        appendTpm();
    }

    if (flag("BT") && isYes("Hardware", "Enable Bluetooth")) {
        if (modern()) {
            m_notes.append(
                QStringLiteral("Bluetooth: today's QEMU has no Bluetooth devices; the VM "
                               "starts without them."));
        } else {
            m_r += m_usbOn ? QStringLiteral(" -usbdevice bt:hci,vlan=0")
                           : QStringLiteral(" -usb -usbdevice bt:hci,vlan=0");
            m_usbOn = true;
            if (isYes("Hardware", "BTKeyboard"))
                m_r += QStringLiteral(" -bt device:keyboard,vlan=0");
        }
    }

    if (read("Hardware", "OutputID") == QLatin1String("3"))
        m_r += QStringLiteral(" -full-screen");

    if (!isYes("Hardware", "VNC Server") && isYes("Hardware", "USB Tablet") && flag("USB")) {
        const QString tablet =
            modern() ? QStringLiteral(" -device usb-tablet") : QStringLiteral(" -usbdevice tablet");
        m_r += m_usbOn ? tablet : usbController() + tablet;
        m_usbOn = true;
    }

    // The options after the display, and the VNC keymap, are read first, so that a string the
    // launcher will refuse reserves no panel and no port.
    const QString lastOptions = tail();
    const QString keyboard = read("Hardware", "Keyboard").trimmed();
    if (modern() && read("Hardware", "OutputID") == QLatin1String("2") && !keyboard.isEmpty() &&
        !ModernOptions::hasKeymap(keyboard, {biosFolder(m_version.path), s("/usr/share/qemu")}))
        refuse(s("Keyboard"), keyboard);
    const bool oldMonitor = !modern() && flag("CONSOLE") && flag("INT") &&
                            read("Hardware", "OutputID") == QLatin1String("0");
    if (m_refusal.isEmpty() &&
        ((modern() ? flag("CONSOLE") || flag("INT") : oldMonitor) || vncOnSocket())) {
        QString error;
        if (socketFolder(&error).isEmpty() && m_refusal.isEmpty())
            m_refusal = QStringLiteral("This virtual machine cannot be launched: %1.").arg(error);
        // QEMU before 7.2 ends a socket's path at its first comma, doubled or not.
        if (!modern() && m_socketFolder.contains(QLatin1Char(',')) && m_refusal.isEmpty())
            m_refusal = QStringLiteral("This virtual machine cannot be launched: the private "
                                       "folder %1 holds a comma, which this QEMU cannot take in "
                                       "the path of a socket.")
                            .arg(m_socketFolder);
    }
    // A QEMU that outlived an earlier run of this program may still serve the VM's sockets; a
    // second one would take them over, and the monitor would then reach the wrong QEMU.
    if (m_refusal.isEmpty() && !m_socketFolder.isEmpty()) {
        const QString key = EmbeddedDisplay::socketKey(m_vm.selectedVM());
        for (const QString& socket : {Panels::MonitorSocketPath(m_socketFolder, key),
                                      Panels::DisplaySocketPath(m_socketFolder, key),
                                      Panels::VncSocketPath(m_socketFolder, key)}) {
            if (Panels::SocketAnswers(socket)) {
                m_refusal =
                    QStringLiteral("This virtual machine cannot be launched: a QEMU of it (or of a "
                                   "copy with the same identity) is still running and answers at "
                                   "%1. Please end that QEMU first.")
                        .arg(socket);
                break;
            }
        }
    }
    appendIntegratedDisplay();
    appendVnc();
    m_r += lastOptions;

    // The password reaches QEMU in a file only this user may read, never on its command line.
    if (!m_vncPassword.isEmpty() && m_refusal.isEmpty() && m_unsafe.isEmpty()) {
        QString error;
        if (RuntimeFolder::writePrivateFile(
                Panels::VncSecretName(EmbeddedDisplay::socketKey(m_vm.selectedVM())),
                m_vncPassword.toUtf8(), &error)
                .isEmpty())
            m_refusal = QStringLiteral("This virtual machine cannot be launched: %1.").arg(error);
    }
    if (!m_refusal.isEmpty())
        return {m_r, m_unsafe, m_refusal, m_notes};
    m_vm.WriteVMValue({}, s("General"), s("LaunchString"), m_r);
    return {m_r, m_unsafe, m_refusal, m_notes};
}

QString Builder::socketFolder(QString* error)
{
    if (m_socketFolder.isEmpty())
        m_socketFolder =
            m_env.socketFolder.isEmpty() ? RuntimeFolder::vimorFolder(error) : m_env.socketFolder;
    return m_socketFolder;
}

void Builder::appendSound()
{
    if (m_arc == QLatin1String("sparc") || m_arc == QLatin1String("cf") ||
        m_arc == QLatin1String("cris") || !isYes("Audio", "Enable Sound"))
        return;
    const QString cards = read("Audio", "SID");
    if (!modern()) {
        m_r += QStringLiteral(" -soundhw ") + plain(cards);
        return;
    }
    // Whatever library the file names ("Direct Sound", "FMOD", ...), the sound goes to this
    // host's own sound system.
    const QString runtime =
        m_env.runtimeFolder.isEmpty() ? RuntimeFolder::userFolder() : m_env.runtimeFolder;
    const QString driver = ModernOptions::hostAudioDriver(
        runtime, m_env.soundDevicesFolder.isEmpty() ? s("/dev/snd") : m_env.soundDevicesFolder,
        m_env.moduleFolders.isEmpty() ? ModernOptions::moduleFolders() : m_env.moduleFolders);
    const QString id = QStringLiteral("sound0");
    bool pcSpeaker = false;
    QString unknown;
    const auto devices = ModernOptions::soundDevices(cards, m_arc, id, &pcSpeaker, &unknown);
    if (!devices) {
        refuse(s("Sound Card"), cards);
        return;
    }
    m_r += QStringLiteral(" -audiodev ") + driver + QStringLiteral(",id=") + id;
    if (pcSpeaker)
        m_r += QStringLiteral(" -machine pcspk-audiodev=") + id;
    for (const QString& device : *devices)
        m_r += QStringLiteral(" -device ") + device;
    m_notes.append(driver == QLatin1String("pa") ? QStringLiteral("Sound: PulseAudio (or PipeWire)")
                   : driver == QLatin1String("alsa")
                       ? QStringLiteral("Sound: ALSA")
                       : QStringLiteral("Sound: none, no sound system was found on this host"));
}

void Builder::appendBios()
{
    const QString bios = read("Advanced", "Bios");
    if (bios == QLatin1String("Default")) {
        m_r = QStringLiteral("-L ") + quoted(biosFolder(m_version.path));
        return;
    }
    const QString path = ProgramFolder::nativeExpanded(bios);
    const qsizetype cut =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    const QString folder = cut < 0 ? QString() : path.left(cut);
    const QString file = cut < 0 ? path : path.mid(cut + 1);
    m_r = QStringLiteral("-L ") + quoted(folder) + QStringLiteral(" -bios ") + quoted(file);
}

void Builder::appendSerialPorts()
{
    const QString count = read("Ports", "SerialCount");
    if (count.isEmpty())
        return;
    if (number(count) < 1) {
        m_r += QStringLiteral(" -serial none");
        return;
    }
    for (int n = 1, last = sectionCount(count); n <= last; ++n) {
        const QString section = QStringLiteral("Serial Port ") + QString::number(n);
        const QString type = read(section, "SerialTy");
        if (type == QLatin1String("0")) {
            m_r += QStringLiteral(" -serial vc");
        } else if (type == QLatin1String("1")) {
            const QString device = read(section, "Serial");
            m_r += QStringLiteral(" -serial ") +
                   (modern() ? quoted(listValue(section, device)) : plain(device));
        } else if (type == QLatin1String("2")) {
            m_r += QStringLiteral(" -serial ") +
                   quoted(QStringLiteral("file:") + read(section, "Serial"));
        } else if (type == QLatin1String("3")) {
            const QString address = read(section, "IP") + QLatin1Char(':') + read(section, "Port");
            const bool listen = read(section, "listen") != QLatin1String("0");
            const bool noWait = read(section, "wait") == QLatin1String("0");
            if (modern()) {
                m_r += QStringLiteral(" -serial ") +
                       quoted(QStringLiteral("tcp:") + listValue(section, address) +
                              (listen ? QStringLiteral(",server=on") : QString()) +
                              (noWait ? QStringLiteral(",wait=off") : QString()));
            } else {
                m_r += QStringLiteral(" -serial tcp:") + plain(address);
                if (listen)
                    m_r += QStringLiteral(",server");
                if (noWait)
                    m_r += QStringLiteral(",nowait");
            }
        }
    }
}

void Builder::appendParallelPorts()
{
    const QString count = read("Ports", "ParallelCount");
    if (count.isEmpty())
        return;
    if (number(count) < 1) {
        m_r += QStringLiteral(" -parallel none");
        return;
    }
    for (int n = 1, last = sectionCount(count); n <= last; ++n) {
        const QString section = QStringLiteral("Parallel Port ") + QString::number(n);
        const QString type = read(section, "ParallelTy");
        if (type == QLatin1String("0"))
            m_r += QStringLiteral(" -parallel vc");
        else if (type == QLatin1String("1"))
            m_r += QStringLiteral(" -parallel ") +
                   quoted(QStringLiteral("file:") + read(section, "Parallel"));
    }
}

void Builder::appendDisks()
{
    struct Disk
    {
        const char* scsiKey;
        const char* pathKey;
        const char* indexSuffix;
        const char* oldOption;
    };
    static constexpr Disk Disks[] = {
        {"HDASCSI", "HDA", ",index=0,media=disk", "-hda"},
        {"HDBSCSI", "HDB", ",index=1,media=disk", "-hdb"},
        {"HDCSCSI", "HDC", ",index=2,media=disk", "-hdc"},
        {"HDDSCSI", "HDD", ",index=3,media=disk", "-hdd"},
    };
    int unit = 1;
    for (int index = 0; index < 4; ++index) {
        const Disk& disk = Disks[index];
        QString suffix;
        // The unit is used up even by an empty disk, so the numbering follows the disk slots.
        if (isYes("Drives", disk.scsiKey))
            suffix = QStringLiteral(",if=scsi,bus=0,unit=") + QString::number(unit++);
        const QString value = read("Drives", disk.pathKey);
        if (!value.isEmpty() && modern()) {
            m_diskBus = ModernHardware::DiskBusOf(
                m_file.read(QStringLiteral("Drives"), ModernHardware::DiskBusKey(index)));
            appendModernDisk(diskPath(value), recordedFormat(s("Drives"), s(disk.pathKey)), index,
                             suffix.isEmpty() ? 0 : unit - 1, s(disk.indexSuffix));
        } else if (!value.isEmpty()) {
            const QString path = diskPath(value);
            if (!suffix.isEmpty())
                m_r += QStringLiteral(" -drive ") + quoted(fileOption(path) + suffix);
            else if (!m_compatDrive)
                m_r += QStringLiteral(" -drive ") + quoted(fileOption(path) + s(disk.indexSuffix));
            else
                m_r += QLatin1Char(' ') + s(disk.oldOption) + QLatin1Char(' ') + quoted(path);
        }
        if (index != 2 || !value.isEmpty())
            continue;
        const QString cd = read("Drives", "CDROM");
        if (modern() && !cd.isEmpty()) {
            const QString path = cd.size() == 2 ? HostDrives::devicePathOf(cd) : mediaPath(cd);
            m_r += QStringLiteral(" -drive ") +
                   quoted(fileOption(path) + QStringLiteral(",index=2,media=cdrom") +
                          formatOption(recordedFormat(s("Drives"), s("CDROM")), path));
        } else if (cd.size() == 2) {
            const QString device = HostDrives::devicePathOf(cd);
            m_r += QStringLiteral(" -cdrom ") + (m_compatDrive ? word(device) : quoted(device));
        } else if (!cd.isEmpty()) {
            const QString path = mediaPath(cd);
            if (!m_compatDrive)
                m_r += QStringLiteral(" -drive ") +
                       quoted(fileOption(path) + QStringLiteral(",index=2,media=cdrom"));
            else
                m_r += QStringLiteral(" -cdrom ") + quoted(path);
        }
    }
}

// scsiUnit 0: an IDE disk at its index.
void Builder::appendModernDisk(const QString& path, const QString& format, int index, int scsiUnit,
                               const QString& indexSuffix)
{
    QString file = fileOption(path) + formatOption(format, path) +
                   readOnlyFolderOption(path, s(",snapshot=on"));
    const QString driveId = QStringLiteral("disk") + QString::number(index);
    // The password comes from a file only this user can read: never on the command line.
    if (const QString secret = m_env.diskSecrets.value(index); !secret.isEmpty()) {
        const QString secretId = driveId + QStringLiteral("-secret");
        m_r +=
            QStringLiteral(" -object ") + quoted(QStringLiteral("secret,id=") + secretId +
                                                 QStringLiteral(",file=") + escapedCommas(secret));
        file += QStringLiteral(",encrypt.key-secret=") + secretId;
    }
    const auto onDevice = [&](const QString& device) {
        m_r += QStringLiteral(" -drive ") +
               quoted(file + QStringLiteral(",if=none,id=") + driveId) +
               QStringLiteral(" -device ") + device + QStringLiteral(",drive=") + driveId;
    };
    using ModernHardware::DiskBus;
    if (scsiUnit == 0 && m_arc == QLatin1String("x86") && m_diskBus != DiskBus::Ide) {
        // The bus is the disk's own setting; the index keeps the disks in their slots' order.
        if (m_diskBus == DiskBus::Virtio) {
            onDevice(QStringLiteral("virtio-blk-pci"));
        } else if (m_diskBus == DiskBus::VirtioScsi) {
            if (!m_virtioScsiController) {
                m_r += QStringLiteral(" -device virtio-scsi-pci,id=vscsi0");
                m_virtioScsiController = true;
            }
            onDevice(QStringLiteral("scsi-hd,bus=vscsi0.0,lun=") + QString::number(index));
        } else {
            // The Q35 board has its SATA controller on board; a PC gets one.
            QString bus = QStringLiteral("ide.") + QString::number(index);
            if (m_machine != QLatin1String("q35")) {
                if (!m_ahciController) {
                    m_r += QStringLiteral(" -device ahci,id=ahci0");
                    m_ahciController = true;
                }
                bus = QStringLiteral("ahci0.") + QString::number(index);
            }
            onDevice(QStringLiteral("ide-hd,bus=") + bus);
        }
        return;
    }
    if (scsiUnit == 0) {
        m_r += QStringLiteral(" -drive ") + quoted(file + indexSuffix);
        return;
    }
    if (m_arc != QLatin1String("x86")) {
        // Boards with SCSI have their own controller on bus 0.
        m_r += QStringLiteral(" -drive ") +
               quoted(file + QStringLiteral(",if=scsi,bus=0,unit=") + QString::number(scsiUnit));
        return;
    }
    // A PC has no SCSI controller of its own: one is added with the first SCSI disk.
    if (!m_scsiController) {
        m_r += QStringLiteral(" -device lsi53c895a,id=scsi0");
        m_scsiController = true;
    }
    const QString id = QStringLiteral("scsi-disk") + QString::number(index);
    m_r += QStringLiteral(" -drive ") + quoted(file + QStringLiteral(",if=none,id=") + id) +
           QStringLiteral(" -device scsi-hd,drive=") + id +
           QStringLiteral(",bus=scsi0.0,scsi-id=") + QString::number(scsiUnit);
}

void Builder::appendFirmware()
{
    using ModernHardware::Firmware;
    const Firmware firmware = ModernHardware::FirmwareOf(read("Hardware", "Firmware"));
    if (firmware == Firmware::Bios || m_arc != QLatin1String("x86"))
        return;
    FirmwareChoice::Firmware chosen;
    chosen.code = read("Hardware", "Firmware Code");
    chosen.codeFormat = QStringLiteral("raw");
    chosen.secureBoot = firmware == Firmware::SecureBoot;
    // Every Secure Boot build keeps its variables writable from SMM only.
    chosen.requiresSmm = chosen.secureBoot;
    const QString vars = VMFirmware::VariableStoreOf(m_vm.selectedVM());
    if (chosen.code.isEmpty() || !QFileInfo::exists(chosen.code) || vars.isEmpty() ||
        !QFileInfo::exists(vars)) {
        if (m_refusal.isEmpty())
            m_refusal = QStringLiteral("This virtual machine cannot be launched: its UEFI "
                                       "firmware or its variable store is missing. Please choose "
                                       "the firmware again in \"Firmware\".");
        return;
    }
    const QString options = FirmwareChoice::QemuOptions(chosen, vars);
    if (m_unsafe.isEmpty() && options.count(Quote) % 2 != 0)
        m_unsafe = options;
    m_r += options;
}

void Builder::appendTpm()
{
    if (!ModernHardware::HasTpm(read("Hardware", "TPM")))
        return;
    const QString vmId = read("General", "VMID");
    QString error;
    const QString folder = socketFolder(&error);
    if (folder.isEmpty() || vmId.isEmpty()) {
        if (m_refusal.isEmpty())
            m_refusal = QStringLiteral("This virtual machine cannot be launched: its TPM has no "
                                       "place for its socket (%1).")
                            .arg(vmId.isEmpty() ? QStringLiteral("the VM has no VMID") : error);
        return;
    }
    m_r += TpmEmulator::QemuOptions(TpmEmulator::SocketPath(folder, Panels::SocketKey(vmId)));
}

QString Builder::usbController()
{
    // USB 3 carries high-speed devices and the tablet without the polling of the 12 Mb/s bus;
    // systems without its driver (Windows 7 and older) keep USB 1.1 with "USB3=No".
    if (modern() && read("Hardware", "USB3") != QLatin1String("No"))
        return QStringLiteral(" -device qemu-xhci,id=xhci");
    return QStringLiteral(" -usb");
}

void Builder::appendFloppies()
{
    const struct
    {
        const char* key;
        const char* suffix;
        const char* oldOption;
    } Floppies[] = {{"FloppyA", ",index=0,if=floppy", " -fda "},
                    {"FloppyB", ",index=1,if=floppy", " -fdb "}};
    for (const auto& floppy : Floppies) {
        const QString value = read("Drives", floppy.key);
        if (value.isEmpty())
            continue;
        const QString path = mediaPath(value);
        if (modern())
            m_r += QStringLiteral(" -drive ") +
                   quoted(fileOption(path) + s(floppy.suffix) +
                          formatOption(recordedFormat(s("Drives"), s(floppy.key)), path) +
                          readOnlyFolderOption(path, s(",readonly=on")));
        else if (!m_compatDrive)
            m_r += QStringLiteral(" -drive ") + quoted(fileOption(path) + s(floppy.suffix));
        else
            m_r += s(floppy.oldOption) + quoted(path);
    }
}

void Builder::appendBoot()
{
    if (QemuGeneration::takesBootOrder(m_generation)) {
        const QStringList items =
            read("Drives", "BootOrder").split(QLatin1Char('|'), Qt::SkipEmptyParts);
        QString option = QStringLiteral(" -boot order=");
        if (items.isEmpty())
            option += QLatin1Char('c');
        for (const QString& item : items) {
            if (item == QLatin1String("Floppy Drive"))
                option += QLatin1Char('a');
            else if (item == QLatin1String("Hard Drive"))
                option += QLatin1Char('c');
            else if (item == QLatin1String("CD/DVD Drive"))
                option += QLatin1Char('d');
            else if (item == QLatin1String("Network"))
                option += QLatin1Char('n');
        }
        option +=
            isYes("Drives", "Boot Menu") ? QStringLiteral(",menu=on") : QStringLiteral(",menu=off");
        m_r += option;
        return;
    }
    const QString drive = read("Drives", "Boot Drive ID");
    if (drive == QLatin1String("0"))
        m_r += QStringLiteral(" -boot c");
    else if (drive == QLatin1String("1"))
        m_r += QStringLiteral(" -boot a");
    else if (drive == QLatin1String("2"))
        m_r += QStringLiteral(" -boot d");
    else if (drive == QLatin1String("3"))
        m_r += QStringLiteral(" -boot n");
}

void Builder::appendKqemu()
{
    if (!flag("KQEMU") || m_arc != QLatin1String("x86") || m_versionId.isEmpty())
        return;
    const QString mode = read("Advanced", "KQEMUID");
    if (m_generation == QLatin1String("1")) {
        if (mode == QLatin1String("1"))
            m_r += QStringLiteral(" -enable-kqemu");
        else if (mode == QLatin1String("2"))
            m_r += QStringLiteral(" -kernel-kqemu");
    } else if (m_generation == QLatin1String("2")) {
        if (mode == QLatin1String("0"))
            m_r += QStringLiteral(" -no-kqemu");
        else if (mode == QLatin1String("2"))
            m_r += QStringLiteral(" -kernel-kqemu");
    }
}

// Every "|" separates an item, empty ones included; an empty value has none.
QStringList items(const QString& value)
{
    return value.isEmpty() ? QStringList() : value.split(QLatin1Char('|'));
}

void Builder::appendNetwork()
{
    if (!isYes("Hardware", "Network")) {
        m_r += QStringLiteral(" -net none");
        return;
    }
    const QString count = read("Network", "CardCount");
    if (count.isEmpty())
        return;
    int ports = 0;
    for (int n = 1, last = sectionCount(count); n <= last; ++n) {
        const QString section = QStringLiteral("Network Card ") + QString::number(n);
        if (modern())
            appendModernCard(section, n, ports);
        else
            appendCard(section);
    }
}

void Builder::appendCard(const QString& section)
{
    const QString vlan = QString::number(number(read(section, "VLAN")));
    m_r += QStringLiteral(" -net nic,vlan=") + vlan;
    const QString mac = read(section, "MAC");
    if (mac != QLatin1String("Auto"))
        m_r += QStringLiteral(",macaddr=") + plain(mac);
    if (const QString model = read(section, "LID"); !modernOnly("LID", model))
        m_r += QStringLiteral(",model=") + plain(model);

    const QString type = read(section, "VLAN Type");
    if (type == QLatin1String("User Networking")) {
        m_r += QStringLiteral(" -net user,vlan=") + vlan;
        for (const QString& item : items(read(section, "Redirectors")))
            m_r += QStringLiteral(" -redir ") + plain(withoutHostAddress(item));
    } else if (type == QLatin1String("TAP Networking")) {
        m_r +=
            QStringLiteral(" -net ") + quoted(QStringLiteral("tap,vlan=") + vlan +
                                              QStringLiteral(",ifname=") + read(section, "TapID"));
    }
    for (const QString& item : items(read(section, "Listeners")))
        m_r +=
            QStringLiteral(" -net socket,vlan=") + vlan + QStringLiteral(",listen=:") + plain(item);
    for (const QString& item : items(read(section, "Connectors")))
        m_r +=
            QStringLiteral(" -net socket,vlan=") + vlan + QStringLiteral(",connect=") + plain(item);
}

// Each VLAN is a hub; the card and every back end of its VLAN are ports on it.
void Builder::appendModernCard(const QString& section, int n, int& ports)
{
    const QString hub = QString::number(number(read(section, "VLAN")));
    // A back end joins the hub through a port of its own.
    const auto onHub = [this, &hub, &ports](const QString& backend) {
        const QString port = QStringLiteral("hubport") + QString::number(++ports);
        m_r += QStringLiteral(" -netdev ") +
               quoted(backend + QStringLiteral(",id=backend") + QString::number(ports)) +
               QStringLiteral(" -netdev hubport,id=") + port + QStringLiteral(",hubid=") + hub +
               QStringLiteral(",netdev=backend") + QString::number(ports);
    };

    const QString card = QStringLiteral("card") + QString::number(n);
    m_r += QStringLiteral(" -netdev hubport,id=") + card + QStringLiteral(",hubid=") + hub;
    const QString model = listValue(section, read(section, "LID"));
    const bool onBoard = ModernOptions::isOnBoardNic(model);
    QString nic = (onBoard ? QStringLiteral("nic,model=") : QString()) +
                  ModernOptions::nicModel(model) + QStringLiteral(",netdev=") + card;
    const QString mac = read(section, "MAC");
    if (mac != QLatin1String("Auto")) {
        const auto colons = ModernOptions::colonMac(mac);
        if (!colons)
            refuse(section + QStringLiteral(" MAC"), mac);
        nic += (onBoard ? QStringLiteral(",macaddr=") : QStringLiteral(",mac=")) +
               colons.value_or(QString());
    }
    m_r += (onBoard ? QStringLiteral(" -net ") : QStringLiteral(" -device ")) + quoted(nic);

    const QString type = read(section, "VLAN Type");
    if (type == QLatin1String("User Networking")) {
        QString user = QStringLiteral("user");
        for (const QString& item : items(read(section, "Redirectors"))) {
            const auto forward = ModernOptions::hostForward(item);
            if (!forward)
                refuse(section + QStringLiteral(" Redirectors"), item);
            user += QStringLiteral(",hostfwd=") + forward.value_or(QString());
        }
        onHub(user);
    } else if (type == QLatin1String("TAP Networking")) {
        onHub(QStringLiteral("tap,ifname=") + listValue(section, read(section, "TapID")) +
              QStringLiteral(",script=no,downscript=no"));
    }
    for (const QString& item : items(read(section, "Listeners")))
        onHub(QStringLiteral("socket,listen=:") + listValue(section, item));
    for (const QString& item : items(read(section, "Connectors")))
        onHub(QStringLiteral("socket,connect=") + listValue(section, item));
}

void Builder::appendModernUsb()
{
    if (!flag("USB") || !isYes("Hardware", "Enable USB"))
        return;
    m_r += usbController();
    m_usbOn = true;
    for (int n = 1, last = sectionCount(read("USB Devices", "Count")); n <= last; ++n) {
        const QString section = QStringLiteral("USB Device ") + QString::number(n);
        const QString type = read(section, "Type");
        if (type == QLatin1String("HW")) {
            const QString vendor = read(section, "VendID");
            const QString product = read(section, "ProdID");
            const auto vendorId = ModernOptions::usbId(vendor);
            const auto productId = ModernOptions::usbId(product);
            if (!vendorId || !productId)
                refuse(section, vendor + QLatin1Char(':') + product);
            m_r += QStringLiteral(" -device usb-host,vendorid=") + vendorId.value_or(QString()) +
                   QStringLiteral(",productid=") + productId.value_or(QString());
        } else if (type == QLatin1String("DRIVE") || type == QLatin1String("USBDISK")) {
            const QString path = diskPath(read(section, "DrivePath"));
            const QString id = QStringLiteral("usb-disk") + QString::number(n);
            m_r += QStringLiteral(" -drive ") +
                   quoted(fileOption(path) +
                          formatOption(recordedFormat(section, s("DrivePath")), path) +
                          QStringLiteral(",if=none,id=") + id) +
                   QStringLiteral(" -device usb-storage,drive=") + id;
        } else if (type == QLatin1String("MOUSE")) {
            m_r += QStringLiteral(" -device usb-mouse");
        } else if (type == QLatin1String("KEYBOARD")) {
            m_r += QStringLiteral(" -device usb-kbd");
        } else if (type == QLatin1String("TABLET")) {
            m_r += QStringLiteral(" -device usb-tablet");
        }
    }
}

void Builder::appendUsb()
{
    if (!flag("USB") || !isYes("Hardware", "Enable USB"))
        return;
    m_r += QStringLiteral(" -usb");
    m_usbOn = true;
    for (int n = 1, last = sectionCount(read("USB Devices", "Count")); n <= last; ++n) {
        const QString section = QStringLiteral("USB Device ") + QString::number(n);
        const QString type = read(section, "Type");
        if (type == QLatin1String("HW"))
            m_r += QStringLiteral(" -usbdevice host:") + plain(read(section, "VendID")) +
                   QLatin1Char(':') + plain(read(section, "ProdID"));
        else if (type == QLatin1String("DRIVE") || type == QLatin1String("USBDISK"))
            m_r += QStringLiteral(" -usbdevice ") +
                   word(QStringLiteral("disk:") + diskPath(read(section, "DrivePath")));
        else if (type == QLatin1String("MOUSE"))
            m_r += QStringLiteral(" -usbdevice mouse");
        else if (type == QLatin1String("KEYBOARD"))
            m_r += QStringLiteral(" -usbdevice keyboard");
        else if (type == QLatin1String("TABLET"))
            m_r += QStringLiteral(" -usbdevice tablet");
    }
}

void Builder::appendIntegratedDisplay()
{
    const bool refused = !m_unsafe.isEmpty() || !m_refusal.isEmpty();
    if (!flag("INT")) {
        if (m_env.hideRunTabs)
            m_env.hideRunTabs();
        // Today's QEMU gives every VM its monitor, whatever shows its screen.
        if (modern() && !refused)
            appendMonitor();
        return;
    }
    if (read("Hardware", "OutputID") != QLatin1String("0") || refused) {
        if (modern() && !refused)
            appendMonitor();
        return;
    }
    const QString panel = m_env.allocatePanel ? m_env.allocatePanel() : Panels::AllocatePanel();
    if (panel == QLatin1String("ERR")) {
        // Without a panel's socket QEMU would show the screen its own way, a VNC port of its
        // choosing included.
        if (modern() && m_refusal.isEmpty())
            m_refusal =
                QStringLiteral(
                    "This virtual machine cannot be launched: all %1 display panels of the main "
                    "window "
                    "are in use. Please end a virtual machine shown in the main window, or choose "
                    "another display in \"Main Display\".")
                    .arg(Panels::PanelCount);
        if (modern())
            appendMonitor();
        return;
    }
    m_vm.WriteVMValue({}, s("General"), s("PanelID"), panel);
    if (modern()) {
        // The panel shows the VM through a display socket only this user can reach.
        m_r += QStringLiteral(" -display none -vnc ") +
               quoted(QStringLiteral("unix:") +
                      escapedCommas(Panels::DisplaySocketPath(
                          socketFolder(), EmbeddedDisplay::socketKey(m_vm.selectedVM()))));
    } else {
        const QString window = m_env.panelWindowId ? m_env.panelWindowId(panel.toInt()) : QString();
        m_r += QStringLiteral(" -hwnd ") + word(window);
    }
    appendMonitor();
}

void Builder::appendMonitor()
{
    if (!flag("CONSOLE"))
        return;
    const int port =
        m_env.allocateMonitorPort ? m_env.allocateMonitorPort() : Panels::AllocateMonitorPort();
    // Every port of the range is taken: the VM runs without a monitor.
    if (port == 0)
        return;
    // A socket in the user's private folder, whatever the generation (QEMU takes "unix:" from
    // 0.10 on): the monitor runs any command, host programs included, so no other user or
    // program may reach it. The port stays recorded as the sign that the VM has a monitor.
    const QString socket =
        Panels::MonitorSocketPath(socketFolder(), EmbeddedDisplay::socketKey(m_vm.selectedVM()));
    m_r += QStringLiteral(" -monitor ") +
           quoted(modern() ? QStringLiteral("unix:") + escapedCommas(socket) +
                                 QStringLiteral(",server=on,wait=off")
                           : QStringLiteral("unix:") + socket + QStringLiteral(",server,nowait"));
    m_vm.WriteVMValue({}, s("General"), s("PortID"), QString::number(port));
}

void Builder::appendVnc()
{
    const QString display = read("Hardware", "VNC Number");
    if (read("Hardware", "OutputID") != QLatin1String("2") || display.isEmpty())
        return;
    QString options = QStringLiteral(" ");
    if (!isYes("Hardware", "USB Tablet")) {
        if (modern()) {
            options += m_usbOn ? QStringLiteral(" -device usb-tablet")
                               : usbController() + QStringLiteral(" -device usb-tablet");
            m_usbOn = true;
        } else {
            options += QStringLiteral(" -usbdevice tablet");
        }
    }
    if (modern()) {
        bool numeric = false;
        display.toUInt(&numeric);
        if (!numeric)
            refuse(s("VNC Number"), display);
    }
    // Every local user reaches a port on 127.0.0.1: today's QEMU asks them for the password of
    // this run. A socket in the private folder is this user's alone and needs none.
    if (vncOnSocket()) {
        const QString socket =
            Panels::VncSocketPath(socketFolder(), EmbeddedDisplay::socketKey(m_vm.selectedVM()));
        options += QStringLiteral(" -vnc ") +
                   quoted(QStringLiteral("unix:") + (modern() ? escapedCommas(socket) : socket));
    } else if (modern()) {
        QString error;
        const QString folder = RuntimeFolder::vimorFolder(&error);
        if (folder.isEmpty() && m_refusal.isEmpty())
            m_refusal = QStringLiteral("This virtual machine cannot be launched: %1.").arg(error);
        const QString secret = folder + QLatin1Char('/') +
                               Panels::VncSecretName(EmbeddedDisplay::socketKey(m_vm.selectedVM()));
        m_vncPassword = VncPassword();
        options += QStringLiteral(" -object ") +
                   quoted(QStringLiteral("secret,id=vnc-secret,file=") + escapedCommas(secret)) +
                   QStringLiteral(" -vnc 127.0.0.1:") + display +
                   QStringLiteral(",password-secret=vnc-secret");
    } else {
        options += QStringLiteral(" -vnc 127.0.0.1:") + plain(display);
    }
    const QString keyboard = read("Hardware", "Keyboard");
    QString layout;
    if (keyboard.isEmpty()) {
        layout = QStringLiteral("en-us");
    } else if (modern()) {
        // The catalogue has a layout with a trailing blank; QEMU looks for the file as named.
        layout = quoted(listValue(s("Keyboard"), keyboard.trimmed()));
    } else {
        layout = plain(keyboard);
    }
    options += QStringLiteral(" -k ") + layout;
    m_r += options;
}

// The PROM environment, the additional parameters and the clock.
QString Builder::tail()
{
    QString options;
    const QStringList prom =
        read("Hardware", "PromEnv").split(QLatin1Char('|'), Qt::SkipEmptyParts);
    for (const QString& item : prom)
        options += QStringLiteral(" -prom-env ") + quoted(item);

    // The user's own options: their quotes group their arguments, so only an unbalanced one
    // would regroup what follows.
    const QString optional = read("Advanced", "OptionalString");
    if (!optional.isEmpty()) {
        if (m_unsafe.isEmpty() && optional.count(Quote) % 2 != 0)
            m_unsafe = optional;
        options += QLatin1Char(' ') + optional;
    }

    const QString start = read("Advanced", "Start Time");
    if (start == QLatin1String("Now")) {
        if (isYes("Hardware", "Use Local Time"))
            options +=
                modern() ? QStringLiteral(" -rtc base=localtime") : QStringLiteral(" -localtime");
    } else if (!start.isEmpty() && modern()) {
        const auto date = ModernOptions::startDate(start);
        if (!date)
            refuse(s("Start Time"), start);
        options += QStringLiteral(" -rtc base=") + date.value_or(QString());
    } else if (!start.isEmpty()) {
        options += QStringLiteral(" -startdate ") + plain(start);
    }
    return options;
}

} // namespace

LaunchString BuildLaunchString(VMContext& vm, const LaunchEnvironment& env)
{
    return Builder(vm, env).build();
}

bool UsesMonitor(VMContext& vm, const QString& vmFile)
{
    VersionRegistry& versions = vm.versions();
    const QString versionId = ReadVMFileValue(vmFile, s("General"), s("Qemu Version ID"));
    if (!versions.VersionFlag(versionId, s("CONSOLE")))
        return false;
    return ReadVMFileValue(vmFile, s("Hardware"), s("OutputID")) == QLatin1String("0") ||
           QemuGeneration::isModern(versions.VersionCode(versionId));
}

std::optional<VncAccess> TakeVncAccess(VMContext& vm, const QString& vmFile, bool remove)
{
    const QString hardware = s("Hardware");
    const QString display = ReadVMFileValue(vmFile, hardware, s("VNC Number"));
    if (ReadVMFileValue(vmFile, hardware, s("OutputID")) != QLatin1String("2") ||
        display.isEmpty() ||
        (ReadVMFileValue(vmFile, s("Advanced"), s("OverrideAll")) == Yes &&
         !ReadVMFileValue(vmFile, s("Advanced"), s("OptionalString")).isEmpty()))
        return std::nullopt;
    const QString folder = RuntimeFolder::vimorFolder();
    const QString key = EmbeddedDisplay::socketKey(vmFile);
    if (ModernHardware::VncOnSocket(
            ReadVMFileValue(vmFile, hardware, ModernHardware::VncSocketKey())))
        return VncAccess{Panels::VncSocketPath(folder, key), {}, true};
    // Before 7.2 the port has no password (and a file left by a run on today's QEMU is not its).
    if (!QemuGeneration::isModern(
            vm.versions().VersionCode(ReadVMFileValue(vmFile, s("General"), s("Qemu Version ID")))))
        return std::nullopt;
    QFile secret(folder + QLatin1Char('/') + Panels::VncSecretName(key));
    if (folder.isEmpty() || !secret.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QString password = QString::fromUtf8(secret.readAll());
    if (remove)
        secret.remove();
    return VncAccess{QStringLiteral("127.0.0.1:") + QString::number(5900 + display.toInt()),
                     password, false};
}

QString FindBiosFolder(VMContext& vm)
{
    const QString id = vm.ReadVMValue(s("General"), s("Qemu Version ID"));
    return biosFolder(vm.versions().VersionPath(id));
}
