#include "launch/MonitorClient.h"
#include "launch/ui/MonitorTerminal.h"

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

constexpr int qemuTimeoutMs = 20000;

int freePort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    const int port = server.serverPort();
    server.close();
    return port;
}

// A QEMU stopped before its first instruction, with a qcow2 hard disk and an image in the CD
// drive, its monitor on a telnet port of 127.0.0.1.
class Qemu final
{
public:
    ~Qemu()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    static bool available()
    {
        return !QStandardPaths::findExecutable(s("qemu-system-x86_64")).isEmpty() &&
               !QStandardPaths::findExecutable(s("qemu-img")).isEmpty();
    }

    bool start()
    {
        if (!m_dir.isValid())
            return false;
        m_disk = m_dir.filePath(s("disk.qcow2"));
        m_iso = makeImage(s("first.iso"));
        if (QProcess::execute(s("qemu-img"),
                              {s("create"), s("-q"), s("-f"), s("qcow2"), m_disk, s("16M")}) != 0)
            return false;
        m_port = freePort();
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(s("qemu-system-x86_64"),
                        {s("-display"), s("none"), s("-S"), s("-monitor"),
                         s("telnet:127.0.0.1:%1,server,nowait").arg(m_port), s("-drive"),
                         s("file=%1,format=qcow2,if=ide").arg(m_disk), s("-cdrom"), m_iso});
        if (!m_process.waitForStarted(qemuTimeoutMs))
            return false;
        // Listening once a connection is accepted; the probe leaves again at once.
        for (int attempt = 0; attempt < 200; ++attempt) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, quint16(m_port));
            if (probe.waitForConnected(100)) {
                probe.abort();
                return true;
            }
            if (m_process.state() == QProcess::NotRunning)
                return false;
            QTest::qWait(50);
        }
        return false;
    }

    // A small file QEMU takes as a raw CD image.
    QString makeImage(const QString& name)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray(64 * 1024, '\0'));
        return path;
    }

    int port() const { return m_port; }
    QProcess& process() { return m_process; }
    QString output() { return QString::fromUtf8(m_process.readAll()); }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_disk;
    QString m_iso;
    int m_port = 0;
};

// Collects what the monitor says.
class Transcript final
{
public:
    explicit Transcript(MonitorClient& client)
    {
        QObject::connect(&client, &MonitorClient::dataReceived, &m_context,
                         [this](const QByteArray& data) { m_text += QString::fromUtf8(data); });
    }
    QString text() const { return m_text; }
    void clear() { m_text.clear(); }

private:
    QObject m_context;
    QString m_text;
};

} // namespace

class TestMonitorClient : public QObject
{
    Q_OBJECT

private slots:
    void sessionWithQemu();
    void terminalShowsQemuPrompt();
    void terminalTypeAnswered();
    void sendingEscapesIacAndEndsWithCarriageReturn();
    void notConnected();
    void connectingWhereNothingListens();

    void terminalScreen_data();
    void terminalScreen();
    void terminalKeys_data();
    void terminalKeys();
    void terminalAnswerBackAndClear();
    void terminalFitsWidget();
};

