#include "library/NewVM.h"

#include "launch/FirmwareChoice.h"
#include "launch/TpmEmulator.h"
#include "launch/VMFirmware.h"
#include "library/OsProfiles.h"
#include "media/DiskImages.h"
#include "media/DriveValues.h"
#include "model/ApprovedValues.h"
#include "model/HardwareCatalogue.h"
#include "model/ImageFormat.h"
#include "model/ModernHardware.h"
#include "model/ProgramFolder.h"
#include "model/QemuGeneration.h"
#include "model/TableHandle.h"
#include "model/VMFile.h"
#include "platform/Host.h"
#include "versions/VersionRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <limits>

namespace NewVM {

namespace {

const QString General = QStringLiteral("General");
const QString Hardware = QStringLiteral("Hardware");
const QString Drives = QStringLiteral("Drives");
const QString Yes = QStringLiteral("Yes");
const QString No = QStringLiteral("No");
const QString X86 = QStringLiteral("x86");

// Writes the keys one by one and remembers the first failure; later writes are skipped.
class KeyWriter final
{
public:
    explicit KeyWriter(QString path) : m_path(std::move(path)) {}

    void operator()(const QString& section, const QString& key, const QString& value)
    {
        if (m_failed)
            return;
        m_failed = !WriteVMFileValue(m_path, section, key, value, &m_error);
        // What the wizard writes is this user's choice.
        if (!m_failed && ApprovedValues::isWatched(section, key))
            ApprovedValues::approve(m_path, section, key, value);
    }
    bool failed() const { return m_failed; }
    const QString& error() const { return m_error; }

private:
    QString m_path;
    QString m_error;
    bool m_failed = false;
};

QString joined(const QString& folder, const QString& name)
{
    QString base = folder;
    while (base.size() > 1 && base.endsWith(QLatin1Char('/')))
        base.chop(1);
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    return base + name;
}

// The largest floppy image a drive takes (2.88 MB); a larger ".img" is a disc.
constexpr qint64 LargestFloppy = 2949120;

bool isFloppyImage(const QString& path)
{
    const QFileInfo file(path);
    return file.suffix().compare(QLatin1String("img"), Qt::CaseInsensitive) == 0 &&
           file.size() <= LargestFloppy;
}

// The catalogue row whose identifier is id, with its position; none when the list lacks it.
std::optional<std::pair<int, ChoiceRow>> rowWithId(const std::optional<ChoiceList>& list,
                                                   const QString& id)
{
    if (!list || id.isEmpty())
        return std::nullopt;
    for (int i = 0; i < list->size(); ++i) {
        if (list->at(i).id == id)
            return std::pair{i, list->at(i)};
    }
    return std::nullopt;
}

// The profile's hardware over the keys the platform's defaults wrote. Values the catalogue does
// not know for the architecture are left as the defaults have them.
void applyHardware(const Plan& plan, KeyWriter& write)
{
    const HardwarePreset& hw = plan.hardware;
    const QString yes = QStringLiteral("Yes");
    const QString no = QStringLiteral("No");
    const int bitness = hw.bits64.value_or(false) ? 1 : 0;
    if (hw.bits64 && BitnessChoices(plan.arc, true).size() > bitness) {
        write(Hardware, QStringLiteral("CPUArc"), BitnessChoices(plan.arc, true).at(bitness));
        write(General, QStringLiteral("Qemu EXE"), QemuExeName(bitness, plan.arc));
    }
    const MachinesAndCpus lists = ListMachinesAndCpus(plan.arc, bitness);
    // A new bitness has its own lists: the platform's first rows come from them.
    const QString machineId =
        hw.machine.isEmpty() ? (hw.bits64 ? lists.machines.value(0).id : QString()) : hw.machine;
    if (const auto machine = rowWithId(lists.machines, machineId)) {
        write(Hardware, QStringLiteral("MID"), machine->second.id);
        write(Hardware, QStringLiteral("MachineType"), machine->second.display);
    }
    const QString cpuId =
        hw.cpu.isEmpty() ? (hw.bits64 ? lists.cpus.value(0).id : QString()) : hw.cpu;
    if (const auto cpu = rowWithId(lists.cpus, cpuId)) {
        write(Hardware, QStringLiteral("CID"), cpu->second.id);
        write(Hardware, QStringLiteral("CPUType"), cpu->second.display);
    }
    if (hw.cpus > 0)
        write(Hardware, QStringLiteral("Processors"), QString::number(hw.cpus));
    if (const auto video = rowWithId(ListVideoCards(plan.arc), hw.video)) {
        write(Hardware, QStringLiteral("Video Card"), video->second.display);
        write(Hardware, QStringLiteral("VideoID"), QString::number(video->first));
        write(Hardware, QStringLiteral("VID"), video->second.id);
    }
    if (const auto sound = rowWithId(ListSoundCards(plan.arc), hw.sound)) {
        const QString audio = QStringLiteral("Audio");
        write(audio, QStringLiteral("SoundCard"), sound->second.display);
        write(audio, QStringLiteral("SoundID"), QString::number(sound->first));
        write(audio, QStringLiteral("SID"), sound->second.id);
    }
    const QString machineNow = machineId.isEmpty() ? plan.platform.machineId : machineId;
    if (const auto nic = rowWithId(ListNetworkCardModels(plan.arc, machineNow, false), hw.nic)) {
        const QString card1 = QStringLiteral("Network Card 1");
        write(card1, QStringLiteral("Lan Card"), nic->second.display);
        write(card1, QStringLiteral("Lan Card ID"), QString::number(nic->first));
        write(card1, QStringLiteral("LID"), nic->second.id);
    }
    if (const QString bus = HardwarePresets::DiskBusText(hw.diskBus); !bus.isEmpty())
        write(Drives, ModernHardware::DiskBusKey(0), bus);
    // USB 1.1 for systems without an xHCI driver changes nothing else; USB 3 turns USB on.
    if (hw.usb == QLatin1String("xhci"))
        write(Hardware, QStringLiteral("Enable USB"), yes);
    if (!hw.usb.isEmpty())
        write(Hardware, QStringLiteral("USB3"), hw.usb == QLatin1String("xhci") ? yes : no);
    if (hw.tablet)
        write(Hardware, QStringLiteral("USB Tablet"), *hw.tablet ? yes : no);
    if (hw.rng)
        write(Hardware, QStringLiteral("VirtIO RNG"), *hw.rng ? yes : no);
    if (hw.localTime)
        write(Hardware, QStringLiteral("Use Local Time"), *hw.localTime ? yes : no);
    if (hw.hpet)
        write(QStringLiteral("Advanced"), QStringLiteral("Disable HPET"), *hw.hpet ? no : yes);
    if (hw.clipboard)
        write(Hardware, ModernHardware::ShareClipboardKey(), *hw.clipboard ? yes : no);
}

// The medium goes into the drive it fits and is booted from first.
void applyInstallMedium(const Plan& plan, bool bootOrder, KeyWriter& write)
{
    if (plan.installMedium.isEmpty())
        return;
    const bool floppy = isFloppyImage(plan.installMedium);
    const QString drive = floppy ? QStringLiteral("FloppyA") : QStringLiteral("CDROM");
    write(Drives, drive, plan.installMedium);
    write(Drives, ImageFormat::KeyFor(drive),
          plan.installMediumFormat.isEmpty()
              ? ImageFormat::whenChosen(ProgramFolder::nativeExpanded(plan.installMedium))
              : plan.installMediumFormat);
    if (bootOrder) {
        write(Drives, QStringLiteral("BootOrder"),
              floppy ? QStringLiteral("Floppy Drive|Hard Drive")
                     : QStringLiteral("CD/DVD Drive|Hard Drive"));
    } else {
        write(Drives, QStringLiteral("Boot Drive"),
              floppy ? QStringLiteral("Floppy Drive") : QStringLiteral("CD/DVD Drive"));
        write(Drives, QStringLiteral("Boot Drive ID"),
              floppy ? QStringLiteral("1") : QStringLiteral("2"));
    }
}

} // namespace

QString InstallMediumProblem(const QString& path)
{
    if (path.isEmpty())
        return {};
    const QFileInfo file(ProgramFolder::nativeExpanded(path));
    if (!file.exists())
        return QStringLiteral("The installation medium %1 does not exist, please choose "
                              "another file")
            .arg(path);
    if (!file.isFile() || !file.isReadable())
        return QStringLiteral("The installation medium %1 cannot be read, please choose another "
                              "file")
            .arg(path);
    return {};
}

QString MissingHostParts(const HardwarePreset& hardware, HardwarePreset* fallback)
{
    HardwarePreset without = hardware;
    QStringList packages;
    QStringList parts;
    if (hardware.firmware == QLatin1String("uefi") ||
        hardware.firmware == QLatin1String("uefi-secure")) {
        const QString machine =
            hardware.machine.isEmpty() ? QStringLiteral("pc") : hardware.machine;
        if (!FirmwareChoice::Choose(machine, hardware.firmware == QLatin1String("uefi-secure"))) {
            packages.append(QStringLiteral("ovmf"));
            parts.append(QStringLiteral("the BIOS instead of UEFI"));
            without.firmware = QStringLiteral("bios");
        }
    }
    QString missing;
    if (hardware.tpm == QLatin1String("2.0") && !TpmEmulator::Available(&missing)) {
        packages.append(missing);
        parts.append(QStringLiteral("no TPM"));
        without.tpm = QStringLiteral("none");
    }
    if (packages.isEmpty())
        return {};
    if (fallback)
        *fallback = without;
    return QStringLiteral("This operating system needs %1, which this computer lacks: please "
                          "install the package%2 %3. Create the virtual machine with %4 instead?")
        .arg(parts.size() == 2 ? QStringLiteral("UEFI firmware and a TPM emulator")
             : without.firmware != hardware.firmware ? QStringLiteral("UEFI firmware")
                                                     : QStringLiteral("a TPM emulator"),
             packages.size() > 1 ? QStringLiteral("s") : QString(),
             packages.join(QStringLiteral(" and ")), parts.join(QStringLiteral(" and ")));
}

QStringList OutputTexts()
{
    return {QStringLiteral("Vimor (Default)"), QStringLiteral("QEMU Window"),
            QStringLiteral("VNC Client"), QStringLiteral("Full Screen Display")};
}

PlatformDefaults DefaultsFor(const QString& arc)
{
    PlatformDefaults defaults;
    defaults.cpuArc = BitnessChoices(arc, true).value(0);
    const MachinesAndCpus lists = ListMachinesAndCpus(arc, 0);
    if (!lists.machines.isEmpty()) {
        defaults.machineType = lists.machines.first().display;
        defaults.machineId = lists.machines.first().id;
    }
    if (!lists.cpus.isEmpty()) {
        defaults.cpuType = lists.cpus.first().display;
        defaults.cpuId = lists.cpus.first().id;
    }
    return defaults;
}

QString NameProblem(const QString& name)
{
    if (name.isEmpty())
        return {};
    // The name becomes the file name of the definition file and of its disk image in the store
    // folder; anything that would land elsewhere, or fail, is refused before a file is written.
    if (name.contains(QLatin1Char('/')) || name.contains(QChar(u'\0')))
        return QStringLiteral("The virtual machine name may not contain the characters / or NUL, "
                              "please enter another name");
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return QStringLiteral("The virtual machine name may not be . or .., please enter "
                              "another name");
    if ((name + QStringLiteral(".vm2")).toUtf8().size() + TemporaryCopySuffix > LongestFileName)
        return QStringLiteral("The virtual machine name is too long for a file name, please "
                              "enter a shorter name");
    return {};
}

int HostMemoryMB()
{
    const qint64 megabytes = Host::physicalMemoryMB();
    return int(std::clamp<qint64>(megabytes, 0, std::numeric_limits<int>::max()));
}

MemoryAndDisk PresetFor(TableHandle& opsys, bool osSelected, const QString& osText,
                        int hostMemoryMB)
{
    MemoryAndDisk preset;
    if (osSelected) {
        if (const std::optional<OsProfile> profile = FindProfile(opsys, osText)) {
            preset.ram = OsProfiles::SizeForEditor(profile->ram, preset.ram);
            preset.diskSize = OsProfiles::SizeForEditor(profile->disk, preset.diskSize);
            preset.hardware = HardwarePresets::Parse(profile->hardware);
            preset.ram = std::max(preset.ram, preset.hardware.minimumRam);
        }
    }
    preset.ram = std::clamp(preset.ram, 0, std::max(hostMemoryMB, 0));
    return preset;
}

bool Page2Complete(int ram, DiskChoice disk, int sizeMB, int typePosition,
                   const QString& existingPath)
{
    if (ram <= 0)
        return false;
    switch (disk) {
    case DiskChoice::CreateNew:
        return sizeMB > 0 && typePosition >= 0;
    case DiskChoice::Existing:
        return !existingPath.isEmpty();
    case DiskChoice::None:
        break;
    }
    return true;
}

QString SizeLabel(int sizeMB)
{
    return QStringLiteral("MB. (") + QString::number(sizeMB / 1000.0, 'g', 12) +
           QStringLiteral(" GB)");
}

QList<VersionEntry> ListVersions(TableHandle& versions)
{
    QList<VersionEntry> entries;
    if (!versions.isOpen() && !versions.open())
        return entries;
    for (versions.first(); !versions.isEmpty() && !versions.eof(); versions.next())
        entries.append({versions.fieldValue(QStringLiteral("DESC")),
                        versions.fieldValue(QStringLiteral("ID"))});
    versions.first();
    return entries;
}

int DefaultVersionIndex(const QList<VersionEntry>& versions, const QString& defaultId)
{
    if (defaultId.isEmpty())
        return -1;
    for (int i = 0; i < versions.size(); ++i) {
        if (versions.at(i).id == defaultId)
            return i;
    }
    return -1;
}

OutputState OutputStateFor(VersionRegistry& registry, const QString& versionId)
{
    OutputState state;
    const bool integrated = registry.VersionFlag(versionId, QStringLiteral("INT"));
    const int code = registry.VersionCodeNumber(versionId);
    state.groupEnabled = QemuGeneration::offersIntegratedDisplay(code) && integrated;
    state.listEnabled = integrated;
    state.choice = integrated ? Output::Vimor : Output::QemuWindow;
    return state;
}

QString ComposeVM(const Plan& plan, VersionRegistry& registry, const DiskCreator& createDisk,
                  QString* error)
{
    if (error)
        error->clear();
    const QString base = joined(plan.storeFolder, plan.name);
    const QString vmFile = base + QStringLiteral(".vm2");

    QString createdDisk;
    if (plan.disk == DiskChoice::CreateNew) {
        createdDisk = createDisk(plan.diskType, plan.diskSize, plan.compress, plan.encrypt, base);
        if (createdDisk.isEmpty())
            return {};
    }

    const QString code = registry.VersionCode(plan.versionId);
    QString failure;
    if (!WriteVMTemplate(vmFile, QemuGeneration::takesBootOrder(code), &failure)) {
        if (!createdDisk.isEmpty())
            QFile::remove(createdDisk);
        if (error)
            *error = failure;
        return {};
    }

    KeyWriter write(vmFile);
    write(General, QStringLiteral("VMID"), RandomId(20));
    write(Hardware, QStringLiteral("RAM"), QString::number(plan.ram));
    if (plan.disk == DiskChoice::CreateNew) {
        // The image lies in the store folder, so its bare name finds it; a name that would read as
        // a path (a backslash or colon in the VM's name) is stored whole instead.
        const QString bare = QFileInfo(createdDisk).fileName();
        write(Drives, QStringLiteral("HDA"), HasFolderPart(bare) ? createdDisk : bare);
        write(Drives, ImageFormat::KeyFor(QStringLiteral("HDA")),
              ImageFormat::whenChosen(createdDisk));
        if (plan.encrypt)
            write(Drives, QStringLiteral("HDAEnc"), Yes);
    } else if (plan.disk == DiskChoice::Existing) {
        write(Drives, QStringLiteral("HDA"), plan.existingDisk);
        write(Drives, ImageFormat::KeyFor(QStringLiteral("HDA")),
              plan.existingDiskFormat.isEmpty() ? ImageFormat::whenChosen(plan.existingDisk)
                                                : plan.existingDiskFormat);
        if (plan.existingEncrypted)
            write(Drives, QStringLiteral("HDAEnc"), Yes);
    }
    write(General, QStringLiteral("VM Store"), plan.storeName);
    write(General, QStringLiteral("Operating System"), plan.operatingSystem);
    write(General, QStringLiteral("Arc"), plan.arc);
    write(Hardware, QStringLiteral("CPUArc"), plan.platform.cpuArc);
    write(Hardware, QStringLiteral("CPUType"), plan.platform.cpuType);
    write(Hardware, QStringLiteral("CID"), plan.platform.cpuId);
    write(Hardware, QStringLiteral("MID"), plan.platform.machineId);
    write(Hardware, QStringLiteral("MachineType"), plan.platform.machineType);

    if (const std::optional<ChoiceList> sound = ListSoundCards(plan.arc);
        sound && !sound->isEmpty()) {
        const QString audio = QStringLiteral("Audio");
        write(audio, QStringLiteral("SoundCard"), sound->first().display);
        write(audio, QStringLiteral("SoundID"), QStringLiteral("0"));
        write(audio, QStringLiteral("SID"), sound->first().id);
    }

    const bool lance =
        plan.arc == QLatin1String("sparc") && plan.platform.cpuArc != QLatin1String("64 Bit");
    const std::optional<ChoiceList> cards =
        ListNetworkCardModels(plan.arc, plan.platform.machineId, lance);
    const ChoiceRow card = cards && !cards->isEmpty() ? cards->first() : ChoiceRow{};
    const QString card1 = QStringLiteral("Network Card 1");
    write(card1, QStringLiteral("Lan Card"), card.display);
    write(card1, QStringLiteral("Lan Card ID"), QStringLiteral("0"));
    write(card1, QStringLiteral("LID"), card.id);
    write(card1, QStringLiteral("VLAN"), QStringLiteral("0"));
    write(card1, QStringLiteral("VLAN Type"), QStringLiteral("User Networking"));
    write(card1, QStringLiteral("MAC"), GenerateMac());
    write(card1, QStringLiteral("Redirectors"), QString());
    write(card1, QStringLiteral("Listeners"), QString());
    write(card1, QStringLiteral("Connectors"), QString());
    write(QStringLiteral("Network"), QStringLiteral("CardCount"), QStringLiteral("1"));

    const std::optional<ChoiceList> video = ListVideoCards(plan.arc);
    const ChoiceRow videoCard = video && !video->isEmpty() ? video->first() : ChoiceRow{};
    write(Hardware, QStringLiteral("Video Card"), videoCard.display);
    write(Hardware, QStringLiteral("VideoID"), QStringLiteral("0"));
    write(Hardware, QStringLiteral("VID"), videoCard.id);

    const bool kernelShown = plan.arc != X86;
    write(Hardware, QStringLiteral("Kernel"), kernelShown ? plan.kernel : QString());
    write(Hardware, QStringLiteral("Initrd"), kernelShown ? plan.initrd : QString());

    write(General, QStringLiteral("VM Store ID"), plan.storeId);
    write(General, QStringLiteral("Qemu EXE"), QemuExeName(0, plan.arc));
    write(General, QStringLiteral("Qemu Version"), plan.versionDescription);
    write(General, QStringLiteral("Qemu Version ID"), plan.versionId);

    if (registry.VersionFlag(plan.versionId, QStringLiteral("INT"))) {
        const int position = static_cast<int>(plan.output);
        write(Hardware, QStringLiteral("Vimor Client"), plan.output == Output::Vimor ? Yes : No);
        write(Hardware, QStringLiteral("OutputID"), QString::number(position));
        write(Hardware, QStringLiteral("Output"), OutputTexts().value(position));
        if (plan.output == Output::Vnc)
            write(Hardware, QStringLiteral("VNC Number"), QString::number(plan.vncNumber));
    }

    const QString advanced = QStringLiteral("Advanced");
    if (plan.arc == X86) {
        write(advanced, QStringLiteral("KQEMUID"), QStringLiteral("1"));
        write(advanced, QStringLiteral("KQEMU"), QStringLiteral("User Mode"));
    } else {
        write(advanced, QStringLiteral("KQEMUID"), QStringLiteral("0"));
        write(advanced, QStringLiteral("KQEMU"), QStringLiteral("Disabled"));
    }

    applyHardware(plan, write);
    applyInstallMedium(plan, QemuGeneration::takesBootOrder(code), write);

    QString reason = write.error();
    bool failed = write.failed();
    const QString firmware = plan.hardware.firmware;
    if (!failed && (firmware == QLatin1String("uefi") || firmware == QLatin1String("uefi-secure")))
        failed = !VMFirmware::SaveFirmware(vmFile,
                                           firmware == QLatin1String("uefi")
                                               ? ModernHardware::Firmware::Uefi
                                               : ModernHardware::Firmware::SecureBoot,
                                           &reason);
    if (!failed && plan.hardware.tpm == QLatin1String("2.0"))
        failed = !VMFirmware::SaveTpm(vmFile, true, &reason);

    if (failed) {
        // A half-written VM would show in the tree without its hardware.
        VMFirmware::DeleteVMState(vmFile);
        QFile::remove(vmFile);
        if (!createdDisk.isEmpty())
            QFile::remove(createdDisk);
        if (error)
            *error = reason;
        return {};
    }
    return vmFile;
}

QString MainDiskFile(const QString& vmFile, TableHandle& storeLookup)
{
    const QString value = ReadVMFileValue(vmFile, Drives, QStringLiteral("HDA"));
    if (value.isEmpty() || value.startsWith(QLatin1String("fat:"), Qt::CaseInsensitive) ||
        value.startsWith(QLatin1String("\\\\.\\")))
        return {};
    QString path;
    if (HasFolderPart(value)) {
        path = ProgramFolder::nativeExpanded(value);
    } else {
        path = ResolveDrivePath(value, storeLookup,
                                ReadVMFileValue(vmFile, General, QStringLiteral("VM Store ID")));
    }
    // Only an image file is the VM's disk: never a device, a folder, or a path relative to
    // wherever the program happens to run.
    const QFileInfo file(path);
    if (path.isEmpty() || !file.isAbsolute() || !file.isFile())
        return {};
    return path;
}

void DeleteVMFiles(const QString& vmFile, bool withDisk, TableHandle& storeLookup)
{
    if (withDisk) {
        const QString disk = MainDiskFile(vmFile, storeLookup);
        if (!disk.isEmpty())
            QFile::remove(disk);
    }
    // The firmware's variables and the TPM's state are the VM's own, not the user's data.
    VMFirmware::DeleteVMState(vmFile);
    QFile::remove(vmFile);
}

} // namespace NewVM
