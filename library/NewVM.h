#pragma once

#include "library/HardwarePreset.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class TableHandle;
class VersionRegistry;

// The rules of the new-VM wizard and of deleting a VM: the presets of its pages, the checks
// between them, and the composition of the new VM's definition file.
namespace NewVM {

constexpr int DefaultRam = 256;
constexpr int DefaultDiskSize = 10000;
constexpr int DefaultVncNumber = 1;
constexpr int MemoryTickStep = 256;
// The longest file name the file system takes, in bytes of UTF-8, and what the definition file
// needs beyond its own name: every write goes through a temporary copy named "<file>.XXXXXX".
constexpr int LongestFileName = 255;
constexpr int TemporaryCopySuffix = 7;

enum class DiskChoice
{
    CreateNew,
    Existing,
    None
};

// The output choices in the order the wizard lists them; the position is the stored "OutputID".
enum class Output
{
    Vimor,
    QemuWindow,
    Vnc,
    FullScreen
};
QStringList OutputTexts();

// What a platform brings without asking: word size, machine and CPU model of the catalogue.
struct PlatformDefaults
{
    QString cpuArc;
    QString machineType;
    QString machineId;
    QString cpuType;
    QString cpuId;
};
PlatformDefaults DefaultsFor(const QString& arc);

// Why a name cannot be the VM's file name, as the message to show; empty when it can be (an empty
// name is the wizard's own warning, not checked here).
QString NameProblem(const QString& name);

// The host's physical memory in MB: the top of the memory slider.
int HostMemoryMB();

// Memory and disk size of page 2 for the operating-system text of page 1, and the profile's
// hardware.
struct MemoryAndDisk
{
    int ram = DefaultRam;
    int diskSize = DefaultDiskSize;
    HardwarePreset hardware;
};
// The profile named osText presets all three; a RAM or DISK that is no number keeps its preset,
// and memory is at least what the hardware asks for. Memory is kept within 0..hostMemoryMB, as
// the slider does.
MemoryAndDisk PresetFor(TableHandle& opsys, bool osSelected, const QString& osText,
                        int hostMemoryMB);

bool Page2Complete(int ram, DiskChoice disk, int sizeMB, int typePosition,
                   const QString& existingPath);

// The "GB" label beside the size box.
QString SizeLabel(int sizeMB);

// Every row of the version table in record order, and the position of the default among them.
struct VersionEntry
{
    QString description;
    QString id;
};
QList<VersionEntry> ListVersions(TableHandle& versions);
int DefaultVersionIndex(const QList<VersionEntry>& versions, const QString& defaultId);

// The output group of page 3 for a version.
struct OutputState
{
    bool groupEnabled = false;
    bool listEnabled = false;
    Output choice = Output::QemuWindow;
};
OutputState OutputStateFor(VersionRegistry& registry, const QString& versionId);

// Everything the wizard decided.
struct Plan
{
    QString name;
    QString storeName;
    QString storeFolder; // expanded
    QString storeId;
    QString arc = QStringLiteral("x86");
    PlatformDefaults platform;
    QString operatingSystem;
    QString versionDescription;
    QString versionId;
    int ram = DefaultRam;
    DiskChoice disk = DiskChoice::CreateNew;
    int diskType = 1;
    int diskSize = DefaultDiskSize;
    bool compress = false;
    bool encrypt = false;
    QString existingDisk;
    // Its format as the user settled it when choosing it; empty: what the file says.
    QString existingDiskFormat;
    bool existingEncrypted = false;
    QString kernel;
    QString initrd;
    Output output = Output::Vimor;
    int vncNumber = DefaultVncNumber;
    // The operating system's hardware, applied over the platform's defaults.
    HardwarePreset hardware;
    // The disc (or floppy image) to install from, as the user gave it; empty for none.
    QString installMedium;
    QString installMediumFormat; // as existingDiskFormat
};

// Why the installation medium cannot be used, as the message to show; empty when it can (an
// empty path is no medium).
QString InstallMediumProblem(const QString& path);

// What the hardware needs that this host lacks, as a question whether to go on without it
// ("... Create the virtual machine with the BIOS instead?"); empty when nothing is missing.
// fallback is the preset without what is missing.
QString MissingHostParts(const HardwarePreset& hardware, HardwarePreset* fallback);

// Makes the disk image: basePath + the type's extension; its full path, or empty when none was
// made (the creator has then told the user).
using DiskCreator = std::function<QString(int typePosition, int sizeMB, bool compress, bool encrypt,
                                          const QString& basePath)>;

// The new VM's definition file: the disk first, then the template and every key of the wizard.
// Empty when nothing was made: the disk could not be created (error left empty, the creator has
// reported it) or the file could not be written (error says why; a disk made for it is removed).
QString ComposeVM(const Plan& plan, VersionRegistry& registry, const DiskCreator& createDisk,
                  QString* error = nullptr);

// The file the VM's "HDA" names, or empty when it names none (empty, a physical disk, a folder,
// or a store that is not found).
QString MainDiskFile(const QString& vmFile, TableHandle& storeLookup);

// Deletes the definition file and, with withDisk, the file of its hard disk 0. Failures pass in
// silence.
void DeleteVMFiles(const QString& vmFile, bool withDisk, TableHandle& storeLookup);

} // namespace NewVM
