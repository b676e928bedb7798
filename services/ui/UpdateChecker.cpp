#include "services/ui/UpdateChecker.h"

#include "model/Settings.h"
#include "platform/Shell.h"
#include "platform/ui/Interaction.h"
#include "services/ui/UpdateDialog.h"

#include <QDialog>

namespace {
const QString Yes = QStringLiteral("Yes");
}

UpdateChecker::UpdateChecker(QWidget* window, const StartSettings& settings)
    : QObject(window), m_window(window), m_settings(settings), m_dialog(new UpdateDialog(window)),
      m_open(&Shell::open)
{
    connect(&m_check, &UpdateCheck::finished, this, &UpdateChecker::UpdateFinished);
}

UpdateChecker::~UpdateChecker() = default;

void UpdateChecker::StartUpdateCheck(const QString& url)
{
    m_check.start(url, false);
}

void UpdateChecker::CheckForUpdates2Click()
{
    const QString url = SettingsFile().value(SettingKeys::UpdateURL);
    if (url.isEmpty())
        return;
    m_check.start(url, true);
}

void UpdateChecker::UpdateFinished(const UpdateFile& file, bool manual)
{
    if (file.isEmpty()) {
        emit completed();
        return;
    }
    if (file.isNewerThan(m_settings.version)) {
        const SettingsFile settings;
        m_dialog->start(file.versionLine(), settings.value(SettingKeys::EnableUpdates) != Yes);
        const bool getUpdate = Interaction::current().execDialog(*m_dialog) == QDialog::Accepted;
        // A settings file that cannot be written loses the choice; there is nobody to tell.
        settings.setValue(SettingKeys::EnableUpdates,
                          m_dialog->doNotCheck() ? QStringLiteral("No") : Yes);
        const QString page = file.value(QStringLiteral("URL"));
        if (getUpdate && !page.isEmpty())
            m_open(page);
    } else if (manual) {
        Interaction::information(m_window, QStringLiteral("You have the latest version of Vimor"));
    }
    emit completed();
}
