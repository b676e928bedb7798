#include "launch/ui/Launcher.h"

#include "launch/EmbeddedDisplay.h"
#include "launch/Kqemu.h"
#include "launch/ModernOptions.h"
#include "launch/Panels.h"
#include "launch/TpmEmulator.h"
#include "launch/VMFirmware.h"
#include "launch/ui/LaunchConfirmations.h"
#include "launch/ui/VncAccessWindow.h"
#include "library/VMStores.h"
#include "media/DeviceIdentity.h"
#include "media/DiskImages.h"
#include "media/DriveValues.h"
#include "model/ModernHardware.h"
#include "model/ProgramFolder.h"
#include "model/QemuGeneration.h"
#include "model/TableHandle.h"
#include "model/VMContext.h"
#include "model/VMFile.h"
#include "platform/CommandLine.h"
#include "platform/ProcessStart.h"
#include "platform/Processes.h"
#include "platform/RuntimeFolder.h"
#include "platform/ui/Interaction.h"
#include "versions/VersionRegistry.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLocale>
#include <QPointer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

#include <utility>

namespace {

// The processes of VMs that outlive the window that started them. Deleting one would kill its VM,
// so each stays here, owned, until its VM ends.
QList<QProcess*>& outlivingProcesses()
{
    static QList<QProcess*> processes;
    return processes;
}

const QString General = QStringLiteral("General");
const QString Hardware = QStringLiteral("Hardware");
const QString Advanced = QStringLiteral("Advanced");
const QString Running = QStringLiteral("Running");
const QString Yes = QStringLiteral("Yes");
const QString ConsoleCaption = QStringLiteral("Console");
const QString ConsoleCaptionRunning = QStringLiteral("Console (Press Ctrl-Alt to unlock mouse)");

QString lastRunStamp()
{
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    return locale.toString(now.date(), QLocale::ShortFormat) + QStringLiteral(" - ") +
           locale.toString(now.time(), QLocale::LongFormat);
}

// One word for the POSIX shell: nothing inside single quotes is special but the quote itself.
QString shellWord(const QString& word)
{
    QString quoted = word;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString fullCommandLine(const QString& executable, const QString& launchString)
{
    return QLatin1Char('"') + executable + QStringLiteral("\" ") + launchString;
}

// Deletes the rows of "process.dat" that record this process for this VM.
void removeRows(TableHandle& rows, const QString& vmFile, const QString& pid)
{
    if (!rows.isOpen() && !rows.open())
        return;
    for (;;) {
        bool found = false;
        for (rows.first(); !rows.eof(); rows.next()) {
            if (rows.fieldValue(QStringLiteral("VM")) == vmFile &&
                rows.fieldValue(QStringLiteral("PROCESSID")) == pid) {
                found = true;
                break;
            }
        }
        if (!found || !rows.deleteRow())
            return;
    }
}

// True when vmFile names a VM definition file (".vm2") directly in the folder of a store of the
// store table, whether or not it is still there.
bool inKnownStore(TableHandle& stores, const QString& vmFile)
{
    const QFileInfo file(vmFile);
    const QString folder = file.absoluteDir().canonicalPath();
    if (!file.fileName().endsWith(QStringLiteral(".vm2"), Qt::CaseInsensitive) ||
        file.fileName().size() <= 4 || folder.isEmpty() || (file.exists() && !file.isFile()))
        return false;
    StoreLists stored;
    LoadStoreLists(stores, stored, true);
    for (const QString& store : std::as_const(stored.folders))
        if (QDir(ExpandedStoreFolder(store)).canonicalPath() == folder)
            return true;
    return false;
}

void appendLine(VMContext& vm, QByteArray line)
{
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    vm.AppendLog(QString::fromLocal8Bit(line));
}

} // namespace

Launcher::Launcher(VMContext& vm, LaunchHost& host, QObject* parent)
    : QObject(parent), m_vm(vm), m_host(host), m_procTimer(new QTimer(this))
{
    m_procTimer->setSingleShot(true);
    m_procTimer->setInterval(1000);
    connect(m_procTimer, &QTimer::timeout, this, &Launcher::ProcTimerTimer);
    hasWindowDisplay = &ModernOptions::hasWindowDisplay;
    terminal = [](const QString& script) -> QStringList {
        for (const QString& name :
             {QStringLiteral("x-terminal-emulator"), QStringLiteral("xterm")}) {
            const QString program = QStandardPaths::findExecutable(name);
            if (!program.isEmpty())
                return {program, QStringLiteral("-e"), QStringLiteral("sh"), script};
        }
        return {};
    };
}

Launcher::~Launcher()
{
    // Destroying a running QProcess would kill it; the VMs keep running after the window ends.
    const QList<QProcess*> processes = findChildren<QProcess*>(Qt::FindDirectChildrenOnly);
    for (QProcess* process : processes) {
        if (process->state() == QProcess::NotRunning)
            continue;
        process->disconnect();
        process->setParent(nullptr);
        outlivingProcesses().append(process);
        QObject::connect(process, &QProcess::finished, process, [process] {
            outlivingProcesses().removeOne(process);
            process->deleteLater();
        });
    }
}

bool Launcher::confirmationPending() const
{
    return m_procTimer->isActive();
}

void Launcher::PlayClick()
{
    if (m_host.selectedNodeRunning()) {
        Interaction::error(m_vm.dialogParent(),
                           QStringLiteral("This virtual machine is already running!!"));
        return;
    }
    if (m_vm.selectedVM().isEmpty())
        return;
    // Before the build reserves a panel or a port, so that a refusal leaves nothing behind.
    if (!devicesConfirmed() || !LaunchConfirmations::ConfirmOwnValues(m_vm) ||
        !LaunchConfirmations::ConfirmDiskFormats(m_vm))
        return;
    m_host.setMainWindowEnabled(false);
    if (!windowDisplayAvailable()) {
        Interaction::error(
            m_vm.dialogParent(),
            QStringLiteral("This virtual machine shows its screen in a window of QEMU's own, but "
                           "this QEMU has no window support (GTK or SDL). Please install the "
                           "package qemu-system-gui, or choose the VNC display."));
        m_host.setMainWindowEnabled(true);
        return;
    }
    if (!prepareDiskSecrets(m_vm.selectedVM())) {
        m_host.setMainWindowEnabled(true);
        return;
    }
    // QEMU connects to the TPM as it starts, so the TPM comes first.
    if (!startTpm(m_vm.selectedVM())) {
        dropDiskSecrets();
        m_host.setMainWindowEnabled(true);
        return;
    }
    LaunchEnvironment environment = m_host.launchEnvironment();
    environment.diskSecrets = m_diskSecrets;
    const LaunchString launch = BuildLaunchString(m_vm, environment);
    m_lastLaunchString = launch.arguments;
    if (!launch.refusal.isEmpty()) {
        dropDiskSecrets();
        stopTpm(m_vm.selectedVM());
        Interaction::error(m_vm.dialogParent(), launch.refusal);
        m_host.setMainWindowEnabled(true);
        return;
    }
    m_launchNotes = launch.notes;
    if (!launch.unsafeValue.isEmpty()) {
        // The string is started as separate arguments; a stray quote would regroup them.
        dropDiskSecrets();
        stopTpm(m_vm.selectedVM());
        Interaction::error(m_vm.dialogParent(),
                           QStringLiteral("This virtual machine cannot be launched: the setting "
                                          "value %1 holds a double quote that would break up "
                                          "QEMU's arguments. Please correct it and try again.")
                               .arg(launch.unsafeValue));
        m_host.setMainWindowEnabled(true);
        return;
    }
    LaunchVM(launch.arguments);
}

bool Launcher::devicesConfirmed()
{
    using DeviceIdentity::Check;
    for (const DeviceIdentity::DeviceUse& use : DeviceIdentity::LaunchDevices(m_vm)) {
        const QString identityKey = DeviceIdentity::KeyFor(use.key);
        const Check check =
            DeviceIdentity::CheckDevice(use.what, m_vm.ReadVMValue(use.section, use.key),
                                        m_vm.ReadVMValue(use.section, identityKey));
        if (check.result == Check::Result::Moved) {
            Interaction::error(m_vm.dialogParent(), check.message);
            return false;
        }
        if (check.result == Check::Result::Unrecorded &&
            !(Interaction::confirm(m_vm.dialogParent(), check.message) &&
              m_vm.WriteVMValue({}, use.section, identityKey, check.identity)))
            return false;
    }
    return true;
}

void Launcher::LaunchVM(const QString& launchString)
{
    const QString vmFile = m_vm.selectedVM();
    if (vmFile.isEmpty()) {
        m_host.setMainWindowEnabled(true);
        return;
    }
    auto read = [&vmFile](const QString& section, const char* key) {
        return ReadVMFileValue(vmFile, section, QLatin1String(key));
    };
    VersionRegistry& versions = m_vm.versions();
    const QString versionId = read(General, "Qemu Version ID");
    const QString executable = versions.VMExecutable(vmFile);

    const QString generation = versions.VersionCode(versionId);
    const bool modern = QemuGeneration::isModern(generation);
    // Set in the program's own environment and never removed: later launches inherit them too.
    // Today's QEMU chooses its sound with -audiodev, and "windib" is a driver of another desktop.
    if (!modern) {
        if (read(Advanced, "SDL") == Yes || read(Hardware, "Full Screen Display") == Yes)
            qputenv("SDL_VIDEODRIVER", "windib");
        qputenv("SDL_STDIO_REDIRECT", "0");
        const QString audio = read(Advanced, "AOItem");
        if (!audio.isEmpty() && (audio != QLatin1String("fmod") ||
                                 versions.VersionFlag(versionId, QStringLiteral("FMOD"))))
            qputenv("QEMU_AUDIO_DRV", audio.toLocal8Bit());
    }

    if (versions.VersionFlag(versionId, QStringLiteral("KQEMU")) &&
        read(General, "Arc") == QLatin1String("x86") && !versionId.isEmpty() &&
        (generation == QLatin1String("1") || generation == QLatin1String("2")) &&
        KqemuServiceState() == 1 && StartKqemuService())
        m_host.setStatusPanel(1, QStringLiteral("KQEMU Driver Started"));

    m_vm.ClearLog();
    for (const QString& note : std::as_const(m_launchNotes))
        m_vm.AppendLog(note);
    m_lastLaunchNotes = std::exchange(m_launchNotes, {});
    m_lastExecutable = executable;

    if (read(Advanced, "Debug") == Yes) {
        DebugLaunch(vmFile, launchString);
        // The terminal starts QEMU in its own time; the passwords stay for half a minute.
        QTimer::singleShot(30000, this, [secrets = std::exchange(m_diskSecrets, {})] {
            for (const QString& secret : secrets)
                if (!secret.isEmpty())
                    QFile::remove(secret);
        });
    } else {
        auto* process = new QProcess(this);
        process->setProgram(executable);
        process->setArguments(CommandLine::SplitCommandLine(launchString));
        process->setProcessChannelMode(QProcess::MergedChannels);
        process->setStandardInputFile(QProcess::nullDevice());
        if (modern) {
            // What earlier launches of older versions left in this program's environment.
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.remove(QStringLiteral("QEMU_AUDIO_DRV"));
            if (environment.value(QStringLiteral("SDL_VIDEODRIVER")) == QLatin1String("windib"))
                environment.remove(QStringLiteral("SDL_VIDEODRIVER"));
            process->setProcessEnvironment(environment);
        }
        ProcessStart::Options options;
        options.priority = ProcessStart::priorityFromText(read(Advanced, "Process"));
        options.processor = ProcessStart::processorFromAffinity(read(Advanced, "AffinityCPU"));
        options.newSession = true;
        // Today's QEMU makes its monitor and display sockets: they are for this user alone.
        options.privateFiles = modern;
        ProcessStart::apply(*process, options);
        watchOutput(process);
        process->start();
        if (!process->waitForStarted(-1)) {
            dropDiskSecrets();
            stopTpm(vmFile);
            process->deleteLater();
            Interaction::error(m_vm.dialogParent(), QStringLiteral("Unable to launch QEMU!"));
            m_host.setMainWindowEnabled(true);
            return;
        }
        m_pendingPid = process->processId();
        m_pendingVM = vmFile;
        m_pendingProcess = process;
        m_pendingSinceMs = QDateTime::currentMSecsSinceEpoch();
        m_procTimer->start();
        // The guest's screen shows as soon as QEMU's display socket takes a viewer (the panel
        // tries again while QEMU starts), not only once the start is confirmed.
        if (modern && read(Hardware, "OutputID") == QLatin1String("0") &&
            versions.VersionFlag(versionId, QStringLiteral("INT"))) {
            m_host.AttachDisplay(vmFile);
            m_displayAttached = vmFile;
        }
    }

    if (versions.VersionFlag(versionId, QStringLiteral("INT"))) {
        if (read(Hardware, "OutputID") != QLatin1String("0")) {
            m_host.setConsoleCaption(ConsoleCaption);
        } else {
            m_host.selectRunTab(LaunchHost::RunTab::Console);
            m_host.ShowPanel(read(General, "PanelID"));
            m_host.setConsoleCaption(ConsoleCaptionRunning);
        }
    } else {
        m_host.setConsoleCaption(ConsoleCaption);
    }
    m_host.setSysTimerEnabled(true);
}

bool Launcher::windowDisplayAvailable()
{
    const QString vmFile = m_vm.selectedVM();
    VersionRegistry& versions = m_vm.versions();
    const QString versionId = ReadVMFileValue(vmFile, General, QStringLiteral("Qemu Version ID"));
    if (!QemuGeneration::isModern(versions.VersionCode(versionId)))
        return true;
    const QString output = ReadVMFileValue(vmFile, Hardware, QStringLiteral("OutputID"));
    // VNC, and the panels of the main window, need no window of QEMU's own.
    if (output == QLatin1String("2") ||
        (output == QLatin1String("0") && versions.VersionFlag(versionId, QStringLiteral("INT"))))
        return true;
    // The user's own command line says for itself how the screen is shown.
    if (ReadVMFileValue(vmFile, Advanced, QStringLiteral("OverrideAll")) == Yes &&
        !ReadVMFileValue(vmFile, Advanced, QStringLiteral("OptionalString")).isEmpty())
        return true;
    return hasWindowDisplay(versions.VMExecutable(vmFile));
}

void Launcher::watchOutput(QProcess* process)
{
    connect(process, &QProcess::readyReadStandardOutput, this, [this, process] {
        while (process->canReadLine())
            appendLine(m_vm, process->readLine());
    });
    connect(process, &QProcess::finished, this, [this, process] {
        // The last line may lack its line end.
        while (process->canReadLine())
            appendLine(m_vm, process->readLine());
        const QByteArray rest = process->readAll();
        if (!rest.isEmpty())
            appendLine(m_vm, rest);
        if (m_pendingProcess == process)
            m_pendingProcess = nullptr;
        process->deleteLater();
    });
}

bool Launcher::disksStillOpening()
{
    constexpr qint64 OpeningLimitMs = 120000;
    const QString versionId =
        ReadVMFileValue(m_pendingVM, General, QStringLiteral("Qemu Version ID"));
    if (m_diskSecrets.isEmpty() || !Processes::IsProcessAlive(m_pendingPid) ||
        !m_vm.versions().VersionFlag(versionId, QStringLiteral("CONSOLE")) ||
        QDateTime::currentMSecsSinceEpoch() - m_pendingSinceMs > OpeningLimitMs)
        return false;
    if (!m_unlockProbe) {
        m_unlockSeen.clear();
        m_unlockProbe = new QLocalSocket(this);
        m_unlockProbe->connectToServer(Panels::MonitorSocketPath(
            RuntimeFolder::vimorFolder(), EmbeddedDisplay::socketKey(m_pendingVM)));
    }
    // The monitor greets with its prompt once the machine is built, its disks open.
    if (m_unlockProbe->state() == QLocalSocket::UnconnectedState)
        m_unlockProbe->connectToServer();
    m_unlockSeen += m_unlockProbe->readAll();
    if (!m_unlockSeen.contains("(qemu)"))
        return true;
    // The launch's own monitor connection comes next; QEMU serves one at a time.
    m_unlockProbe->disconnectFromServer();
    m_unlockProbe->deleteLater();
    m_unlockProbe = nullptr;
    return false;
}

void Launcher::ProcTimerTimer()
{
    m_procTimer->stop();
    if (disksStillOpening()) {
        m_procTimer->start(250);
        return;
    }
    m_procTimer->setInterval(1000);
    if (m_unlockProbe) {
        m_unlockProbe->deleteLater();
        m_unlockProbe = nullptr;
    }
    // QEMU has opened its disks by now, or has ended: the passwords go.
    dropDiskSecrets();
    const qint64 pid = m_pendingPid;
    const QString vmFile = m_pendingVM;
    const bool alive = Processes::IsProcessAlive(pid);
    // An emulator that has ended may still have output in the pipe: take it into the log first.
    if (!alive && m_pendingProcess)
        m_pendingProcess->waitForFinished(1000);
    m_pendingProcess = nullptr;

    if (alive) {
        recordRunning(vmFile, pid);
        m_host.showLaunchNotes(m_lastLaunchNotes);
        showVncAccess(vmFile);
        const QString versionId =
            ReadVMFileValue(vmFile, General, QStringLiteral("Qemu Version ID"));
        VersionRegistry& versions = m_vm.versions();
        const bool embedded =
            ReadVMFileValue(vmFile, Hardware, QStringLiteral("OutputID")) == QLatin1String("0");
        if (ReadVMFileValue(vmFile, General, QStringLiteral("Status")) == Running &&
            UsesMonitor(m_vm, vmFile))
            m_host.AttachMonitor();
        if (embedded && versions.VersionFlag(versionId, QStringLiteral("INT")) &&
            std::exchange(m_displayAttached, {}) != vmFile)
            m_host.AttachDisplay(vmFile);
        if (versions.VersionFlag(versionId, QStringLiteral("INT"))) {
            m_host.setStartingUp(false);
            const char* const keys[] = {"HDAEnc", "HDBEnc", "HDCEnc", "HDDEnc"};
            // Today's QEMU got its disks' passwords before it started.
            const bool asksPassword = !QemuGeneration::isModern(versions.VersionCode(versionId));
            for (int disk = 0; asksPassword && disk < 4; ++disk) {
                if (ReadVMFileValue(vmFile, QStringLiteral("Drives"), QLatin1String(keys[disk])) !=
                    Yes)
                    continue;
                Interaction::information(
                    m_vm.dialogParent(),
                    QStringLiteral("Hard disk %1 is Encrypted.  Please enter the virtual disk "
                                   "password")
                        .arg(disk));
                m_host.selectRunTab(LaunchHost::RunTab::Monitor);
                m_host.SendMonitorCommand(QStringLiteral("c"));
                break;
            }
        }
    } else {
        stopTpm(vmFile);
        m_displayAttached.clear();
        // The panel was reserved for a QEMU that is gone: left taken, twenty failed launches would
        // leave none for the next.
        if (const QString panel = ReadVMFileValue(vmFile, General, QStringLiteral("PanelID"));
            !panel.isEmpty()) {
            m_host.RemovePanel(panel);
            QFile::remove(EmbeddedDisplay::socketPath(vmFile));
            m_vm.WriteVMValue(vmFile, General, QStringLiteral("PanelID"), QString());
        }
        Interaction::information(m_vm.dialogParent(),
                                 QStringLiteral("There was a problem, and qemu did not launch! See "
                                                "below for details:") +
                                     QStringLiteral("\n\n") + m_host.logText());
        m_host.setConsoleCaption(ConsoleCaption);
    }
    m_pendingPid = 0;
    m_pendingVM.clear();
    m_host.setMainWindowEnabled(true);
}

void Launcher::recordRunning(const QString& vmFile, qint64 pid)
{
    m_vm.WriteVMValue(vmFile, General, QStringLiteral("StatusID"), QString::number(pid));
    m_vm.WriteVMValue(vmFile, General, QStringLiteral("Status"), Running);
    m_vm.WriteVMValue(vmFile, General, QStringLiteral("Last Run"), lastRunStamp());
    m_vm.ShowSettings();
    TableHandle& processes = m_vm.table(VMContext::Table::Process);
    QString error;
    if (processes.isOpen() || processes.open(&error)) {
        processes.insert();
        processes.setFieldValue(QStringLiteral("PROCESSID"), QString::number(pid));
        processes.setFieldValue(QStringLiteral("VM"), vmFile);
        processes.post(&error);
    }
    if (!error.isEmpty())
        Interaction::error(m_vm.dialogParent(), error);
    m_host.SetNodeState(VMNameOf(vmFile), true);
}

QString Launcher::debugScriptPath(const QString& vmName)
{
    // In the private runtime folder: no other user can put a file or a link at the name.
    const QString folder = RuntimeFolder::vimorFolder();
    return folder.isEmpty() ? QString()
                            : folder + QLatin1Char('/') + vmName + QStringLiteral(".sh");
}

QStringList Launcher::debugScriptLines(const QString& executable, const QString& launchString,
                                       const QString& pidFile)
{
    QString command = shellWord(executable);
    const QStringList arguments = CommandLine::SplitCommandLine(launchString);
    for (const QString& argument : arguments)
        command += QLatin1Char(' ') + shellWord(argument);
    return {QStringLiteral("#!/bin/sh"),
            QStringLiteral("echo $$ >") + shellWord(pidFile),
            QStringLiteral("clear"),
            QStringLiteral("echo 'Vimor - Debug Mode'"),
            QStringLiteral("echo '-------------------------'"),
            QStringLiteral("echo"),
            QStringLiteral("echo 'Qemu Launch Command:'"),
            QStringLiteral("echo"),
            QStringLiteral("echo ") + shellWord(fullCommandLine(executable, launchString)),
            command,
            QStringLiteral("echo"),
            QStringLiteral("printf '%s' 'Press Enter to continue . . . '"),
            QStringLiteral("read reply"),
            QStringLiteral("clear")};
}

void Launcher::DebugLaunch(const QString& vmFile, const QString& launchString)
{
    const QString name = VMNameOf(vmFile) + QStringLiteral(".sh");
    // Both made afresh in the private runtime folder, whatever lay at their names before; the pid
    // file for the script's shell to write into.
    QString error;
    const QString pidFile =
        RuntimeFolder::writePrivateFile(name + QStringLiteral(".pid"), QByteArray(), &error);
    const QStringList lines = debugScriptLines(m_lastExecutable, launchString, pidFile);
    const QString script =
        pidFile.isEmpty()
            ? QString()
            : RuntimeFolder::writePrivateFile(
                  name, (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toLocal8Bit(), &error);
    const QStringList command = script.isEmpty() || !terminal ? QStringList() : terminal(script);
    if (!error.isEmpty())
        Interaction::error(m_vm.dialogParent(),
                           QStringLiteral("The debug script cannot be written: %1.").arg(error));
    if (command.isEmpty()) {
        m_host.setMainWindowEnabled(true);
        return;
    }

    auto* console = new QProcess(this);
    console->setProgram(command.first());
    console->setArguments(command.mid(1));
    console->setWorkingDirectory(ProgramFolder::file(QStringLiteral("\\Media")));
    console->setProcessChannelMode(QProcess::ForwardedChannels);
    connect(console, &QProcess::finished, console, &QObject::deleteLater);
    console->start();
    if (!console->waitForStarted(-1)) {
        console->deleteLater();
        m_host.setMainWindowEnabled(true);
        return;
    }
    if (const qint64 pid = waitForConsole(*console, pidFile)) {
        recordRunning(vmFile, pid);
        showVncAccess(vmFile, false);
        // The console starts QEMU in its own time; the panel keeps trying until it has.
        const QString versionId =
            ReadVMFileValue(vmFile, General, QStringLiteral("Qemu Version ID"));
        VersionRegistry& versions = m_vm.versions();
        if (QemuGeneration::isModern(versions.VersionCode(versionId)) &&
            versions.VersionFlag(versionId, QStringLiteral("INT")) &&
            ReadVMFileValue(vmFile, Hardware, QStringLiteral("OutputID")) == QLatin1String("0"))
            m_host.AttachDisplay(vmFile);
    }
    m_host.setMainWindowEnabled(true);
}

qint64 Launcher::waitForConsole(QProcess& terminal, const QString& pidFile)
{
    // Some terminals (gnome-terminal) hand the window to a server process and end at once: only
    // the script's shell, which reports itself first, lives exactly as long as the console.
    QDeadlineTimer deadline(ConsoleStartMs);
    while (!deadline.hasExpired()) {
        QFile file(pidFile);
        bool ok = false;
        const qint64 pid =
            file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong(&ok) : 0;
        if (ok && pid > 0)
            return pid;
        if (terminal.state() != QProcess::NotRunning) {
            terminal.waitForFinished(50);
            continue;
        }
        // A terminal that handed over ends with 0; one that failed to open a window does not.
        if (terminal.exitStatus() != QProcess::NormalExit || terminal.exitCode() != 0)
            return 0;
        QThread::msleep(50);
    }
    // A terminal that has not run the script yet is, so far, the console.
    return terminal.state() == QProcess::NotRunning ? 0 : terminal.processId();
}

bool Launcher::SweepProcesses()
{
    TableHandle& rows = m_vm.table(VMContext::Table::ScanProc);
    if (!rows.isOpen() && !rows.open())
        return false;
    bool aliveSeen = false;
    for (rows.first(); !rows.eof(); rows.next()) {
        bool ok = false;
        const qint64 pid = rows.fieldValue(QStringLiteral("PROCESSID")).trimmed().toLongLong(&ok);
        if (ok && Processes::IsProcessAlive(pid)) {
            aliveSeen = true;
            continue;
        }
        const QString vmFile = rows.fieldValue(QStringLiteral("VM"));
        // The table is a file others may have written: only a VM file of a known store is written
        // to or named in the tree, and only this program's own files are removed.
        const bool known = inKnownStore(m_vm.table(VMContext::Table::VMStore), vmFile);
        // A VM deleted meanwhile is not brought back as a file holding only its run state.
        const bool exists = known && QFileInfo(vmFile).isFile();
        if (exists) {
            m_vm.WriteVMValue(vmFile, General, QStringLiteral("StatusID"), QString());
            m_vm.WriteVMValue(vmFile, General, QStringLiteral("Status"), QStringLiteral("Stopped"));
        }
        if (!m_host.startingUp() && exists) {
            const QString panel = ReadVMFileValue(vmFile, General, QStringLiteral("PanelID"));
            if (!panel.isEmpty()) {
                m_host.RemovePanel(panel);
                // Today's QEMU leaves its display socket behind; with the panel free, it is no
                // one's. (It removes its monitor socket itself.)
                QFile::remove(EmbeddedDisplay::socketPath(vmFile));
            }
        }
        m_host.setStartingUp(false);
        if (exists)
            m_vm.WriteVMValue(vmFile, General, QStringLiteral("PanelID"), QString());
        if (const QString script = debugScriptPath(VMNameOf(vmFile)); known && !script.isEmpty()) {
            QFile::remove(script);
            QFile::remove(script + QStringLiteral(".pid"));
        }
        // swtpm ends with QEMU's connection; one QEMU never made is ended here.
        if (exists)
            stopTpm(vmFile);
        rows.deleteRow();
        m_host.setConsoleCaption(ConsoleCaption);
        if (known)
            m_host.SetNodeState(VMNameOf(vmFile), false);
        break;
    }
    return aliveSeen;
}

namespace {

// The TPM's socket and process file of a VM, in the private runtime folder; empty paths when the
// VM has no TPM of today's QEMU or the folder cannot be had.
std::pair<QString, QString> tpmFiles(VMContext& vm, const QString& vmFile)
{
    if (!ModernHardware::HasTpm(ReadVMFileValue(vmFile, Hardware, QStringLiteral("TPM"))) ||
        ReadVMFileValue(vmFile, General, QStringLiteral("Arc")) != QLatin1String("x86") ||
        !QemuGeneration::isModern(vm.versions().VersionCode(
            ReadVMFileValue(vmFile, General, QStringLiteral("Qemu Version ID")))))
        return {};
    const QString vmId = ReadVMFileValue(vmFile, General, QStringLiteral("VMID"));
    const QString folder = RuntimeFolder::vimorFolder();
    if (vmId.isEmpty() || folder.isEmpty())
        return {};
    const QString key = Panels::SocketKey(vmId);
    return {TpmEmulator::SocketPath(folder, key), TpmEmulator::PidFilePath(folder, key)};
}

} // namespace

bool Launcher::startTpm(const QString& vmFile)
{
    const auto [socket, pidFile] = tpmFiles(m_vm, vmFile);
    if (socket.isEmpty())
        return true;
    QString error;
    const QString state = VMFirmware::TpmStateOf(vmFile);
    if (state.isEmpty()) {
        error = QStringLiteral("its TPM has no state; please choose \"TPM 2.0\" again in "
                               "\"TPM\"");
    } else if (QString missing; !TpmEmulator::Available(&missing)) {
        error = QStringLiteral("its TPM needs the TPM emulator swtpm; please install the package "
                               "%1")
                    .arg(missing);
    } else if (TpmEmulator::Start(state, socket, pidFile, &error) != 0) {
        return true;
    }
    Interaction::error(m_vm.dialogParent(),
                       QStringLiteral("This virtual machine cannot be launched: %1.").arg(error));
    return false;
}

bool Launcher::prepareDiskSecrets(const QString& vmFile)
{
    dropDiskSecrets();
    VersionRegistry& versions = m_vm.versions();
    if (!QemuGeneration::isModern(versions.VersionCode(
            ReadVMFileValue(vmFile, General, QStringLiteral("Qemu Version ID")))))
        return true;
    const QString storeId = ReadVMFileValue(vmFile, General, QStringLiteral("VM Store ID"));
    const char* const keys[] = {"HDA", "HDB", "HDC", "HDD"};
    QWidget* parent = m_vm.dialogParent();
    for (int disk = 0; disk < 4; ++disk) {
        const QString value =
            ReadVMFileValue(vmFile, QStringLiteral("Drives"), QLatin1String(keys[disk]));
        if (value.isEmpty())
            continue;
        const QString path =
            ResolveDrivePath(value, m_vm.table(VMContext::Table::VLookup), storeId);
        const DiskEncryption encryption = EncryptionOf(path);
        if (encryption == DiskEncryption::Aes) {
            dropDiskSecrets();
            Interaction::error(
                parent, QStringLiteral("This virtual machine cannot be launched: hard disk %1 "
                                       "(%2) is encrypted with QEMU's old AES scheme, which QEMU "
                                       "7.2 and later no longer open. Please convert it with the "
                                       "QEMU version that made it.")
                            .arg(disk)
                            .arg(path));
            return false;
        }
        if (encryption != DiskEncryption::Luks)
            continue;
        const std::optional<QString> password = Interaction::current().password(
            parent, QStringLiteral("Disk Password"),
            QStringLiteral("Password for hard disk %1 (%2):").arg(disk).arg(path));
        QString error;
        const QString secret =
            password ? RuntimeFolder::writePrivateFile(QStringLiteral("disk-%1-%2.secret")
                                                           .arg(EmbeddedDisplay::socketKey(vmFile))
                                                           .arg(disk),
                                                       password->toUtf8(), &error)
                     : QString();
        if (secret.isEmpty()) {
            dropDiskSecrets();
            if (password)
                Interaction::error(parent, QStringLiteral("This virtual machine cannot be "
                                                          "launched: %1.")
                                               .arg(error));
            return false;
        }
        while (m_diskSecrets.size() <= disk)
            m_diskSecrets.append(QString());
        m_diskSecrets[disk] = secret;
    }
    return true;
}

void Launcher::dropDiskSecrets()
{
    for (const QString& secret : std::exchange(m_diskSecrets, {}))
        if (!secret.isEmpty())
            QFile::remove(secret);
}

void Launcher::showVncAccess(const QString& vmFile, bool started)
{
    // A QEMU still to start in a debug console has yet to read its password file.
    const std::optional<VncAccess> access = TakeVncAccess(m_vm, vmFile, started);
    if (!access)
        return;
    auto* window =
        new VncAccessWindow(QFileInfo(vmFile).completeBaseName(), *access, m_vm.dialogParent());
    window->show();
}

void Launcher::stopTpm(const QString& vmFile)
{
    const auto [socket, pidFile] = tpmFiles(m_vm, vmFile);
    if (!socket.isEmpty())
        TpmEmulator::Stop(socket, pidFile);
}

bool Launcher::CheckPanelSessions()
{
    return Panels::PanelsInUse() && SweepProcesses();
}

bool Launcher::isVMProcess(qint64 pid, const QString& vmFile) const
{
    return Processes::isQemu(pid) ||
           ProcessStart::hasArgument(pid, debugScriptPath(VMNameOf(vmFile)));
}

void Launcher::StopClick()
{
    const QString vmFile = m_vm.selectedVM();
    if (vmFile.isEmpty()) {
        m_host.repaintTree();
        return;
    }
    QWidget* parent = m_vm.dialogParent();
    if (m_vm.ReadVMValue(General, QStringLiteral("Status")) != Running) {
        Interaction::information(parent,
                                 QStringLiteral("This virtual machine is marked as not running"));
        m_host.repaintTree();
        return;
    }
    m_host.setSysTimerEnabled(false);
    if (m_vm.ReadVMValue(Hardware, QStringLiteral("OutputID")) == QLatin1String("0") &&
        m_host.monitorTabShown()) {
        if (Interaction::confirm(parent,
                                 QStringLiteral("This will end your QEMU session - continue ?"))) {
            m_host.SendMonitorCommand(QStringLiteral("quit"));
            if (m_host.monitorConnected())
                m_host.MonitorDisconnectAfterQuit();
            m_host.selectRunTab(LaunchHost::RunTab::Hardware);
        }
    } else if (Interaction::confirm(parent, QStringLiteral("Terminating a Virtual Machine can "
                                                           "cause data loss - continue ?"))) {
        bool ok = false;
        const QString recorded = m_vm.ReadVMValue(General, QStringLiteral("StatusID"));
        const qint64 pid = recorded.trimmed().toLongLong(&ok);
        // An identifier the system has given to another program since is never ended.
        if (!(ok && isVMProcess(pid, vmFile) && Processes::terminate(pid))) {
            m_vm.WriteVMValue({}, General, QStringLiteral("Status"), QStringLiteral("Stopped"));
            m_vm.WriteVMValue({}, General, QStringLiteral("StatusID"), QString());
            // Its row would otherwise outlive the stranger's process and then mark a later run
            // of this VM stopped; the picture follows the file.
            removeRows(m_vm.table(VMContext::Table::ScanProc), vmFile, recorded.trimmed());
            m_host.SetNodeState(VMNameOf(vmFile), false);
            m_host.ShowPanel(QStringLiteral("0"));
            Interaction::information(parent,
                                     QStringLiteral("The selected Virtual Machine Is Not Running"));
        }
    }
    m_host.setSysTimerEnabled(true);
    m_host.repaintTree();
}

void Launcher::InstallKqemuClick()
{
    if (!Interaction::confirm(m_vm.dialogParent(),
                              QStringLiteral("Are you sure you wish to install the KQEMU "
                                             "accelerator driver ?")))
        return;
    StopKqemuService();
    m_host.setStatusPanel(1, QString());
    RunInstaller(QStringLiteral("/INSTALL"));
    m_host.UpdateKqemuMenu();
}

void Launcher::UninstallKqemuClick()
{
    if (!Interaction::confirm(m_vm.dialogParent(),
                              QStringLiteral("Are you sure you wish to uninstall the KQEMU "
                                             "accelerator driver ?")))
        return;
    StopKqemuService();
    m_host.setStatusPanel(1, QString());
    RunInstaller(QStringLiteral("/REMOVE"));
    m_host.UpdateKqemuMenu();
}
