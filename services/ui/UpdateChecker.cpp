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

void UpdateChecker::UpdateFinished(const UpdateFile& file, bool manual, bool tooLarge)
{
    if (tooLarge) {
        // Not an update file, whoever asked: worth saying, unlike a server that is down.
        Interaction::warning(m_window,
                             QStringLiteral("The update information from the server is larger "
                                            "than %1 KiB. It was not read.")
                                 .arg(UpdateCheck::MaxBytes / 1024));
        emit completed();
        return;
    }
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
        const std::optional<QUrl> page = file.downloadPage();
        if (getUpdate && page)
            m_open(page->toString(QUrl::FullyEncoded));
        else if (getUpdate && !file.value(QStringLiteral("URL")).isEmpty())
            Interaction::warning(m_window,
                                 QStringLiteral("The download page the update server names is "
                                                "not a web address (http or https). It was not "
                                                "opened."));
    } else if (manual) {
        Interaction::information(m_window, QStringLiteral("You have the latest version of Vimor"));
    }
    emit completed();
}
