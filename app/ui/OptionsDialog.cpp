#include "app/ui/OptionsDialog.h"

#include "model/Settings.h"
#include "platform/ui/Interaction.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QVBoxLayout>

OptionsDialog::OptionsDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Options"));
    setModal(true);

    auto* group = new QGroupBox(QStringLiteral("Vimor Options"));
    m_updates = new QCheckBox(QStringLiteral("Check for Updates on startup."));
    m_maximized = new QCheckBox(QStringLiteral("Launch Vimor Maximized"));
    m_rememberTabs = new QCheckBox(QStringLiteral("Enable Per-VM TAB Memory"));
    m_dock = new QCheckBox(QStringLiteral("On Minimize Dock To System Tray"));
    m_stopServices =
        new QCheckBox(QStringLiteral("Stop KQEMU accelerator driver when Vimor closes"));
    auto* groupLayout = new QVBoxLayout(group);
    for (QCheckBox* box : {m_updates, m_maximized, m_rememberTabs, m_dock, m_stopServices})
        groupLayout->addWidget(box);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);
}

void OptionsDialog::start(const UserOptions& options)
{
    m_updates->setChecked(options.enableUpdates);
    m_maximized->setChecked(options.maximized);
    m_rememberTabs->setChecked(options.rememberTabs);
    m_dock->setChecked(options.dock);
    m_stopServices->setChecked(options.stopServices);
}

UserOptions OptionsDialog::options() const
{
    UserOptions options;
    options.enableUpdates = m_updates->isChecked();
    options.maximized = m_maximized->isChecked();
    options.rememberTabs = m_rememberTabs->isChecked();
    options.dock = m_dock->isChecked();
    options.stopServices = m_stopServices->isChecked();
    return options;
}

bool OptionsDialog::ShowOptions(StartSettings& settings)
{
    const SettingsFile file;
    start(ReadUserOptions(file, settings));
    if (Interaction::current().execDialog(*this) != QDialog::Accepted)
        return false;
    WriteUserOptions(file, options(), settings);
    return true;
}
