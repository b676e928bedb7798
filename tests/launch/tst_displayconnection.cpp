#include "launch/DisplayConnection.h"

#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <memory>

namespace {

using State = DisplayConnection::State;

// A real QEMU held before its first instruction: its display and clipboard serve all the same.
struct Kill
{
    void operator()(QProcess* qemu) const
    {
        qemu->kill();
        qemu->waitForFinished(5000);
        delete qemu;
    }
};
using Vm = std::unique_ptr<QProcess, Kill>;

Vm startVm(const QString& display)
{
    Vm qemu(new QProcess);
    qemu->start(QStringLiteral("/usr/bin/qemu-system-x86_64"),
                QStringLiteral("-S -display none -m 16 -nic none -device virtio-serial-pci "
                               "-chardev qemu-vdagent,id=vdagent,clipboard=on -device "
                               "virtserialport,chardev=vdagent,name=com.redhat.spice.0 -vnc")
                        .split(QLatin1Char(' ')) +
                    QStringList{QStringLiteral("unix:") + display});
    return qemu;
}

} // namespace

class TestDisplayConnection final : public QObject
{
    Q_OBJECT

private slots:
    void lastsThroughQemuRestarts();
    void asksForAResolution();
};

// QEMU comes late, ends, and comes again on the same socket: the connection follows it, tells only
// of the first wait, and shares QEMU's clipboard (the one its vdagent gives the guest) with another
// viewer, in UTF-8, both staying connected through QEMU's extended clipboard messages.
void TestDisplayConnection::lastsThroughQemuRestarts()
{
    QTemporaryDir folder;
    const QString display = folder.filePath(QStringLiteral("vm.sock"));
    DisplayConnection connection;
    DisplayConnection other;
    QSignalSpy failures(&connection, &DisplayConnection::failed);
    QSignalSpy sizes(&connection, &DisplayConnection::frameResized);
    QSignalSpy atOther(&other, &DisplayConnection::clipboardTextReceived);
    connection.setClipboardSharing(true);
    connection.open(display);
    QTRY_COMPARE_WITH_TIMEOUT(failures.count(), 1, 10000);
    QVERIFY(failures.first().first().toString().contains(QStringLiteral("could not be reached")));
    QCOMPARE(connection.state(), State::Connecting);
    auto vm = startVm(display);
    QTRY_COMPARE_WITH_TIMEOUT(connection.state(), State::Connected, 10000);
    QCOMPARE(sizes.count(), 1);
    // QEMU ends once its first screen is in: ending in the middle of an update is breaking off.
    auto drawn = [&connection, any = false]() mutable {
        connection.readFrame([&any](const quint32* pixels, QSize size, quint64) {
            any = *std::max_element(pixels, pixels + size.width() * size.height()) > 0xff000000u;
        });
        return any;
    };
    QTRY_VERIFY_WITH_TIMEOUT(drawn(), 10000);
    vm.reset();
    QTRY_COMPARE_WITH_TIMEOUT(connection.state(), State::Closed, 10000);
    QVERIFY(connection.frameSize().isEmpty());
    vm = startVm(display);
    other.setClipboardSharing(true);
    other.open(display);
    QTRY_VERIFY_WITH_TIMEOUT(
        connection.state() == State::Connected && other.state() == State::Connected, 10000);
    QCOMPARE(sizes.count(), 2);
    QCOMPARE(failures.count(), 1);
    connection.offerClipboardText(QStringLiteral("Grüße ✓"));
    QTRY_COMPARE_WITH_TIMEOUT(atOther.count(), 1, 10000);
    QCOMPARE(atOther.first().first().toString(), QStringLiteral("Grüße ✓"));
    QVERIFY(connection.state() == State::Connected && other.state() == State::Connected);
}

// A stand-in server, as only a guest with a virtio GPU takes a resolution: it answers as QEMU 7.2
// does (an extended size change, unasked for, of one screen named 0); then the guest follows.
void TestDisplayConnection::asksForAResolution()
{
    QTemporaryDir folder;
    QLocalServer server;
    QVERIFY(server.listen(folder.filePath(QStringLiteral("server.sock"))));
    QLocalSocket* peer = nullptr;
    QByteArray received;
    connect(&server, &QLocalServer::newConnection, &server, [&] {
        peer = server.nextPendingConnection();
        // 64 x 48, 32 bits a pixel, depth 24, true colour, red at 16, green at 8, blue at 0.
        peer->write("RFB 003.008\n" + QByteArray::fromHex("0101 00000000 0040 0030 2018 0001 00ff "
                                                          "00ff 00ff 1008 0000 0000 0000 0001 76"));
        connect(peer, &QLocalSocket::readyRead, peer, [&] { received += peer->readAll(); });
    });
    DisplayConnection connection;
    QSignalSpy sizes(&connection, &DisplayConnection::frameResized);
    connection.open(server.fullServerName());
    QTRY_COMPARE_WITH_TIMEOUT(connection.state(), State::Connected, 10000);
    connection.requestDesktopSize(QSize(800, 20000));
    QTRY_VERIFY_WITH_TIMEOUT(received.contains(QByteArray::fromHex(
                                 "fb00 0320 4000 0100 00000000 00000000 0320 4000 00000000")),
                             10000);
    peer->write(QByteArray::fromHex("00000001 0001 0004 0040 0030 fffffecc 01000000 00000000 "
                                    "00000000 0040 0030 00000000"));
    peer->write(QByteArray::fromHex("00000001 0000 0000 0320 0258 ffffff21"));
    QTRY_COMPARE_WITH_TIMEOUT(sizes.count(), 2, 10000);
    QCOMPARE(sizes.last().first().toSize(), QSize(800, 600));
}

QTEST_MAIN(TestDisplayConnection)
#include "tst_displayconnection.moc"
