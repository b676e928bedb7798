#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class MonitorClient;
class QWidget;

// The VM control commands of the "VM Control" menu and the console's control toolbar. Each sends
// fixed monitor command texts, some after a file chooser, an input box, a question or a choice of
// host drive. The window it serves is reached only through Host, so that it runs without one.
class VMControl final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(VMControl)

public:
    struct Host
    {
        // Sends one monitor command (the carriage return is the sender's); false with the reason.
        std::function<bool(const QString& text, QString* error)> send;
        std::function<bool()> isConnected;
        // Closes the monitor connection after "quit"; false with the reason.
        std::function<bool(QString* error)> disconnect;
        // Status-bar panel 2.
        std::function<void(const QString& text)> showStatus;
        std::function<void()> selectHardwareTab;
        // Runs the "Select Physical Drive" window over the letters (first one chosen); the
        // chosen letter and colon, or nothing when cancelled.
        std::function<std::optional<QString>(const QStringList& letters)> chooseDrive;
        std::function<QWidget*()> dialogParent;
        // Whether the VM's QEMU runs the shared clipboard's agent, which snapshots are saved and
        // loaded without (ClipboardChannel::IsOpen of the VM). None: it does not.
        std::function<bool()> clipboardChannel;
    };

    // The sending, connection and disconnecting of a host bound to the client; the rest of the
    // host is left to the caller.
    static Host clientHost(MonitorClient& client);

    explicit VMControl(Host host, QObject* parent = nullptr);

    // Runs the command of that key ("EjectCD", "LoadCD", "LoadCDRestart", "PhysicalCD",
    // "EjectFloppy0", "EjectFloppy1", "LoadFloppy0", "LoadFloppy1", "LoadFloppy0Restart",
    // "PhysicalFloppy", "CtrlAltDel", "Pause", "CreateSnapshot", "LoadSnapshot",
    // "DeleteSnapshot", "Reset", "PowerDown", "Quit"). False for an unknown key.
    bool run(const QString& command);

    // Sends one command; a failure shows "Error: " and its reason in status-bar panel 2.
    bool SendMonitorCommand(const QString& text);

    // Whether the pause button shows the resume picture; not read back from QEMU and kept across
    // connections.
    bool paused() const { return m_paused; }
    // The menu item's caption for the pause state: "Pause Virtual Machine" or "Resume Virtual
    // Machine".
    QString pauseCaption() const;

signals:
    void pausedChanged(bool paused);

private:
    bool sendAll(const QStringList& texts);
    void loadImage(const QString& title, const QString& suffix, int filterLine,
                   const QStringList& before, const QString& change, const QStringList& after);
    void usePhysicalDrive(bool cd);
    void snapshotCommand(const QString& title, const QString& word, bool withoutAgent);
    void togglePause();
    void quit();
    QWidget* parentWidget() const;

    Host m_host;
    bool m_paused = false;
};
