#pragma once

#include "model/HardwareCatalogue.h"
#include "versions/VersionRegistry.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class TableHandle;
class VMContext;

// What the editors of the "Hardware" list show when they open and what they write on OK, kept
// apart from the dialogs. Presets read the selected VM; saves write its keys in a fixed order and
// stop at the first write that fails (the failure has been reported by then). None of them refresh
// the settings view: the caller does that once the dialog has closed.
namespace HardwareEditing {

// A stored whole number, or preset when the value is empty or not a decimal number.
int WholeNumber(const QString& stored, int preset);

// Inclusive bounds of a spin box.
struct NumberRange
{
    int minimum = 0;
    int maximum = 0;
};

// ---- Yes/no rows ----------------------------------------------------------------------------

struct YesNoRow
{
    QString question;
    QString section;
    QString key;
    // What a VM file without the key has (USB 3 is on unless a VM says otherwise).
    bool absentIsYes = false;
    // The answer is ModernHardware::ResizesGuest of the key and the VM's video card.
    bool followsVideoCard = false;
};

// The yes/no row of an icon (4, 19, 45, 75, 76, 102, 103, 108, 109); nullopt for any other icon.
std::optional<YesNoRow> YesNoRowOf(int icon);
// "Yes" or "No": the stored value when it is exactly "Yes", else "No"; for a key the file lacks,
// the row's default.
QString YesNoPreset(const VMContext& vm, const YesNoRow& row);
// Writes the answer to the row's key; "Enable Sound Card" goes through SaveSoundEnabled instead.
void SaveYesNo(VMContext& vm, const YesNoRow& row, const QString& answer);
// "No" switches sound off; "Yes" puts the first sound card of the architecture in place, also when
// sound was on already.
void SaveSoundEnabled(VMContext& vm, const QString& answer);

// ---- Memory and processors ----------------------------------------------------------------------

// 4 MB up to the host's physical memory (unbounded above when the host does not say).
NumberRange MemoryRange();
// "RAM", or 128 MB when it is not a number; always inside MemoryRange().
int MemoryPreset(const VMContext& vm);
void SaveMemory(VMContext& vm, int megabytes);

// 1 to 255.
NumberRange ProcessorRange();
// "Processors", or 1 when it is not a number; always inside ProcessorRange().
int ProcessorsPreset(const VMContext& vm);
void SaveProcessors(VMContext& vm, int processors);

// ---- QEMU version ---------------------------------------------------------------------------

// Every row of the version table in record order, walked on the given handle, which is closed
// afterwards.
QList<VersionRegistry::Version> ListVersions(TableHandle& versions);
// The last row whose identifier equals id exactly; -1 when none does.
int LastVersionRow(const QList<VersionRegistry::Version>& versions, const QString& id);
QString StoredVersionId(const VMContext& vm);
void SaveVersion(VMContext& vm, const VersionRegistry::Version& version);

// ---- Operating system ----------------------------------------------------------------------

struct OperatingSystemPreset
{
    QStringList names; // NAME of every row of the table, in table order
    int row = -1;      // the last row equal to the stored name, -1 when none is
    QString text;      // the text the box shows: the stored name, also when no row has it
};

// The names of the operating-system table, walked on the given handle, which is left open.
QStringList ListOperatingSystems(TableHandle& opsys);
OperatingSystemPreset PresetOperatingSystem(VMContext& vm);
void SaveOperatingSystem(VMContext& vm, const QString& text);

// ---- CPU type -------------------------------------------------------------------------------

// The three lists of the CPU type dialog with their selections (-1 for none).
struct CpuTypeChoice
{
    QString arc;
    QStringList bitness;
    int bitnessIndex = -1;
    ChoiceList machines;
    ChoiceList cpus;
    int machine = -1;
    int cpu = -1;

