#include "app/ui/FirstRunWizard.h"

#include "app/ui/ConsoleFont.h"
#include "model/Settings.h"
#include "platform/ui/Interaction.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

FirstRunWizard::FirstRunWizard(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Vimor First Run Wizard"));
    setModal(true);
    // No close box: the wizard ends through its buttons.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto* welcome = new QGroupBox(QStringLiteral("Welcome"));
    auto* title = new QLabel(QStringLiteral("Welcome to Vimor!"));
    QFont titleFont = title->font();
    titleFont.setBold(true);
    title->setFont(titleFont);
    auto* intro = new QLabel(QStringLiteral("Vimor supports a range of add-ons / enhancements to "
                                            "QEMU.  Please specify any optional settings below."));
    intro->setWordWrap(true);
    m_updates = new QCheckBox(
        QStringLiteral("Automatically check for new Vimor updates when Vimor starts."));
    m_maximized = new QCheckBox(QStringLiteral("Launch Vimor maximized."));
    m_rememberTabs = new QCheckBox(QStringLiteral("Enable Per-VM TAB Memory."));
    m_dock = new QCheckBox(QStringLiteral("On minimize dock to system tray."));
    m_advanced = new QCheckBox(
        QStringLiteral("Advanced Options (If you are not using Vimor on a USB pen stick/drive)."));

    m_advancedPanel = new QWidget;
    auto* kqemuGroup = new QGroupBox(QStringLiteral("KQEMU Accelerator Support"));
    auto* kqemuText =
        new QLabel(QStringLiteral("QEMU Accelerator (KQEMU) is a driver allowing the QEMU PC "
                                  "emulator to run much faster when emulating a PC on an x86 host. "
                                  "\nKQEMU is a deprecated feature that is only available for "
                                  "32-bit Windows platforms, and is not supported by QEMU 0.12.0 "
                                  "and later."));
    kqemuText->setWordWrap(true);
    m_kqemu = new QCheckBox(QStringLiteral("Install && Enable KQEMU Accelerator Support."));
    auto* kqemuLayout = new QVBoxLayout(kqemuGroup);
    kqemuLayout->addWidget(kqemuText);
    kqemuLayout->addWidget(m_kqemu);
    m_font = new QCheckBox(
        QStringLiteral("Install Vimor Monitor Terminal_Hex Font to the local computer."));
    auto* advancedLayout = new QVBoxLayout(m_advancedPanel);
    advancedLayout->setContentsMargins(0, 0, 0, 0);
    advancedLayout->addWidget(kqemuGroup);
    advancedLayout->addWidget(m_font);

    auto* welcomeLayout = new QVBoxLayout(welcome);
    welcomeLayout->addWidget(title);
    welcomeLayout->addWidget(intro);
    for (QCheckBox* box : {m_updates, m_maximized, m_rememberTabs, m_dock, m_advanced})
        welcomeLayout->addWidget(box);
    welcomeLayout->addWidget(m_advancedPanel);
    welcomeLayout->addStretch();

    auto* page = new QWidget;
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->addWidget(welcome);
    auto* tabs = new QTabWidget;
    tabs->addTab(page, QStringLiteral("Vimor"));

    m_finish = new QPushButton(QStringLiteral("Save && Finish"));
    m_finish->setDefault(true);
    m_cancel = new QPushButton(QStringLiteral("Cancel"));
    connect(m_finish, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_cancel, &QPushButton::clicked, this, &FirstRunWizard::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_finish);
    buttons->addWidget(m_cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabs);
    layout->addLayout(buttons);

    const FirstRunChoices preset;
    m_updates->setChecked(preset.enableUpdates);
    m_maximized->setChecked(preset.maximized);
    m_rememberTabs->setChecked(preset.rememberTabs);
    m_dock->setChecked(preset.dock);
    m_advanced->setChecked(preset.advanced);
    m_kqemu->setChecked(preset.installKqemu);
    m_font->setChecked(preset.installFont);
    m_advancedPanel->setVisible(preset.advanced);
    connect(m_advanced, &QCheckBox::toggled, m_advancedPanel, &QWidget::setVisible);
}

FirstRunChoices FirstRunWizard::choices() const
{
    FirstRunChoices choices;
    choices.enableUpdates = m_updates->isChecked();
    choices.maximized = m_maximized->isChecked();
    choices.rememberTabs = m_rememberTabs->isChecked();
    choices.dock = m_dock->isChecked();
    // The panel shows exactly while its box is ticked, shown window or not.
    choices.advanced = advancedPanelShown();
    choices.installKqemu = m_kqemu->isChecked();
    choices.installFont = m_font->isChecked();
    return choices;
}

bool FirstRunWizard::advancedPanelShown() const
{
    return m_advanced->isChecked();
}

void FirstRunWizard::reject()
{
    if (Interaction::confirm(this, QStringLiteral("Are you sure you wish to cancel this wizard ?")))
        QDialog::reject();
}

void FirstRunWizard::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (const QScreen* screen = this->screen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

bool RunFirstRunWizard(QWidget* parent, StartSettings& settings, FirstRunSteps steps)
{
    if (!steps.installFont)
        steps.installFont = [](const QString& fontFile) {
            return AddConsoleFontToDesktop(fontFile, nullptr);
        };
    FirstRunWizard wizard(parent);
    const SettingsFile file;
    if (Interaction::current().execDialog(wizard) != QDialog::Accepted) {
        CancelFirstRun(file);
        return false;
    }
    FinishFirstRun(file, wizard.choices(), settings, steps);
    return true;
}
