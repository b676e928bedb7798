#pragma once

#include "services/UpdateCheck.h"

#include <QObject>

#include <functional>

struct StartSettings;
class UpdateDialog;
class QWidget;

// The update check as the main window runs it: the start-up check, the menu command "Check For
// Updates", and what the user is told when a fetch completes.
class UpdateChecker final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateChecker)

public:
    // window is the main window the dialog is centred on; settings are the start-up settings,
    // whose "Version" the published one is compared with.
    UpdateChecker(QWidget* window, const StartSettings& settings);
    ~UpdateChecker() override;

    // The check at start-up: silent unless a newer release exists.
    void StartUpdateCheck(const QString& url);
    // The menu command: reads the address from the settings file; also answers when the installed
    // release is the newest.
    void CheckForUpdates2Click();

    // Opens the download page, only ever an http or https address; the desktop's default handler
    // unless a test replaces it.
    void setOpener(std::function<bool(const QString&)> opener) { m_open = std::move(opener); }
    UpdateCheck& check() { return m_check; }
    UpdateDialog* dialog() const { return m_dialog; }

signals:
    // The completion step has run, after any dialog it showed.
    void completed();

private:
    void UpdateFinished(const UpdateFile& file, bool manual, bool tooLarge);

    QWidget* m_window;
    const StartSettings& m_settings;
    UpdateCheck m_check;
    UpdateDialog* m_dialog;
    std::function<bool(const QString&)> m_open;
};
