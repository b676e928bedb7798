#include "settings/AdvancedEditing.h"

#include "model/ProgramFolder.h"

#include <QDir>
#include <QFileInfo>

namespace AdvancedEditing {
namespace {

const QString General = QStringLiteral("General");
const QString Hardware = QStringLiteral("Hardware");
const QString Advanced = QStringLiteral("Advanced");
const QString Yes = QStringLiteral("Yes");
const QString No = QStringLiteral("No");
const QString Disabled = QStringLiteral("Disabled");

QString number(int value)
{
    return QString::number(value);
}

bool inRange(const QStringList& items, int position)
{
    return position >= 0 && position < items.size();
}

// The value of a run of decimal digits of exactly the given length; nullopt for anything else.
std::optional<int> digits(QStringView text, qsizetype length)
{
    if (text.size() != length || length == 0)
        return std::nullopt;
    int value = 0;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
        value = value * 10 + (c.unicode() - '0');
    }
    return value;
}

std::optional<QDate> startDate(QStringView datePart)
{
    const auto year = digits(datePart.mid(0, 4), 4);
    const auto month = digits(datePart.mid(5, 2), 2);
    const auto day = digits(datePart.mid(8, 2), 2);
    if (!year || !month || !day)
        return std::nullopt;
    const QDate date(*year, *month, *day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<int> startHour(QStringView afterT)
{
    const qsizetype colon = afterT.indexOf(QLatin1Char(':'));
    if (colon <= 0 || colon > 2)
        return std::nullopt;
    const auto hour = digits(afterT.left(colon), colon);
    if (!hour || *hour > 23)
        return std::nullopt;
    return hour;
}

QStringList displayTexts(const ChoiceList& list)
{
    QStringList texts;
    for (const ChoiceRow& row : list)
        texts.append(row.display);
    return texts;
}

} // namespace

Editor editorFor(int icon)
{
    if (yesNoRow(icon))
        return Editor::YesNo;
    if (imagePathUse(icon))
        return Editor::ImagePath;
    if (dataEntryUse(icon))
        return Editor::DataEntry;
    switch (icon) {
    case KeyboardIcon:
        return Editor::Keyboard;
    case AffinityIcon:
        return Editor::Affinity;
    case PromEnvIcon:
        return Editor::PromEnv;
    case SoundLibraryIcon:
        return Editor::AudioLibrary;
    case StartTimeIcon:
        return Editor::StartTime;
    case KqemuIcon:
        return Editor::Kqemu;
    case PriorityIcon:
        return Editor::Priority;
    default:
        return Editor::None;
    }
}

int presetPosition(const QStringList& items, const QString& storedPosition,
                   const QString& storedText, int whenEmpty)
{
    if (storedPosition.isEmpty())
        return whenEmpty;
    bool ok = false;
    const int position = storedPosition.trimmed().toInt(&ok, 10);
    if (ok)
        return inRange(items, position) ? position : -1;
    const qsizetype found = storedText.isEmpty() ? -1 : items.indexOf(storedText);
    return found >= 0 ? int(found) : whenEmpty;
}

std::optional<YesNoRow> yesNoRow(int icon)
{
    struct Entry
    {
        int icon;
        const char* question;
        const char* section;
        const char* key;
    };
    static const Entry rows[] = {
        {SemihostingIcon, "Enable Semihosting syscall emulation ?", "Hardware", "semihosting"},
        {NoRebootIcon, "Close VM on Reboot ?", "Advanced", "NoReboot"},
        {SdlIcon, "Enable SDL Graphics ?", "Advanced", "SDL"},
        {DoNotStartCpuIcon, "Start CPU on VM Launch ?", "Hardware", "Do Not Start CPU"},
        {LocalTimeIcon, "User Local Time ?", "Hardware", "Use Local Time"},
        {Win2kHackIcon, "Enable Windows 2000 Installation Hack ?", "Hardware", "Enable WIN2K Hack"},
        {HalHackIcon, "Enable ACPI HAL Time Drift Hack ?", "Advanced", "Enable HAL Hack"},
        {BootSignatureIcon, "Disable Boot Signature Checking ?", "Advanced",
         "Disable Boot Signature"},
        {HpetIcon, "Disable HPET ?", "Advanced", "Disable HPET"},
        {AcpiIcon, "Disable ACPI Support ?", "Advanced", "ACPI"},
        {DoNotApplyIcon, "Do NOT apply session changes ?", "Hardware", "Do Not Apply"},
        {DebugIcon, "Run VM In Debug Mode ?", "Advanced", "Debug"},
        {OverrideAllIcon, "Override all VM Settings ?", "Advanced", "OverrideAll"},
    };
    for (const Entry& entry : rows) {
        if (entry.icon != icon)
            continue;
        YesNoRow row;
        row.icon = icon;
        row.question = QString::fromLatin1(entry.question);
        row.key = {QString::fromLatin1(entry.section), QString::fromLatin1(entry.key)};
        row.inverted = icon == DoNotStartCpuIcon;
        row.debug = icon == DebugIcon;
        return row;
    }
    return std::nullopt;
}

QString yesNoPreset(const YesNoRow& row, const QString& stored)
{
    const bool on = stored == Yes;
    return on != row.inverted ? Yes : No;
}

VMWrites yesNoWrites(const YesNoRow& row, const QString& answer)
{
    const bool yes = answer == Yes;
    VMWrites writes{{row.key.section, row.key.key, yes != row.inverted ? Yes : No}};
    // A debug launch runs in a console of its own, never inside the main window.
    if (row.debug && yes)
        writes.append({Hardware, QStringLiteral("Vimor Client"), No});
    return writes;
}

int keyboardPreset(const QString& storedIndex, const QString& storedCode)
{
    return presetPosition(KeyboardLayouts(), storedIndex, storedCode, -1);
}

VMWrites keyboardWrites(int position)
{
    const QStringList codes = KeyboardLayouts();
    const bool selected = inRange(codes, position);
    return {{Hardware, QStringLiteral("Keyboard"), selected ? codes.at(position) : QString()},
            {Hardware, QStringLiteral("KeyboardIndex"), number(selected ? position : -1)}};
}

QStringList affinityChoices(int processors)
{
    QStringList choices{Disabled};
    for (int cpu = 0; cpu < processors; ++cpu)
        choices.append(QStringLiteral("CPU ") + number(cpu));
    return choices;
}

bool affinityCanBeSet(int processors)
{
    return processors > 1;
}

int affinityPreset(const QString& storedCpu, const QString& storedAffinity, int processors)
{
    return presetPosition(affinityChoices(processors), storedCpu, storedAffinity, 0);
}

VMWrites affinityWrites(const QStringList& choices, int position)
{
    const QString text = inRange(choices, position) ? choices.at(position) : QString();
    const QString cpuKey = QStringLiteral("AffinityCPU");
    const QString affinityKey = QStringLiteral("Affinity");
    if (text == Disabled)
        return {{Advanced, cpuKey, QString()}, {Advanced, affinityKey, Disabled}};
    // Position 1 is processor 0: the launcher binds to the stored number less one.
    return {{Advanced, cpuKey, number(inRange(choices, position) ? position : -1)},
            {Advanced, affinityKey, text}};
}

std::optional<ImagePathUse> imagePathUse(int icon)
{
    if (icon == KernelIcon)
        return ImagePathUse{
            icon, QStringLiteral("Kernel Image:"), {Hardware, QStringLiteral("Kernel")}};
    if (icon == InitrdIcon)
        return ImagePathUse{
            icon, QStringLiteral("Initrd Image:"), {Hardware, QStringLiteral("initrd")}};
    return std::nullopt;
}

QString qemuFolder()
{
    return ProgramFolder::file(QStringLiteral("qemu"));
}

QString qemuFolderShortForm(const QString& file)
{
    if (file.isEmpty())
        return file;
    const QFileInfo info(file);
    const QString folder = QDir::cleanPath(info.absolutePath());
    const QString qemu = QDir::cleanPath(QFileInfo(qemuFolder()).absoluteFilePath());
    if (folder.compare(qemu, Qt::CaseInsensitive) != 0)
        return file;
    return QStringLiteral("{VR}\\qemu\\") + info.fileName();
}

VMWrites imagePathWrites(const ImagePathUse& use, const QString& text, const QString& chosenFile)
{
    const bool chosen = !chosenFile.isEmpty() && text == chosenFile;
    return {{use.key.section, use.key.key, chosen ? qemuFolderShortForm(chosenFile) : text}};
}

std::optional<DataEntryUse> dataEntryUse(int icon)
{
    switch (icon) {
    case AppendIcon:
        return DataEntryUse{icon,
                            QStringLiteral("Kernel"),
                            QStringLiteral("Kernel Command Line Append"),
                            {Hardware, QStringLiteral("Append")},
                            false,
                            false};
    case BiosIcon:
        return DataEntryUse{icon,
                            QStringLiteral("Bios Filename"),
                            QStringLiteral("Enter the BIOS Filename"),
                            {Advanced, QStringLiteral("Bios")},
                            false,
                            true};
    case WindowTitleIcon:
        return DataEntryUse{icon,
                            QStringLiteral("Qemu Window Title"),
                            QStringLiteral("Window Title"),
                            {General, QStringLiteral("Window Title")},
                            true,
                            false};
    case OptionalStringIcon:
        return DataEntryUse{icon,
                            QStringLiteral("Override"),
                            QStringLiteral("Enter VM Override Data"),
                            {Advanced, QStringLiteral("OptionalString")},
                            false,
                            false};
    default:
        return std::nullopt;
    }
}

QString dataEntryPreset(const DataEntryUse& use, const QString& stored)
{
    if (use.icon == WindowTitleIcon && stored.isEmpty())
        return VMNameMacro;
    return stored;
}

VMWrites dataEntryWrites(const DataEntryUse& use, const QString& text)
{
    if (use.icon == BiosIcon && text.isEmpty())
        return {{use.key.section, use.key.key, DefaultBios}};
    return {{use.key.section, use.key.key, text}};
}

QStringList splitPromStrings(const QString& stored)
{
    return stored.split(QLatin1Char('|'), Qt::SkipEmptyParts);
}

VMWrites promEnvWrites(const QStringList& items)
{
    return {{Hardware, QStringLiteral("PromEnv"), items.join(QLatin1Char('|'))}};
}

ChoiceList audioLibraries(bool fmod)
{
    ChoiceList libraries{{QStringLiteral("Direct Sound"), QStringLiteral("dsound")},
                         {QStringLiteral("SDL"), QStringLiteral("sdl")},
                         {QStringLiteral("Wave Renderer"), QStringLiteral("wav")}};
    if (fmod)
        libraries.append({QStringLiteral("FMOD"), QStringLiteral("fmod")});
    libraries.append({QStringLiteral("None"), QStringLiteral("none")});
    return libraries;
}

int audioLibraryPreset(const ChoiceList& libraries, const QString& storedAoid,
                       const QString& storedOutput)
{
    return presetPosition(displayTexts(libraries), storedAoid, storedOutput, 0);
}

VMWrites audioLibraryWrites(const ChoiceList& libraries, int position)
{
    const bool selected = position >= 0 && position < libraries.size();
    const ChoiceRow row = selected ? libraries.at(position) : ChoiceRow{};
    return {{Advanced, QStringLiteral("Audio Output"), row.display},
            {Advanced, QStringLiteral("AOID"), number(selected ? position : -1)},
            {Advanced, QStringLiteral("AOItem"), row.id}};
}

QStringList startHours()
{
    QStringList hours;
    for (int hour = 0; hour < 24; ++hour)
        hours.append(QStringLiteral("%1:00").arg(hour, 2, 10, QLatin1Char('0')));
    return hours;
}

StartTimePreset startTimePreset(const QString& stored, const QDate& today)
{
    StartTimePreset preset;
    const qsizetype t = stored.indexOf(QLatin1Char('T'));
    if (t < 0) {
        if (stored == StartNow)
            preset.date = today;
        return preset;
    }
    // A value this program did not write keeps the last date and the default hour rather than
    // refusing to open.
    const QStringView text(stored);
    preset.date = startDate(text.left(t));
    preset.hour = startHour(text.mid(t + 1)).value_or(DefaultStartHour);
    return preset;
}

QString formatStartTime(const QDate& date, int hour)
{
    return QStringLiteral("%1-%2-%3T%4:00:00")
        .arg(date.year(), 4, 10, QLatin1Char('0'))
        .arg(date.month(), 2, 10, QLatin1Char('0'))
        .arg(date.day(), 2, 10, QLatin1Char('0'))
        .arg(hour);
}

VMWrites startTimeWrites(const QDate& date, int hour)
{
    return {{Advanced, QStringLiteral("Start Time"), formatStartTime(date, hour)}};
}

QStringList kqemuModes()
{
    return {Disabled, QStringLiteral("User Mode"), QStringLiteral("Full Acceleration")};
}

int kqemuPreset(const QString& storedId, const QString& storedMode)
{
    return presetPosition(kqemuModes(), storedId, storedMode, 0);
}

VMWrites kqemuWrites(int position)
{
    const QStringList modes = kqemuModes();
    const bool selected = inRange(modes, position);
    return {{Advanced, QStringLiteral("KQEMU"), selected ? modes.at(position) : QString()},
            {Advanced, QStringLiteral("KQEMUID"), number(selected ? position : -1)}};
}

QStringList priorityClasses()
{
    return {QStringLiteral("Idle"), QStringLiteral("Normal"), QStringLiteral("High"),
            QStringLiteral("Realtime")};
}

int priorityPreset(const QString& storedIndex, const QString& storedClass)
{
    return presetPosition(priorityClasses(), storedIndex, storedClass, -1);
}

VMWrites priorityWrites(int position)
{
    const QStringList classes = priorityClasses();
    const bool selected = inRange(classes, position);
    return {{Advanced, QStringLiteral("Process"), selected ? classes.at(position) : QString()},
            {Advanced, QStringLiteral("ProcessIndex"), number(selected ? position : -1)}};
}

QString lastRunText(const LastLaunch& launch)
{
    const QString executable = launch.executable.isEmpty()
                                   ? QString()
                                   : QLatin1Char('"') + launch.executable + QLatin1Char('"');
    return executable + QLatin1Char(' ') + launch.arguments;
}

} // namespace AdvancedEditing
