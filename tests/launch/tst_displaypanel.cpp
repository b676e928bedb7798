#include "launch/ui/DisplayPanel.h"
#include "support/TestFiles.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <memory>

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

const QString Qemu = QStringLiteral("/usr/bin/qemu-system-x86_64");

// The guest: sets the 80 x 25 text mode with the cursor hidden, puts one character in its colours
// in the top-left cell and says "R" on COM1; then writes the scancode of every key to COM1, and on
// Enter switches to 320 x 200 graphics and says "G".
QByteArray bootSector(char character, char colours)
{
    static const unsigned char code[] = {
        0xb8, 0x03, 0x00, 0xcd, 0x10, 0xb4, 0x01, 0xb9, 0x00, 0x20, 0xcd, 0x10, 0xb8, 0x00,
        0xb8, 0x8e, 0xc0, 0x26, 0xc7, 0x06, 0x00, 0x00, 0x41, 0x4e, 0xba, 0xf8, 0x03, 0xb0,
        0x52, 0xee, 0x30, 0xe4, 0xcd, 0x16, 0x88, 0xe0, 0xee, 0x3c, 0x1c, 0x75, 0xf5, 0xb8,
        0x13, 0x00, 0xcd, 0x10, 0xba, 0xf8, 0x03, 0xb0, 0x47, 0xee, 0xeb, 0xe8};
    QByteArray sector(reinterpret_cast<const char*>(code), sizeof code);
    sector[0x16] = character;
    sector[0x17] = colours;
    sector.resize(510, '\0');
    return sector + "\x55\xaa";
}

// A real QEMU booting the sector, with its display, monitor and COM1 in the folder.
struct Guest
{
    Guest(const QString& folder, const QString& name, char character, char colours)
        : display(folder + QLatin1Char('/') + name + s(".sock")),
          monitor(folder + QLatin1Char('/') + name + s(".monitor")),
          serialFile(folder + QLatin1Char('/') + name + s(".serial"))
    {
        const QString disk = folder + QLatin1Char('/') + name + s(".img");
        writeFile(disk, bootSector(character, colours));
        qemu.start(Qemu,
                   {s("-display"), s("none"), s("-vnc"), s("unix:") + display, s("-monitor"),
                    s("unix:") + monitor + s(",server=on,wait=off"), s("-serial"),
                    s("file:") + serialFile, s("-drive"), s("file=") + disk + s(",format=raw"),
                    s("-m"), s("16"), s("-nic"), s("none")});
    }
    ~Guest()
    {
        qemu.kill();
        qemu.waitForFinished(5000);
    }
    QByteArray serial() const { return readAll(serialFile); }
    // QEMU's own picture of the screen, taken through its monitor.
    QImage screendump() const
    {
        const QString file = display + s(".ppm");
        QFile::remove(file);
        QLocalSocket socket;
        socket.connectToServer(monitor);
        if (!socket.waitForConnected(5000))
            return {};
        socket.write("screendump " + QFile::encodeName(file) + "\n");
        QImage picture;
        if (!QTest::qWaitFor([&] { return picture.load(file); }, 10000))
            return {};
        return picture.convertToFormat(QImage::Format_RGB32);
    }

    QString display;
    QString monitor;
    QString serialFile;
    QProcess qemu;
};

// The colours of the top-left text cell (9 x 16 pixels).
QSet<QRgb> cellColours(const QImage& image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < 16 && y < image.height(); ++y)
        for (int x = 0; x < 9 && x < image.width(); ++x)
            colours.insert(image.pixel(x, y));
    return colours;
}

QByteArray serverInit(quint16 width, quint16 height)
{
    QByteArray init = "RFB 003.008\n\x01\x01" + QByteArray(4, '\0');
    char size[4];
    qToBigEndian(width, size);
    qToBigEndian(height, size + 2);
    init += QByteArray(size, 4);
    // 32 bits a pixel, depth 24, little-endian true colour, red at 16, green at 8, blue at 0.
    init += QByteArray("\x20\x18\x00\x01\x00\xff\x00\xff\x00\xff\x10\x08\x00\x00\x00\x00", 16);
    return init + QByteArray("\0\0\0\x04test", 8);
}

} // namespace

