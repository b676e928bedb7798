#include "launch/MonitorClient.h"
#include "launch/ui/VMControl.h"
#include "media/ui/PhysicalDriveDialog.h"
#include "platform/HostDrives.h"
#include "platform/ui/Interaction.h"
#include "support/TestFiles.h"

#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

// The window's side of the commands, recorded.
struct Recorder
{
    QStringList sent;
    QStringList status;
    bool connected = true;
    bool failSending = false;
    QString disconnectError; // non-empty: disconnecting fails with it
    int disconnects = 0;
    int hardwareTabs = 0;
    QStringList offeredDrives;
    std::optional<QString> chosenDrive;

    VMControl::Host host()
    {
        VMControl::Host host;
        host.send = [this](const QString& text, QString* error) {
            if (failSending || !connected) {
                *error = s("broken pipe");
                return false;
            }
            sent.append(text);
            return true;
        };
        host.isConnected = [this] { return connected; };
        host.disconnect = [this](QString* error) {
            ++disconnects;
            if (!disconnectError.isEmpty()) {
                *error = disconnectError;
                return false;
            }
            connected = false;
            return true;
        };
        host.showStatus = [this](const QString& text) { status.append(text); };
        host.selectHardwareTab = [this] { ++hardwareTabs; };
        host.chooseDrive = [this](const QStringList& letters) {
            offeredDrives = letters;
            return chosenDrive;
        };
        return host;
    }
};

// Records the file request and answers it.
class ChooserInteraction final : public Interaction
{
public:
    explicit ChooserInteraction(std::optional<QString> answer) : m_answer(std::move(answer)) {}
    static inline std::optional<FileRequest> lastRequest;

    Answer message(QWidget*, MessageKind, const QString&, const QString&) override
    {
        return Answer::Ok;
    }
    std::optional<QString> openFileName(QWidget*, const FileRequest& request) override
    {
        lastRequest = request;
        return m_answer;
    }
    std::optional<QString> saveFileName(QWidget*, const FileRequest&) override { return {}; }
    std::optional<QString> folder(QWidget*, const QString&, const QString&) override { return {}; }
    std::optional<QString> text(QWidget*, const QString&, const QString&, const QString&) override
    {
        return {};
    }
    int execDialog(QDialog&) override { return QDialog::Rejected; }

private:
    std::optional<QString> m_answer;
};

ScriptedInteraction& installScripted()
{
    auto scripted = std::make_unique<ScriptedInteraction>();
    ScriptedInteraction& ref = *scripted;
    Interaction::install(std::move(scripted));
    return ref;
}

// A host tree with the given block devices (sys/block/NAME and dev/NAME as plain files).
class FakeHost final
{
public:
    explicit FakeHost(const QStringList& devices)
    {
        QDir root(m_dir.path());
        root.mkpath(s("sys/block"));
        root.mkpath(s("dev"));
        for (const QString& name : devices) {
            root.mkpath(s("sys/block/") + name);
            QFile device(root.filePath(s("dev/") + name));
            if (device.open(QIODevice::WriteOnly))
                device.write("x");
        }
        HostDrives::setRoots({root.filePath(s("sys")), root.filePath(s("dev"))});
    }
    ~FakeHost() { HostDrives::setRoots({}); }
    QString device(const QString& name) const { return m_dir.filePath(s("dev/") + name); }

private:
    QTemporaryDir m_dir;
};

int freePort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    const int port = server.serverPort();
    server.close();
    return port;
}

} // namespace

class TestVMControl : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { Interaction::install(nullptr); }

    void commands_data();
    void commands();
    void chooserRequests_data();
    void chooserRequests();
    void pauseToggles();
    void quit();
    void physicalDrives_data();
    void physicalDrives();
    void physicalDriveThroughTheWindow();
    void sendingFailures();
    void notConnectedClient();
    void withQemu();
};

