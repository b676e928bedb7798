#include "app/ui/TMain.h"
#include "launch/EmbeddedDisplay.h"
#include "launch/Kqemu.h"
#include "launch/MonitorClient.h"
#include "launch/Panels.h"
#include "launch/ui/DisplayPanel.h"
#include "launch/ui/Launcher.h"
#include "launch/ui/MonitorTerminal.h"
#include "media/DeviceIdentity.h"
#include "media/DriveEditing.h"
#include "model/ApprovedValues.h"
#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/ProcessStart.h"
#include "platform/Processes.h"
#include "platform/RuntimeFolder.h"
#include "platform/ui/Interaction.h"
#include "support/TcpListeners.h"
#include "support/TempProgramFolder.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTreeWidget>

#include <memory>
#include <unistd.h>

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

const QString General = QStringLiteral("General");

// QEMU as a version folder holds it, behind a thin wrapper: no QEMU build accepts "-hwnd" (the
// option of the embedding build), and there is no display here, so the wrapper puts the panel's
// VNC socket in place of "-hwnd N" and adds "-display none" before it hands over to the host's
// emulator. The socket is the VM's, as the test names it in VIMOR_TEST_DISPLAY.
const QByteArray Wrapper = "#!/bin/sh\n"
                           "skip=0\n"
                           "for arg do\n"
                           "  shift\n"
                           "  if [ \"$skip\" = 1 ]; then skip=0; continue; fi\n"
                           "  if [ \"$arg\" = -hwnd ]; then\n"
                           "    skip=1\n"
                           "    set -- \"$@\" -vnc \"unix:$VIMOR_TEST_DISPLAY\"\n"
                           "    continue\n"
                           "  fi\n"
                           "  set -- \"$@\" \"$arg\"\n"
                           "done\n"
                           "exec /usr/bin/qemu-system-x86_64 -display none \"$@\"\n";

QString allowedProcessors(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("Cpus_allowed_list:"))
            return QString::fromLatin1(line.mid(18).trimmed());
    }
    return {};
}

// The processes whose command line holds the argument.
QList<qint64> processesWithArgument(const QString& argument)
{
    QList<qint64> found;
    const QByteArray wanted = argument.toLocal8Bit();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok || !Processes::IsProcessAlive(pid))
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().split('\0').contains(wanted))
            found.append(pid);
    }
    return found;
}

struct Row
{
    QString pid;
    QString vm;
};

QList<Row> processRows()
{
    TableHandle rows;
    rows.setFolder(ProgramFolder::path());
    rows.setTableName(TableSchemas::ProcessTable);
    QList<Row> result;
    if (!rows.open())
        return result;
    for (rows.first(); !rows.eof(); rows.next())
        result.append({rows.fieldValue(s("PROCESSID")), rows.fieldValue(s("VM"))});
    return result;
}

bool appendProcessRow(qint64 pid, const QString& vm)
{
    TableHandle rows;
    rows.setFolder(ProgramFolder::path());
    rows.setTableName(TableSchemas::ProcessTable);
    if (!rows.open())
        return false;
    rows.insert();
    rows.setFieldValue(s("PROCESSID"), QString::number(pid));
    rows.setFieldValue(s("VM"), vm);
    return rows.post();
}

// The identifier of a process that has ended and been reaped.
qint64 endedProcessId()
{
    QProcess process;
    process.start(s("true"), {});
    process.waitForFinished(5000);
    return process.processId() > 0 ? process.processId() : 999999999;
}

} // namespace

class TestLauncher final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void launchEmbeddedAndQuit();
    void monitorThroughTheMainWindow();
    void launchOwnWindowAndStop();
    void qemuEndsAtOnce();
    void unsafeLaunchStringRefused();
    void unableToLaunch();
    void endedProcessesOnePerSweep();
    void sweepRemovesDisplaySocket();
    void sweepTouchesOnlyStoreFiles();
    void affinity_data();
    void affinity();
    void stopQuestions();
    void reusedProcessIdNeverEnded();
    void debugLaunchQuotesEverything();
    void debugScriptReplacesLink();
    void debugLaunchInXterm();
    void movedHostDisk();
    void kqemuCommands_data();
    void kqemuCommands();

private:
    QString writeVM(const QString& name, const QStringList& extra);
    // Launches the selected VM and waits for the confirmation; the process identifier, or 0.
    qint64 launch(TMain& window);
    void requireQemu();
    void killLater(qint64 pid) { m_started.append(pid); }

    ScriptedInteraction* m_ui = nullptr;
    std::unique_ptr<TempProgramFolder> m_folder;
    QString m_disk;
    bool m_haveQemu = false;
    QList<qint64> m_started;
};

