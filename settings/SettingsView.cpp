#include "settings/SettingsView.h"

#include "model/IniFile.h"
#include "model/ModernHardware.h"
#include "model/QemuGeneration.h"
#include "model/TableHandle.h"
#include "model/VMContext.h"
#include "model/VMFile.h"
#include "settings/ModernHardwareEditing.h"
#include "versions/VersionRegistry.h"

#include <QFileInfo>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

const QString General = u"General"_s;
const QString Hardware = u"Hardware"_s;
const QString Drives = u"Drives"_s;
const QString Audio = u"Audio"_s;
const QString Network = u"Network"_s;
const QString Advanced = u"Advanced"_s;
const QString Ports = u"Ports"_s;
const QString Yes = u"Yes"_s;
const QString X86 = u"x86"_s;

// No editor writes more than a handful of cards or ports; a damaged count in the millions must not
// stall the window with as many rows and file reads each time the VM is shown.
constexpr int MaxNumberedItems = 1000;

// A count as the lists read it: a decimal number, 0 when empty or not a number.
int readCount(const QString& text)
{
    bool ok = false;
    const int count = text.trimmed().toInt(&ok);
    return ok ? count : 0;
}

// How many numbered rows (or sections) a count stands for.
int numberedItems(const QString& countText)
{
    return std::clamp(readCount(countText), 0, MaxNumberedItems);
}

// The writes of one upgrade. Once one has failed the rest are skipped: the file cannot be written,
// and the user has been told so once.
class Upgrade final
{
public:
    Upgrade(VMContext& vm, QString file) : m_vm(vm), m_file(std::move(file)) {}

    QString read(const QString& section, const QString& key) const
    {
        return ReadVMFileValue(m_file, section, key);
    }
    void write(const QString& section, const QString& key, const QString& value)
    {
        // A file that vanished since the tree was built is left alone, without a message.
        if (m_ok && !QFileInfo::exists(m_file))
            m_ok = false;
        if (m_ok)
            m_ok = m_vm.WriteVMValue(m_file, section, key, value);
    }
    void remove(const QString& section, const QString& key)
    {
        if (m_ok)
            m_ok = IniFile(m_file).deleteKey(section, key);
    }

private:
    VMContext& m_vm;
    QString m_file;
    bool m_ok = true;
};

// The description (DESC) of the version row with that identifier; empty when there is none.
QString versionDescription(TableHandle& lookup, const QString& id)
{
    lookup.close();
    lookup.setFilter(TableHandle::equalsFilter(u"ID"_s, id));
    lookup.setFiltered(true);
    QString description;
    if (lookup.open() && !lookup.isEmpty())
        description = lookup.fieldValue(u"DESC"_s);
    lookup.close();
    lookup.setFilter(QString());
    lookup.setFiltered(false);
    return description;
}

void upgradeVersion(VMContext& vm, Upgrade& up)
{
    if (!up.read(General, u"Qemu Version"_s).isEmpty())
        return;
    // A VM that names a version keeps it: replacing the identifier would move the VM to another
    // QEMU build behind the user's back. Only its missing description is taken from its row.
    const QString id = up.read(General, u"Qemu Version ID"_s);
    if (!id.isEmpty()) {
        const QString description = versionDescription(vm.table(VMContext::Table::VerLookup), id);
        if (!description.isEmpty())
            up.write(General, u"Qemu Version"_s, description);
        return;
    }
    const VersionRegistry::Version fallback = vm.versions().DefaultVersion();
    vm.table(VMContext::Table::VRVers).close();
    if (fallback.id.isEmpty() && fallback.description.isEmpty())
        return;
    up.write(General, u"Qemu Version"_s, fallback.description);
    up.write(General, u"Qemu Version ID"_s, fallback.id);
}

void upgradeMacs(Upgrade& up)
{
    if (up.read(Hardware, u"Network"_s) != Yes)
        return;
    const int cards = numberedItems(up.read(Network, u"CardCount"_s));
    for (int card = 1; card <= cards; ++card) {
        const QString section = u"Network Card "_s + QString::number(card);
        if (up.read(section, u"MAC"_s) == u"Auto"_s)
            up.write(section, u"MAC"_s, GenerateMac());
    }
}