class TestDisplayPanel final : public QObject
{
    Q_OBJECT

private slots:
    void twoGuestsInTwoPanels();
    void badServers_data();
    void badServers();
};

// Two real guests at once: each panel shows its own screen as QEMU itself sees it, takes keys for
// its guest once clicked, keeps the program's shortcuts from firing while it holds the keyboard,
// follows a change of resolution, and empties when its VM ends.
void TestDisplayPanel::twoGuestsInTwoPanels()
{
    if (!QFileInfo(Qemu).isExecutable())
        QSKIP("qemu-system-x86_64 is needed to run a guest");
    QTemporaryDir folder;
    auto first = std::make_unique<Guest>(folder.path(), s("first"), 'A', '\x4e');
    Guest second(folder.path(), s("second"), 'B', '\x1f');
    DisplayPanel one;
    DisplayPanel two;
    // At actual size each panel takes its guest's resolution.
    one.setScaling(DisplayPanel::Scaling::Actual);
    two.setScaling(DisplayPanel::Scaling::Actual);
    one.connectDisplay(first->display);
    two.connectDisplay(second.display);
    QTRY_VERIFY_WITH_TIMEOUT(first->serial().startsWith('R') && second.serial().startsWith('R'),
                             20000);
    const QImage firstScreen = first->screendump();
    const QImage secondScreen = second.screendump();
    QCOMPARE(firstScreen.size(), QSize(720, 400));
    QTRY_COMPARE_WITH_TIMEOUT(one.image(), firstScreen, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(two.image(), secondScreen, 10000);
    QCOMPARE(one.size(), firstScreen.size());
    // Yellow on red, and bright white on blue, in the VGA palette.
    QCOMPARE(cellColours(one.image()), (QSet<QRgb>{qRgb(0xff, 0xff, 0x57), qRgb(0xa8, 0, 0)}));
    QCOMPARE(cellColours(two.image()), (QSet<QRgb>{qRgb(0xff, 0xff, 0xff), qRgb(0, 0, 0xa8)}));

    // As X11 reports the A key (XKB keycode 38, keysym a) it goes as its scancode; the B key,
    // without native codes, as its keysym.
    one.show();
    QApplication::setActiveWindow(&one);
    QVERIFY(QTest::qWaitForWindowActive(&one));
    QAction quit;
    quit.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    one.addAction(&quit);
    QSignalSpy quits(&quit, &QAction::triggered);
    QTest::mouseClick(&one, Qt::LeftButton);
    QVERIFY(one.isGrabbed());
    for (const QEvent::Type type : {QEvent::KeyPress, QEvent::KeyRelease}) {
        QKeyEvent key(type, Qt::Key_A, Qt::NoModifier, 38, 0x61, 0, s("a"));
        QApplication::sendEvent(&one, &key);
    }
    QTest::keyClick(&one, Qt::Key_B);
    QTest::keyClick(&one, Qt::Key_Q, Qt::ControlModifier);
    QTRY_COMPARE_WITH_TIMEOUT(first->serial(), QByteArray("R\x1e\x30\x10"), 10000);
    QCOMPARE(quits.count(), 0);
    QVERIFY(first->qemu.state() == QProcess::Running);

    // Ctrl-Alt gives keyboard and mouse back, and the shortcut works again.
    QTest::keyPress(&one, Qt::Key_Control);
    QTest::keyPress(&one, Qt::Key_Alt, Qt::ControlModifier);
    QVERIFY(!one.isGrabbed());
    QTest::keyRelease(&one, Qt::Key_Alt, Qt::ControlModifier);
    QTest::keyRelease(&one, Qt::Key_Control);
    QTest::keyClick(&one, Qt::Key_Q, Qt::ControlModifier);
    QCOMPARE(quits.count(), 1);

    // Typed text goes as the US keyboard's keys, Shift held for capitals.
    const qsizetype typed = first->serial().size();
    one.typeText(s("aB"));
    QTRY_COMPARE_WITH_TIMEOUT(first->serial().mid(typed), QByteArray("\x1e\x30"), 10000);

    // Enter switches the first guest to 320 x 200 graphics, which QEMU shows as 640 x 400.
    QSignalSpy resized(&one, &DisplayPanel::displayResized);
    QTest::mouseClick(&one, Qt::LeftButton);
    QTest::keyClick(&one, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(first->serial().endsWith("\x1cG"), 10000);
    QTRY_COMPARE_WITH_TIMEOUT(one.size(), QSize(640, 400), 10000);
    QCOMPARE(resized.constLast().first().toSize(), QSize(640, 400));
    const QImage graphics = first->screendump();
    QTRY_COMPARE_WITH_TIMEOUT(one.image(), graphics, 10000);
    QCOMPARE(two.size(), QSize(720, 400));

    // The first VM ends: its panel empties; the other goes on.
    first.reset();
    QTRY_COMPARE_WITH_TIMEOUT(one.state(), DisplayConnection::State::Closed, 10000);
    QVERIFY(one.image().isNull());
    QVERIFY(!one.isGrabbed());
    QCOMPARE(one.size(), DisplayPanel::DefaultSize);
    QCOMPARE(two.state(), DisplayConnection::State::Connected);
}

void TestDisplayPanel::badServers_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("message");
    QTest::addColumn<bool>("closes");
    QTest::newRow("not a VNC server")
        << QByteArray("HTTP/1.1 400 Bad Request\r\n\r\n")
        << s("The VM's display could not be opened: Not a valid VNC server") << false;
    QTest::newRow("no width") << serverInit(0, 480)
                              << s("The VM's display could not be opened: the display reported an "
                                   "unusable size of 0 x 480 pixels")
                              << false;
    QTest::newRow("too wide") << serverInit(16385, 480) << s("unusable size of 16385 x 480")
                              << false;
    QTest::newRow("too tall") << serverInit(640, 40000) << s("unusable size of 640 x 40000")
                              << false;
    QTest::newRow("clipboard too large")
        << serverInit(64, 48) + QByteArray("\x03\0\0\0\xff\x70\0\0", 8)
        << s("broke off: the server's clipboard message is larger than 8 MiB") << false;
    // A raw 64 x 48 update cut off after half its pixels.
    QTest::newRow("closes mid-update")
        << serverInit(64, 48) + QByteArray("\0\0\0\x01\0\0\0\0\0\x40\0\x30\0\0\0\0", 16) +
               QByteArray(64 * 24 * 4, '\x7f')
        << s("The VM's display connection broke off: VNC server closed connection") << true;
}

// Stand-in servers on a Unix socket: no real server sends what a broken or hostile one would.
// Each gives one message however often it is tried, an empty panel, and a responsive window.
void TestDisplayPanel::badServers()
{
    QFETCH(QByteArray, sent);
    QFETCH(QString, message);
    QFETCH(bool, closes);
    QTemporaryDir folder;
    QLocalServer server;
    QVERIFY(server.listen(folder.filePath(s("bad.sock"))));
    int connections = 0;
    connect(&server, &QLocalServer::newConnection, &server, [&server, &connections, sent, closes] {
        ++connections;
        QLocalSocket* peer = server.nextPendingConnection();
        peer->write(sent);
        if (!closes)
            return;
        // Closed once the viewer has sent the last of its set-up, its request for the screen.
        connect(peer, &QLocalSocket::readyRead, peer, [peer, received = QByteArray()]() mutable {
            received += peer->readAll();
            if (received.contains(QByteArray("\x03\0\0\0\0\0\0\x40\0\x30", 10)))
                peer->disconnectFromServer();
        });
    });
    DisplayPanel panel;
    QSignalSpy messages(&panel, &DisplayPanel::statusMessage);
    panel.connectDisplay(server.fullServerName());
    QTRY_COMPARE_WITH_TIMEOUT(messages.count(), 1, 20000);
    QVERIFY2(messages.first().first().toString().contains(message),
             qPrintable(messages.first().first().toString()));
    QCOMPARE(panel.state(), DisplayConnection::State::Failed);
    QVERIFY(panel.image().isNull());
    QCOMPARE(panel.size(), DisplayPanel::DefaultSize);
    QTRY_VERIFY_WITH_TIMEOUT(connections >= 3, 10000);
    QCOMPARE(messages.count(), 1);
}

QTEST_MAIN(TestDisplayPanel)
#include "tst_displaypanel.moc"
