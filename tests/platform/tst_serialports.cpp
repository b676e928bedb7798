#include "platform/SerialPorts.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

enum class Device
{
    None,     // a virtual terminal: no "device" link
    Present,  // hardware behind the port
    Dangling, // the link points at a device that went away
};

// A stand-in for the kernel's sysfs tty class and /dev, laid out in a temporary folder: real
// serial hardware cannot be had where the tests run. As in sysfs, <sys>/class/tty/<name> is a
// link to the port's folder below <sys>/devices, whose "device" link leads to the hardware and
// whose "type" file holds the UART type.
class FakeHost final
{
public:
    bool isValid() const { return m_dir.isValid(); }
    QString sys() const { return m_dir.filePath(u"sys"_s); }
    QString dev() const { return m_dir.filePath(u"dev"_s); }

    // type is written as sysfs shows it, with a newline; a null type writes no file.
    bool addPort(const QString& name, Device device, const QString& type = {},
                 bool deviceNode = true)
    {
        const QDir root(m_dir.path());
        const QString hardware = u"sys/devices/hw-"_s + name;
        const QString portFolder = hardware + u"/tty/"_s + name;
        if (!root.mkpath(portFolder) || !root.mkpath(u"sys/class/tty"_s) || !root.mkpath(u"dev"_s))
            return false;
        if (!QFile::link(root.filePath(portFolder), root.filePath(u"sys/class/tty/"_s + name)))
            return false;
        const QString deviceLink = root.filePath(portFolder + u"/device"_s);
        if (device == Device::Present && !QFile::link(root.filePath(hardware), deviceLink))
            return false;
        if (device == Device::Dangling &&
            !QFile::link(root.filePath(u"sys/devices/gone"_s), deviceLink))
            return false;
        if (!type.isNull() && !write(root.filePath(portFolder + u"/type"_s), type + u'\n'))
            return false;
        return !deviceNode || write(root.filePath(u"dev/"_s + name), QString());
    }

private:
    static bool write(const QString& path, const QString& text)
    {
        QFile file(path);
        const QByteArray bytes = text.toLatin1();
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }

    QTemporaryDir m_dir;
};

} // namespace

class TestSerialPorts final : public QObject
{
    Q_OBJECT

private slots:
    void whichPortsAreListed_data();
    void whichPortsAreListed();
    void order();
    void missingTree();
    void realHost();
};

void TestSerialPorts::whichPortsAreListed_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Device>("device");
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("deviceNode");
    QTest::addColumn<bool>("listed");

    const QString noType;
    QTest::newRow("UART found by the 8250 driver")
        << u"ttyS0"_s << Device::Present << u"4"_s << true << true;
    QTest::newRow("legacy 8250 slot without a UART")
        << u"ttyS1"_s << Device::Present << u"0"_s << true << false;
    QTest::newRow("type 0 with two digits of number")
        << u"ttyS31"_s << Device::Present << u"0"_s << true << false;
    QTest::newRow("UART type above 9") << u"ttyS2"_s << Device::Present << u"10"_s << true << true;
    QTest::newRow("ttyS without a type file")
        << u"ttyS4"_s << Device::Present << noType << true << true;
    QTest::newRow("ttyS without a device") << u"ttyS0"_s << Device::None << u"4"_s << true << false;
    QTest::newRow("device link dangling")
        << u"ttyS0"_s << Device::Dangling << u"4"_s << true << false;
    QTest::newRow("USB serial adapter")
        << u"ttyUSB0"_s << Device::Present << noType << true << true;
    QTest::newRow("USB modem") << u"ttyACM0"_s << Device::Present << noType << true << true;
    QTest::newRow("USB adapter unplugged, entry left")
        << u"ttyUSB1"_s << Device::None << noType << true << false;
    QTest::newRow("no device node") << u"ttyUSB0"_s << Device::Present << noType << false << false;
    QTest::newRow("virtual console") << u"tty1"_s << Device::Present << noType << true << false;
    QTest::newRow("console") << u"console"_s << Device::Present << noType << true << false;
    QTest::newRow("prefix without number")
        << u"ttyS"_s << Device::Present << u"4"_s << true << false;
    QTest::newRow("number with trailing text")
        << u"ttyUSB0a"_s << Device::Present << noType << true << false;
    QTest::newRow("other case") << u"ttyusb0"_s << Device::Present << noType << true << false;
}

void TestSerialPorts::whichPortsAreListed()
{
    QFETCH(QString, name);
    QFETCH(Device, device);
    QFETCH(QString, type);
    QFETCH(bool, deviceNode);
    QFETCH(bool, listed);

    FakeHost host;
    QVERIFY(host.isValid());
    QVERIFY(host.addPort(name, device, type, deviceNode));
    const QStringList expected = listed ? QStringList{host.dev() + u'/' + name} : QStringList{};
    QCOMPARE(ListHostSerialPorts(host.sys(), host.dev()), expected);
}

void TestSerialPorts::order()
{
    FakeHost host;
    QVERIFY(host.isValid());
    for (const QString& name : {u"ttyACM1"_s, u"ttyUSB10"_s, u"ttyS10"_s, u"ttyUSB2"_s, u"ttyS2"_s,
                                u"ttyACM0"_s, u"ttyS0"_s, u"ttyUSB0"_s})
        QVERIFY(
            host.addPort(name, Device::Present, name.startsWith(u"ttyS"_s) ? u"4"_s : QString()));
    QVERIFY(host.addPort(u"ttyS1"_s, Device::Present, u"0"_s));
    QVERIFY(host.addPort(u"tty0"_s, Device::None));

    QStringList expected;
    for (const QString& name : {u"ttyS0"_s, u"ttyS2"_s, u"ttyS10"_s, u"ttyUSB0"_s, u"ttyUSB2"_s,
                                u"ttyUSB10"_s, u"ttyACM0"_s, u"ttyACM1"_s})
        expected.append(host.dev() + u'/' + name);
    QCOMPARE(ListHostSerialPorts(host.sys(), host.dev()), expected);
    // A root given with a trailing separator still yields the paths QEMU is given.
    QCOMPARE(ListHostSerialPorts(host.sys() + u'/', host.dev() + u'/'), expected);
}

void TestSerialPorts::missingTree()
{
    FakeHost host;
    QVERIFY(host.isValid());
    QCOMPARE(ListHostSerialPorts(host.sys(), host.dev()), QStringList{});
    QVERIFY(QDir().mkpath(host.sys() + u"/class/tty"_s));
    QCOMPARE(ListHostSerialPorts(host.sys(), host.dev()), QStringList{});
}

// The real /sys: its ports cannot be known in advance, but whatever is listed must be a device
// node below /dev, listed once, the same on every call.
void TestSerialPorts::realHost()
{
    const QStringList ports = ListHostSerialPorts();
    for (const QString& port : ports) {
        QVERIFY2(port.startsWith(u"/dev/tty"_s), qPrintable(port));
        QVERIFY2(QFileInfo::exists(port), qPrintable(port));
    }
    QCOMPARE(QSet<QString>(ports.cbegin(), ports.cend()).size(), ports.size());
    QCOMPARE(ListHostSerialPorts(), ports);
    qInfo("host serial ports: %s", qPrintable(ports.join(u", "_s)));
}

QTEST_GUILESS_MAIN(TestSerialPorts)
#include "tst_serialports.moc"