void upgradeDisplayMode(Upgrade& up)
{
    const QString mode = up.read(Hardware, u"OutputID"_s);
    // The earlier flags stay in the file after their first upgrade. They speak only while the
    // mode is unset or their own; otherwise a mode chosen since in the editor would be undone each
    // time the VM is shown.
    const auto otherMode = [&mode](const QString& own) {
        return mode != own &&
               (mode == u"0"_s || mode == u"1"_s || mode == u"2"_s || mode == u"3"_s);
    };
    const bool vnc = up.read(Hardware, u"VNC Server"_s) == Yes && !otherMode(u"2"_s);
    const bool fullScreen =
        up.read(Hardware, u"Full Screen Display"_s) == Yes && !otherMode(u"3"_s);
    if (mode == u"2"_s || vnc) {
        if (vnc) {
            up.write(Hardware, u"OutputID"_s, u"2"_s);
            up.write(Hardware, u"Output"_s, u"VNC Client"_s);
        }
    } else if (mode == u"3"_s || fullScreen) {
        if (fullScreen) {
            up.write(Hardware, u"OutputID"_s, u"3"_s);
            up.write(Hardware, u"Output"_s, u"Full Screen Display"_s);
        }
    } else if (up.read(Hardware, u"Vimor Client"_s) == Yes && mode.isEmpty()) {
        up.write(Hardware, u"OutputID"_s, u"0"_s);
        up.write(Hardware, u"Output"_s, u"Vimor (Default)"_s);
    } else if (mode != u"0"_s) {
        up.write(Hardware, u"OutputID"_s, u"1"_s);
        up.write(Hardware, u"Output"_s, u"QEMU Window"_s);
    }
}

void upgradeAccelerator(Upgrade& up, const QString& arc)
{
    const QString disable = u"Disable Accelerator"_s;
    const QString full = u"Full Acceleration"_s;
    if (up.read(Hardware, disable) == Yes) {
        up.write(Advanced, u"KQEMU"_s, u"Disabled"_s);
        up.write(Advanced, u"KQEMUID"_s, u"0"_s);
        up.remove(Hardware, disable);
        up.remove(Hardware, full);
    } else if (up.read(Hardware, full) == Yes) {
        up.write(Advanced, u"KQEMU"_s, u"Full Acceleration"_s);
        up.write(Advanced, u"KQEMUID"_s, u"2"_s);
        up.remove(Hardware, disable);
        up.remove(Hardware, full);
    }
    if (arc == X86 && up.read(Advanced, u"KQEMU"_s).isEmpty()) {
        up.write(Advanced, u"KQEMU"_s, u"User Mode"_s);
        up.write(Advanced, u"KQEMUID"_s, u"1"_s);
    }
}

// Runs the upgrade on the selected VM and returns whether its version (as named after the
// upgrade) has the KQEMU capability, which the advanced list needs too.
bool upgradeKeys(VMContext& vm, const QString& file)
{
    Upgrade up(vm, file);
    upgradeVersion(vm, up);
    const QString id = up.read(General, u"Qemu Version ID"_s);
    const bool kqemu = !id.isEmpty() && vm.versions().VersionFlag(id, u"KQEMU"_s);
    upgradeMacs(up);
    upgradeDisplayMode(up);
    if (up.read(Advanced, u"Affinity"_s).isEmpty()) {
        up.write(Advanced, u"Affinity"_s, u"Disabled"_s);
        up.write(Advanced, u"AffinityCPU"_s, QString());
    }
    if (up.read(Hardware, u"Dock Vimor"_s) == Yes)
        up.remove(Hardware, u"Dock Vimor"_s);
    const QString arc = up.read(General, u"Arc"_s);
    if (kqemu)
        upgradeAccelerator(up, arc);
    const QString misspelt = u"Disable Boot Signiture"_s;
    const QString bootSignature = up.read(Advanced, misspelt);
    if (arc == X86 && !bootSignature.isEmpty()) {
        up.write(Advanced, u"Disable Boot Signature"_s, bootSignature);
        up.remove(Advanced, misspelt);
    }
    return kqemu;
}

// Reads the selected VM's file for the lists.
class Reader final
{
public:
    // One reading serves the whole view: a VM shows some hundred values.
    explicit Reader(const QString& file) : m_file(file) {}

    QString operator()(const QString& section, const QString& key) const
    {
        return m_file.read(section, key);
    }
    // The value, or fallback when the key is absent (a key present but empty stays empty).
    QString orAbsent(const QString& section, const QString& key, const QString& fallback) const
    {
        return m_file.read(section, key, fallback);
    }

private:
    IniSnapshot m_file;
};

void add(QList<SettingsRow>& rows, const QString& caption, const QString& value, int icon,
         const QString& number = QString())
{
    rows.append({caption, value, icon, number});
}

