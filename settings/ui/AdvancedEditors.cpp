#include "settings/ui/AdvancedEditors.h"

#include "model/VMContext.h"
#include "platform/Host.h"
#include "platform/ui/Interaction.h"
#include "settings/ui/AdvancedChoiceDialog.h"
#include "settings/ui/DataEntryDialog.h"
#include "settings/ui/ImagePathDialog.h"
#include "settings/ui/LastRunWindow.h"
#include "settings/ui/PromEnvDialog.h"
#include "settings/ui/StartDateDialog.h"
#include "settings/ui/YesNoDialog.h"
#include "versions/VersionRegistry.h"

#include <QDate>

using namespace AdvancedEditing;

template <typename Dialog, typename... Args>
Dialog* AdvancedEditors::make(Args&&... args)
{
    auto* dialog = new Dialog(std::forward<Args>(args)..., m_parent);
    m_dialogs.append(dialog);
    return dialog;
}

AdvancedEditors::AdvancedEditors(VMContext& vm, QWidget* parent)
    : QObject(parent), m_vm(vm), m_parent(parent)
{
    m_yesNo = make<YesNoDialog>();
    m_keyboard =
        make<AdvancedChoiceDialog>(QStringLiteral("Keyboard Language"), QStringLiteral("Keyboard"),
                                   QStringLiteral("Keyboard Language"));
    m_keyboard->setItems(KeyboardLayouts());
    m_affinity =
        make<AdvancedChoiceDialog>(QStringLiteral("CPU Affinity"), QStringLiteral("CPU Affinity"),
                                   QStringLiteral("Run the Virtual Machine on the following CPU:"));
    m_imagePath = make<ImagePathDialog>();
    m_dataEntry = make<DataEntryDialog>();
    m_promEnv = make<PromEnvDialog>();
    m_audio =
        make<AdvancedChoiceDialog>(QStringLiteral("Audio Library"), QStringLiteral("Audio Library"),
                                   QStringLiteral("Select Audio Library"));
    m_startDate = make<StartDateDialog>();
    m_kqemu = make<AdvancedChoiceDialog>(QStringLiteral("KQEMU Accelerator"),
                                         QStringLiteral("Accelerator Options"),
                                         QStringLiteral("KQEMU Mode:"));
    m_kqemu->setItems(kqemuModes());
    m_priority = make<AdvancedChoiceDialog>(
        QStringLiteral("Priority"), QStringLiteral("Process Priority"),
        QStringLiteral("Please select the priority QEMU should run at on startup (CAUTION)."));
    m_priority->setItems(priorityClasses());
    m_lastRun = make<LastRunWindow>();
}

AdvancedEditors::~AdvancedEditors()
{
    for (const QPointer<QDialog>& dialog : std::as_const(m_dialogs))
        delete dialog.data();
}

void AdvancedEditors::setLastLaunchSource(std::function<LastLaunch()> source)
{
    m_lastLaunch = std::move(source);
}

void AdvancedEditors::edit(int icon)
{
    if (m_vm.selectedVM().isEmpty())
        return;
    switch (editorFor(icon)) {
    case Editor::None:
        return;
    case Editor::YesNo:
        return editYesNo(icon);
    case Editor::Keyboard:
        return editKeyboard();
    case Editor::Affinity:
        return editAffinity();
    case Editor::ImagePath:
        return editImagePath(icon);
    case Editor::DataEntry:
        return editDataEntry(icon);
    case Editor::PromEnv:
        return editPromEnv();
    case Editor::AudioLibrary:
        return editAudioLibrary();
    case Editor::StartTime:
        return editStartTime();
    case Editor::Kqemu:
        return editKqemu();
    case Editor::Priority:
        return editPriority();
    }
}

bool AdvancedEditors::run(QDialog& dialog)
{
    return Interaction::current().execDialog(dialog) == QDialog::Accepted;
}

void AdvancedEditors::apply(const VMWrites& writes)
{
    bool changed = false;
    for (const VMWrite& write : writes) {
        if (!m_vm.WriteVMValue(QString(), write.section, write.key, write.value))
            break;
        changed = true;
    }
    if (changed)
        m_vm.ShowSettings();
}