// One session through the commands the control menu relies on.
void TestMonitorClient::sessionWithQemu()
{
    if (!Qemu::available())
        QSKIP("qemu-system-x86_64 and qemu-img are needed");
    Qemu qemu;
    QVERIFY(qemu.start());
    MonitorClient client;
    Transcript transcript(client);
    QSignalSpy connectedSpy(&client, &MonitorClient::connected);
    QSignalSpy disconnectedSpy(&client, &MonitorClient::disconnected);
    QSignalSpy errorSpy(&client, &MonitorClient::errorOccurred);
    client.connectToPort(qemu.port());
    QTRY_COMPARE_WITH_TIMEOUT(connectedSpy.count(), 1, qemuTimeoutMs);
    QVERIFY(client.isConnected());

    // Two carriage returns bring the prompt.
    QVERIFY(client.SendMonitorCommand(s("\r")));
    QTRY_VERIFY_WITH_TIMEOUT(transcript.text().contains(s("(qemu)")), qemuTimeoutMs);

    const auto answer = [&](const QString& command, const QString& expected) {
        transcript.clear();
        QString error;
        if (!client.SendMonitorCommand(command, &error))
            return false;
        for (int waited = 0; waited < qemuTimeoutMs; waited += 20) {
            if (transcript.text().contains(expected))
                return true;
            QTest::qWait(20);
        }
        qWarning("%s answered: %s", qUtf8Printable(command), qUtf8Printable(transcript.text()));
        return false;
    };

    // Pause and resume.
    QVERIFY(answer(s("stop"), s("(qemu)")));
    QVERIFY(answer(s("info status"), s("VM status: paused")));
    QVERIFY(answer(s("cont"), s("(qemu)")));
    QVERIFY(answer(s("info status"), s("VM status: running")));

    // Snapshots on the qcow2 disk.
    QVERIFY(answer(s("savevm first"), s("(qemu)")));
    QVERIFY(answer(s("info snapshots"), s("first")));
    QVERIFY(answer(s("loadvm first"), s("(qemu)")));
    QVERIFY(answer(s("delvm first"), s("(qemu)")));
    transcript.clear();
    QVERIFY(answer(s("info snapshots"), s("(qemu)")));
    QVERIFY2(!transcript.text().contains(s("first")), qPrintable(transcript.text()));

    // Media: eject, then another image in the CD drive.
    const QString second = qemu.makeImage(s("second.iso"));
    QVERIFY(answer(s("eject -f ide1-cd0"), s("(qemu)")));
    QVERIFY(answer(s("info block"), s("ide1-cd0: [not inserted]")));
    QVERIFY(answer(s("change ide1-cd0 ") + second, s("(qemu)")));
    QVERIFY(answer(s("info block"), second));
    QVERIFY(answer(s("boot_set d"), s("(qemu)")));
    QVERIFY(answer(s("system_reset"), s("(qemu)")));
    QVERIFY(answer(s("info status"), s("VM status: running")));

    // Quit: QEMU closes the connection and ends.
    QVERIFY(client.SendMonitorCommand(s("quit")));
    QTRY_COMPARE_WITH_TIMEOUT(disconnectedSpy.count(), 1, qemuTimeoutMs);
    QVERIFY(!client.isConnected());
    QTRY_COMPARE_WITH_TIMEOUT(qemu.process().state(), QProcess::NotRunning, qemuTimeoutMs);
    // The end of the session is no error.
    QVERIFY2(errorSpy.isEmpty(), qPrintable(errorSpy.value(0).value(0).toString()));
    QVERIFY(!client.SendMonitorCommand(s("info status")));
}

// The terminal bound to the client shows the monitor's prompt, and typed keys reach QEMU.
void TestMonitorClient::terminalShowsQemuPrompt()
{
    if (!Qemu::available())
        QSKIP("qemu-system-x86_64 and qemu-img are needed");
    Qemu qemu;
    QVERIFY(qemu.start());
    MonitorClient client;
    MonitorTerminal terminal;
    connect(&client, &MonitorClient::dataReceived, &terminal, &MonitorTerminal::feed);
    connect(&terminal, &MonitorTerminal::dataToSend, &client,
            [&client](const QByteArray& bytes) { client.sendData(bytes); });
    QSignalSpy connectedSpy(&client, &MonitorClient::connected);
    client.connectToPort(qemu.port());
    QTRY_COMPARE_WITH_TIMEOUT(connectedSpy.count(), 1, qemuTimeoutMs);
    QVERIFY(client.SendMonitorCommand(s("\r")));
    QTRY_VERIFY_WITH_TIMEOUT(terminal.screenText().contains(s("(qemu)")), qemuTimeoutMs);

    QTest::keyClicks(&terminal, s("info status"));
    QTest::keyClick(&terminal, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(terminal.screenText().contains(s("VM status: paused")), qemuTimeoutMs);
    QVERIFY(client.disconnectFromMonitor());
    QVERIFY(!client.isConnected());
}

// A server asking for the terminal type hears "vt100".
void TestMonitorClient::terminalTypeAnswered()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    MonitorClient client;
    QByteArray received;
    connect(&client, &MonitorClient::dataReceived, this,
            [&received](const QByteArray& data) { received += data; });
    client.connectToPort(server.serverPort());
    QTRY_VERIFY(server.hasPendingConnections());
    std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
    QTRY_VERIFY(client.isConnected());

    // IAC DO TTYPE, IAC SB TTYPE SEND IAC SE, then text with a doubled IAC inside.
    peer->write(QByteArray::fromHex("fffd18"));
    peer->write(QByteArray::fromHex("fffa1801fff0"));
    const QByteArray text = QByteArray("a") + QByteArray::fromHex("ffff") + "b";
    peer->write(text);
    QByteArray reply;
    // IAC WILL TTYPE, then IAC SB TTYPE IS "vt100" IAC SE.
    const QByteArray typeIs =
        QByteArray::fromHex("fffa1800") + "vt100" + QByteArray::fromHex("fff0");
    QTRY_VERIFY((reply += peer->readAll()).contains(typeIs));
    QVERIFY(reply.contains(QByteArray::fromHex("fffb18")));
    QTRY_COMPARE(received, QByteArray("a\xff"
                                      "b"));
}