// "<model> on VLAN <n>", then the number of each of the card's socket connectors, listeners and
// port redirectors that it has.
QString cardLine(const Reader& read, const QString& section)
{
    QString line = read(section, u"Lan Card"_s) + u" on VLAN "_s + read(section, u"VLAN"_s);
    const std::pair<QString, QString> lists[] = {{u"Connectors"_s, u" connector(s)"_s},
                                                 {u"Listeners"_s, u" listener(s)"_s},
                                                 {u"Redirectors"_s, u" redirector(s)"_s}};
    for (const auto& [key, word] : lists) {
        const int count = CountListItems(read(section, key));
        if (count > 0)
            line += u" - "_s + QString::number(count) + word;
    }
    return line;
}

void addNumbered(QList<SettingsRow>& rows, const Reader& read, const QString& prefix,
                 const QString& countKey, const QString& valueKey, int icon)
{
    const int count = numberedItems(read(Ports, countKey));
    for (int n = 1; n <= count; ++n) {
        const QString number = QString::number(n);
        add(rows, prefix + number, read(prefix + number, valueKey), icon, number);
    }
}

struct Capabilities
{
    bool usb = false;
    bool bt = false;
    bool kqemu = false;
    bool modern = false; // today's QEMU, which has the firmware, TPM and disk-bus settings
};

void addModern(QList<SettingsRow>& rows, const QString& caption, const QString& value, int icon)
{
    rows.append({caption, value, icon, QString(), ModernHardwareEditing::PictureOf(icon)});
}

QList<SettingsRow> hardwareRows(const Reader& read, const QString& vmName, const QString& arc,
                                const Capabilities& caps)
{
    QList<SettingsRow> rows;
    add(rows, u"Virtual Machine Name"_s, vmName, 51);
    const QString version = read(General, u"Qemu Version"_s);
    add(rows, u"QEMU Version"_s, version.isEmpty() ? u"ERROR"_s : version, 82);
    add(rows, u"Machine Type"_s, read(Hardware, u"MachineType"_s), 71);
    add(rows, u"CPU Type"_s, read(Hardware, u"CPUArc"_s), 58);
    add(rows, u"CPU Model"_s, read(Hardware, u"CPUType"_s), 58);
    add(rows, u"No of CPUs"_s, read(Hardware, u"Processors"_s), 3);
    add(rows, u"Operating System"_s, read(General, u"Operating System"_s), 0);
    add(rows, u"RAM (Memory)"_s, read(Hardware, u"RAM"_s) + u" MB"_s, 2);
    if (arc != u"sparc"_s && arc != u"cf"_s && arc != u"cris"_s) {
        const QString sound = read(Audio, u"Enable Sound"_s);
        add(rows, u"Enable Sound Card"_s, sound, 19);
        if (sound == Yes)
            add(rows, u"Sound Card"_s, read(Audio, u"SoundCard"_s), 59);
    }
    const QString network = read(Hardware, u"Network"_s);
    add(rows, u"Enable Networking"_s, network, 45);
    if (network == Yes) {
        const int cards = numberedItems(read(Network, u"CardCount"_s));
        for (int card = 1; card <= cards; ++card) {
            const QString number = QString::number(card);
            add(rows, u"Network Card "_s + number, cardLine(read, u"Network Card "_s + number), 57,
                number);
        }
    }
    add(rows, u"Video Card"_s, read(Hardware, u"Video Card"_s), 60);
    using namespace ModernHardwareEditing;
    const bool modernPc = caps.modern && arc == X86;
    if (modernPc) {
        addModern(
            rows, u"Firmware"_s,
            ModernHardware::FirmwareText(ModernHardware::FirmwareOf(read(Hardware, u"Firmware"_s))),
            FirmwareIcon);
        addModern(rows, u"TPM"_s,
                  ModernHardware::TpmTexts().at(ModernHardware::HasTpm(read(Hardware, u"TPM"_s))),
                  TpmIcon);
        addModern(rows, u"VirtIO RNG"_s, read.orAbsent(Hardware, u"VirtIO RNG"_s, u"No"_s),
                  RngIcon);
        const auto yesNo = [](bool on) { return on ? Yes : u"No"_s; };
        addModern(rows, u"Share Clipboard"_s,
                  yesNo(ModernHardware::SharesClipboard(
                      read(Hardware, ModernHardware::ShareClipboardKey()))),
                  ClipboardIcon);
        // Other cards keep their size whatever the window does.
        const QString videoCard = read(Hardware, u"Video Card"_s);
        if (ModernHardware::CanResizeGuest(videoCard))
            addModern(rows, u"Resize Guest With Window"_s,
                      yesNo(ModernHardware::ResizesGuest(
                          read(Hardware, ModernHardware::ResizeGuestKey()), videoCard)),
                      ResizeGuestIcon);
    }
    if (caps.usb) {
        const QString usb = read(Hardware, u"Enable USB"_s);
        add(rows, u"USB Support"_s, usb, 4);
        if (usb == Yes && caps.modern)
            addModern(rows, u"USB 3 (xHCI)"_s, read(Hardware, u"USB3"_s) == u"No"_s ? u"No"_s : Yes,
                      Usb3Icon);
        if (usb == Yes)
            add(rows, u"USB Devices"_s,
                QString::number(readCount(read(u"USB Devices"_s, u"Count"_s))) + u" Device(s)"_s,
                63);
    }
    add(rows, u"Main Display"_s, read(Hardware, u"Output"_s), 14);
    addNumbered(rows, read, u"Serial Port "_s, u"SerialCount"_s, u"Serial"_s, 72);
    addNumbered(rows, read, u"Parallel Port "_s, u"ParallelCount"_s, u"Parallel"_s, 73);
    if (caps.bt) {
        const QString bluetooth = read(Hardware, u"Enable Bluetooth"_s);
        add(rows, u"Enable Bluetooth"_s, bluetooth, 75);
        if (bluetooth == Yes)
            add(rows, u"Enable Bluetooth Keyboard"_s, read(Hardware, u"BTKeyboard"_s), 76);
    }
    add(rows, u"VM Store"_s, read(General, u"VM Store"_s), 5);
    add(rows, u"Last Run"_s, read(General, u"Last Run"_s), 1);
    return rows;
}