    QString bitnessText() const;
    ChoiceRow machineRow() const; // empty row when nothing is selected
    ChoiceRow cpuRow() const;
};

// The lists for an architecture with the stored bitness, CPU and machine selected by display text.
CpuTypeChoice PresetCpuType(const QString& arc, const QString& cpuArc, const QString& cpuType,
                            const QString& machineType);
CpuTypeChoice PresetCpuType(const VMContext& vm);
// The lists refilled for another bitness, with row 0 of each selected.
CpuTypeChoice WithBitness(const CpuTypeChoice& choice, int bitnessIndex);
// True for a change between "pc" and "isapc", which changes the network card models on offer.
bool MachineClassChanges(const QString& newMachineId, const QString& storedMachineId);
// Writes the bitness, CPU, machine and executable. True when the network cards must be reset to
// the first model of their new list (a "sparc" VM, or a change of machine class); false also when
// a write failed.
bool SaveCpuType(VMContext& vm, const CpuTypeChoice& choice);

// ---- Main display ---------------------------------------------------------------------------

enum DisplayMode
{
    IntegratedDisplay,
    QemuWindowDisplay,
    VncDisplay,
    FullScreenDisplay
};

struct DisplayPreset
{
    bool lacksIntegrated = false; // the VM's version cannot draw into a panel of the window
    QStringList modes;
    int mode = IntegratedDisplay;
    int vncNumber = 1;
    bool vncSocket = false; // served on a private socket instead of a port
};

// The VNC display number a port 5900 + n allows.
NumberRange VncNumberRange();
QStringList DisplayModes(bool lacksIntegrated);
DisplayPreset PresetDisplay(VMContext& vm);
// True when the integrated display is chosen for a version that cannot show it.
bool DisplayRefused(int mode, bool lacksIntegrated);
QString DisplayRefusal();
void SaveDisplay(VMContext& vm, int mode, int vncNumber, bool vncSocket = false);

// ---- Sound and video cards ------------------------------------------------------------------

enum class CardKind
{
    Sound,
    Video
};

struct CardPreset
{
    ChoiceList list;
    int row = -1;
};

// The card list of the VM's architecture with row 0 selected, or the stored card when a position
// is stored; nullopt when the architecture has no such list.
std::optional<CardPreset> PresetCard(const VMContext& vm, CardKind kind);
// Writes display text, position and identifier of the row (empty texts and "-1" for none).
void SaveCard(VMContext& vm, CardKind kind, const ChoiceList& list, int row);

// ---- Serial and parallel ports ----------------------------------------------------------------

enum SerialType
{
    SerialConsole,
    SerialPhysical,
    SerialFile,
    SerialTcp
};

enum ParallelType
{
    ParallelConsole,
    ParallelFile
};

struct SerialPortPreset
{
    int type = SerialConsole;        // the dialog's type after opening
    std::optional<QString> fileName; // set only for a file port
    QStringList hostPorts;
    int hostPort = -1;
    QString ip;
    int port = 4444;
    bool wait = false;
    bool listen = false;
};

struct SerialPortChoice
{
    int type = SerialConsole;
    QString hostPort;
    QString fileName;
    QString ip;
    int port = 0;
    bool wait = false;
    bool listen = false;
};

struct ParallelPortPreset
{
    int type = ParallelConsole;
    std::optional<QString> fileName;
};

// TCP ports 1 to 65535.
NumberRange TcpPortRange();
// shownType: the type the dialog showed last, kept when no valid type is stored.
SerialPortPreset PresetSerialPort(const VMContext& vm, const QString& number, int shownType,
                                  const QStringList& hostPorts);
void SaveSerialPort(VMContext& vm, const QString& number, const SerialPortChoice& choice);
ParallelPortPreset PresetParallelPort(const VMContext& vm, const QString& number, int shownType);
void SaveParallelPort(VMContext& vm, const QString& number, int type, const QString& fileName);

// A dotted IPv4 address as the address box shows it: the stored text when it is one, else
// "0.0.0.0".
QString IpAddressPreset(const QString& stored);
// The address box's text completed to four fields, empty fields as 0 ("10.0.2" gives
// "10.0.2.0").
QString NormalisedIpAddress(const QString& text);
// The file chooser's default extension added to a name that has none.
QString WithDefaultExtension(const QString& path, const QString& extension);

// ---- VM store ---------------------------------------------------------------------------------

// The expanded folder of the selected VM's store; nullopt when its store is not registered.
std::optional<QString> VMStoreFolder(VMContext& vm);

} // namespace HardwareEditing