void TestVMControl::commands_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("answers"); // scripted texts; "<cancel>" cancels
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("shownTitle"); // the chooser's or input box's title, if any

    const QString cancel = s("<cancel>");
    QTest::newRow("eject CD") << s("EjectCD") << QStringList()
                              << QStringList{s("eject -f ide1-cd0")} << QString();
    QTest::newRow("load CD") << s("LoadCD") << QStringList{s("/iso/x.iso")}
                             << QStringList{s("eject -f ide1-cd0"),
                                            s("change ide1-cd0 \"/iso/x.iso\"")}
                             << s("Select CD/DVD Image");
    QTest::newRow("load CD and restart: four lines")
        << s("LoadCDRestart") << QStringList{s("C:\\iso\\x.iso")}
        << QStringList{s("eject -f ide1-cd0"), s("change ide1-cd0 \"C:\\\\iso\\\\x.iso\""),
                       s("boot_set d"), s("system_reset")}
        << s("Select CD/DVD Image");
    QTest::newRow("load CD cancelled")
        << s("LoadCD") << QStringList{cancel} << QStringList() << s("Select CD/DVD Image");
    QTest::newRow("load CD and restart cancelled")
        << s("LoadCDRestart") << QStringList{cancel} << QStringList() << s("Select CD/DVD Image");
    QTest::newRow("path with blanks and quotes goes as one argument")
        << s("LoadCD") << QStringList{s("/my isos/a \"b\".iso")}
        << QStringList{s("eject -f ide1-cd0"), s("change ide1-cd0 \"/my isos/a \\\"b\\\".iso\"")}
        << s("Select CD/DVD Image");
    QTest::newRow("eject floppy 0")
        << s("EjectFloppy0") << QStringList() << QStringList{s("eject -f floppy0")} << QString();
    QTest::newRow("eject floppy 1")
        << s("EjectFloppy1") << QStringList() << QStringList{s("eject -f floppy1")} << QString();
    QTest::newRow("load floppy 0")
        << s("LoadFloppy0") << QStringList{s("/f/a.img")}
        << QStringList{s("eject -f floppy0"), s("change floppy0 \"/f/a.img\"")}
        << s("Select Floppy Disk 0 Image");
    QTest::newRow("load floppy 1")
        << s("LoadFloppy1") << QStringList{s("/f/b.img")}
        << QStringList{s("eject -f floppy1"), s("change floppy1 \"/f/b.img\"")}
        << s("Select Floppy Disk 1 Image");
    QTest::newRow("load floppy 0 and restart")
        << s("LoadFloppy0Restart") << QStringList{s("/f/a.img")}
        << QStringList{s("eject -f floppy0"), s("change floppy0 \"/f/a.img\""), s("system_reset")}
        << s("Select Floppy Disk 0 Image");
    QTest::newRow("load floppy 1 cancelled") << s("LoadFloppy1") << QStringList{cancel}
                                             << QStringList() << s("Select Floppy Disk 1 Image");
    QTest::newRow("ctrl alt del") << s("CtrlAltDel") << QStringList()
                                  << QStringList{s("sendkey ctrl-alt-delete")} << QString();
    QTest::newRow("create snapshot")
        << s("CreateSnapshot") << QStringList{s("before update")}
        << QStringList{s("savevm \"before update\"")} << s("Create snapshot");
    QTest::newRow("create snapshot with an empty name keeps the blank")
        << s("CreateSnapshot") << QStringList{QString()} << QStringList{s("savevm ")}
        << s("Create snapshot");
    QTest::newRow("create snapshot cancelled")
        << s("CreateSnapshot") << QStringList{cancel} << QStringList() << s("Create snapshot");
    QTest::newRow("load snapshot") << s("LoadSnapshot") << QStringList{s("1")}
                                   << QStringList{s("loadvm \"1\"")} << s("Load Snapshot");
    QTest::newRow("delete snapshot") << s("DeleteSnapshot") << QStringList{s("old")}
                                     << QStringList{s("delvm \"old\"")} << s("Delete Snapshot");
    QTest::newRow("delete snapshot with an empty name")
        << s("DeleteSnapshot") << QStringList{QString()} << QStringList{s("delvm ")}
        << s("Delete Snapshot");
    QTest::newRow("reset") << s("Reset") << QStringList() << QStringList{s("system_reset")}
                           << QString();
    QTest::newRow("power down") << s("PowerDown") << QStringList()
                                << QStringList{s("system_powerdown")} << QString();
}

