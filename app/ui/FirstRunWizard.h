#pragma once

#include "app/ui/UserOptions.h"

#include <QDialog>

class QCheckBox;
class QPushButton;
class QWidget;

// The window "Vimor First Run Wizard": the preferences of the first start, with an advanced panel
// for the accelerator driver and the console font. "Save && Finish" accepts; "Cancel" (and Escape)
// asks first and rejects only on Yes.
class FirstRunWizard final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(FirstRunWizard)

public:
    explicit FirstRunWizard(QWidget* parent = nullptr);

    FirstRunChoices choices() const;
    // Whether the advanced panel is shown (it follows "Advanced Options").
    bool advancedPanelShown() const;

    QCheckBox* updatesBox() const { return m_updates; }
    QCheckBox* maximizedBox() const { return m_maximized; }
    QCheckBox* rememberTabsBox() const { return m_rememberTabs; }
    QCheckBox* dockBox() const { return m_dock; }
    QCheckBox* advancedBox() const { return m_advanced; }
    QCheckBox* kqemuBox() const { return m_kqemu; }
    QCheckBox* fontBox() const { return m_font; }
    QPushButton* finishButton() const { return m_finish; }
    QPushButton* cancelButton() const { return m_cancel; }

    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QCheckBox* m_updates = nullptr;
    QCheckBox* m_maximized = nullptr;
    QCheckBox* m_rememberTabs = nullptr;
    QCheckBox* m_dock = nullptr;
    QCheckBox* m_advanced = nullptr;
    QWidget* m_advancedPanel = nullptr;
    QCheckBox* m_kqemu = nullptr;
    QCheckBox* m_font = nullptr;
    QPushButton* m_finish = nullptr;
    QPushButton* m_cancel = nullptr;
};

// Shows the first-run wizard and carries out its outcome (FinishFirstRun or CancelFirstRun on the
// settings file of the program folder). True when it was finished with "Save && Finish".
bool RunFirstRunWizard(QWidget* parent, StartSettings& settings, FirstRunSteps steps);
