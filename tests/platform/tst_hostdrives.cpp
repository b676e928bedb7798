#include "platform/HostDrives.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <unistd.h>

using HostDrives::DriveType;

// Fake sys and dev trees: each device is a folder of sys/block with its "removable" and
// "size" files, and a regular file in dev standing in for the device.
class TestHostDrives final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void physicalDisks_data();
    void physicalDisks();
    void physicalDiskDevices();
    void driveLetters_data();
    void driveLetters();
    void devicePathOf_data();
    void devicePathOf();
    void deviceSize_data();
    void deviceSize();
    void realHost();

private:
    QString sys() const { return m_dir->filePath(QStringLiteral("sys")); }
    QString dev() const { return m_dir->filePath(QStringLiteral("dev")); }
    QString device(const QString& name) const { return dev() + QLatin1Char('/') + name; }

    // A layout is a list of device names; "+" after a name marks a removable disk, "!" a device
    // that cannot be opened for writing, "-" one whose sys entry exists but whose device does not.
    void layOut(const QString& layout);
    void writeFile(const QString& path, const QByteArray& bytes);
    void makeUnopenable(const QString& name);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestHostDrives::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    QVERIFY(QDir().mkpath(sys() + QStringLiteral("/block")));
    QVERIFY(QDir().mkpath(dev()));
    HostDrives::setRoots({sys(), dev()});
}

void TestHostDrives::cleanup()
{
    HostDrives::setRoots(HostDrives::Roots{});
    m_dir.reset();
}

void TestHostDrives::writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly | QIODevice::Truncate), qPrintable(path));
    QCOMPARE(file.write(bytes), bytes.size());
}

void TestHostDrives::makeUnopenable(const QString& name)
{
    // Root opens a read-only file for writing all the same: there a link to nothing stands in.
    if (::geteuid() == 0) {
        QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("nowhere")), device(name)));
        return;
    }
    writeFile(device(name), QByteArray(512, '\0'));
    QVERIFY(QFile::setPermissions(device(name),
                                  QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
}

void TestHostDrives::layOut(const QString& layout)
{
    const QStringList entries = layout.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (QString name : entries) {
        bool removable = false;
        bool unopenable = false;
        bool missing = false;
        while (name.endsWith(QLatin1Char('+')) || name.endsWith(QLatin1Char('!')) ||
               name.endsWith(QLatin1Char('-'))) {
            removable |= name.endsWith(QLatin1Char('+'));
            unopenable |= name.endsWith(QLatin1Char('!'));
            missing |= name.endsWith(QLatin1Char('-'));
            name.chop(1);
        }
        const QString folder = sys() + QStringLiteral("/block/") + name;
        QVERIFY(QDir().mkpath(folder));
        writeFile(folder + QStringLiteral("/removable"), removable ? "1\n" : "0\n");
        if (missing)
            continue;
        if (unopenable)
            makeUnopenable(name);
        else
            writeFile(device(name), QByteArray(512, '\0'));
    }
}

void TestHostDrives::physicalDisks_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QList<int>>("expected");

    QTest::newRow("disks 0 and 2 present, disk 1 not")
        << QStringLiteral("sda sdb! sdc") << QList<int>{0, 2};
    QTest::newRow("all disks open") << QStringLiteral("sda sdb sdc") << QList<int>{0, 1, 2};
    QTest::newRow("no disk opens") << QStringLiteral("sda! sdb!") << QList<int>{};
    QTest::newRow("device file missing") << QStringLiteral("sda- sdb") << QList<int>{1};
    QTest::newRow("nothing in the sys tree") << QString() << QList<int>{};
    QTest::newRow("loop, ram, network, mapped, RAID, floppy and optical devices are no disks")
        << QStringLiteral("dm-0 fd0 loop0 md0 nbd0 nvme0n1 ram0 sda sr0 zram0") << QList<int>{0, 1};
    QTest::newRow("numbered in name order, not in listing order")
        << QStringLiteral("vda sdb! hda") << QList<int>{0, 2};
    QTest::newRow("removable disks are physical disks too")
        << QStringLiteral("sda sdb+") << QList<int>{0, 1};
}

void TestHostDrives::physicalDisks()
{
    QFETCH(QString, layout);
    QFETCH(QList<int>, expected);
    layOut(layout);
    QCOMPARE(HostDrives::ListPhysicalDisks(), expected);
}

void TestHostDrives::physicalDiskDevices()
{
    layOut(QStringLiteral("sdc sda loop0 sr0 sdb! fd0"));
    QCOMPARE(HostDrives::physicalDiskDevice(0), device(QStringLiteral("sda")));
    // A disk that does not open still keeps its number: the ones after it do not move up.
    QCOMPARE(HostDrives::physicalDiskDevice(1), device(QStringLiteral("sdb")));
    QCOMPARE(HostDrives::physicalDiskDevice(2), device(QStringLiteral("sdc")));
    QCOMPARE(HostDrives::physicalDiskDevice(3), QString());
    QCOMPARE(HostDrives::physicalDiskDevice(-1), QString());
}