void TestVMControl::commands()
{
    QFETCH(QString, command);
    QFETCH(QStringList, answers);
    QFETCH(QStringList, expected);
    QFETCH(QString, shownTitle);

    ScriptedInteraction& scripted = installScripted();
    for (const QString& answer : answers)
        scripted.answerText(answer == QLatin1String("<cancel>") ? std::nullopt
                                                                : std::optional<QString>(answer));
    Recorder recorder;
    VMControl control(recorder.host());
    QVERIFY(control.run(command));
    QCOMPARE(recorder.sent, expected);
    QCOMPARE(recorder.status, QStringList());
    QCOMPARE(scripted.pendingAnswers(), 0);
    if (shownTitle.isEmpty()) {
        QVERIFY(scripted.shown().isEmpty());
    } else {
        QCOMPARE(scripted.shown().size(), 1);
        QCOMPARE(scripted.shown().at(0).title, shownTitle);
        if (scripted.shown().at(0).kind == QLatin1String("text")) {
            QCOMPARE(scripted.shown().at(0).text, s("Snapshot Name/ID"));
            QCOMPARE(scripted.shown().at(0).preset, QString());
        }
    }
    QVERIFY(!control.run(s("NoSuchCommand")));
}

void TestVMControl::chooserRequests_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("selectedFilter");

    QTest::newRow("CD") << s("LoadCD") << s("Select CD/DVD Image") << s("iso")
                        << s("ISO CD/DVD Disc Image (*.iso)");
    QTest::newRow("CD and restart") << s("LoadCDRestart") << s("Select CD/DVD Image") << s("iso")
                                    << s("ISO CD/DVD Disc Image (*.iso)");
    QTest::newRow("floppy 0") << s("LoadFloppy0") << s("Select Floppy Disk 0 Image") << s("img")
                              << s("Floppy Disk Image (*.img)");
    QTest::newRow("floppy 1") << s("LoadFloppy1") << s("Select Floppy Disk 1 Image") << s("img")
                              << s("Floppy Disk Image (*.img)");
    QTest::newRow("floppy 0 and restart")
        << s("LoadFloppy0Restart") << s("Select Floppy Disk 0 Image") << s("img")
        << s("Floppy Disk Image (*.img)");
}

void TestVMControl::chooserRequests()
{
    QFETCH(QString, command);
    QFETCH(QString, title);
    QFETCH(QString, suffix);
    QFETCH(QString, selectedFilter);

    ChooserInteraction::lastRequest.reset();
    Interaction::install(std::make_unique<ChooserInteraction>(std::nullopt));
    Recorder recorder;
    VMControl control(recorder.host());
    control.run(command);
    QVERIFY(ChooserInteraction::lastRequest);
    const Interaction::FileRequest& request = *ChooserInteraction::lastRequest;
    QCOMPARE(request.title, title);
    QCOMPARE(request.defaultSuffix, suffix);
    QCOMPARE(request.filter, s("ISO CD/DVD Disc Image (*.iso);;Floppy Disk Image (*.img);;ALL "
                               "Files (*)"));
    QCOMPARE(request.selectedFilter, selectedFilter);
    QCOMPARE(recorder.sent, QStringList());
}

void TestVMControl::pauseToggles()
{
    installScripted();
    Recorder recorder;
    VMControl control(recorder.host());
    QSignalSpy spy(&control, &VMControl::pausedChanged);
    QVERIFY(!control.paused());
    QCOMPARE(control.pauseCaption(), s("Pause Virtual Machine"));

    control.run(s("Pause"));
    QVERIFY(control.paused());
    QCOMPARE(control.pauseCaption(), s("Resume Virtual Machine"));
    control.run(s("Pause"));
    QCOMPARE(recorder.sent, (QStringList{s("stop"), s("cont")}));
    QVERIFY(!control.paused());
    QCOMPARE(control.pauseCaption(), s("Pause Virtual Machine"));
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(0).at(0).toBool(), true);
    QCOMPARE(spy.at(1).at(0).toBool(), false);

    // A "stop" that did not go out leaves the picture as it was.
    recorder.failSending = true;
    control.run(s("Pause"));
    QVERIFY(!control.paused());
    QCOMPARE(spy.count(), 2);
    QCOMPARE(recorder.status, QStringList{s("Error: broken pipe")});

    // The state is not reset by a new connection: it lives as long as the control.
    recorder.failSending = false;
    control.run(s("Pause"));
    recorder.connected = false;
    recorder.connected = true;
    QVERIFY(control.paused());
}