QList<SettingsRow> driveRows(const Reader& read, const QString& versionCode, bool modernPc)
{
    QList<SettingsRow> rows;
    int number = 0;
    const auto disk = [&](const QString& flag, const QString& scsi, const QString& ide,
                          const QString& key, int icon) {
        const bool onScsi = read(Drives, flag) == Yes;
        const QString value = read(Drives, key);
        add(rows, onScsi ? scsi : ide, value, icon);
        // A SCSI disk keeps its controller; the others choose their bus.
        if (modernPc && !onScsi && !value.isEmpty())
            addModern(rows, u"Hard Disk "_s + QString::number(number) + u" Bus"_s,
                      ModernHardware::DiskBusText(ModernHardware::DiskBusOf(
                          read(Drives, ModernHardware::DiskBusKey(number)))),
                      ModernHardwareEditing::FirstDiskBusIcon + number);
        ++number;
    };
    disk(u"HDASCSI"_s, u"SCSI Hard Disk 0"_s, u"Hard Disk 0"_s, u"HDA"_s, 16);
    disk(u"HDBSCSI"_s, u"SCSI Hard Disk 1"_s, u"Hard Disk 1"_s, u"HDB"_s, 33);
    disk(u"HDCSCSI"_s, u"SCSI Hard Disk 2"_s, u"Hard Disk 2 "_s, u"HDC"_s, 34);
    disk(u"HDDSCSI"_s, u"SCSI Hard Disk 3"_s, u"Hard Disk 3"_s, u"HDD"_s, 35);
    add(rows, u"Floppy Drive 0"_s, read(Drives, u"FloppyA"_s), 18);
    add(rows, u"Floppy Drive 1"_s, read(Drives, u"FloppyB"_s), 36);
    add(rows, u"CD-ROM"_s, read(Drives, u"CDROM"_s), 39);
    if (QemuGeneration::takesBootOrder(versionCode))
        add(rows, u"Boot Order"_s, read(Drives, u"BootOrder"_s), 21);
    else
        add(rows, u"Boot Drive"_s, read(Drives, u"Boot Drive"_s), 21);
    add(rows, u"Snapshot"_s, read(Advanced, u"SavedState"_s), 31);
    return rows;
}

