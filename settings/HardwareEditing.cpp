#include "settings/HardwareEditing.h"

#include "library/VMStores.h"
#include "model/ModernHardware.h"
#include "model/TableHandle.h"
#include "model/VMContext.h"
#include "platform/Host.h"
#include "settings/ModernHardwareEditing.h"

#include <QRegularExpression>

#include <algorithm>
#include <limits>

namespace HardwareEditing {
namespace {

// Sections and keys of the VM definition file that these editors touch.
const QString General = QStringLiteral("General");
const QString Hardware = QStringLiteral("Hardware");
const QString Audio = QStringLiteral("Audio");
const QString SerialSection = QStringLiteral("Serial Port ");
const QString ParallelSection = QStringLiteral("Parallel Port ");

const QString Arc = QStringLiteral("Arc");
const QString QemuExe = QStringLiteral("Qemu EXE");
const QString QemuVersion = QStringLiteral("Qemu Version");
const QString QemuVersionId = QStringLiteral("Qemu Version ID");
const QString OperatingSystem = QStringLiteral("Operating System");
const QString StoreId = QStringLiteral("VM Store ID");
const QString Ram = QStringLiteral("RAM");
const QString Processors = QStringLiteral("Processors");
const QString CpuArc = QStringLiteral("CPUArc");
const QString CpuType = QStringLiteral("CPUType");
const QString MachineType = QStringLiteral("MachineType");
const QString Cid = QStringLiteral("CID");
const QString Mid = QStringLiteral("MID");
const QString OutputId = QStringLiteral("OutputID");
const QString Output = QStringLiteral("Output");
const QString VncNumber = QStringLiteral("VNC Number");
const QString EnableSound = QStringLiteral("Enable Sound");
const QString SerialTy = QStringLiteral("SerialTy");
const QString Serial = QStringLiteral("Serial");
const QString Ip = QStringLiteral("IP");
const QString Port = QStringLiteral("Port");
const QString Wait = QStringLiteral("wait");
const QString Listen = QStringLiteral("listen");
const QString ParallelTy = QStringLiteral("ParallelTy");
const QString Parallel = QStringLiteral("Parallel");

const QString Yes = QStringLiteral("Yes");
const QString No = QStringLiteral("No");

// Keys of a card choice: display text, position and identifier.
struct CardKeys
{
    QString section;
    QString display;
    QString position;
    QString id;
};

CardKeys cardKeys(CardKind kind)
{
    if (kind == CardKind::Sound)
        return {Audio, QStringLiteral("SoundCard"), QStringLiteral("SoundID"),
                QStringLiteral("SID")};
    return {Hardware, QStringLiteral("Video Card"), QStringLiteral("VideoID"),
            QStringLiteral("VID")};
}

// Writes keys one after the other and stops after the first failure: the user has been told once,
// and a half-written choice is not made worse by writes that would fail the same way.
class KeyWriter final
{
public:
    explicit KeyWriter(VMContext& vm) : m_vm(vm) {}