void TestHostDrives::driveLetters_data()
{
    QTest::addColumn<QString>("layout");
    QTest::addColumn<QStringList>("floppy");
    QTest::addColumn<QStringList>("cd");
    QTest::addColumn<QStringList>("devices"); // "letter:=device name"

    QTest::newRow("floppy, two optical drives, a removable disk")
        << QStringLiteral("sr1 sda fd0 sdb+ sr0")
        << QStringList{QStringLiteral("A:"), QStringLiteral("F:")}
        << QStringList{QStringLiteral("D:"), QStringLiteral("E:")}
        << QStringList{QStringLiteral("A:=fd0"), QStringLiteral("D:=sr0"), QStringLiteral("E:=sr1"),
                       QStringLiteral("F:=sdb")};
    QTest::newRow("no optical drive: the removable disk takes D:")
        << QStringLiteral("fd0 fd1 sda sdb+ sdc+")
        << QStringList{QStringLiteral("A:"), QStringLiteral("B:"), QStringLiteral("D:"),
                       QStringLiteral("E:")}
        << QStringList{}
        << QStringList{QStringLiteral("A:=fd0"), QStringLiteral("B:=fd1"), QStringLiteral("D:=sdb"),
                       QStringLiteral("E:=sdc")};
    QTest::newRow("a third floppy drive has no letter")
        << QStringLiteral("fd0 fd1 fd2") << QStringList{QStringLiteral("A:"), QStringLiteral("B:")}
        << QStringList{} << QStringList{QStringLiteral("A:=fd0"), QStringLiteral("B:=fd1")};
    QTest::newRow("optical drives only: CD never gives A: or B:")
        << QStringLiteral("sr0 sr1") << QStringList{}
        << QStringList{QStringLiteral("D:"), QStringLiteral("E:")}
        << QStringList{QStringLiteral("D:=sr0"), QStringLiteral("E:=sr1")};
    QTest::newRow("fixed disks get no letter")
        << QStringLiteral("sda sdb") << QStringList{} << QStringList{} << QStringList{};
    QTest::newRow("nothing") << QString() << QStringList{} << QStringList{} << QStringList{};
}

void TestHostDrives::driveLetters()
{
    QFETCH(QString, layout);
    QFETCH(QStringList, floppy);
    QFETCH(QStringList, cd);
    QFETCH(QStringList, devices);
    layOut(layout);

    QCOMPARE(HostDrives::ListHostDrives(DriveType::Floppy), floppy);
    const QStringList cdDrives = HostDrives::ListHostDrives(DriveType::CD);
    QCOMPARE(cdDrives, cd);
    QVERIFY(!cdDrives.contains(QStringLiteral("A:")));
    QVERIFY(!cdDrives.contains(QStringLiteral("B:")));

    for (const QString& pair : std::as_const(devices)) {
        const QString letter = pair.section(QLatin1Char('='), 0, 0);
        const QString name = pair.section(QLatin1Char('='), 1);
        QCOMPARE(HostDrives::driveLetterDevice(letter), device(name));
    }
    QCOMPARE(HostDrives::driveLetterDevice(QStringLiteral("C:")), QString());
    QCOMPARE(HostDrives::driveLetterDevice(QStringLiteral("Z:")), QString());
}

void TestHostDrives::devicePathOf_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("deviceName"); // in the dev root; "=" for unchanged, "" for empty

    const QString unchanged = QStringLiteral("=");
    QTest::newRow("physical disk 0")
        << QStringLiteral("\\\\.\\PhysicalDrive0") << QStringLiteral("sda");
    QTest::newRow("physical disk 2 after an unopenable one")
        << QStringLiteral("\\\\.\\PhysicalDrive2") << QStringLiteral("sdc");
    QTest::newRow("physical disk name in another case")
        << QStringLiteral("\\\\.\\physicaldrive1") << QStringLiteral("sdb");
    QTest::newRow("physical disk the host does not have")
        << QStringLiteral("\\\\.\\PhysicalDrive9") << QString();
    QTest::newRow("physical disk number too large")
        << QStringLiteral("\\\\.\\PhysicalDrive99999999999") << QString();
    QTest::newRow("floppy letter") << QStringLiteral("A:") << QStringLiteral("fd0");
    QTest::newRow("optical letter") << QStringLiteral("D:") << QStringLiteral("sr0");
    QTest::newRow("lower-case letter") << QStringLiteral("e:") << QStringLiteral("sr1");
    QTest::newRow("removable disk letter") << QStringLiteral("F:") << QStringLiteral("sdd");
    QTest::newRow("letter the host does not have") << QStringLiteral("Q:") << QString();

    QTest::newRow("bare file name") << QStringLiteral("disk1.qcow2") << unchanged;
    QTest::newRow("full path") << QStringLiteral("/home/u/x.img") << unchanged;
    QTest::newRow("windows full path") << QStringLiteral("C:\\VMs\\x.img") << unchanged;
    QTest::newRow("drive-relative path") << QStringLiteral("C:x.img") << unchanged;
    QTest::newRow("media value") << QStringLiteral("{VR}\\media\\x.iso") << unchanged;
    QTest::newRow("fat folder") << QStringLiteral("fat:/srv/share") << unchanged;
    QTest::newRow("writable fat folder") << QStringLiteral("fat::rw:/srv/share") << unchanged;
    QTest::newRow("physical drive prefix without number")
        << QStringLiteral("\\\\.\\PhysicalDrive") << unchanged;
    QTest::newRow("physical drive prefix with text")
        << QStringLiteral("\\\\.\\PhysicalDriveX") << unchanged;
    QTest::newRow("digit and colon") << QStringLiteral("1:") << unchanged;
    QTest::newRow("empty") << QString() << unchanged;
}