void TestLauncher::initTestCase()
{
    auto interaction = std::make_unique<ScriptedInteraction>();
    m_ui = interaction.get();
    Interaction::install(std::move(interaction));
    m_folder = std::make_unique<TempProgramFolder>();
    QVERIFY(m_folder->isValid());
    QVERIFY(QDir().mkpath(m_folder->file(s("Media"))));
    // The display sockets in a runtime folder of this test's own.
    QVERIFY(QDir().mkpath(m_folder->file(s("run"))));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_folder->file(s("run"))));
    QVERIFY(!RuntimeFolder::vimorFolder().isEmpty());

    const QString qemuImg = QStandardPaths::findExecutable(s("qemu-img"));
    m_haveQemu = QFileInfo(s("/usr/bin/qemu-system-x86_64")).isExecutable() && !qemuImg.isEmpty();
    if (!m_haveQemu)
        return;
    const QString wrapper = m_folder->file(s("qemu72/qemu-system-x86_64.exe"));
    QVERIFY(m_folder->write(s("qemu72/qemu-system-x86_64.exe"), Wrapper));
    QVERIFY(QFile::setPermissions(wrapper, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    if (QFileInfo::exists(s("/usr/share/qemu")))
        QVERIFY(QFile::link(s("/usr/share/qemu"), m_folder->file(s("qemu72/pc-bios"))));
    m_disk = m_folder->file(s("VMs/small disk.qcow2"));
    QProcess create;
    create.start(qemuImg, {s("create"), s("-q"), s("-f"), s("qcow2"), m_disk, s("1M")});
    QVERIFY(create.waitForFinished(30000) && create.exitCode() == 0);

    // "emb" draws into a panel and has a monitor; "own" opens QEMU's own window.
    TableHandle versions;
    versions.setFolder(m_folder->path());
    versions.setTableName(TableSchemas::VersionTable);
    QVERIFY(versions.open());
    // "emb2" is "emb" on the oldest generation.
    for (const char* id : {"emb", "own", "emb2"}) {
        versions.insert();
        versions.setFieldValue(s("ID"), s(id));
        versions.setFieldValue(s("DESC"), s(id));
        versions.setFieldValue(s("PATH"), s("{VR}\\qemu72"));
        versions.setFieldValue(s("VERID"), s(id).endsWith(QLatin1Char('2')) ? s("2") : s("0"));
        if (QLatin1String(id).startsWith(QLatin1String("emb"))) {
            versions.setFieldValue(s("INT"), s("Yes"));
            versions.setFieldValue(s("CONSOLE"), s("Yes"));
        }
        QVERIFY(versions.post());
    }
}

void TestLauncher::init()
{
    m_ui->clear();
    // Every test starts with no VMs, no recorded processes and no reservations.
    const QStringList vms = QDir(m_folder->file(s("VMs"))).entryList({s("*.vm2")}, QDir::Files);
    for (const QString& vm : vms)
        QFile::remove(m_folder->file(s("VMs/") + vm));
    QFile::remove(m_folder->file(TableSchemas::ProcessTable));
    QVERIFY(CreateTable(m_folder->file(TableSchemas::ProcessTable), TableSchemas::processFields()));
    QFile::remove(m_folder->file(s("panels.dat")));
    // Monitor ports from 60001 up may be held by other programs here: hand out a free one.
    QFile::remove(m_folder->file(s("VRPorts.dat")));
    int port = 60001 + int(QCoreApplication::applicationPid() % 3000);
    for (;; ++port) {
        QTcpServer probe;
        if (probe.listen(QHostAddress::LocalHost, quint16(port)))
            break;
    }
    QByteArray taken;
    for (int p = 60001; p < port; ++p)
        taken += QByteArray::number(p) + "\r\n";
    QVERIFY(m_folder->write(s("VRPorts.dat"), taken));
}

void TestLauncher::cleanup()
{
    for (qint64 pid : std::as_const(m_started)) {
        if (Processes::IsProcessAlive(pid))
            Processes::terminate(pid, 2000);
    }
    m_started.clear();
}

void TestLauncher::cleanupTestCase()
{
    m_folder.reset();
    Interaction::install(nullptr);
}

void TestLauncher::requireQemu()
{
    if (!m_haveQemu)
        QSKIP("qemu-system-x86_64 and qemu-img are needed to launch VMs");
}

QString TestLauncher::writeVM(const QString& name, const QStringList& extra)
{
    const QString path = m_folder->file(s("VMs/") + name + s(".vm2"));
    if (!WriteVMTemplate(path, true))
        return {};
    const QStringList keys =
        QStringList{s("General/Arc=x86"),        s("General/Qemu Version ID=own"),
                    s("Hardware/CPUArc=64 Bit"), s("Hardware/RAM=32"),
                    s("Hardware/MID=pc"),        s("Hardware/CID=Default"),
                    s("Hardware/VID=std"),       s("Hardware/OutputID=1"),
                    s("Hardware/Network=No"),    s("Audio/Enable Sound=No"),
                    s("Advanced/Start Time="),   s("Drives/HDA=") + m_disk} +
        extra;
    for (const QString& line : keys) {
        const qsizetype slash = line.indexOf(QLatin1Char('/'));
        const qsizetype equals = line.indexOf(QLatin1Char('='), slash);
        const QString section = line.left(slash);
        const QString key = line.mid(slash + 1, equals - slash - 1);
        if (!WriteVMFileValue(path, section, key, line.mid(equals + 1)))
            return {};
        // As the editors would have written it.
        if (ApprovedValues::isWatched(section, key))
            ApprovedValues::approve(path, section, key, line.mid(equals + 1));
    }
    return path;
}

qint64 TestLauncher::launch(TMain& window)
{
    window.PlayClick();
    const qint64 pending = window.launcher().pendingProcessId();
    if (pending > 0)
        killLater(pending);
    // Disabled until the one-second confirmation has run.
    if (window.isEnabled())
        return 0;
    if (!QTest::qWaitFor([&window] { return window.isEnabled(); }, 5000))
        return 0;
    return ReadVMFileValue(window.selectedVM(), General, s("StatusID")).toLongLong();
}

void TestLauncher::launchEmbeddedAndQuit()
{
    requireQemu();
    const QString vm =
        writeVM(s("embedded"), {s("General/Qemu Version ID=emb"), s("Hardware/OutputID=0")});
    qputenv("VIMOR_TEST_DISPLAY", QFile::encodeName(EmbeddedDisplay::socketPath(vm)));
    QVERIFY(!vm.isEmpty());
    TMain window;
    QCOMPARE(window.selectedVM(), vm);
    QVERIFY(!window.selectedNodeRunning());

    const qint64 pid = launch(window);
    QVERIFY2(pid > 0, qPrintable(m_ui->shownTexts().join(s("\n"))));
    QVERIFY(m_ui->shown().isEmpty());
    QVERIFY(Processes::isQemu(pid));
    QCOMPARE(ReadVMFileValue(vm, General, s("Status")), s("Running"));
    QVERIFY(ReadVMFileValue(vm, General, s("Last Run")).contains(s(" - ")));
    const QList<Row> rows = processRows();
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows.first().pid, QString::number(pid));
    QCOMPARE(rows.first().vm, vm);
    QVERIFY(window.selectedNodeRunning());
    const QString panel = ReadVMFileValue(vm, General, s("PanelID"));
    QVERIFY(!panel.isEmpty());
    QVERIFY(window.panel(panel.toInt())->isVisibleTo(&window));
    QCOMPARE(window.vmPages()->currentIndex(), int(TMain::ConsoleTab));
    QCOMPARE(window.vmPages()->tabText(TMain::ConsoleTab),
             s("Console (Press Ctrl-Alt to unlock mouse)"));
    QVERIFY(window.sysTimerActive());
    QCOMPARE(window.launcher().lastExecutable(),
             QDir::toNativeSeparators(m_folder->file(s("qemu72/qemu-system-x86_64.exe"))));
    QVERIFY(window.launcher().lastLaunchString().contains(s(" -hwnd ")));
    // The panel shows the guest's screen, and passes the display's messages to the status bar.
    DisplayPanel* display = window.panel(panel.toInt());
    QTRY_COMPARE_WITH_TIMEOUT(display->state(), DisplayConnection::State::Connected, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!display->image().isNull(), 10000);
    emit display->statusMessage(s("display message"));
    QCOMPARE(window.statusPanel(2), s("display message"));

    // The same VM again is refused.
    window.PlayClick();
    QCOMPARE(m_ui->shownTexts(), QStringList{s("This virtual machine is already running!!")});
    QVERIFY(window.isEnabled());

    // Quit on the monitor, as the user would; the next sweep records the end.
    window.MonitorDisconnect();
    QLocalSocket monitor;
    monitor.connectToServer(
        Panels::MonitorSocketPath(RuntimeFolder::vimorFolder(), EmbeddedDisplay::socketKey(vm)));
    QVERIFY(monitor.waitForConnected(5000));
    monitor.write("quit\r\n");
    QVERIFY(monitor.waitForBytesWritten(5000));
    QTRY_VERIFY_WITH_TIMEOUT(!Processes::IsProcessAlive(pid), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(ReadVMFileValue(vm, General, s("Status")), s("Stopped"), 5000);
    QVERIFY(ReadVMFileValue(vm, General, s("StatusID")).isEmpty());
    QVERIFY(ReadVMFileValue(vm, General, s("PanelID")).isEmpty());
    QVERIFY(processRows().isEmpty());
    QVERIFY(!window.selectedNodeRunning());
    QFile panels(m_folder->file(s("panels.dat")));
    QVERIFY(panels.open(QIODevice::ReadOnly));
    QVERIFY(!panels.readAll().split('\n').contains(panel.toLatin1() + '\r'));
    QCOMPARE(window.vmPages()->tabText(TMain::ConsoleTab), s("Console"));
    QVERIFY(display->image().isNull());
}

// The monitor of a real embedded QEMU as the user meets it: the status text, the prompt in the
// terminal, pause and resume from the control toolbar, and the stop command quitting QEMU.
void TestLauncher::monitorThroughTheMainWindow()
{
    requireQemu();
    const QString vm =
        writeVM(s("watched"), {s("General/Qemu Version ID=emb2"), s("Hardware/OutputID=0")});
    qputenv("VIMOR_TEST_DISPLAY", QFile::encodeName(EmbeddedDisplay::socketPath(vm)));
    QVERIFY(!vm.isEmpty());
    TMain window;
    const qint64 pid = launch(window);
    QVERIFY2(pid > 0, qPrintable(m_ui->shownTexts().join(s("\n"))));
    QTRY_VERIFY_WITH_TIMEOUT(window.monitorConnected(), 10000);
    QCOMPARE(window.statusPanel(2), s("QEMU Monitor Connected to watched"));
    QVERIFY(window.vmControlMenu()->isEnabled());
    // Two carriage returns went out, so QEMU has answered with its prompt.
    QTRY_VERIFY_WITH_TIMEOUT(window.monitorTerminal()->screenText().contains(s("(qemu)")), 10000);
    // The monitor is on its private socket: this QEMU listens on no TCP port at all.
    QCOMPARE(tcpListeners(pid), QStringList());

    const auto status = [&window](const QString& expected) {
        window.monitorTerminal()->clear();
        window.SendMonitorCommand(s("info status"));
        const bool seen = QTest::qWaitFor(
            [&] { return window.monitorTerminal()->screenText().contains(expected); }, 10000);
        if (!seen)
            qWarning("%s / %s", qPrintable(window.monitorTerminal()->screenText()),
                     qPrintable(window.statusPanel(2)));
        return seen;
    };
    // Showing the monitor tab sends one carriage return and line feed: QEMU answers each with a
    // prompt, two in all (once the prompts of the connection have come).
    QTest::qWait(500);
    window.monitorTerminal()->clear();
    window.vmPages()->setCurrentIndex(TMain::MonitorTab);
    QTRY_COMPARE_WITH_TIMEOUT(window.monitorTerminal()->screenText().count(s("(qemu)")), 2, 10000);
    QTest::qWait(300);
    QCOMPARE(window.monitorTerminal()->screenText().count(s("(qemu)")), 2);

    QVERIFY(status(s("VM status: running")));
    window.VMControlClick(s("Pause"));
    QCOMPARE(window.pauseAction()->text(), s("Resume Virtual Machine"));
    QCOMPARE(window.pauseButton()->property("picture").toInt(), 5);
    QVERIFY(status(s("VM status: paused")));
    window.VMControlClick(s("Pause"));
    QCOMPARE(window.pauseAction()->text(), s("Pause Virtual Machine"));
    QCOMPARE(window.pauseButton()->property("picture").toInt(), 4);
    QVERIFY(status(s("VM status: running")));

    // Stop on an embedded VM quits through the monitor rather than ending the process.
    m_ui->clear();
    m_ui->answerMessage(Interaction::Answer::Yes);
    window.StopClick();
    QCOMPARE(m_ui->shownTexts(), QStringList{s("This will end your QEMU session - continue ?")});
    QTRY_VERIFY_WITH_TIMEOUT(!Processes::IsProcessAlive(pid), 10000);
    QVERIFY(!window.monitorConnected());
    QVERIFY(!window.vmControlMenu()->isEnabled());
    QCOMPARE(window.vmPages()->currentIndex(), int(TMain::HardwareTab));
    QTRY_COMPARE_WITH_TIMEOUT(ReadVMFileValue(vm, General, s("Status")), s("Stopped"), 5000);
}

void TestLauncher::launchOwnWindowAndStop()
{
    requireQemu();
    const QString vm = writeVM(s("own window"), {s("Advanced/Process=Idle")});
    TMain window;
    const qint64 pid = launch(window);
    QVERIFY2(pid > 0, qPrintable(m_ui->shownTexts().join(s("\n"))));
    QVERIFY(ReadVMFileValue(vm, General, s("PanelID")).isEmpty());
    // The emulator leaves Vimor's terminal session.
    QCOMPARE(qint64(::getsid(pid_t(pid))), pid);

    // No: nothing happens. Yes: the process ends, and the sweep records it.
    m_ui->answerMessage(Interaction::Answer::No);
    window.StopClick();
    QVERIFY(Processes::IsProcessAlive(pid));
    m_ui->answerMessage(Interaction::Answer::Yes);
    window.StopClick();
    QCOMPARE(m_ui->shownTexts(),
             QStringList(2, s("Terminating a Virtual Machine can cause data loss - continue ?")));
    QTRY_VERIFY_WITH_TIMEOUT(!Processes::IsProcessAlive(pid), 5000);
    QVERIFY(window.sysTimerActive());
    QTRY_COMPARE_WITH_TIMEOUT(ReadVMFileValue(vm, General, s("Status")), s("Stopped"), 5000);
    QVERIFY(processRows().isEmpty());
    QVERIFY(!window.selectedNodeRunning());

    // Now it is not running.
    m_ui->clear();
    window.StopClick();
    QCOMPARE(m_ui->shownTexts(), QStringList{s("This virtual machine is marked as not running")});
}

void TestLauncher::qemuEndsAtOnce()
{
    requireQemu();
    const QString vm = writeVM(
        s("bad machine"), {s("Advanced/OptionalString=-M nosuchmachine"), s("Advanced/SDL=Yes")});
    TMain window;
    window.PlayClick();
    QVERIFY(!window.isEnabled());
    QTRY_VERIFY_WITH_TIMEOUT(window.isEnabled(), 5000);
    const QStringList shown = m_ui->shownTexts();
    QCOMPARE(shown.size(), 1);
    const QString prefix =
        s("There was a problem, and qemu did not launch! See below for details:\n\n");
    QVERIFY2(shown.first().startsWith(prefix), qPrintable(shown.first()));
    // QEMU's own words, as it wrote them.
    QVERIFY2(shown.first().mid(prefix.size()).contains(s("unsupported machine type")),
             qPrintable(shown.first()));
    QCOMPARE(shown.first().mid(prefix.size()), window.logText());
    QVERIFY(ReadVMFileValue(vm, General, s("Status")) != s("Running"));
    QVERIFY(processRows().isEmpty());
    QVERIFY(!window.selectedNodeRunning());
    QCOMPARE(window.vmPages()->tabText(TMain::ConsoleTab), s("Console"));
    // The environment stays set for every later launch of the run.
    QCOMPARE(qgetenv("SDL_VIDEODRIVER"), QByteArray("windib"));
    QCOMPARE(qgetenv("SDL_STDIO_REDIRECT"), QByteArray("0"));
}

void TestLauncher::unsafeLaunchStringRefused()
{
    requireQemu();
    const QString vm = writeVM(s("quote"), {s("Advanced/OptionalString=-name \"x")});
    TMain window;
    window.PlayClick();
    QVERIFY(window.isEnabled());
    QCOMPARE(m_ui->shown().size(), 1);
    QCOMPARE(m_ui->shown().first().kind, s("error"));
    QVERIFY2(m_ui->shown().first().text.startsWith(s("This virtual machine cannot be launched")),
             qPrintable(m_ui->shown().first().text));
    QVERIFY(!window.launcher().confirmationPending());
    QVERIFY(processRows().isEmpty());
    QVERIFY(ReadVMFileValue(vm, General, s("Status")) != s("Running"));
}

void TestLauncher::unableToLaunch()
{
    // A version whose folder holds no emulator.
    const QString vm = writeVM(s("no emulator"), {s("General/Qemu Version ID=missing")});
    TMain window;
    window.PlayClick();
    QVERIFY(window.isEnabled());
    QCOMPARE(m_ui->shownTexts(), QStringList{s("Unable to launch QEMU!")});
    QVERIFY(!window.launcher().confirmationPending());
    QVERIFY(processRows().isEmpty());
    QVERIFY(ReadVMFileValue(vm, General, s("Status")) != s("Running"));
}

void TestLauncher::endedProcessesOnePerSweep()
{
    // Two VMs left running by an earlier run whose processes have ended since.
    const QString first = writeVM(s("dead one"), {s("General/Status=Running")});
    const QString second = writeVM(s("dead two"), {s("General/Status=Running")});
    QVERIFY(appendProcessRow(endedProcessId(), first));
    QVERIFY(appendProcessRow(endedProcessId(), second));
    QVERIFY(QFile::exists(first) && QFile::exists(second));

    // The start-up sweep cleans up the first row only.
    TMain window;
    QCOMPARE(ReadVMFileValue(first, General, s("Status")), s("Stopped"));
    QCOMPARE(ReadVMFileValue(second, General, s("Status")), s("Running"));
    QCOMPARE(processRows().size(), 1);
    QCOMPARE(processRows().first().vm, second);
    QVERIFY(!window.SweepProcesses());
    QCOMPARE(ReadVMFileValue(second, General, s("Status")), s("Stopped"));
    QVERIFY(processRows().isEmpty());

    // A live process is reported, and its row stays.
    QProcess sleeper;
    sleeper.start(s("sleep"), {s("30")});
    QVERIFY(sleeper.waitForStarted());
    QVERIFY(appendProcessRow(sleeper.processId(), second));
    QVERIFY(window.SweepProcesses());
    QCOMPARE(processRows().size(), 1);
    // Panels in use and a live process: closing asks.
    QVERIFY(!window.CheckPanelSessions());
    QVERIFY(m_folder->write(s("panels.dat"), "3\r\n"));
    QVERIFY(window.CheckPanelSessions());
    sleeper.kill();
    sleeper.waitForFinished();
    QVERIFY(!window.CheckPanelSessions());
}

// The socket file stands in for the one an ended QEMU left; the sweep that frees the panel
// removes it.
void TestLauncher::sweepRemovesDisplaySocket()
{
    QTemporaryDir runtime;
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    // The start-up sweep of an earlier run's row ends the start-up.
    QVERIFY(appendProcessRow(endedProcessId(), writeVM(s("earlier"), {})));
    TMain window;
    const QString vm = writeVM(s("ended"), {s("General/Status=Running"), s("General/PanelID=7"),
                                            s("General/VMID=ended1")});
    const QString socket = Panels::DisplaySocketPath(RuntimeFolder::vimorFolder(), s("ended1"));
    QVERIFY(QFile(socket).open(QIODevice::WriteOnly));
    QVERIFY(appendProcessRow(endedProcessId(), vm));
    QVERIFY(m_folder->write(s("panels.dat"), "7\r\n"));
    window.SweepProcesses();
    const bool removed = !QFile::exists(socket);
    qputenv("XDG_RUNTIME_DIR", savedRuntime);
    QVERIFY(removed);
    QVERIFY(!Panels::PanelsInUse());
}

// A row someone else wrote names a file outside every store: the sweep takes the row away and
// neither writes to that file nor removes a script named after it in the temporary folder.
void TestLauncher::sweepTouchesOnlyStoreFiles()
{
    const QString name = s("x-%1").arg(QCoreApplication::applicationPid());
    const QString outside = m_folder->file(s("VMs/../outside/%1.vm2").arg(name));
    const QString script = QDir(QDir::tempPath()).filePath(name + s(".sh"));
    QVERIFY(writeFile(outside, "[General]\n") && writeFile(script, "keep") &&
            appendProcessRow(endedProcessId(), outside));
    TMain window; // whose start sweeps
    QVERIFY(processRows().isEmpty());
    QCOMPARE(readAll(outside), QByteArray("[General]\n"));
    QCOMPARE(readAll(script), QByteArray("keep"));
    QFile::remove(script);
}

void TestLauncher::affinity_data()
{
    QTest::addColumn<QString>("affinityCpu");
    QTest::addColumn<int>("processor");
    QTest::newRow("1 binds processor 0") << s("1") << 0;
    QTest::newRow("2 binds processor 1") << s("2") << 1;
    QTest::newRow("3 binds processor 2") << s("3") << 2;
}

void TestLauncher::affinity()
{
    requireQemu();
    QFETCH(QString, affinityCpu);
    QFETCH(int, processor);
    if (processor >= QThread::idealThreadCount())
        QSKIP(qPrintable(s("This machine has %1 processors: processor %2 cannot be bound here")
                             .arg(QThread::idealThreadCount())
                             .arg(processor)));
    writeVM(s("bound"), {s("Advanced/AffinityCPU=") + affinityCpu});
    TMain window;
    const qint64 pid = launch(window);
    QVERIFY2(pid > 0, qPrintable(m_ui->shownTexts().join(s("\n"))));
    QCOMPARE(allowedProcessors(pid), QString::number(processor));
}

void TestLauncher::stopQuestions()
{
    // An embedded VM with its "Monitor" tab: stopping asks to end the session on the monitor.
    const QString vm =
        writeVM(s("monitored"), {s("General/Qemu Version ID=emb"), s("Hardware/OutputID=0")});
    qputenv("VIMOR_TEST_DISPLAY", QFile::encodeName(EmbeddedDisplay::socketPath(vm)));
    TMain window;
    // After start-up, which resets embedded sessions left "Running".
    QVERIFY(WriteVMFileValue(vm, General, s("Status"), s("Running")));
    QVERIFY(window.monitorTabShown());
    window.vmPages()->setCurrentIndex(TMain::DrivesTab);
    m_ui->answerMessage(Interaction::Answer::Yes);
    window.StopClick();
    QCOMPARE(m_ui->shownTexts(), QStringList{s("This will end your QEMU session - continue ?")});
    QCOMPARE(window.vmPages()->currentIndex(), int(TMain::HardwareTab));
    // Recorded later by the sweep, not here.
    QCOMPARE(ReadVMFileValue(vm, General, s("Status")), s("Running"));
    QVERIFY(window.sysTimerActive());

    // The root node: nothing is asked.
    m_ui->clear();
    window.tree()->setCurrentItem(window.tree()->topLevelItem(0));
    window.StopClick();
    QVERIFY(m_ui->shown().isEmpty());
}

void TestLauncher::reusedProcessIdNeverEnded()
{
    // The recorded identifier now belongs to an unrelated program.
    QProcess stranger;
    stranger.start(s("sleep"), {s("30")});
    QVERIFY(stranger.waitForStarted());
    const QString vm =
        writeVM(s("reused"), {s("General/Status=Running"),
                              s("General/StatusID=") + QString::number(stranger.processId())});
    QVERIFY(appendProcessRow(stranger.processId(), vm));
    TMain window;
    m_ui->answerMessage(Interaction::Answer::Yes);
    window.StopClick();
    QVERIFY(Processes::IsProcessAlive(stranger.processId()));
    QCOMPARE(m_ui->shownTexts(),
             QStringList({s("Terminating a Virtual Machine can cause data loss - continue ?"),
                          s("The selected Virtual Machine Is Not Running")}));
    QCOMPARE(ReadVMFileValue(vm, General, s("Status")), s("Stopped"));
    QVERIFY(ReadVMFileValue(vm, General, s("StatusID")).isEmpty());
    // Its row goes too, so the stranger's end cannot mark a later run of the VM stopped.
    QVERIFY(processRows().isEmpty());
    QVERIFY(!window.selectedNodeRunning());
    stranger.kill();
    stranger.waitForFinished();
}

void TestLauncher::debugLaunchQuotesEverything()
{
    requireQemu();
    // Every character the shell treats specially, but the folder separator.
    const QString name = s("a'b c$(touch X);d`touch Y`&e|f>g");
    const QString vm = writeVM(name, {s("Advanced/Debug=Yes")});
    QVERIFY(!vm.isEmpty());
    const QString script = Launcher::debugScriptPath(name);
    QCOMPARE(script, RuntimeFolder::vimorFolder() + u'/' + name + s(".sh"));
    const QString output = m_folder->file(s("debug output.txt"));

    TMain window;
    // A stand-in for a terminal that hands its window to a server and ends at once: it starts the
    // script in the background, its input empty so the pause passes, its output kept in a file.
    window.launcher().terminal = [output](const QString& path) {
        return QStringList{s("sh"), s("-c"), s("sh \"$0\" </dev/null >\"$1\" 2>&1 & exit 0"), path,
                           output};
    };
    window.PlayClick();
    QVERIFY(window.isEnabled());
    QVERIFY(m_ui->shown().isEmpty());
    // Recorded at once: the script's own shell, which outlives the terminal.
    QCOMPARE(ReadVMFileValue(vm, General, s("Status")), s("Running"));
    const qint64 console = ReadVMFileValue(vm, General, s("StatusID")).toLongLong();
    QVERIFY(Processes::IsProcessAlive(console));
    QVERIFY(ProcessStart::hasArgument(console, script));
    killLater(console);
    QCOMPARE(processRows().size(), 1);
    QVERIFY(window.selectedNodeRunning());

    // QEMU runs with the name as one argument.
    QList<qint64> qemu;
    QTRY_VERIFY_WITH_TIMEOUT(!(qemu = processesWithArgument(name)).isEmpty(), 5000);
    for (qint64 pid : std::as_const(qemu))
        killLater(pid);
    QVERIFY(Processes::isQemu(qemu.first()));
    QFile file(script);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromLocal8Bit(file.readAll());
    QVERIFY(text.contains(s("echo 'Vimor - Debug Mode'\n")));
    QVERIFY(!(QFileInfo(script).permissions() & (QFile::ReadOther | QFile::WriteOther)));

    // While QEMU runs, nothing else has run, here or anywhere the shell could have looked.
    QVERIFY(!QFile::exists(m_folder->file(s("Media/X"))));
    QVERIFY(!QFile::exists(m_folder->file(s("Media/Y"))));
    QVERIFY(!QFile::exists(m_folder->file(s("Media/g"))));
    QVERIFY(!QFile::exists(s("X")) && !QFile::exists(s("Y")));

    Processes::terminate(qemu.first());
    // The script goes on, shows its pause, and ends; the sweep records the end and deletes it.
    QTRY_VERIFY_WITH_TIMEOUT(!Processes::IsProcessAlive(console), 5000);
    QFile shownText(output);
    QVERIFY(shownText.open(QIODevice::ReadOnly));
    const QString shownOutput = QString::fromLocal8Bit(shownText.readAll());
    QVERIFY2(shownOutput.contains(s("Vimor - Debug Mode\n-------------------------\n\nQemu Launch "
                                    "Command:\n\n\"") +
                                  window.launcher().lastExecutable() + s("\" ") +
                                  window.launcher().lastLaunchString() + s("\n")),
             qPrintable(shownOutput));
    QVERIFY(shownOutput.contains(s("Press Enter to continue . . . ")));
    QVERIFY(!QFile::exists(m_folder->file(s("Media/X"))));
    QTRY_COMPARE_WITH_TIMEOUT(ReadVMFileValue(vm, General, s("Status")), s("Stopped"), 5000);
    QVERIFY(!QFile::exists(script));
    QVERIFY(processRows().isEmpty());
}

void TestLauncher::debugScriptReplacesLink()
{
    requireQemu();
    const QString name = s("linked %1").arg(QCoreApplication::applicationPid());
    writeVM(name, {s("Advanced/Debug=Yes")});
    const QString script = Launcher::debugScriptPath(name);
    const QString target = m_folder->file(s("precious.txt"));
    QVERIFY(m_folder->write(s("precious.txt"), "keep\n"));
    QFile::remove(script);
    QVERIFY(QFile::link(target, script));

    TMain window;
    // The terminal is a shell that does not run the script: only the file matters here.
    window.launcher().terminal = [](const QString& path) {
        // It reports itself as the script would. Its sleeping child goes with it, so no stray
        // process holds the test's output open.
        return QStringList{s("sh"), s("-c"),
                           s("echo $$ >\"$0.pid\"; sleep 30 </dev/null >/dev/null 2>&1 & "
                             "child=$!; trap 'kill $child; exit' TERM; wait"),
                           path};
    };
    window.PlayClick();
    const qint64 console =
        ReadVMFileValue(window.selectedVM(), General, s("StatusID")).toLongLong();
    QVERIFY(console > 0);
    killLater(console);
    QFile kept(target);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("keep\n"));
    QVERIFY(!QFileInfo(script).isSymLink());
    QVERIFY(QFileInfo(script).isFile());
    QFile replaced(script);
    QVERIFY(replaced.open(QIODevice::ReadOnly));
    QVERIFY(replaced.readAll().contains("Vimor - Debug Mode"));

    // The console is ours (its command line names the script): stopping ends it.
    m_ui->answerMessage(Interaction::Answer::Yes);
    window.StopClick();
    QTRY_VERIFY_WITH_TIMEOUT(!Processes::IsProcessAlive(console), 5000);
    QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(script), 5000);
    QCOMPARE(m_ui->shownTexts().size(), 1);
}