QString AdvancedEditors::read(const VMKey& key) const
{
    return m_vm.ReadVMValue(key.section, key.key);
}

QString AdvancedEditors::read(const char* section, const char* key) const
{
    return m_vm.ReadVMValue(QString::fromLatin1(section), QString::fromLatin1(key));
}

void AdvancedEditors::editYesNo(int icon)
{
    const auto row = yesNoRow(icon);
    m_yesNo->setQuestion(row->question);
    m_yesNo->preset(yesNoPreset(*row, read(row->key)));
    if (run(*m_yesNo))
        apply(yesNoWrites(*row, m_yesNo->answer()));
}

void AdvancedEditors::editKeyboard()
{
    m_keyboard->select(
        keyboardPreset(read("Hardware", "KeyboardIndex"), read("Hardware", "Keyboard")));
    if (run(*m_keyboard))
        apply(keyboardWrites(m_keyboard->selectedPosition()));
}

void AdvancedEditors::editAffinity()
{
    const int processors = Host::processorCount();
    const QStringList choices = affinityChoices(processors);
    m_affinity->setItems(choices);
    if (!affinityCanBeSet(processors)) {
        Interaction::error(m_parent, NoAffinityError);
        return;
    }
    m_affinity->select(
        affinityPreset(read("Advanced", "AffinityCPU"), read("Advanced", "Affinity"), processors));
    if (run(*m_affinity))
        apply(affinityWrites(choices, m_affinity->selectedPosition()));
}

void AdvancedEditors::editImagePath(int icon)
{
    const auto use = imagePathUse(icon);
    m_imagePath->start(use->label, read(use->key));
    if (run(*m_imagePath))
        apply(imagePathWrites(*use, m_imagePath->text(), m_imagePath->chosenFile()));
}

void AdvancedEditors::editDataEntry(int icon)
{
    const auto use = dataEntryUse(icon);
    m_dataEntry->start(*use, dataEntryPreset(*use, read(use->key)));
    const bool accepted = run(*m_dataEntry);
    m_dataEntry->hideOptionalButtons();
    if (accepted)
        apply(dataEntryWrites(*use, m_dataEntry->text()));
}

void AdvancedEditors::editPromEnv()
{
    m_promEnv->setItems(splitPromStrings(read("Hardware", "PromEnv")));
    if (run(*m_promEnv))
        apply(promEnvWrites(m_promEnv->items()));
}

void AdvancedEditors::editAudioLibrary()
{
    const bool fmod =
        m_vm.versions().VersionFlag(read("General", "Qemu Version ID"), QStringLiteral("FMOD"));
    const ChoiceList libraries = audioLibraries(fmod);
    m_audio->setChoices(libraries);
    m_audio->select(
        audioLibraryPreset(libraries, read("Advanced", "AOID"), read("Advanced", "Audio Output")));
    if (run(*m_audio))
        apply(audioLibraryWrites(libraries, m_audio->selectedPosition()));
}

void AdvancedEditors::editStartTime()
{
    const StartTimePreset preset =
        startTimePreset(read("Advanced", "Start Time"), QDate::currentDate());
    if (preset.date)
        m_startDate->setDate(*preset.date);
    m_startDate->setHour(preset.hour);
    if (run(*m_startDate))
        apply(startTimeWrites(m_startDate->date(), m_startDate->hour()));
}

void AdvancedEditors::editKqemu()
{
    m_kqemu->select(kqemuPreset(read("Advanced", "KQEMUID"), read("Advanced", "KQEMU")));
    if (run(*m_kqemu))
        apply(kqemuWrites(m_kqemu->selectedPosition()));
}

void AdvancedEditors::editPriority()
{
    m_priority->select(
        priorityPreset(read("Advanced", "ProcessIndex"), read("Advanced", "Process")));
    if (run(*m_priority))
        apply(priorityWrites(m_priority->selectedPosition()));
}

void AdvancedEditors::ShowLastLaunchCommand1Click()
{
    const LastLaunch launch = m_lastLaunch ? m_lastLaunch() : LastLaunch{};
    m_lastRun->setText(lastRunText(launch));
    m_lastRun->setNotes(launch.notes);
    run(*m_lastRun);
}
