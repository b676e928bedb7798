#pragma once

#include "settings/AdvancedEditing.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class AdvancedChoiceDialog;
class DataEntryDialog;
class ImagePathDialog;
class LastRunWindow;
class PromEnvDialog;
class QDialog;
class QWidget;
class StartDateDialog;
class VMContext;
class YesNoDialog;

// The editors of the "Advanced" list and the "Last Run" window. Each editor presets its dialog
// from the selected VM's file, and on OK writes the keys that go with the row and refreshes the
// settings view; Cancel writes nothing. The dialogs are created once and reused.
class AdvancedEditors final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(AdvancedEditors)

public:
    AdvancedEditors(VMContext& vm, QWidget* parent);
    ~AdvancedEditors() override;

    // The Advanced list's dispatch on the row's icon; rows without an editor (54) do nothing, as
    // does any row while no VM is selected.
    void edit(int icon);
    // The "Last Run" window with the last launch of this run.
    void ShowLastLaunchCommand1Click();

    // Where the window finds the last launch; the launcher keeps it. Without a source the window
    // shows the state before any launch.
    void setLastLaunchSource(std::function<AdvancedEditing::LastLaunch()> source);

private:
    template <typename Dialog, typename... Args>
    Dialog* make(Args&&... args);
    bool run(QDialog& dialog);
    // Writes in order and stops at the first write that fails (already reported to the user);
    // refreshes the settings view when anything was written.
    void apply(const AdvancedEditing::VMWrites& writes);
    QString read(const AdvancedEditing::VMKey& key) const;
    QString read(const char* section, const char* key) const;

    void editYesNo(int icon);
    void editKeyboard();
    void editAffinity();
    void editImagePath(int icon);
    void editDataEntry(int icon);
    void editPromEnv();
    void editAudioLibrary();
    void editStartTime();
    void editKqemu();
    void editPriority();

    VMContext& m_vm;
    QWidget* m_parent = nullptr;
    std::function<AdvancedEditing::LastLaunch()> m_lastLaunch;

    YesNoDialog* m_yesNo = nullptr;
    AdvancedChoiceDialog* m_keyboard = nullptr;
    AdvancedChoiceDialog* m_affinity = nullptr;
    ImagePathDialog* m_imagePath = nullptr;
    DataEntryDialog* m_dataEntry = nullptr;
    PromEnvDialog* m_promEnv = nullptr;
    AdvancedChoiceDialog* m_audio = nullptr;
    StartDateDialog* m_startDate = nullptr;
    AdvancedChoiceDialog* m_kqemu = nullptr;
    AdvancedChoiceDialog* m_priority = nullptr;
    LastRunWindow* m_lastRun = nullptr;
    // The dialogs belong to the main window, so that they stand in front of it; they go with
    // this object if it ends first.
    QList<QPointer<QDialog>> m_dialogs;
};