// A real terminal, on an X server of its own: the console is recorded while it stays open.
void TestLauncher::debugLaunchInXterm()
{
    requireQemu();
    const QString xterm = QStandardPaths::findExecutable(s("xterm"));
    if (xterm.isEmpty() || QStandardPaths::findExecutable(s("xvfb-run")).isEmpty())
        QSKIP("xterm and xvfb-run are needed (packages xterm and xvfb)");
    const QString vm = writeVM(s("in xterm"), {s("Advanced/Debug=Yes")});
    TMain window;
    window.launcher().terminal = [xterm](const QString& path) {
        return QStringList{s("xvfb-run"), s("-a"), xterm, s("-e"), s("sh"), path};
    };
    window.PlayClick();
    const qint64 console = ReadVMFileValue(vm, General, s("StatusID")).toLongLong();
    killLater(console);
    QVERIFY(ProcessStart::hasArgument(console, Launcher::debugScriptPath(s("in xterm"))));
    QList<qint64> qemu;
    QTRY_VERIFY_WITH_TIMEOUT(!(qemu = processesWithArgument(s("in xterm"))).isEmpty(), 5000);
    Processes::terminate(qemu.first());
    // The console waits for Enter: the VM counts as running until it is closed.
    QTRY_VERIFY_WITH_TIMEOUT(!Processes::IsProcessAlive(qemu.first()), 5000);
    window.SweepProcesses();
    QCOMPARE(ReadVMFileValue(vm, General, s("Status")), s("Running"));
    Processes::terminate(console);
    QTRY_COMPARE_WITH_TIMEOUT(ReadVMFileValue(vm, General, s("Status")), s("Stopped"), 5000);
}