void TestHostDrives::devicePathOf()
{
    QFETCH(QString, value);
    QFETCH(QString, deviceName);
    layOut(QStringLiteral("fd0 sda sdb! sdc sdd+ sr0 sr1"));
    const QString expected = deviceName == QLatin1String("=") ? value
                             : deviceName.isEmpty()           ? QString()
                                                              : device(deviceName);
    QCOMPARE(HostDrives::devicePathOf(value), expected);
}

void TestHostDrives::deviceSize_data()
{
    QTest::addColumn<QString>("path"); // relative to the temporary folder
    QTest::addColumn<qint64>("expected");

    QTest::newRow("block device counts its sectors")
        << QStringLiteral("dev/sda") << qint64(2048) * 512;
    QTest::newRow("no size in the sys tree: the file's size")
        << QStringLiteral("dev/sdz") << qint64(1000);
    QTest::newRow("unreadable size in the sys tree: the file's size")
        << QStringLiteral("dev/sdy") << qint64(700);
    QTest::newRow("same name outside the dev root: the file's size")
        << QStringLiteral("images/sda") << qint64(10);
    QTest::newRow("image file") << QStringLiteral("images/x.img") << qint64(1474560);
    QTest::newRow("empty file") << QStringLiteral("images/empty.img") << qint64(0);
    QTest::newRow("missing") << QStringLiteral("dev/nothing") << qint64(-1);
    QTest::newRow("folder") << QStringLiteral("images") << qint64(-1);
}

void TestHostDrives::deviceSize()
{
    QFETCH(QString, path);
    QFETCH(qint64, expected);
    layOut(QStringLiteral("sda sdy"));
    writeFile(sys() + QStringLiteral("/block/sda/size"), "2048\n");
    writeFile(sys() + QStringLiteral("/block/sdy/size"), "lots\n");
    writeFile(device(QStringLiteral("sdy")), QByteArray(700, 'y'));
    writeFile(device(QStringLiteral("sdz")), QByteArray(1000, 'z'));
    QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("images"))));
    writeFile(m_dir->filePath(QStringLiteral("images/sda")), QByteArray(10, 'a'));
    writeFile(m_dir->filePath(QStringLiteral("images/x.img")), QByteArray(1474560, '\0'));
    writeFile(m_dir->filePath(QStringLiteral("images/empty.img")), QByteArray());

    QCOMPARE(HostDrives::deviceSize(m_dir->filePath(path)), expected);
}

void TestHostDrives::realHost()
{
    HostDrives::setRoots(HostDrives::Roots{});
    QCOMPARE(HostDrives::roots().sys, QStringLiteral("/sys"));
    QCOMPARE(HostDrives::roots().dev, QStringLiteral("/dev"));

    const QList<int> disks = HostDrives::ListPhysicalDisks();
    for (qsizetype i = 0; i < disks.size(); ++i) {
        QVERIFY(disks.at(i) >= 0 && disks.at(i) < 256);
        if (i > 0)
            QVERIFY(disks.at(i - 1) < disks.at(i));
        QVERIFY(!HostDrives::physicalDiskDevice(disks.at(i)).isEmpty());
    }
    for (const DriveType type : {DriveType::Floppy, DriveType::CD}) {
        const QStringList drives = HostDrives::ListHostDrives(type);
        QStringList sorted = drives;
        sorted.sort();
        QCOMPARE(drives, sorted);
        for (const QString& drive : drives) {
            QCOMPARE(drive.size(), 2);
            QVERIFY(!HostDrives::driveLetterDevice(drive).isEmpty());
        }
        if (type == DriveType::CD) {
            QVERIFY(!drives.contains(QStringLiteral("A:")));
            QVERIFY(!drives.contains(QStringLiteral("B:")));
        }
    }
    QCOMPARE(HostDrives::devicePathOf(QStringLiteral("/home/u/x.img")),
             QStringLiteral("/home/u/x.img"));
    QCOMPARE(HostDrives::deviceSize(QStringLiteral("/nonexistent/device")), qint64(-1));
}

QTEST_GUILESS_MAIN(TestHostDrives)
#include "tst_hostdrives.moc"