    void operator()(const QString& section, const QString& key, const QString& value)
    {
        if (m_ok)
            m_ok = m_vm.WriteVMValue(QString(), section, key, value);
    }
    bool ok() const { return m_ok; }

private:
    VMContext& m_vm;
    bool m_ok = true;
};

int clamped(int value, const NumberRange& range)
{
    return std::clamp(value, range.minimum, range.maximum);
}

QString flag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

ChoiceRow rowAt(const ChoiceList& list, int row)
{
    return row >= 0 && row < list.size() ? list.at(row) : ChoiceRow();
}

// A stored type number within [0, count); nullopt when empty, not a number or out of range.
std::optional<int> storedType(const QString& stored, int count)
{
    bool ok = false;
    const int type = stored.toInt(&ok, 10);
    if (!ok || type < 0 || type >= count)
        return std::nullopt;
    return type;
}

const QRegularExpression& dottedQuad()
{
    static const QRegularExpression pattern(
        QStringLiteral("^(25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)"
                       "(\\.(25[0-5]|2[0-4]\\d|1\\d\\d|[1-9]?\\d)){3}$"));
    return pattern;
}

} // namespace

int WholeNumber(const QString& stored, int preset)
{
    bool ok = false;
    const int value = stored.toInt(&ok, 10);
    return ok ? value : preset;
}

// ---- Yes/no rows ----------------------------------------------------------------------------

std::optional<YesNoRow> YesNoRowOf(int icon)
{
    switch (icon) {
    case 4:
        return YesNoRow{QStringLiteral("Enable USB Support ?"), Hardware,
                        QStringLiteral("Enable USB")};
    case 19:
        return YesNoRow{QStringLiteral("Enable Sound Devices ?"), Audio, EnableSound};
    case 45:
        return YesNoRow{QStringLiteral("Enable Networking ?"), Hardware, QStringLiteral("Network")};
    case 75:
        return YesNoRow{QStringLiteral("Enable Bluetooth ?"), Hardware,
                        QStringLiteral("Enable Bluetooth")};
    case 76:
        return YesNoRow{QStringLiteral("Enable Bluetooth Keyboard ?"), Hardware,
                        QStringLiteral("BTKeyboard")};
    case 102:
        return YesNoRow{QStringLiteral("Enable USB 3 (xHCI) ?"), Hardware, QStringLiteral("USB3"),
                        true};
    case 103:
        return YesNoRow{QStringLiteral("Enable the VirtIO random number generator ?"), Hardware,
                        QStringLiteral("VirtIO RNG")};
    case ModernHardwareEditing::ClipboardIcon:
        return YesNoRow{QStringLiteral("Share the clipboard between host and guest ?"), Hardware,
                        ModernHardware::ShareClipboardKey()};
    case ModernHardwareEditing::ResizeGuestIcon:
        return YesNoRow{QStringLiteral("Resize the guest's screen with the window ?"), Hardware,
                        ModernHardware::ResizeGuestKey(), false, true};
    default:
        return std::nullopt;
    }
}

QString YesNoPreset(const VMContext& vm, const YesNoRow& row)
{
    const QString stored = vm.ReadVMValue(row.section, row.key);
    if (row.followsVideoCard)
        return ModernHardware::ResizesGuest(stored,
                                            vm.ReadVMValue(Hardware, QStringLiteral("Video Card")))
                   ? Yes
                   : No;
    if (stored.isEmpty() && row.absentIsYes)
        return Yes;
    return stored == Yes ? Yes : No;
}

void SaveYesNo(VMContext& vm, const YesNoRow& row, const QString& answer)
{
    vm.WriteVMValue(QString(), row.section, row.key, answer == Yes ? Yes : No);
}

void SaveSoundEnabled(VMContext& vm, const QString& answer)
{
    const CardKeys keys = cardKeys(CardKind::Sound);
    KeyWriter write(vm);
    if (answer != Yes) {
        // "SID" keeps its identifier; "SoundID" -1 is what marks sound as off.
        write(Audio, keys.display, QString());
        write(Audio, keys.position, QStringLiteral("-1"));
        write(Audio, EnableSound, No);
        return;
    }
    const std::optional<ChoiceList> cards = ListSoundCards(vm.ReadVMValue(General, Arc));
    if (cards && !cards->isEmpty()) {
        write(Audio, keys.display, cards->first().display);
        write(Audio, keys.position, QStringLiteral("0"));
        write(Audio, keys.id, cards->first().id);
    }
    write(Audio, EnableSound, Yes);
}

// ---- Memory and processors ----------------------------------------------------------------------

NumberRange MemoryRange()
{
    const qint64 physical = Host::physicalMemoryMB();
    constexpr int most = std::numeric_limits<int>::max();
    if (physical < 4)
        return {4, most};
    return {4, int(std::min<qint64>(physical, most))};
}

int MemoryPreset(const VMContext& vm)
{
    return clamped(WholeNumber(vm.ReadVMValue(Hardware, Ram), 128), MemoryRange());
}

void SaveMemory(VMContext& vm, int megabytes)
{
    vm.WriteVMValue(QString(), Hardware, Ram, QString::number(megabytes));
}

NumberRange ProcessorRange()
{
    return {1, 255};
}

int ProcessorsPreset(const VMContext& vm)
{
    return clamped(WholeNumber(vm.ReadVMValue(Hardware, Processors), 1), ProcessorRange());
}

void SaveProcessors(VMContext& vm, int processors)
{
    vm.WriteVMValue(QString(), Hardware, Processors, QString::number(processors));
}

// ---- QEMU version ---------------------------------------------------------------------------

QList<VersionRegistry::Version> ListVersions(TableHandle& versions)
{
    QList<VersionRegistry::Version> list;
    if (versions.isOpen() || versions.open()) {
        for (versions.first(); !versions.isEmpty() && !versions.eof(); versions.next())
            list.append({versions.fieldValue(QStringLiteral("DESC")),
                         versions.fieldValue(QStringLiteral("ID"))});
    }
    versions.close();
    return list;
}

int LastVersionRow(const QList<VersionRegistry::Version>& versions, const QString& id)
{
    for (qsizetype i = versions.size() - 1; i >= 0; --i) {
        if (versions.at(i).id == id)
            return int(i);
    }
    return -1;
}

QString StoredVersionId(const VMContext& vm)
{
    return vm.ReadVMValue(General, QemuVersionId);
}

void SaveVersion(VMContext& vm, const VersionRegistry::Version& version)
{
    KeyWriter write(vm);
    write(General, QemuVersion, version.description);
    write(General, QemuVersionId, version.id);
}

// ---- Operating system ----------------------------------------------------------------------

QStringList ListOperatingSystems(TableHandle& opsys)
{
    QStringList names;
    if (!opsys.isOpen() && !opsys.open())
        return names;
    for (opsys.first(); !opsys.isEmpty() && !opsys.eof(); opsys.next())
        names.append(opsys.fieldValue(QStringLiteral("NAME")));
    opsys.first();
    return names;
}

OperatingSystemPreset PresetOperatingSystem(VMContext& vm)
{
    OperatingSystemPreset preset;
    preset.names = ListOperatingSystems(vm.table(VMContext::Table::OpSys));
    preset.text = vm.ReadVMValue(General, OperatingSystem);
    preset.row = int(preset.names.lastIndexOf(preset.text));
    return preset;
}

void SaveOperatingSystem(VMContext& vm, const QString& text)
{
    vm.WriteVMValue(QString(), General, OperatingSystem, text);
}

// ---- CPU type -------------------------------------------------------------------------------

QString CpuTypeChoice::bitnessText() const
{
    return bitness.value(bitnessIndex);
}

ChoiceRow CpuTypeChoice::machineRow() const
{
    return rowAt(machines, machine);
}

ChoiceRow CpuTypeChoice::cpuRow() const
{
    return rowAt(cpus, cpu);
}

CpuTypeChoice WithBitness(const CpuTypeChoice& choice, int bitnessIndex)
{
    CpuTypeChoice changed = choice;
    changed.bitnessIndex =
        bitnessIndex >= 0 && bitnessIndex < choice.bitness.size() ? bitnessIndex : -1;
    const MachinesAndCpus lists = ListMachinesAndCpus(choice.arc, changed.bitnessIndex);
    changed.machines = lists.machines;
    changed.cpus = lists.cpus;
    changed.machine = changed.machines.isEmpty() ? -1 : 0;
    changed.cpu = changed.cpus.isEmpty() ? -1 : 0;
    return changed;
}

CpuTypeChoice PresetCpuType(const QString& arc, const QString& cpuArc, const QString& cpuType,
                            const QString& machineType)
{
    CpuTypeChoice choice;
    choice.arc = arc;
    choice.bitness = BitnessChoices(arc, false);
    choice = WithBitness(choice, BitnessIndex(cpuArc, arc, false));
    // Restored by display text, so the identifiers are those of the stored rows, never row 0's.
    choice.cpu = FindDisplayText(choice.cpus, cpuType);
    choice.machine = FindDisplayText(choice.machines, machineType);
    return choice;
}

CpuTypeChoice PresetCpuType(const VMContext& vm)
{
    return PresetCpuType(vm.ReadVMValue(General, Arc), vm.ReadVMValue(Hardware, CpuArc),
                         vm.ReadVMValue(Hardware, CpuType), vm.ReadVMValue(Hardware, MachineType));
}

bool MachineClassChanges(const QString& newMachineId, const QString& storedMachineId)
{
    const QString pc = QStringLiteral("pc");
    const QString isapc = QStringLiteral("isapc");
    return (newMachineId == pc && storedMachineId == isapc) ||
           (newMachineId == isapc && storedMachineId == pc);
}

bool SaveCpuType(VMContext& vm, const CpuTypeChoice& choice)
{
    const ChoiceRow machine = choice.machineRow();
    const ChoiceRow cpu = choice.cpuRow();
    const bool classChanges = MachineClassChanges(machine.id, vm.ReadVMValue(Hardware, Mid));

    KeyWriter write(vm);
    write(Hardware, CpuArc, choice.bitnessText());
    write(Hardware, CpuType, cpu.display);
    write(Hardware, MachineType, machine.display);
    write(Hardware, Cid, cpu.id);
    write(Hardware, Mid, machine.id);
    write(General, QemuExe, QemuExeName(choice.bitnessIndex, choice.arc));
    return write.ok() && (choice.arc == QStringLiteral("sparc") || classChanges);
}

// ---- Main display ---------------------------------------------------------------------------

NumberRange VncNumberRange()
{
    return {0, 65535 - 5900};
}

QStringList DisplayModes(bool lacksIntegrated)
{
    return {lacksIntegrated ? QStringLiteral("Vimor (NOT AVAILABLE)")
                            : QStringLiteral("Vimor (Default)"),
            QStringLiteral("QEMU Window"), QStringLiteral("VNC Client"),
            QStringLiteral("Full Screen Display")};
}

DisplayPreset PresetDisplay(VMContext& vm)
{
    DisplayPreset preset;
    preset.lacksIntegrated =
        !vm.versions().VersionFlag(vm.ReadVMValue(General, QemuVersionId), QStringLiteral("INT"));
    preset.modes = DisplayModes(preset.lacksIntegrated);
    preset.vncNumber =
        clamped(WholeNumber(vm.ReadVMValue(Hardware, VncNumber), 1), VncNumberRange());
    preset.vncSocket = vm.ReadVMValue(Hardware, ModernHardware::VncSocketKey()) == Yes;
    const QString stored = vm.ReadVMValue(Hardware, OutputId);
    // Anything but the four modes is shown as QEMU's own window, the mode the settings view turns
    // such a value into.
    preset.mode = stored.isEmpty() ? int(IntegratedDisplay)
                                   : storedType(stored, 4).value_or(QemuWindowDisplay);
    return preset;
}

bool DisplayRefused(int mode, bool lacksIntegrated)
{
    return mode == IntegratedDisplay && lacksIntegrated;
}

QString DisplayRefusal()
{
    return QStringLiteral(
        "You cannot use the Vimor as the main display, with the selected version of QEMU");
}

void SaveDisplay(VMContext& vm, int mode, int vncNumber, bool vncSocket)
{
    KeyWriter write(vm);
    switch (mode) {
    case IntegratedDisplay:
        write(Hardware, OutputId, QStringLiteral("0"));
        write(Hardware, Output, QStringLiteral("Vimor (Default)"));
        break;
    case QemuWindowDisplay:
        write(Hardware, OutputId, QStringLiteral("1"));
        write(Hardware, Output, QStringLiteral("QEMU Window"));
        break;
    case VncDisplay:
        write(Hardware, OutputId, QStringLiteral("2"));
        write(Hardware, Output, QStringLiteral("VNC Client"));
        write(Hardware, VncNumber, QString::number(vncNumber));
        write(Hardware, ModernHardware::VncSocketKey(), vncSocket ? Yes : No);
        break;
    case FullScreenDisplay:
        write(Hardware, OutputId, QStringLiteral("3"));
        write(Hardware, Output, QStringLiteral("Full Screen Display"));
        break;
    default:
        break;
    }
}

// ---- Sound and video cards ------------------------------------------------------------------

std::optional<CardPreset> PresetCard(const VMContext& vm, CardKind kind)
{
    const QString arc = vm.ReadVMValue(General, Arc);
    const std::optional<ChoiceList> list =
        kind == CardKind::Sound ? ListSoundCards(arc) : ListVideoCards(arc);
    if (!list)
        return std::nullopt;
    CardPreset preset{*list, list->isEmpty() ? -1 : 0};
    const CardKeys keys = cardKeys(kind);
    if (!vm.ReadVMValue(keys.section, keys.position).isEmpty())
        preset.row = FindDisplayText(preset.list, vm.ReadVMValue(keys.section, keys.display));
    return preset;
}

void SaveCard(VMContext& vm, CardKind kind, const ChoiceList& list, int row)
{
    const ChoiceRow chosen = rowAt(list, row);
    const bool selected = row >= 0 && row < list.size();
    const CardKeys keys = cardKeys(kind);
    KeyWriter write(vm);
    write(keys.section, keys.display, chosen.display);
    write(keys.section, keys.position, QString::number(selected ? row : -1));
    write(keys.section, keys.id, chosen.id);
}

// ---- Serial and parallel ports ----------------------------------------------------------------

NumberRange TcpPortRange()
{
    return {1, 65535};
}

SerialPortPreset PresetSerialPort(const VMContext& vm, const QString& number, int shownType,
                                  const QStringList& hostPorts)
{
    const QString section = SerialSection + number;
    SerialPortPreset preset;
    // A type that is missing or not one of the four leaves the dialog's type as it was.
    preset.type = storedType(vm.ReadVMValue(section, SerialTy), 4).value_or(shownType);
    const QString serial = vm.ReadVMValue(section, Serial);
    if (preset.type == SerialFile)
        preset.fileName = serial;
    preset.hostPorts = hostPorts;
    preset.hostPort =
        hostPorts.isEmpty() ? -1 : int(std::max<qsizetype>(0, hostPorts.indexOf(serial)));
    preset.ip = IpAddressPreset(vm.ReadVMValue(section, Ip));
    preset.port = clamped(WholeNumber(vm.ReadVMValue(section, Port), 4444), TcpPortRange());
    preset.wait = vm.ReadVMValue(section, Wait) == QStringLiteral("1");
    preset.listen = vm.ReadVMValue(section, Listen) == QStringLiteral("1");
    return preset;
}

void SaveSerialPort(VMContext& vm, const QString& number, const SerialPortChoice& choice)
{
    const QString section = SerialSection + number;
    KeyWriter write(vm);
    switch (choice.type) {
    case SerialConsole:
        write(section, Serial, QStringLiteral("Console"));
        write(section, SerialTy, QStringLiteral("0"));
        break;
    case SerialPhysical:
        write(section, Serial, choice.hostPort);
        write(section, SerialTy, QStringLiteral("1"));
        break;
    case SerialFile:
        write(section, Serial, choice.fileName);
        write(section, SerialTy, QStringLiteral("2"));
        break;
    case SerialTcp:
        write(section, Serial, QStringLiteral("TCP"));
        write(section, SerialTy, QStringLiteral("3"));
        write(section, Ip, NormalisedIpAddress(choice.ip));
        write(section, Port, QString::number(choice.port));
        write(section, Wait, flag(choice.wait));
        write(section, Listen, flag(choice.listen));
        break;
    default:
        break;
    }
}

ParallelPortPreset PresetParallelPort(const VMContext& vm, const QString& number, int shownType)
{
    const QString section = ParallelSection + number;
    ParallelPortPreset preset;
    preset.type = storedType(vm.ReadVMValue(section, ParallelTy), 2).value_or(shownType);
    if (preset.type == ParallelFile)
        preset.fileName = vm.ReadVMValue(section, Parallel);
    return preset;
}

void SaveParallelPort(VMContext& vm, const QString& number, int type, const QString& fileName)
{
    const QString section = ParallelSection + number;
    KeyWriter write(vm);
    if (type == ParallelConsole) {
        write(section, Parallel, QStringLiteral("Console"));
        write(section, ParallelTy, QStringLiteral("0"));
    } else if (type == ParallelFile) {
        write(section, Parallel, fileName);
        write(section, ParallelTy, QStringLiteral("1"));
    }
}

QString IpAddressPreset(const QString& stored)
{
    return dottedQuad().match(stored).hasMatch() ? stored : QStringLiteral("0.0.0.0");
}

QString NormalisedIpAddress(const QString& text)
{
    QStringList fields = text.split(QLatin1Char('.'));
    while (fields.size() < 4)
        fields.append(QString());
    QStringList parts;
    for (qsizetype i = 0; i < 4; ++i) {
        bool ok = false;
        const int value = fields.at(i).toInt(&ok, 10);
        parts.append(QString::number(ok ? std::clamp(value, 0, 255) : 0));
    }
    return parts.join(QLatin1Char('.'));
}

QString WithDefaultExtension(const QString& path, const QString& extension)
{
    const qsizetype slash =
        std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    if (path.isEmpty() || path.indexOf(QLatin1Char('.'), slash + 1) >= 0)
        return path;
    return path + QLatin1Char('.') + extension;
}

// ---- VM store ---------------------------------------------------------------------------------

std::optional<QString> VMStoreFolder(VMContext& vm)
{
    return FindVMStore(vm.table(VMContext::Table::VLookup), vm.ReadVMValue(General, StoreId));
}

} // namespace HardwareEditing