// Disk numbers move when a disk is plugged in. Files stand for /sys/block, /dev,
// /dev/disk/by-id and the mount table: the root file system lies on a mapped device over sda2.
void TestLauncher::movedHostDisk()
{
    QTemporaryDir host;
    const auto at = [&host](const char* name) { return host.filePath(QString::fromUtf8(name)); };
    const auto disk = [&](const char* name, const char* sectors, const char* model) {
        const QString sys = at("sys/block/") + QString::fromUtf8(name);
        return writeFile(sys + s("/size"), sectors) && writeFile(sys + s("/device/model"), model) &&
               writeFile(at("dev/") + QString::fromUtf8(name), QByteArray(512, '\0'));
    };
    QVERIFY(disk("sda", "1000000", "Disk A") && disk("sdb", "2000000", "Stick B"));
    QVERIFY(writeFile(at("sys/block/sda/sda2/size"), "9") &&
            writeFile(at("sys/block/sdb/sdb1/size"), "9") && writeFile(at("dev/sdb1"), ""));
    QVERIFY(writeFile(at("sys/block/dm-0/slaves/sda2"), "") && QDir().mkpath(at("sys/dev/block")) &&
            QDir().mkpath(at("dev/disk/by-id")));
    QVERIFY(QFile::link(at("sys/block/dm-0"), at("sys/dev/block/254:0")) &&
            QFile::link(at("dev/sda"), at("dev/disk/by-id/ata-Disk_A")));
    QVERIFY(writeFile(at("mountinfo"), "26 1 254:0 / / rw - ext4 /dev/mapper/root rw\n"
                                       "30 26 8:17 / /media/b rw - vfat /dev/sdb1 rw\n"));
    HostDrives::setRoots({at("sys"), at("dev"), at("mountinfo")});
    QCOMPARE(DriveEditing::PhysicalDiskEntries(HostDrives::ListPhysicalDisks()),
             QStringList({s("Disk 0 (System Drive (CAUTION))"), s("Disk 1 (In Use)")}));

    const QString disk0 = s("\\\\.\\PhysicalDrive0");
    // Its version has no emulator: a launch that passes the check ends at once.
    const QString vm =
        writeVM(s("raw"), {s("Drives/HDA=") + disk0, s("General/Qemu Version ID=missing")});
    TMain window;
    // Recorded without a device (an earlier release): asked once, naming it; kept on Yes.
    m_ui->answerMessage(Interaction::Answer::Yes);
    window.PlayClick();
    QVERIFY(m_ui->shown().first().text.contains(s("Disk A (512.0 MB, /dev/sda)")));
    QCOMPARE(ReadVMFileValue(vm, s("Drives"), s("HDA Device")), s("ata-Disk_A"));
    // A disk that sorts first is plugged in and is now disk 0: refused before anything is
    // reserved. Saving the value unchanged keeps the device it was chosen for.
    QVERIFY(disk("hda", "4000000", "New Disk"));
    m_ui->clear();
    window.PlayClick();
    QCOMPARE(m_ui->shown().size(), 1);
    QVERIFY2(m_ui->shown().first().text.contains(s("Disk A (512.0 MB, /dev/sda)")) &&
                 m_ui->shown().first().text.contains(s("New Disk (2.0 GB, /dev/hda)")),
             qPrintable(m_ui->shown().first().text));
    QVERIFY(window.isEnabled() && !window.launcher().confirmationPending());
    QCOMPARE(DeviceIdentity::IdentityToStore(window, s("Drives"), s("HDA"), disk0, {}, {}),
             s("ata-Disk_A"));
    HostDrives::setRoots({});
}