void TestMonitorClient::sendingEscapesIacAndEndsWithCarriageReturn()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    MonitorClient client;
    client.connectToPort(server.serverPort());
    QTRY_VERIFY(server.hasPendingConnections());
    std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
    QTRY_VERIFY(client.isConnected());

    QVERIFY(client.SendMonitorCommand(s("savevm ")));
    QVERIFY(client.sendData(QByteArray("x\xffy")));
    QByteArray got;
    const QByteArray expected = QByteArray("savevm \rx\xff\xffy");
    QTRY_COMPARE((got += peer->readAll()), expected);

    QSignalSpy disconnectedSpy(&client, &MonitorClient::disconnected);
    QVERIFY(client.disconnectFromMonitor());
    QCOMPARE(disconnectedSpy.count(), 1);
    // Closing what is closed is no failure.
    QVERIFY(client.disconnectFromMonitor());
}

void TestMonitorClient::notConnected()
{
    MonitorClient client;
    QString error;
    QVERIFY(!client.SendMonitorCommand(s("stop"), &error));
    QCOMPARE(error, s("The QEMU monitor is not connected"));
    error.clear();
    QVERIFY(!client.sendData("x", &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!client.isConnected());
    QVERIFY(client.disconnectFromMonitor());
}

void TestMonitorClient::connectingWhereNothingListens()
{
    MonitorClient client;
    QSignalSpy errorSpy(&client, &MonitorClient::errorOccurred);
    QSignalSpy connectedSpy(&client, &MonitorClient::connected);
    client.connectToPort(freePort());
    QTRY_COMPARE_WITH_TIMEOUT(errorSpy.count(), 1, 10000);
    QVERIFY(!errorSpy.at(0).at(0).toString().isEmpty());
    QCOMPARE(connectedSpy.count(), 0);
    QVERIFY(!client.isConnected());
}

void TestMonitorClient::terminalScreen_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("firstRows");

    QTest::newRow("prompt") << QByteArray("(qemu) ") << QStringList{s("(qemu)"), QString()};
    QTest::newRow("carriage return and line feed")
        << QByteArray("abc\r\ndef") << QStringList{s("abc"), s("def")};
    QTest::newRow("line feed alone keeps the column")
        << QByteArray("ab\ncd") << QStringList{s("ab"), s("  cd")};
    QTest::newRow("erase screen and home")
        << QByteArray("old text\r\nmore\x1b[2J\x1b[Hnew") << QStringList{s("new"), QString()};
    QTest::newRow("cursor left and erase to end of line (QEMU's line editing)")
        << QByteArray("(qemu) infx\x1b[D\x1b[K") << QStringList{s("(qemu) inf"), QString()};
    QTest::newRow("backspace overwrites")
        << QByteArray("abc\b\bX") << QStringList{s("aXc"), QString()};
    QTest::newRow("wraps at 80 columns")
        << QByteArray(81, 'x') << QStringList{QString(80, QLatin1Char('x')), s("x")};
    QTest::newRow("utf-8") << QByteArray("gr\xc3\xbc\xc3\x9f") << QStringList{s("grüß"), QString()};
}

