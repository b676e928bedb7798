#include "model/Settings.h"
#include "platform/ui/Interaction.h"
#include "services/UpdateCheck.h"
#include "services/ui/UpdateChecker.h"
#include "services/ui/UpdateDialog.h"
#include "support/TempProgramFolder.h"

#include <QCheckBox>
#include <QHash>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>

#include <memory>
#include <optional>

namespace {

// A small HTTP/1.1 server on 127.0.0.1 that answers each path with a fixed reply.
class UpdateServer final : public QObject
{
public:
    struct Reply
    {
        int status = 200;
        QByteArray body;
        bool close = false; // drop the connection without answering
        bool stall = false; // never answer
        int delayMs = 0;
    };

    UpdateServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                connect(socket, &QTcpSocket::readyRead, this, [this, socket] { serve(socket); });
                connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        m_server.listen(QHostAddress::LocalHost);
    }

    void set(const QByteArray& path, const Reply& reply) { m_replies.insert(path, reply); }
    QString url(const char* path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2")
            .arg(m_server.serverPort())
            .arg(QString::fromLatin1(path));
    }
    int requests() const { return m_requests; }

private:
    void serve(QTcpSocket* socket)
    {
        QByteArray& request = m_pending[socket];
        request += socket->readAll();
        if (!request.contains("\r\n\r\n"))
            return;
        ++m_requests;
        const QByteArray path = request.split(' ').value(1);
        m_pending.remove(socket);
        const Reply reply = m_replies.value(path, Reply{404, "not here"});
        if (reply.close) {
            socket->abort();
            socket->deleteLater();
            return;
        }
        if (reply.stall)
            return;
        const QPointer<QTcpSocket> guarded(socket);
        QTimer::singleShot(reply.delayMs, this, [guarded, reply] {
            if (!guarded)
                return;
            const QByteArray reason = reply.status == 200 ? "OK" : "Not Found";
            guarded->write("HTTP/1.1 " + QByteArray::number(reply.status) + ' ' + reason +
                           "\r\nContent-Type: text/plain\r\nContent-Length: " +
                           QByteArray::number(reply.body.size()) + "\r\nConnection: close\r\n\r\n" +
                           reply.body);
            guarded->disconnectFromHost();
        });
    }

    QTcpServer m_server;
    QHash<QByteArray, Reply> m_replies;
    QHash<QTcpSocket*, QByteArray> m_pending;
    int m_requests = 0;
};

ScriptedInteraction* installScript()
{
    auto script = std::make_unique<ScriptedInteraction>();
    ScriptedInteraction* raw = script.get();
    Interaction::install(std::move(script));
    return raw;
}

// What was shown, as "kind: text" lines.
QStringList shownLines(const ScriptedInteraction& script)
{
    QStringList lines;
    for (const ScriptedInteraction::Shown& shown : script.shown())
        lines << shown.kind + QStringLiteral(": ") + shown.text;
    return lines;
}

enum class Press
{
    None, // the dialog is not expected
    GetUpdate,
    Cancel,
    CancelWithBox, // tick "Do not check for updates in future", then Cancel
    GetUpdateClearingBox
};

} // namespace

class TestUpdateCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        UpdateServer::Reply reply;
        reply.body = "Version=7.1\r\nURL=http://vimor.example/download\r\n";
        m_server.set("/newer", reply);
        reply.body = "[Vimor]\nDetails=Vimor 7.1 with USB 2.0\nversion=7.1\nurl=http://d.example\n";
        m_server.set("/details", reply);
        reply.body = "Version=7.1\r\n";
        m_server.set("/newer-no-page", reply);
        reply.body = "Version=6.9\r\nURL=http://vimor.example/download\r\n";
        m_server.set("/older", reply);
        reply.body = "Version=7.0\r\n";
        m_server.set("/equal", reply);
        reply.body = "<html><body>Version=seven</body></html>\x01\x02\xff";
        m_server.set("/garbage", reply);
        reply.body = QByteArray();
        m_server.set("/empty", reply);
        reply.body = "Version=9.0\r\nURL=http://vimor.example/404\r\n";
        reply.status = 404;
        m_server.set("/missing", reply);
        reply = UpdateServer::Reply();
        reply.close = true;
        m_server.set("/closed", reply);
        reply = UpdateServer::Reply();
        reply.stall = true;
        m_server.set("/stall", reply);
        reply = UpdateServer::Reply();
        reply.body = "Version=7.0\r\n";
        reply.delayMs = 300;
        m_server.set("/slow", reply);
        reply = UpdateServer::Reply();
        reply.body = "Version=7.1\nURL=file:///usr/share/applications/evil.desktop\n";
        m_server.set("/file-page", reply);
        reply.body = "Version=7.1\n" + QByteArray(UpdateCheck::MaxBytes, '#');
        m_server.set("/huge", reply);
    }

    void init() { m_script = installScript(); }

    void updateFile_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("empty");
        QTest::addColumn<std::optional<double>>("version");
        QTest::addColumn<QString>("versionLine");
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("newerThan70");

        using V = std::optional<double>;
        QTest::newRow("newer, no details")
            << QByteArray("Version=7.1\r\nURL=http://a/b\r\n") << false << V(7.1)
            << QStringLiteral("Version 7.1") << QStringLiteral("http://a/b") << true;
        QTest::newRow("names ignore case, shortest form")
            << QByteArray("vERSION=7.10\nuRl=x") << false << V(7.1) << QStringLiteral("Version 7.1")
            << QStringLiteral("x") << true;
        QTest::newRow("whole number") << QByteArray("Version=8.0") << false << V(8.0)
                                      << QStringLiteral("Version 8") << QString() << true;
        QTest::newRow("details replace the version line")
            << QByteArray("Details=Big release\nVersion=7.5") << false << V(7.5)
            << QStringLiteral("Big release") << QString() << true;
        QTest::newRow("empty details keep the version line")
            << QByteArray("Details=\nVersion=7.5") << false << V(7.5)
            << QStringLiteral("Version 7.5") << QString() << true;
        QTest::newRow("comma separator") << QByteArray("Version=7,2") << false << V(7.2)
                                         << QStringLiteral("Version 7.2") << QString() << true;
        QTest::newRow("value after the first equals sign")
            << QByteArray("URL=http://x/?a=b&c=d\nVersion=6") << false << V(6.0)
            << QStringLiteral("Version 6") << QStringLiteral("http://x/?a=b&c=d") << false;
        QTest::newRow("first of two equal names wins")
            << QByteArray("Version=7.0\nVersion=9.0") << false << V(7.0)
            << QStringLiteral("Version 7") << QString() << false;
        QTest::newRow("equal version is not newer")
            << QByteArray("Version=7.0") << false << V(7.0) << QStringLiteral("Version 7")
            << QString() << false;
        QTest::newRow("not a number") << QByteArray("Version=seven") << false << V()
                                      << QStringLiteral("Version 0") << QString() << false;
        QTest::newRow("infinity is not a number")
            << QByteArray("Version=inf") << false << V() << QStringLiteral("Version 0") << QString()
            << false;
        QTest::newRow("no version line reads 0")
            << QByteArray("hello\nworld") << false << V(0.0) << QStringLiteral("Version 0")
            << QString() << false;
        QTest::newRow("empty reply")
            << QByteArray() << true << V(0.0) << QStringLiteral("Version 0") << QString() << false;
        QTest::newRow("a lone line break is one empty line")
            << QByteArray("\r\n") << false << V(0.0) << QStringLiteral("Version 0") << QString()
            << false;
    }

    void updateFile()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, empty);
        QFETCH(std::optional<double>, version);
        QFETCH(QString, versionLine);
        QFETCH(QString, url);
        QFETCH(bool, newerThan70);

        const UpdateFile file = UpdateFile::parse(text);
        QCOMPARE(file.isEmpty(), empty);
        QCOMPARE(file.version().has_value(), version.has_value());
        if (version)
            QCOMPARE(*file.version(), *version);
        QCOMPARE(file.versionLine(), versionLine);
        QCOMPARE(file.value(QStringLiteral("URL")), url);
        QCOMPARE(file.isNewerThan(7.0), newerThan70);
    }

    void downloadPageIsOnlyAWebAddress()
    {
        for (const char* url : {"http://v.example/d", "HTTPS://v.example/d"})
            QVERIFY2(UpdateFile::parse(QByteArray("URL=") + url).downloadPage(), url);
        for (const char* url :
             {"file:///x.desktop", "/usr/bin/xterm", "smb://h/s", "http:///etc/passwd", "--help"})
            QVERIFY2(!UpdateFile::parse(QByteArray("URL=") + url).downloadPage(), url);
    }

    void completion_data()
    {
        QTest::addColumn<QByteArray>("path");
        QTest::addColumn<double>("installed");
        QTest::addColumn<QByteArray>("enableUpdates"); // stored before the check
        QTest::addColumn<bool>("manual");
        QTest::addColumn<int>("press");
        QTest::addColumn<bool>("boxPreset"); // "Do not check for updates in future"
        QTest::addColumn<QString>("versionLine");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QString>("enableAfter");
        QTest::addColumn<QStringList>("opened");

        const QStringList dialog{QStringLiteral("dialog: Update")};
        const QStringList latest{
            QStringLiteral("information: You have the latest version of Vimor")};
        const QString page = QStringLiteral("http://vimor.example/download");

        QTest::newRow("newer at start-up, Get Update opens the page")
            << QByteArray("/newer") << 7.0 << QByteArray("Yes") << false << int(Press::GetUpdate)
            << false << QStringLiteral("Version 7.1") << dialog << QStringLiteral("Yes")
            << QStringList{page};
        QTest::newRow("details, manual, updates off: box preset, unticked writes Yes")
            << QByteArray("/details") << 7.0 << QByteArray("No") << true
            << int(Press::GetUpdateClearingBox) << true << QStringLiteral("Vimor 7.1 with USB 2.0")
            << dialog << QStringLiteral("Yes") << QStringList{QStringLiteral("http://d.example")};
        QTest::newRow("box ticked and Cancel writes No and opens nothing")
            << QByteArray("/newer") << 7.0 << QByteArray("Yes") << true << int(Press::CancelWithBox)
            << false << QStringLiteral("Version 7.1") << dialog << QStringLiteral("No")
            << QStringList();
        QTest::newRow("nothing stored presets the box; Cancel keeps it, writes No")
            << QByteArray("/newer") << 7.0 << QByteArray() << false << int(Press::Cancel) << true
            << QStringLiteral("Version 7.1") << dialog << QStringLiteral("No") << QStringList();
        QTest::newRow("Get Update without a page opens nothing")
            << QByteArray("/newer-no-page") << 7.0 << QByteArray("Yes") << false
            << int(Press::GetUpdate) << false << QStringLiteral("Version 7.1") << dialog
            << QStringLiteral("Yes") << QStringList();
        QTest::newRow("equal, manual: latest version")
            << QByteArray("/equal") << 7.0 << QByteArray("Yes") << true << int(Press::None) << false
            << QString() << latest << QStringLiteral("Yes") << QStringList();
        QTest::newRow("equal, start-up: silent")
            << QByteArray("/equal") << 7.0 << QByteArray("Yes") << false << int(Press::None)
            << false << QString() << QStringList() << QStringLiteral("Yes") << QStringList();
        QTest::newRow("older, manual: latest version")
            << QByteArray("/older") << 7.0 << QByteArray("Yes") << true << int(Press::None) << false
            << QString() << latest << QStringLiteral("Yes") << QStringList();
        QTest::newRow("garbage, manual: no newer release")
            << QByteArray("/garbage") << 0.0 << QByteArray("Yes") << true << int(Press::None)
            << false << QString() << latest << QStringLiteral("Yes") << QStringList();
        QTest::newRow("garbage, start-up: silent")
            << QByteArray("/garbage") << 0.0 << QByteArray("Yes") << false << int(Press::None)
            << false << QString() << QStringList() << QStringLiteral("Yes") << QStringList();
        QTest::newRow("empty reply, manual: nothing")
            << QByteArray("/empty") << 7.0 << QByteArray("Yes") << true << int(Press::None) << false
            << QString() << QStringList() << QStringLiteral("Yes") << QStringList();
        QTest::newRow("404 with a newer body, manual: nothing")
            << QByteArray("/missing") << 7.0 << QByteArray("Yes") << true << int(Press::None)
            << false << QString() << QStringList() << QStringLiteral("Yes") << QStringList();
        QTest::newRow("file: page is not opened")
            << QByteArray("/file-page") << 7.0 << QByteArray("Yes") << false
            << int(Press::GetUpdate) << false << QStringLiteral("Version 7.1")
            << QStringList{dialog.first(),
                           QStringLiteral("warning: The download page the update server names is "
                                          "not a web address (http or https). It was not opened.")}
            << QStringLiteral("Yes") << QStringList();
        QTest::newRow("over 64 KiB, start-up: stopped with a message")
            << QByteArray("/huge") << 7.0 << QByteArray("Yes") << false << int(Press::None) << false
            << QString()
            << QStringList{QStringLiteral("warning: The update information from the server is "
                                          "larger than 64 KiB. It was not read.")}
            << QStringLiteral("Yes") << QStringList();
        QTest::newRow("connection closed, manual: nothing")
            << QByteArray("/closed") << 7.0 << QByteArray("Yes") << true << int(Press::None)
            << false << QString() << QStringList() << QStringLiteral("Yes") << QStringList();
    }

    void completion()
    {
        QFETCH(QByteArray, path);
        QFETCH(double, installed);
        QFETCH(QByteArray, enableUpdates);
        QFETCH(bool, manual);
        QFETCH(int, press);
        QFETCH(bool, boxPreset);
        QFETCH(QString, versionLine);
        QFETCH(QStringList, shown);
        QFETCH(QString, enableAfter);
        QFETCH(QStringList, opened);

        TempProgramFolder folder;
        const QString url = m_server.url(path.constData());
        QVERIFY(folder.write(QStringLiteral("vimor.ini"),
                             "[Updates]\r\nEnableUpdates=" + enableUpdates +
                                 "\r\nURL=" + url.toLatin1() + "\r\n"));
        StartSettings settings;
        settings.version = installed;
        QWidget window;
        UpdateChecker checker(&window, settings);
        QStringList pages;
        checker.setOpener([&pages](const QString& page) {
            pages << page;
            return true;
        });

        bool presetSeen = !boxPreset;
        QString lineSeen;
        if (press != int(Press::None)) {
            m_script->answerDialog([&](QDialog& dialog) {
                auto& update = static_cast<UpdateDialog&>(dialog);
                presetSeen = update.doNotCheck() == boxPreset;
                lineSeen = update.versionLine();
                if (!(update.windowFlags() & Qt::WindowStaysOnTopHint))
                    lineSeen = QStringLiteral("not kept above other windows");
                if (update.versionLabel()->textFormat() != Qt::PlainText)
                    lineSeen = QStringLiteral("server's text shown as markup");
                switch (Press(press)) {
                case Press::CancelWithBox:
                    update.doNotCheckBox()->setChecked(true);
                    update.cancelButton()->click();
                    break;
                case Press::Cancel:
                    update.cancelButton()->click();
                    break;
                case Press::GetUpdateClearingBox:
                    update.doNotCheckBox()->setChecked(false);
                    update.getUpdateButton()->click();
                    break;
                default:
                    update.getUpdateButton()->click();
                }
                return dialog.result();
            });
        }

        QSignalSpy completed(&checker, &UpdateChecker::completed);
        if (manual)
            checker.CheckForUpdates2Click();
        else
            checker.StartUpdateCheck(url);
        QVERIFY(completed.wait(10000));

        QCOMPARE(shownLines(*m_script), shown);
        QVERIFY(presetSeen);
        QCOMPARE(lineSeen, versionLine);
        QCOMPARE(pages, opened);
        // The answer is written only when the dialog was shown.
        const QString stored = SettingsFile().value(SettingKeys::EnableUpdates);
        QCOMPARE(stored,
                 press == int(Press::None) ? QString::fromLatin1(enableUpdates) : enableAfter);
        QVERIFY(!checker.check().isRunning());
    }

    void menuWithoutAddressDoesNothing()
    {
        TempProgramFolder folder;
        QVERIFY(folder.write(QStringLiteral("vimor.ini"), "[Updates]\r\nEnableUpdates=Yes\r\n"));
        StartSettings settings;
        QWidget window;
        UpdateChecker checker(&window, settings);
        QSignalSpy completed(&checker, &UpdateChecker::completed);
        const int before = m_server.requests();
        checker.CheckForUpdates2Click();
        checker.StartUpdateCheck(QString());
        QVERIFY(!checker.check().isRunning());
        QVERIFY(!completed.wait(300));
        QCOMPARE(m_server.requests(), before);
        QVERIFY(m_script->shown().isEmpty());
    }

    void manualRequestJoinsRunningCheck()
    {
        // The menu command during the start-up check: one transfer, answered as a manual check,
        // and the manual mark is gone afterwards.
        TempProgramFolder folder;
        const QString url = m_server.url("/slow");
        QVERIFY(folder.write(QStringLiteral("vimor.ini"),
                             "[Updates]\r\nURL=" + url.toLatin1() + "\r\n"));
        StartSettings settings;
        settings.version = 7.0;
        QWidget window;
        UpdateChecker checker(&window, settings);
        QSignalSpy completed(&checker, &UpdateChecker::completed);
        const int before = m_server.requests();
        checker.StartUpdateCheck(url);
        checker.CheckForUpdates2Click();
        QVERIFY(completed.wait(10000));
        QCOMPARE(m_server.requests(), before + 1);
        QCOMPARE(shownLines(*m_script),
                 QStringList{QStringLiteral("information: You have the latest version of Vimor")});

        m_script->clear();
        checker.StartUpdateCheck(url);
        QVERIFY(completed.wait(10000));
        QVERIFY(m_script->shown().isEmpty());
    }

    void stalledTransferGivesUp()
    {
        TempProgramFolder folder;
        StartSettings settings;
        QWidget window;
        UpdateChecker checker(&window, settings);
        checker.check().setTimeout(300);
        QSignalSpy completed(&checker, &UpdateChecker::completed);
        checker.StartUpdateCheck(m_server.url("/stall"));
        QVERIFY(completed.wait(10000));
        QVERIFY(m_script->shown().isEmpty());
        QVERIFY(!checker.check().isRunning());
    }

private:
    UpdateServer m_server;
    ScriptedInteraction* m_script = nullptr;
};

QTEST_MAIN(TestUpdateCheck)
#include "tst_updatecheck.moc"
