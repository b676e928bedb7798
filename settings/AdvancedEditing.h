#pragma once

#include "model/HardwareCatalogue.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The rules of the editors of the "Advanced" list: what a dialog shows when it opens and which
// keys its OK writes. The dialogs in ui/ only carry these values to and from their controls.
namespace AdvancedEditing {

// Icon numbers of the Advanced rows; the list dispatches its editors on them.
enum Icon : int
{
    LocalTimeIcon = 8,
    KqemuIcon = 11,
    Win2kHackIcon = 12,
    DoNotApplyIcon = 13,
    SoundLibraryIcon = 19,
    OverrideAllIcon = 29,
    OptionalStringIcon = 30,
    DoNotStartCpuIcon = 32,
    KeyboardIcon = 42,
    PriorityIcon = 46,
    SdlIcon = 47,
    AcpiIcon = 48,
    NoRebootIcon = 49,
    DebugIcon = 52,
    QemuExecutableIcon = 54,
    AffinityIcon = 58,
    WindowTitleIcon = 61,
    HalHackIcon = 64,
    BootSignatureIcon = 65,
    HpetIcon = 66,
    BiosIcon = 67,
    StartTimeIcon = 68,
    KernelIcon = 69,
    InitrdIcon = 70,
    AppendIcon = 77,
    PromEnvIcon = 78,
    SemihostingIcon = 79
};

enum class Editor
{
    None,
    YesNo,
    Keyboard,
    Affinity,
    ImagePath,
    DataEntry,
    PromEnv,
    AudioLibrary,
    StartTime,
    Kqemu,
    Priority
};

// The editor of an Advanced row; None for rows without one ("Qemu Executable") and unknown icons.
Editor editorFor(int icon);

struct VMKey
{
    QString section;
    QString key;
};

// One key an editor writes, in the order the editor writes them.
struct VMWrite
{
    QString section;
    QString key;
    QString value;

    friend bool operator==(const VMWrite&, const VMWrite&) = default;
};
using VMWrites = QList<VMWrite>;

// A stored list position: when empty, whenEmpty; a number inside the list, that position; a
// number outside it, -1 (no selection). A value that is not a number was not written by this
// program, so the position is recovered from the display text stored beside it, and whenEmpty is
// used when that is not in the list either.
int presetPosition(const QStringList& items, const QString& storedPosition,
                   const QString& storedText, int whenEmpty);

// Yes/no rows.
struct YesNoRow
{
    int icon = 0;
    QString question;
    VMKey key;
    bool inverted = false; // the question asks the opposite of the key
    bool debug = false;    // "Yes" also takes the VM out of the embedded display
};
std::optional<YesNoRow> yesNoRow(int icon);
// "Yes" or "No", the answer to select for the stored value.
QString yesNoPreset(const YesNoRow& row, const QString& stored);
VMWrites yesNoWrites(const YesNoRow& row, const QString& answer);

// VNC keyboard language: the stored position selects the code ("KeyboardIndex" empty: none).
int keyboardPreset(const QString& storedIndex, const QString& storedCode);
VMWrites keyboardWrites(int position);

// CPU affinity: "Disabled" and one row per host processor.
QStringList affinityChoices(int processors);
bool affinityCanBeSet(int processors);
inline const QString NoAffinityError =
    QStringLiteral("This computer has only 1 CPU and therefore affinity cannot be set");
int affinityPreset(const QString& storedCpu, const QString& storedAffinity, int processors);
VMWrites affinityWrites(const QStringList& choices, int position);

// Kernel and initrd image paths.
struct ImagePathUse
{
    int icon = 0;
    QString label;
    VMKey key;
};
std::optional<ImagePathUse> imagePathUse(int icon);
// The program's "qemu" folder, where the image and BIOS choosers start.
QString qemuFolder();
// A file directly in the program's "qemu" folder as "{VR}\qemu\" and its name, so that the VM
// keeps working when the program folder moves; any other file as its path.
QString qemuFolderShortForm(const QString& file);
// text is the text box at OK; chosenFile the file last picked with ".." during this opening
// (empty when none). The short form applies only while the box still shows that file, so that
// typing after browsing is not thrown away.
VMWrites imagePathWrites(const ImagePathUse& use, const QString& text, const QString& chosenFile);

// Uses of the data-entry dialog.
inline const QString VMNameMacro = QStringLiteral("{VM NAME}");
inline const QString DefaultBios = QStringLiteral("Default");
struct DataEntryUse
{
    int icon = 0;
    QString frame;
    QString label;
    VMKey key;
    bool vmButton = false;    // "VM"
    bool biosButtons = false; // ".." and "Clear"
};
std::optional<DataEntryUse> dataEntryUse(int icon);
QString dataEntryPreset(const DataEntryUse& use, const QString& stored);
VMWrites dataEntryWrites(const DataEntryUse& use, const QString& text);

// PROM environment strings, stored as one value with "|" between the items.
QStringList splitPromStrings(const QString& stored);
VMWrites promEnvWrites(const QStringList& items);

// Host audio libraries; "FMOD" only for versions with that capability.
ChoiceList audioLibraries(bool fmod);
int audioLibraryPreset(const ChoiceList& libraries, const QString& storedAoid,
                       const QString& storedOutput);
VMWrites audioLibraryWrites(const ChoiceList& libraries, int position);

// Start date and time of the guest clock.
inline const QString StartNow = QStringLiteral("Now");
constexpr int DefaultStartHour = 6;
QStringList startHours(); // "00:00" to "23:00"
struct StartTimePreset
{
    std::optional<QDate> date; // none: the picker keeps the date it showed last
    int hour = DefaultStartHour;
};
StartTimePreset startTimePreset(const QString& stored, const QDate& today);
// "2009-03-07T6:00:00": the date, "T", the hour without leading zero, ":00:00".
QString formatStartTime(const QDate& date, int hour);
VMWrites startTimeWrites(const QDate& date, int hour);

// KQEMU accelerator mode.
QStringList kqemuModes();
int kqemuPreset(const QString& storedId, const QString& storedMode);
VMWrites kqemuWrites(int position);

// Priority class of the QEMU process.
QStringList priorityClasses();
int priorityPreset(const QString& storedIndex, const QString& storedClass);
VMWrites priorityWrites(int position);

// The last launch of this run, as the launcher remembers it.
struct LastLaunch
{
    QString executable; // unquoted path; empty before the first launch
    QString arguments;
    QStringList notes = {}; // what the launch chose and why
};
// The quoted executable, a blank and the arguments; a single blank before any launch.
QString lastRunText(const LastLaunch& launch);

} // namespace AdvancedEditing