void TestMonitorClient::terminalScreen()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, firstRows);
    MonitorTerminal terminal;
    QCOMPARE(terminal.columns(), MonitorTerminal::DefaultColumns);
    QCOMPARE(terminal.rows(), MonitorTerminal::DefaultRows);
    terminal.feed(bytes);
    for (int row = 0; row < firstRows.size(); ++row)
        QCOMPARE(terminal.rowText(row), firstRows.at(row));
    QCOMPARE(terminal.screenText().split(QLatin1Char('\n')).size(), terminal.rows());
}

void TestMonitorClient::terminalKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QByteArray>("sent");

    QTest::newRow("return") << int(Qt::Key_Return) << 0 << QByteArray("\r");
    QTest::newRow("enter") << int(Qt::Key_Enter) << 0 << QByteArray("\r");
    QTest::newRow("backspace") << int(Qt::Key_Backspace) << 0 << QByteArray("\x7f");
    QTest::newRow("tab") << int(Qt::Key_Tab) << 0 << QByteArray("\t");
    QTest::newRow("escape") << int(Qt::Key_Escape) << 0 << QByteArray("\x1b");
    QTest::newRow("up") << int(Qt::Key_Up) << 0 << QByteArray("\x1b[A");
    QTest::newRow("left") << int(Qt::Key_Left) << 0 << QByteArray("\x1b[D");
    QTest::newRow("delete") << int(Qt::Key_Delete) << 0 << QByteArray("\x1b[3~");
    QTest::newRow("ctrl+c") << int(Qt::Key_C) << int(Qt::ControlModifier) << QByteArray("\x03");
    QTest::newRow("lone shift sends nothing") << int(Qt::Key_Shift) << 0 << QByteArray();
}

void TestMonitorClient::terminalKeys()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QByteArray, sent);
    MonitorTerminal terminal;
    QByteArray out;
    connect(&terminal, &MonitorTerminal::dataToSend, this,
            [&out](const QByteArray& bytes) { out += bytes; });
    QTest::keyClick(&terminal, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(out, sent);
}

void TestMonitorClient::terminalAnswerBackAndClear()
{
    MonitorTerminal terminal;
    QByteArray out;
    connect(&terminal, &MonitorTerminal::dataToSend, this,
            [&out](const QByteArray& bytes) { out += bytes; });

    QTest::keyClicks(&terminal, s("Info status"));
    QCOMPARE(out, QByteArray("Info status"));
    // Typed text is not echoed locally: the monitor echoes it.
    QCOMPARE(terminal.rowText(0), QString());

    out.clear();
    terminal.feed(QByteArray("ab\x05"
                             "c"));
    QCOMPARE(out, QByteArray("iPROterm"));
    QCOMPARE(terminal.rowText(0), s("abc"));

    terminal.clear();
    QCOMPARE(terminal.screenText().trimmed(), QString());
    terminal.feed(QByteArray("x"));
    QCOMPARE(terminal.rowText(0), s("x"));
}

void TestMonitorClient::terminalFitsWidget()
{
    // A child, so that the screen's size does not bound it.
    QWidget window;
    window.resize(200, 100);
    auto& terminal = *new MonitorTerminal(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    terminal.setFont(QFont(s("Monospace"), 12));
    const QSize hint = terminal.sizeHint();
    QVERIFY(hint.width() > 0 && hint.height() > 0);
    terminal.resize(hint);
    QCOMPARE(terminal.columns(), MonitorTerminal::DefaultColumns);
    QCOMPARE(terminal.rows(), MonitorTerminal::DefaultRows);
    terminal.resize(hint.width() / 2, hint.height() / 2);
    QVERIFY(terminal.columns() <= MonitorTerminal::DefaultColumns / 2);
    QVERIFY(terminal.rows() <= MonitorTerminal::DefaultRows / 2);
    terminal.resize(1, 1);
    // Two columns and two rows at least: libvterm fails on less.
    QCOMPARE(terminal.columns(), 2);
    QCOMPARE(terminal.rows(), 2);
    terminal.resize(hint);
    terminal.feed(QByteArray("paint me"));
    QCOMPARE(terminal.grab().size(), hint);
}

QTEST_MAIN(TestMonitorClient)
#include "tst_monitorclient.moc"
