#include "launch/LaunchString.h"

#include "launch/Panels.h"
#include "media/DriveValues.h"
#include "model/ProgramFolder.h"
#include "model/Settings.h"
#include "model/VMContext.h"
#include "platform/HostDrives.h"
#include "versions/VersionRegistry.h"

#include <QDir>
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
QString fileOption(const QString& path)
{
    QString escaped = path;
    escaped.replace(QLatin1Char(','), QStringLiteral(",,"));
    return QStringLiteral("file=") + escaped;
}

// Turns one VM definition file into QEMU's arguments, keeping note of the first value that would
// break the string's grouping.
class Builder final
{
public:
    Builder(VMContext& vm, const LaunchEnvironment& env) : m_vm(vm), m_env(env) {}

    LaunchString build();

private:
    QString read(const char* section, const char* key) const
    {
        return m_vm.ReadVMValue(s(section), s(key));
    }
    QString read(const QString& section, const char* key) const
    {
        return m_vm.ReadVMValue(section, s(key));
    }
    bool isYes(const char* section, const char* key) const { return read(section, key) == Yes; }
    bool flag(const char* field) const
    {
        return m_vm.versions().VersionFlag(m_versionId, s(field));
    }

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

    // A hard-disk value as the path QEMU opens on this host.
    QString diskPath(const QString& value)
    {
        const QString path = ResolveDrivePath(value, m_vm.table(VMContext::Table::VLookup),
                                              read("General", "VM Store ID"));
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
    QString m_versionId;
    QString m_arc;
    QString m_generation;
    bool m_compatDrive = false;
    bool m_usbOn = false;
    QString m_r;
    QString m_unsafe;
};

LaunchString Builder::build()
{
    const QString optional = read("Advanced", "OptionalString");
    if (isYes("Advanced", "OverrideAll") && !optional.isEmpty()) {
        // The user's own command line: its quotes group its arguments, so only an unbalanced
        // one is a fault.
        return {optional, optional.count(Quote) % 2 != 0 ? optional : QString()};
    }

    m_versionId = read("General", "Qemu Version ID");
    m_arc = read("General", "Arc");
    m_generation = m_vm.versions().VersionCode(m_versionId);
    m_compatDrive = m_vm.startSettings().compatDrive;

    appendBios();
    m_r += QStringLiteral(" -M ") + quoted(read("Hardware", "MID"));
    m_r += QStringLiteral(" -m ") + plain(read("Hardware", "RAM"));
    const QString cpu = read("Hardware", "CID");
    if (m_arc != QLatin1String("cf") && m_arc != QLatin1String("cris") &&
        cpu != QLatin1String("Default"))
        m_r += QStringLiteral(" -cpu ") + quoted(cpu);
    const QString processors = read("Hardware", "Processors");
    if (number(processors) > 1)
        m_r += QStringLiteral(" -smp ") + plain(processors);

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

    m_r += QStringLiteral(" -vga ") + plain(read("Hardware", "VID"));
    appendSerialPorts();
    appendParallelPorts();

    const QString title = read("General", "Window Title");
    m_r += QStringLiteral(" -name ") +
           quoted(title == QLatin1String("{VM NAME}") ? m_vm.selectedVMName() : title);

    appendDisks();
    appendFloppies();
    appendBoot();

    if (m_arc != QLatin1String("sparc") && m_arc != QLatin1String("cf") &&
        m_arc != QLatin1String("cris") && isYes("Audio", "Enable Sound"))
        m_r += QStringLiteral(" -soundhw ") + plain(read("Audio", "SID"));

    appendKqemu();
    if (isYes("Hardware", "Do Not Start CPU"))
        m_r += QStringLiteral(" -S");
    appendNetwork();

    if (m_arc == QLatin1String("x86")) {
        if (isYes("Hardware", "Enable WIN2K Hack"))
            m_r += QStringLiteral(" -win2k-hack");
        if (isYes("Advanced", "Enable HAL Hack"))
            m_r += QStringLiteral(" -rtc-td-hack");
        if (isYes("Advanced", "Disable HPET"))
            m_r += QStringLiteral(" -no-hpet");
        if (isYes("Advanced", "ACPI"))
            m_r += QStringLiteral(" -no-acpi");
        if (isYes("Advanced", "Disable Boot Signature"))
            m_r += QStringLiteral(" -no-fd-bootchk");
    }

    const QString snapshot = read("Advanced", "Snapshot");
    if (!snapshot.isEmpty())
        m_r += QStringLiteral(" -loadvm ") + quoted(snapshot);
    if (isYes("Hardware", "Do Not Apply"))
        m_r += QStringLiteral(" -snapshot");

    appendUsb();

    if (flag("BT") && isYes("Hardware", "Enable Bluetooth")) {
        m_r += m_usbOn ? QStringLiteral(" -usbdevice bt:hci,vlan=0")
                       : QStringLiteral(" -usb -usbdevice bt:hci,vlan=0");
        m_usbOn = true;
        if (isYes("Hardware", "BTKeyboard"))
            m_r += QStringLiteral(" -bt device:keyboard,vlan=0");
    }

    if (read("Hardware", "OutputID") == QLatin1String("3"))
        m_r += QStringLiteral(" -full-screen");

    if (!isYes("Hardware", "VNC Server") && isYes("Hardware", "USB Tablet") && flag("USB"))
        m_r += m_usbOn ? QStringLiteral(" -usbdevice tablet")
                       : QStringLiteral(" -usb -usbdevice tablet");

    // The options after the display are read first, so that a string the launcher will refuse
    // reserves no panel and no port.
    const QString lastOptions = tail();
    appendIntegratedDisplay();
    appendVnc();
    m_r += lastOptions;

    m_vm.WriteVMValue({}, s("General"), s("LaunchString"), m_r);
    return {m_r, m_unsafe};
}

void Builder::appendBios()
{
    const QString bios = read("Advanced", "Bios");
    if (bios == QLatin1String("Default")) {
        m_r = QStringLiteral("-L ") + quoted(FindBiosFolder(m_vm));
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
            m_r += QStringLiteral(" -serial ") + plain(read(section, "Serial"));
        } else if (type == QLatin1String("2")) {
            m_r += QStringLiteral(" -serial ") +
                   quoted(QStringLiteral("file:") + read(section, "Serial"));
        } else if (type == QLatin1String("3")) {
            m_r += QStringLiteral(" -serial tcp:") + plain(read(section, "IP")) + QLatin1Char(':') +
                   plain(read(section, "Port"));
            if (read(section, "listen") != QLatin1String("0"))
                m_r += QStringLiteral(",server");
            if (read(section, "wait") == QLatin1String("0"))
                m_r += QStringLiteral(",nowait");
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
        if (!value.isEmpty()) {
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
        if (cd.size() == 2) {
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
        if (!m_compatDrive)
            m_r += QStringLiteral(" -drive ") + quoted(fileOption(path) + s(floppy.suffix));
        else
            m_r += s(floppy.oldOption) + quoted(path);
    }
}

void Builder::appendBoot()
{
    if (m_generation == QLatin1String("0") || m_generation == QLatin1String("1")) {
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

void Builder::appendNetwork()
{
    if (!isYes("Hardware", "Network")) {
        m_r += QStringLiteral(" -net none");
        return;
    }
    const QString count = read("Network", "CardCount");
    if (count.isEmpty())
        return;
    // Every "|" separates an item, empty ones included; an empty value has none.
    const auto items = [](const QString& value) {
        return value.isEmpty() ? QStringList() : value.split(QLatin1Char('|'));
    };
    for (int n = 1, last = sectionCount(count); n <= last; ++n) {
        const QString section = QStringLiteral("Network Card ") + QString::number(n);
        const QString vlan = QString::number(number(read(section, "VLAN")));
        m_r += QStringLiteral(" -net nic,vlan=") + vlan;
        const QString mac = read(section, "MAC");
        if (mac != QLatin1String("Auto"))
            m_r += QStringLiteral(",macaddr=") + plain(mac);
        m_r += QStringLiteral(",model=") + plain(read(section, "LID"));

        const QString type = read(section, "VLAN Type");
        if (type == QLatin1String("User Networking")) {
            m_r += QStringLiteral(" -net user,vlan=") + vlan;
            for (const QString& item : items(read(section, "Redirectors")))
                m_r += QStringLiteral(" -redir ") + plain(item);
        } else if (type == QLatin1String("TAP Networking")) {
            m_r += QStringLiteral(" -net ") +
                   quoted(QStringLiteral("tap,vlan=") + vlan + QStringLiteral(",ifname=") +
                          read(section, "TapID"));
        }
        for (const QString& item : items(read(section, "Listeners")))
            m_r += QStringLiteral(" -net socket,vlan=") + vlan + QStringLiteral(",listen=:") +
                   plain(item);
        for (const QString& item : items(read(section, "Connectors")))
            m_r += QStringLiteral(" -net socket,vlan=") + vlan + QStringLiteral(",connect=") +
                   plain(item);
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
    if (!flag("INT")) {
        if (m_env.hideRunTabs)
            m_env.hideRunTabs();
        return;
    }
    if (read("Hardware", "OutputID") != QLatin1String("0") || !m_unsafe.isEmpty())
        return;
    const QString panel = m_env.allocatePanel ? m_env.allocatePanel() : Panels::AllocatePanel();
    if (panel == QLatin1String("ERR"))
        return;
    m_vm.WriteVMValue({}, s("General"), s("PanelID"), panel);
    const QString window = m_env.panelWindowId ? m_env.panelWindowId(panel.toInt()) : QString();
    m_r += QStringLiteral(" -hwnd ") + word(window);
    if (!flag("CONSOLE"))
        return;
    const int port =
        m_env.allocateMonitorPort ? m_env.allocateMonitorPort() : Panels::AllocateMonitorPort();
    // Every port of the range is taken: the VM runs without a monitor.
    if (port == 0)
        return;
    m_r += QStringLiteral(" -monitor telnet:127.0.0.1:") + QString::number(port) +
           QStringLiteral(",server,nowait");
    m_vm.WriteVMValue({}, s("General"), s("PortID"), QString::number(port));
}

void Builder::appendVnc()
{
    const QString display = read("Hardware", "VNC Number");
    if (read("Hardware", "OutputID") != QLatin1String("2") || display.isEmpty())
        return;
    QString options = QStringLiteral(" ");
    if (!isYes("Hardware", "USB Tablet"))
        options += QStringLiteral(" -usbdevice tablet");
    // A VNC server without a password is for this host's own viewer only.
    options += QStringLiteral(" -vnc 127.0.0.1:") + plain(display);
    const QString keyboard = read("Hardware", "Keyboard");
    options +=
        QStringLiteral(" -k ") + (keyboard.isEmpty() ? QStringLiteral("en-us") : plain(keyboard));
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
            options += QStringLiteral(" -localtime");
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

QString FindBiosFolder(VMContext& vm)
{
    const QString id = vm.ReadVMValue(s("General"), s("Qemu Version ID"));
    const QString stored = vm.versions().VersionPath(id);
    // An unknown version has no folder; its stand-in "\" would search the whole disk.
    if (stored.isEmpty())
        return {};
    QString folder = ProgramFolder::nativeExpanded(stored);
    while (folder.size() > 1 &&
           (folder.endsWith(QLatin1Char('/')) || folder.endsWith(QLatin1Char('\\'))))
        folder.chop(1);

    const QStringList bin{QStringLiteral("*.bin")};
    const QDir top(folder);
    if (!top.entryList(bin, QDir::Files).isEmpty())
        return folder;
    // Subfolders in name order without regard to case, as the desktop this ran on lists them;
    // names starting with "." are hidden and left out.
    QString found;
    const QStringList subfolders =
        top.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : subfolders) {
        if (name.startsWith(QLatin1Char('.')))
            continue;
        if (!QDir(top.filePath(name)).entryList(bin, QDir::Files).isEmpty())
            found = QDir::toNativeSeparators(top.filePath(name));
    }
    return found;
}