void TestVMControl::quit()
{
    const QString question = s("This will end your QEMU session - continue ?");
    {
        // No: nothing sent, nothing closed, the tab stays.
        ScriptedInteraction& scripted = installScripted();
        scripted.answerMessage(Interaction::Answer::No);
        Recorder recorder;
        VMControl control(recorder.host());
        control.run(s("Quit"));
        QCOMPARE(scripted.shownTexts(), QStringList{question});
        QCOMPARE(scripted.shown().at(0).kind, s("confirmation"));
        QCOMPARE(recorder.sent, QStringList());
        QCOMPARE(recorder.disconnects, 0);
        QCOMPARE(recorder.hardwareTabs, 0);
    }
    {
        ScriptedInteraction& scripted = installScripted();
        scripted.answerMessage(Interaction::Answer::Yes);
        Recorder recorder;
        VMControl control(recorder.host());
        control.run(s("Quit"));
        QCOMPARE(recorder.sent, QStringList{s("quit")});
        QCOMPARE(recorder.disconnects, 1);
        QVERIFY(!recorder.connected);
        QCOMPARE(recorder.hardwareTabs, 1);
        QCOMPARE(recorder.status, QStringList());
    }
    {
        // Closing fails: the reason in the status bar, the tab still changes.
        ScriptedInteraction& scripted = installScripted();
        scripted.answerMessage(Interaction::Answer::Yes);
        Recorder recorder;
        recorder.disconnectError = s("timed out");
        VMControl control(recorder.host());
        control.run(s("Quit"));
        QCOMPARE(recorder.status, QStringList{s("Error: timed out")});
        QCOMPARE(recorder.hardwareTabs, 1);
    }
    {
        // Already closed: "quit" fails to go out, nothing to close, the tab changes.
        ScriptedInteraction& scripted = installScripted();
        scripted.answerMessage(Interaction::Answer::Yes);
        Recorder recorder;
        recorder.connected = false;
        VMControl control(recorder.host());
        control.run(s("Quit"));
        QCOMPARE(recorder.sent, QStringList());
        QCOMPARE(recorder.status, QStringList{s("Error: broken pipe")});
        QCOMPARE(recorder.disconnects, 0);
        QCOMPARE(recorder.hardwareTabs, 1);
    }
}

void TestVMControl::physicalDrives_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QStringList>("devices");
    QTest::addColumn<QString>("chosen"); // empty: the choice is cancelled
    QTest::addColumn<QStringList>("offered");
    QTest::addColumn<QStringList>("expected"); // "{dev}" stands for the fake device folder
    QTest::addColumn<QString>("error");

    QTest::newRow("no CD drive") << s("PhysicalCD") << QStringList() << s("D:") << QStringList()
                                 << QStringList()
                                 << s("There are NO physical CD/DVD Drives to use!");
    QTest::newRow("only a floppy is no CD drive")
        << s("PhysicalCD") << QStringList{s("fd0")} << s("D:") << QStringList() << QStringList()
        << s("There are NO physical CD/DVD Drives to use!");
    QTest::newRow("no floppy drive")
        << s("PhysicalFloppy") << QStringList{s("sr0")} << s("A:") << QStringList() << QStringList()
        << s("There are NO physical Floppy Disk Drives to use!");
    QTest::newRow("CD drive D: by its device")
        << s("PhysicalCD") << QStringList{s("sr0"), s("sr1")} << s("E:")
        << QStringList{s("D:"), s("E:")}
        << QStringList{s("eject -f ide1-cd0"), s("change cdrom \"{dev}/sr1\""),
                       s("change ide1-cd0 \"{dev}/sr1\"")}
        << QString();
    QTest::newRow("CD choice cancelled") << s("PhysicalCD") << QStringList{s("sr0")} << QString()
                                         << QStringList{s("D:")} << QStringList() << QString();
    QTest::newRow("floppy A:") << s("PhysicalFloppy") << QStringList{s("fd0")} << s("A:")
                               << QStringList{s("A:")}
                               << QStringList{s("eject -f floppy0"),
                                              s("change floppy0 \"{dev}/fd0\"")}
                               << QString();
}

