#pragma once

#include "launch/LaunchString.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QProcess;
class QLocalSocket;
class QTimer;
class VMContext;

// What the launcher needs from the main window beyond the selected VM's file: the tree's
// pictures, the window's enabled state, the run tabs, the panels, the monitor and the timer.
class LaunchHost
{
public:
    enum class RunTab
    {
        Hardware,
        Console,
        Monitor
    };

    virtual ~LaunchHost() = default;

    // True when the selected tree node shows the running picture.
    virtual bool selectedNodeRunning() const = 0;
    virtual void setMainWindowEnabled(bool enabled) = 0;
    virtual void repaintTree() = 0;
    // Gives the VM nodes of that name the running or the VM picture.
    virtual void SetNodeState(const QString& vmName, bool running) = 0;
    virtual void ShowPanel(const QString& panelId) = 0;
    // Frees a display panel ("1" to "20") and empties it.
    virtual void RemovePanel(const QString& panelId) = 0;
    // Shows the display of a VM just confirmed running in its panel.
    virtual void AttachDisplay(const QString& vmFile) = 0;
    virtual void setConsoleCaption(const QString& caption) = 0;
    virtual void selectRunTab(RunTab tab) = 0;
    virtual bool monitorTabShown() const = 0;
    virtual void AttachMonitor() = 0;
    virtual void SendMonitorCommand(const QString& command) = 0;
    virtual bool monitorConnected() const = 0;
    virtual void MonitorDisconnect() = 0;
    // Closes the monitor after "quit" was sent, letting QEMU close its end first so the command
    // is not lost.
    virtual void MonitorDisconnectAfterQuit() { MonitorDisconnect(); }
    virtual bool startingUp() const = 0;
    virtual void setStartingUp(bool on) = 0;
    virtual void setSysTimerEnabled(bool on) = 0;
    virtual void setStatusPanel(int index, const QString& text) = 0;
    // What the launch chose for the VM and why (the accelerator, the sound system), shown where
    // the user looks after a launch.
    virtual void showLaunchNotes(const QStringList& notes) = 0;
    virtual void UpdateKqemuMenu() = 0;
    // The text of the "Hardware" tab's log view.
    virtual QString logText() const = 0;
    // The panels and tabs the command-line builder works with.
    virtual LaunchEnvironment launchEnvironment() = 0;
};

// Starts VMs, confirms their start, keeps "process.dat" and the VMs' run state in step with the
// processes, stops VMs, and runs the debug launch and the KQEMU installer commands.
class Launcher final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Launcher)

public:
    Launcher(VMContext& vm, LaunchHost& host, QObject* parent = nullptr);
    // Processes still running are left running: a VM outlives the window that started it.
    ~Launcher() override;

    void PlayClick();
    // Starts the selected VM with the launch string just built.
    void LaunchVM(const QString& launchString);
    // One sweep over "process.dat": true when a recorded process it looked at is alive; cleans up
    // after the first ended one.
    bool SweepProcesses();
    // True when panels are in use and a recorded process still runs.
    bool CheckPanelSessions();
    void StopClick();
    void InstallKqemuClick();
    void UninstallKqemuClick();

    // The last launch of this run: the executable (unquoted, empty before the first) and the
    // launch string.
    QString lastExecutable() const { return m_lastExecutable; }
    QString lastLaunchString() const { return m_lastLaunchString; }
    QStringList lastLaunchNotes() const { return m_lastLaunchNotes; }
    // The identifier of the start being confirmed; 0 when none.
    qint64 pendingProcessId() const { return m_pendingPid; }
    bool confirmationPending() const;

    // The debug script of a VM: "<temporary folder>/<VM name>.sh".
    static QString debugScriptPath(const QString& vmName);
    // The script's lines for the executable and the launch string; every word single-quoted. Its
    // shell first writes its own identifier to pidFile: it lives exactly as long as the console.
    static QStringList debugScriptLines(const QString& executable, const QString& launchString,
                                        const QString& pidFile);

    // The program and arguments that run the debug script in a terminal window:
    // x-terminal-emulator, else xterm, each with "-e sh <script>". Replaceable for tests.
    std::function<QStringList(const QString& script)> terminal;
    // Whether an emulator can open a window of its own. Default:
    // ModernOptions::hasWindowDisplay. Replaceable for tests.
    std::function<bool(const QString& executable)> hasWindowDisplay;

private:
    // Checks the host devices the VM's drive values name against the ones recorded for them,
    // asking once for values recorded without one; false when the launch must not go on.
    bool devicesConfirmed();
    // Starts the swtpm of a VM that has a TPM; false, the user told why, when it cannot start.
    bool startTpm(const QString& vmFile);
    // Ends what is left of the VM's swtpm.
    void stopTpm(const QString& vmFile);
    void ProcTimerTimer();
    // Shows, beside the main window, where the VNC server of a VM just started listens and the
    // password of its run.
    void showVncAccess(const QString& vmFile, bool started = true);
    // False when a VM of today's QEMU would show its screen in a window QEMU cannot open.
    bool windowDisplayAvailable();
    void DebugLaunch(const QString& vmFile, const QString& launchString);
    // The process that lives as long as the debug console: the script's shell once it has reported
    // itself in pidFile, else the terminal while it runs; 0 when there is none.
    static qint64 waitForConsole(QProcess& terminal, const QString& pidFile);
    static constexpr int ConsoleStartMs = 10000;
    void recordRunning(const QString& vmFile, qint64 pid);
    void watchOutput(QProcess* process);
    // True when the process is the VM's emulator or the debug console started for it.
    bool isVMProcess(qint64 pid, const QString& vmFile) const;

    VMContext& m_vm;
    LaunchHost& m_host;
    QTimer* m_procTimer = nullptr;
    QString m_lastExecutable;
    QString m_lastLaunchString;
    qint64 m_pendingPid = 0;
    QString m_pendingVM;
    QProcess* m_pendingProcess = nullptr;
    QStringList m_launchNotes;
    QStringList m_lastLaunchNotes;
    // The VM whose panel was connected while its start was still being confirmed.
    QString m_displayAttached;
    // The private files with the passwords of the pending launch's encrypted disks.
    QStringList m_diskSecrets;
    // Asks the password of each LUKS-encrypted disk of a VM of today's QEMU and writes it to a
    // private file; false when the launch must not happen (an old AES disk, no password given).
    bool prepareDiskSecrets(const QString& vmFile);
    void dropDiskSecrets();
    // A QEMU with encrypted disks derives their keys before it runs (seconds, and then it ends if
    // a password is wrong): the start is confirmed once its monitor greets, not after a second.
    bool disksStillOpening();
    QLocalSocket* m_unlockProbe = nullptr;
    QByteArray m_unlockSeen;
    qint64 m_pendingSinceMs = 0;
};