void TestLauncher::kqemuCommands_data()
{
    QTest::addColumn<bool>("install");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("installerThere");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("ran"); // what the installer saw: folder and argument
    const QString ask = s("Are you sure you wish to install the KQEMU accelerator driver ?");
    const QString askRemove =
        s("Are you sure you wish to uninstall the KQEMU accelerator driver ?");
    QTest::newRow("install") << true << true << true << ask << s("{K} /INSTALL");
    QTest::newRow("uninstall") << false << true << true << askRemove << s("{K} /REMOVE");
    QTest::newRow("install, No") << true << false << true << ask << QString();
    QTest::newRow("no installer") << true << true << false << ask << QString();
}

void TestLauncher::kqemuCommands()
{
    QFETCH(bool, install);
    QFETCH(bool, answer);
    QFETCH(bool, installerThere);
    QFETCH(QString, question);
    QFETCH(QString, ran);
    const QString installer = m_folder->file(s("qemu/kqemu/inskqemu.exe"));
    const QString log = m_folder->file(s("installer.log"));
    QFile::remove(log);
    QFile::remove(installer);
    if (installerThere) {
        QVERIFY(m_folder->write(s("qemu/kqemu/inskqemu.exe"),
                                "#!/bin/sh\necho \"$PWD $1\" > '" + log.toLocal8Bit() + "'\n"));
        QVERIFY(QFile::setPermissions(installer,
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    TMain window;
    window.setStatusPanel(1, s("KQEMU Driver Started"));
    m_ui->answerMessage(answer ? Interaction::Answer::Yes : Interaction::Answer::No);
    if (install)
        window.InstallKqemuClick();
    else
        window.UninstallKqemuClick();
    QCOMPARE(m_ui->shownTexts(), QStringList{question});
    QCOMPARE(window.statusPanel(1), answer ? QString() : s("KQEMU Driver Started"));
    QFile seen(log);
    if (ran.isEmpty()) {
        QVERIFY(!seen.exists());
    } else {
        QVERIFY(seen.open(QIODevice::ReadOnly));
        ran.replace(s("{K}"), QFileInfo(installer).absolutePath());
        QCOMPARE(QString::fromLocal8Bit(seen.readAll()).trimmed(), ran);
    }
    // No driver on this host: the state reads "not installed".
    QCOMPARE(KqemuServiceState(), 0);
    QVERIFY(!StartKqemuService());
    QVERIFY(!StopKqemuService());
}

QTEST_MAIN(TestLauncher)
#include "tst_launcher.moc"