void TestVMControl::physicalDrives()
{
    QFETCH(QString, command);
    QFETCH(QStringList, devices);
    QFETCH(QString, chosen);
    QFETCH(QStringList, offered);
    QFETCH(QStringList, expected);
    QFETCH(QString, error);

    FakeHost host(devices);
    ScriptedInteraction& scripted = installScripted();
    Recorder recorder;
    if (!chosen.isEmpty())
        recorder.chosenDrive = chosen;
    VMControl control(recorder.host());
    control.run(command);
    QCOMPARE(recorder.offeredDrives, offered);
    QStringList wanted;
    for (const QString& line : expected)
        wanted.append(QString(line).replace(s("{dev}"), QFileInfo(host.device(s("x"))).path()));
    QCOMPARE(recorder.sent, wanted);
    if (error.isEmpty()) {
        QVERIFY(scripted.shown().isEmpty());
    } else {
        QCOMPARE(scripted.shownTexts(), QStringList{error});
        QCOMPARE(scripted.shown().at(0).kind, s("error"));
    }
}

// The drive choice as the main window wires it: the "Select Physical Drive" window.
void TestVMControl::physicalDriveThroughTheWindow()
{
    FakeHost host({s("sr0"), s("sr1")});
    ScriptedInteraction& scripted = installScripted();
    QStringList listed;
    scripted.answerDialog([&listed](QDialog& dialog) {
        auto* drives = dialog.findChild<QComboBox*>(s("driveList"));
        for (int i = 0; i < drives->count(); ++i)
            listed.append(drives->itemText(i));
        if (drives->currentIndex() != 0)
            return int(QDialog::Rejected);
        drives->setCurrentIndex(1);
        return int(QDialog::Accepted);
    });
    Recorder recorder;
    VMControl::Host controlHost = recorder.host();
    controlHost.chooseDrive = [](const QStringList& letters) -> std::optional<QString> {
        PhysicalDriveDialog dialog;
        dialog.start(letters);
        if (Interaction::current().execDialog(dialog) != QDialog::Accepted)
            return std::nullopt;
        return dialog.chosenDrive();
    };
    VMControl control(controlHost);
    control.run(s("PhysicalCD"));
    QCOMPARE(scripted.shown().at(0).title, s("Select Physical Drive"));
    QCOMPARE(listed, (QStringList{s("D:"), s("E:")}));
    QCOMPARE(recorder.sent.value(2), s("change ide1-cd0 \"") + host.device(s("sr1")) + s("\""));
}

void TestVMControl::sendingFailures()
{
    installScripted();
    Recorder recorder;
    recorder.failSending = true;
    VMControl control(recorder.host());
    QVERIFY(!control.SendMonitorCommand(s("stop")));
    QCOMPARE(recorder.status, QStringList{s("Error: broken pipe")});

    // The lines of one action stop at the first failure: no reset after a failed change.
    recorder.status.clear();
    ScriptedInteraction& scripted = installScripted();
    scripted.answerText(s("/iso/x.iso"));
    control.run(s("LoadCDRestart"));
    QCOMPARE(recorder.sent, QStringList());
    QCOMPARE(recorder.status, QStringList{s("Error: broken pipe")});

    // A host without a sender reports rather than crashes.
    VMControl bare(VMControl::Host{});
    QVERIFY(!bare.SendMonitorCommand(s("stop")));
}