QList<SettingsRow> advancedRows(const Reader& read, const QString& arc, const QString& mode,
                                const Capabilities& caps)
{
    QList<SettingsRow> rows;
    if (mode == u"2"_s)
        add(rows, u"VNC Keyboard Language"_s, read.orAbsent(Hardware, u"Keyboard"_s, u"en-us"_s),
            42);
    add(rows, u"Qemu Executable"_s, read(General, u"Qemu EXE"_s), 54);
    add(rows, u"CPU Affinity"_s, read(Advanced, u"Affinity"_s), 58);
    add(rows, u"Kernel Image"_s, read(Hardware, u"Kernel"_s), 69);
    add(rows, u"Initial Ram Disk Image (initrd)"_s, read(Hardware, u"Initrd"_s), 70);
    add(rows, u"Kernel command line append"_s, read(Hardware, u"Append"_s), 77);
    add(rows, u"BIOS Filename"_s, read.orAbsent(Advanced, u"Bios"_s, u"bios.bin"_s), 67);
    if (arc == u"sparc"_s || arc == u"ppc"_s)
        add(rows, u"PROM Env strings"_s, read(Hardware, u"PromEnv"_s), 78);
    if (arc == u"arm"_s || arc == u"cf"_s)
        add(rows, u"Enable semihosting syscall emulation"_s, read(Hardware, u"semihosting"_s), 79);
    add(rows, u"Sound Library"_s, read(Advanced, u"Audio Output"_s), 19);
    add(rows, u"Close VM When Rebooted"_s, read(Advanced, u"NoReboot"_s), 49);
    add(rows, u"Enable SDL output"_s, read(Advanced, u"SDL"_s), 47);
    add(rows, u"QEMU Window Title"_s, read.orAbsent(General, u"Window Title"_s, u"{VM NAME}"_s),
        61);
    add(rows, u"Do Not Start CPU on Startup"_s, read(Hardware, u"Do Not Start CPU"_s), 32);
    add(rows, u"Use Local Time"_s, read(Hardware, u"Use Local Time"_s), 8);
    add(rows, u"Specify Start Date & Time of VM"_s, read(Advanced, u"Start Time"_s), 68);
    if (arc == X86) {
        if (caps.kqemu)
            add(rows, u"KQEMU"_s, read(Advanced, u"KQEMU"_s), 11);
        add(rows, u"Enable WIN2K Hack"_s, read(Hardware, u"Enable WIN2K Hack"_s), 12);
        add(rows, u"Enable ACPI HAL Time Drift Hack"_s, read(Advanced, u"Enable HAL Hack"_s), 64);
        add(rows, u"Disable Boot Signature Checking"_s, read(Advanced, u"Disable Boot Signature"_s),
            65);
        add(rows, u"Disable HPET"_s, read(Advanced, u"Disable HPET"_s), 66);
        add(rows, u"Disable ACPI Support"_s, read(Advanced, u"ACPI"_s), 48);
    }
    add(rows, u"Do Not Apply Changes to VM Session"_s, read(Hardware, u"Do Not Apply"_s), 13);
    add(rows, u"Qemu Process Priority (CAUTION)"_s, read(Advanced, u"Process"_s), 46);
    add(rows, u"Run VM In Debug Mode"_s, read.orAbsent(Advanced, u"Debug"_s, u"No"_s), 52);
    add(rows, u"Additional QEMU Parameters"_s, read(Advanced, u"OptionalString"_s), 30);
    add(rows, u"Use Additional QEMU Parameters Only"_s, read(Advanced, u"OverrideAll"_s), 29);
    return rows;
}

} // namespace

void UpgradeLegacyKeys(VMContext& vm)
{
    const QString file = vm.selectedVM();
    if (!file.isEmpty())
        upgradeKeys(vm, file);
}

SettingsViewModel BuildSettingsView(VMContext& vm)
{
    SettingsViewModel view;
    const QString file = vm.selectedVM();
    if (file.isEmpty())
        return view;
    Capabilities caps;
    caps.kqemu = upgradeKeys(vm, file);

    const Reader read(file);
    VersionRegistry& versions = vm.versions();
    // Each lookup opens the version table, so each is made once, and none for a VM that names no
    // version (it has no capabilities).
    const QString id = read(General, u"Qemu Version ID"_s);
    const bool named = !id.isEmpty();
    caps.usb = named && versions.VersionFlag(id, u"USB"_s);
    caps.bt = named && versions.VersionFlag(id, u"BT"_s);
    const QString code = versions.VersionCode(id);
    caps.modern = named && QemuGeneration::isModern(code);
    const QString arc = read(General, u"Arc"_s);
    const QString mode = read(Hardware, u"OutputID"_s);

    view.hardware = hardwareRows(read, vm.selectedVMName(), arc, caps);
    view.drives = driveRows(read, code, caps.modern && arc == X86);
    view.advanced = advancedRows(read, arc, mode, caps);

    view.showConsole = named && mode == u"0"_s && versions.VersionFlag(id, u"INT"_s);
    view.showMonitor = view.showConsole && versions.VersionFlag(id, u"CONSOLE"_s);
    return view;
}