void TestVMControl::notConnectedClient()
{
    installScripted();
    MonitorClient client;
    VMControl::Host host = VMControl::clientHost(client);
    QStringList status;
    host.showStatus = [&status](const QString& text) { status.append(text); };
    VMControl control(host);
    control.run(s("Reset"));
    QCOMPARE(status, QStringList{s("Error: The QEMU monitor is not connected")});
}

// The commands reach a real QEMU through the client.
void TestVMControl::withQemu()
{
    if (QStandardPaths::findExecutable(s("qemu-system-x86_64")).isEmpty())
        QSKIP("qemu-system-x86_64 is needed");
    const int port = freePort();
    QProcess qemu;
    qemu.start(s("qemu-system-x86_64"),
               {s("-display"), s("none"), s("-S"), s("-drive"), s("if=ide,index=2,media=cdrom"),
                s("-monitor"), s("telnet:127.0.0.1:%1,server,nowait").arg(port)});
    QVERIFY(qemu.waitForStarted());
    MonitorClient client;
    QString transcript;
    connect(&client, &MonitorClient::dataReceived, this,
            [&transcript](const QByteArray& data) { transcript += QString::fromUtf8(data); });
    QSignalSpy connectedSpy(&client, &MonitorClient::connected);
    for (int attempt = 0; attempt < 100 && connectedSpy.isEmpty(); ++attempt) {
        client.connectToPort(port);
        if (QTest::qWaitFor([&] { return !connectedSpy.isEmpty(); }, 200))
            break;
    }
    QVERIFY(client.isConnected());

    ScriptedInteraction& scripted = installScripted();
    VMControl::Host host = VMControl::clientHost(client);
    QStringList status;
    int hardwareTabs = 0;
    host.showStatus = [&status](const QString& text) { status.append(text); };
    host.selectHardwareTab = [&hardwareTabs] { ++hardwareTabs; };
    VMControl control(host);

    // "-S" starts paused; two presses end running.
    control.run(s("Pause"));
    control.run(s("Pause"));
    QVERIFY(control.SendMonitorCommand(s("info status")));
    QTRY_VERIFY_WITH_TIMEOUT(transcript.contains(s("VM status: running")), 20000);
    control.run(s("Pause"));
    transcript.clear();
    QVERIFY(control.SendMonitorCommand(s("info status")));
    QTRY_VERIFY_WITH_TIMEOUT(transcript.contains(s("VM status: paused")), 20000);

    // A medium whose name has blanks and a quote is changed; one with a line break would have
    // run its second line as a command ("quit" here) and is refused.
    QTemporaryDir media;
    QVERIFY(QDir(media.path()).mkpath(s("my isos")));
    const QString disc = media.filePath(s("my isos/a \"b\".iso"));
    writeFile(disc, QByteArray(2048, 0));
    scripted.answerText(disc);
    control.run(s("LoadCD"));
    transcript.clear();
    QVERIFY(control.SendMonitorCommand(s("info block ide1-cd0")));
    QTRY_VERIFY_WITH_TIMEOUT(transcript.contains(s("a \"b\".iso")), 20000);
    scripted.answerText(media.filePath(s("x.iso\nquit")));
    control.run(s("LoadCD"));
    QCOMPARE(scripted.shown().last().kind, s("error"));
    transcript.clear();
    QVERIFY(control.SendMonitorCommand(s("info status")));
    QTRY_VERIFY_WITH_TIMEOUT(transcript.contains(s("VM status: paused")), 20000);
    QCOMPARE(qemu.state(), QProcess::Running);

    QSignalSpy disconnectedSpy(&client, &MonitorClient::disconnected);
    scripted.answerMessage(Interaction::Answer::Yes);
    control.run(s("Quit"));
    QVERIFY(!client.isConnected());
    QCOMPARE(disconnectedSpy.count(), 1);
    QCOMPARE(hardwareTabs, 1);
    QCOMPARE(status, QStringList());
    QTRY_COMPARE_WITH_TIMEOUT(qemu.state(), QProcess::NotRunning, 20000);
    QCOMPARE(qemu.exitStatus(), QProcess::NormalExit);
}

QTEST_MAIN(TestVMControl)
#include "tst_vmcontrol.moc"
