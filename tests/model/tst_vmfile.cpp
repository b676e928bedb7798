#include "model/IniFile.h"
#include "model/VMFile.h"

#include <QDir>
#include <QFile>
#include <QObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

const QString kFirstComment =
    u"//PLEASE NOTE YOU SHOULD NEVER MANUALLY ALTER THIS FILE - DOING SO WILL! CAUSE PROBLEMS"_s;
const QString kSecondComment = u"//WITH VIMOR!"_s;

const QStringList kTemplateSections = {
    u"General"_s,  u"Hardware"_s,    u"Drives"_s, u"Audio"_s,         u"Network"_s,
    u"Advanced"_s, u"USB Devices"_s, u"Ports"_s,  u"Serial Port 1"_s, u"Parallel Port 1"_s,
};

QByteArray contents(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

QStringList expectedTemplate(bool bootOrderStyle)
{
    QStringList lines = {
        kFirstComment,
        kSecondComment,
        u"[General]"_s,
        u"Version=2.0"_s,
        u"Window Title={VM NAME}"_s,
        u"Operating System="_s,
        u"Last Run="_s,
        u"Status=Stopped"_s,
        u"StatusID="_s,
        u"[Hardware]"_s,
        u"RAM="_s,
        u"Enable USB=No"_s,
        u"Full Screen Display=No"_s,
        u"Do Not Start CPU=No"_s,
        u"Simulate ISA=No"_s,
        u"Use Local Time=Yes"_s,
        u"Do Not Apply=No"_s,
        u"Enable WIN2K Hack=No"_s,
        u"Enable USB=No"_s,
        u"Enable Bluetooth=No"_s,
        u"BTKeyboard=No"_s,
        u"Hard Disk Size="_s,
        u"Processors=1"_s,
        u"semihosting=No"_s,
        u"VNC Server=No"_s,
        u"VNC Number=1"_s,
        u"Keyboard=en-us"_s,
        u"KeyboardIndex=5"_s,
        u"USB Tablet=No"_s,
        u"Network=Yes"_s,
        u"[Drives]"_s,
        u"HDA="_s,
        u"HDB="_s,
        u"HDC="_s,
        u"HDD="_s,
        u"CDROM="_s,
        u"FloppyA="_s,
        u"FloppyB="_s,
    };
    if (bootOrderStyle)
        lines << u"Boot Menu=No"_s << u"BootOrder=CD/DVD Drive|Hard Drive"_s;
    else
        lines << u"Boot Drive=Hard Disk"_s << u"Boot Drive ID=0"_s << u"Boot Menu=No"_s;
    lines << QStringList{
        u"[Audio]"_s,
        u"Enable Sound=Yes"_s,
        u"[Network]"_s,
        u"[Advanced]"_s,
        u"Audio Output=Direct Sound"_s,
        u"AOID=0"_s,
        u"AOItem=dsound"_s,
        u"OverrideAll=No"_s,
        u"OverrideString="_s,
        u"SavedState="_s,
        u"USBString="_s,
        u"SDL=No"_s,
        u"NoReboot=No"_s,
        u"ACPI=No"_s,
        u"Affinity=Disabled"_s,
        u"AffinityCPU="_s,
        u"Process=Normal"_s,
        u"Debug=No"_s,
        u"Monitor=No"_s,
        u"Name=No"_s,
        u"MachineTypeIndex=0"_s,
        u"ProcessIndex=1"_s,
        u"Enable HAL Hack=No"_s,
        u"Disable Boot Signature=No"_s,
        u"Disable HPET=No"_s,
        u"Bios=Default"_s,
        u"Start Time=Now"_s,
        u"[USB Devices]"_s,
        u"Count=0"_s,
        u"[Ports]"_s,
        u"SerialCount=1"_s,
        u"ParallelCount=1"_s,
        u"[Serial Port 1]"_s,
        u"SerialTy=0"_s,
        u"Serial=Console"_s,
        u"IP=0.0.0.0"_s,
        u"Port=4444"_s,
        u"listen=0"_s,
        u"wait=0"_s,
        u"[Parallel Port 1]"_s,
        u"ParallelTy=0"_s,
        u"Parallel=Console"_s,
    };
    return lines;
}

// The file as lines, failing on anything but CR LF line ends and a final line break.
bool splitCrLf(const QByteArray& bytes, QStringList* lines, QString* problem)
{
    if (!bytes.endsWith("\r\n")) {
        *problem = u"no final CR LF"_s;
        return false;
    }
    const QString text = QString::fromUtf8(bytes.chopped(2));
    *lines = text.split(u"\r\n"_s);
    for (const QString& line : std::as_const(*lines)) {
        if (line.contains(u'\r') || line.contains(u'\n')) {
            *problem = u"bare CR or LF in: "_s + line.left(80);
            return false;
        }
    }
    return true;
}

// "<n>:" followed by n copies of one letter, as the writer makes them; empty when never written.
bool isWholeValue(const QString& value)
{
    if (value.isEmpty())
        return true;
    const qsizetype colon = value.indexOf(u':');
    bool ok = false;
    const int length = value.left(colon).toInt(&ok);
    if (colon < 1 || !ok || value.size() != colon + 1 + length)
        return false;
    const QString letters = value.mid(colon + 1);
    return letters.isEmpty() || letters.count(letters.front()) == length;
}

} // namespace

class TestVMFile final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void templateLines_data();
    void templateLines();
    void templateBootBlocks_data();
    void templateBootBlocks();
    void templateTruncatesOldFile();
    void templateFailureWritesNothing_data();
    void templateFailureWritesNothing();
    void oddCharactersInPath();
    void enableUsbFirstOccurrence();
    void namesInAnyCase_data();
    void namesInAnyCase();
    void commentLinesSurviveEveryWrite();
    void countListItems_data();
    void countListItems();
    void generateMac();
    void randomId_data();
    void randomId();
    void randomIdUsesWholeAlphabet();
    void fileStaysWholeWhenWriterIsKilled();

private:
    QString newTemplate(bool bootOrderStyle = true);

    QTemporaryDir m_dir;
    int m_files = 0;
};

void TestVMFile::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QString TestVMFile::newTemplate(bool bootOrderStyle)
{
    const QString path = m_dir.filePath(u"VM %1.vm2"_s.arg(++m_files));
    QString error;
    if (!WriteVMTemplate(path, bootOrderStyle, &error))
        qFatal("cannot write the template: %s", qPrintable(error));
    return path;
}

void TestVMFile::templateLines_data()
{
    QTest::addColumn<bool>("bootOrderStyle");
    QTest::newRow("boot order block") << true;
    QTest::newRow("boot drive block") << false;
}

void TestVMFile::templateLines()
{
    QFETCH(bool, bootOrderStyle);

    const QString path = newTemplate(bootOrderStyle);
    QStringList lines;
    QString problem;
    QVERIFY2(splitCrLf(contents(path), &lines, &problem), qPrintable(problem));
    QCOMPARE(lines, expectedTemplate(bootOrderStyle));
    QVERIFY(!lines.contains(QString()));
}

void TestVMFile::templateBootBlocks_data()
{
    QTest::addColumn<bool>("bootOrderStyle");
    QTest::addColumn<QString>("bootOrder");
    QTest::addColumn<QString>("bootDrive");
    QTest::addColumn<QString>("bootDriveId");

    QTest::newRow("boot order") << true << u"CD/DVD Drive|Hard Drive"_s << QString() << QString();
    QTest::newRow("boot drive") << false << QString() << u"Hard Disk"_s << u"0"_s;
}

void TestVMFile::templateBootBlocks()
{
    QFETCH(bool, bootOrderStyle);
    QFETCH(QString, bootOrder);
    QFETCH(QString, bootDrive);
    QFETCH(QString, bootDriveId);

    const QString path = newTemplate(bootOrderStyle);
    QCOMPARE(ReadVMFileValue(path, u"Drives"_s, u"BootOrder"_s), bootOrder);
    QCOMPARE(ReadVMFileValue(path, u"Drives"_s, u"Boot Drive"_s), bootDrive);
    QCOMPARE(ReadVMFileValue(path, u"Drives"_s, u"Boot Drive ID"_s), bootDriveId);
    QCOMPARE(ReadVMFileValue(path, u"Drives"_s, u"Boot Menu"_s), u"No"_s);
    const QStringList drives = IniFile(path).readSectionValues(u"Drives"_s);
    QCOMPARE(drives.size(), bootOrderStyle ? 9 : 10);
    if (!bootOrderStyle) {
        QVERIFY(drives.indexOf(u"Boot Drive ID=0"_s) < drives.indexOf(u"Boot Menu=No"_s));
        QVERIFY(drives.indexOf(u"Boot Drive=Hard Disk"_s) < drives.indexOf(u"Boot Drive ID=0"_s));
    }
}

void TestVMFile::templateTruncatesOldFile()
{
    const QString path = m_dir.filePath(u"old.vm2"_s);
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(10000, 'x') + "\r\n[Old Section]\r\nOld=1\r\n");
    }
    QVERIFY(WriteVMTemplate(path, false));
    QCOMPARE(contents(path), contents(newTemplate(false)));
    QVERIFY(!IniFile(path).sectionExists(u"Old Section"_s));
}

void TestVMFile::templateFailureWritesNothing_data()
{
    QTest::addColumn<QString>("path");

    QTest::newRow("missing folder") << u"no such folder/VM.vm2"_s;
    QTest::newRow("path is a folder") << u"folder.vm2"_s;
}

void TestVMFile::templateFailureWritesNothing()
{
    QFETCH(QString, path);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(QDir(folder.path()).mkdir(u"folder.vm2"_s));
    const QStringList before = QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden);
    QString error;
    QVERIFY(!WriteVMTemplate(folder.filePath(path), true, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden), before);
    QVERIFY(QDir(folder.filePath(u"folder.vm2"_s)).isEmpty());
}

void TestVMFile::oddCharactersInPath()
{
    // VM names are free text and become file names.
    const QString path = m_dir.filePath(u"Ünïcode VM [1] #&; 'x' 日本.vm2"_s);
    QVERIFY(WriteVMTemplate(path, true));
    QVERIFY(WriteVMFileValue(path, u"General"_s, u"Operating System"_s, u"Windows 98"_s));
    QCOMPARE(ReadVMFileValue(path, u"General"_s, u"Operating System"_s), u"Windows 98"_s);
    QCOMPARE(ReadVMFileValue(path, u"General"_s, u"Status"_s), u"Stopped"_s);
}

void TestVMFile::enableUsbFirstOccurrence()
{
    const QString path = newTemplate();
    QCOMPARE(ReadVMFileValue(path, u"Hardware"_s, u"Enable USB"_s), u"No"_s);
    QVERIFY(WriteVMFileValue(path, u"Hardware"_s, u"Enable USB"_s, u"Yes"_s));
    QCOMPARE(ReadVMFileValue(path, u"Hardware"_s, u"Enable USB"_s), u"Yes"_s);

    QStringList expected = expectedTemplate(true);
    expected[expected.indexOf(u"Enable USB=No"_s)] = u"Enable USB=Yes"_s;
    QStringList lines;
    QString problem;
    QVERIFY2(splitCrLf(contents(path), &lines, &problem), qPrintable(problem));
    QCOMPARE(lines, expected);
}

void TestVMFile::namesInAnyCase_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("writtenKey");
    QTest::addColumn<QString>("readKey");
    QTest::addColumn<QString>("readSection");

    QTest::newRow("initrd / Initrd")
        << u"Hardware"_s << u"initrd"_s << u"Initrd"_s << u"Hardware"_s;
    QTest::newRow("HDCSCSI / HDCScsi")
        << u"Drives"_s << u"HDCSCSI"_s << u"HDCScsi"_s << u"drives"_s;
    QTest::newRow("MID / mid") << u"Hardware"_s << u"MID"_s << u"mid"_s << u"HARDWARE"_s;
    QTest::newRow("Mid / MID") << u"Hardware"_s << u"Mid"_s << u"MID"_s << u"Hardware"_s;
    QTest::newRow("MAC / Mac in a new section")
        << u"Network Card 1"_s << u"MAC"_s << u"Mac"_s << u"network card 1"_s;
}

void TestVMFile::namesInAnyCase()
{
    QFETCH(QString, section);
    QFETCH(QString, writtenKey);
    QFETCH(QString, readKey);
    QFETCH(QString, readSection);

    const QString path = newTemplate();
    QVERIFY(WriteVMFileValue(path, section, writtenKey, u"first"_s));
    QCOMPARE(ReadVMFileValue(path, readSection, readKey), u"first"_s);
    // Writing under the other spelling replaces the value instead of adding a second key.
    QVERIFY(WriteVMFileValue(path, readSection, readKey, u"second"_s));
    QCOMPARE(ReadVMFileValue(path, section, writtenKey), u"second"_s);
    const QStringList values = IniFile(path).readSectionValues(section);
    QCOMPARE(values
                 .filter(QRegularExpression(u"^"_s + writtenKey + u"="_s,
                                            QRegularExpression::CaseInsensitiveOption))
                 .size(),
             1);
}

void TestVMFile::commentLinesSurviveEveryWrite()
{
    const QString path = newTemplate();
    const QByteArray comments = (kFirstComment + u"\r\n"_s + kSecondComment + u"\r\n"_s).toUtf8();
    QVERIFY(contents(path).startsWith(comments));

    const QList<std::function<bool()>> changes = {
        [&] { return WriteVMFileValue(path, u"General"_s, u"Status"_s, u"Running"_s); },
        [&] { return WriteVMFileValue(path, u"General"_s, u"VMID"_s, RandomId(20)); },
        [&] { return WriteVMFileValue(path, u"Network Card 1"_s, u"MAC"_s, GenerateMac()); },
        [&] { return WriteVMFileValue(path, u"General"_s, u"LaunchString"_s, u"-a\r\n-b"_s); },
        [&] { return IniFile(path).deleteKey(u"General"_s, u"Status"_s); },
        [&] { return IniFile(path).eraseSection(u"General"_s); },
        [&] { return IniFile(path).eraseSection(u"Network Card 1"_s); },
        [&] { return WriteVMFileValue(path, u"General"_s, u"Status"_s, u"Stopped"_s); },
    };
    for (qsizetype i = 0; i < changes.size(); ++i) {
        QVERIFY2(changes[i](), qPrintable(u"change %1"_s.arg(i)));
        QVERIFY2(contents(path).startsWith(comments), qPrintable(u"change %1"_s.arg(i)));
        for (const QString& section : {u"General"_s, u"Hardware"_s, u"Network Card 1"_s}) {
            QCOMPARE(ReadVMFileValue(path, section, kFirstComment), QString());
            QCOMPARE(ReadVMFileValue(path, section, u"//PLEASE NOTE"_s), QString());
        }
    }
}

void TestVMFile::countListItems_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("count");

    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("one item") << u"Hard Drive"_s << 1;
    QTest::newRow("blank is one item") << u" "_s << 1;
    QTest::newRow("two items") << u"CD/DVD Drive|Hard Drive"_s << 2;
    QTest::newRow("three items") << u"Floppy Drive|Hard Drive|Network"_s << 3;
    QTest::newRow("bar alone") << u"|"_s << 2;
    QTest::newRow("trailing bar") << u"tcp:5555::22|"_s << 2;
    QTest::newRow("empty items") << u"||"_s << 3;
}

void TestVMFile::countListItems()
{
    QFETCH(QString, value);
    QFETCH(int, count);
    QCOMPARE(CountListItems(value), count);
}

void TestVMFile::generateMac()
{
    static const QRegularExpression format(u"^52-54-00-[0-9A-F]{2}-[0-9A-F]{2}-[0-9A-F]{2}$"_s);
    QSet<QString> addresses;
    QSet<QString> bytes[3];
    for (int i = 0; i < 2000; ++i) {
        const QString mac = GenerateMac();
        QCOMPARE(mac.size(), 17);
        QVERIFY2(format.match(mac).hasMatch(), qPrintable(mac));
        addresses.insert(mac);
        for (int b = 0; b < 3; ++b)
            bytes[b].insert(mac.mid(9 + 3 * b, 2));
    }
    // Each of the three bytes is drawn over the whole range: 2000 draws of 256 values leave
    // practically none unseen, and over all 6000 draws every value from 00 to FF turns up.
    QSet<QString> all;
    for (const QSet<QString>& seen : bytes) {
        QVERIFY2(seen.size() > 230, qPrintable(QString::number(seen.size())));
        all.unite(seen);
    }
    QCOMPARE(all.size(), 256);
    QVERIFY(addresses.size() > 1990);
}

void TestVMFile::randomId_data()
{
    QTest::addColumn<int>("length");
    QTest::newRow("none") << 0;
    QTest::newRow("negative") << -5;
    QTest::newRow("one") << 1;
    QTest::newRow("store and VM") << 20;
    QTest::newRow("QEMU version") << 50;
}

void TestVMFile::randomId()
{
    QFETCH(int, length);

    static const QRegularExpression alphabet(
        u"^[1234567890abcdefghijklmnopqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ]*$"_s);
    const QString id = RandomId(length);
    QCOMPARE(id.size(), qMax(length, 0));
    QVERIFY2(alphabet.match(id).hasMatch(), qPrintable(id));
}

void TestVMFile::randomIdUsesWholeAlphabet()
{
    const QString alphabet = u"1234567890abcdefghijklmnopqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ"_s;
    QCOMPARE(alphabet.size(), 60);
    QSet<QString> ids;
    QSet<QChar> seen;
    // Back-to-back calls, as when several stores are added in one go, must still differ.
    for (int i = 0; i < 1000; ++i) {
        const QString id = RandomId(20);
        ids.insert(id);
        for (const QChar c : id)
            seen.insert(c);
    }
    QCOMPARE(ids.size(), 1000);
    QCOMPARE(seen.size(), 60);
    QVERIFY(!seen.contains(u'I'));
    QVERIFY(!seen.contains(u'O'));
}

void TestVMFile::fileStaysWholeWhenWriterIsKilled()
{
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(u"Crash.vm2"_s);
    QVERIFY(WriteVMTemplate(path, true));
    const QByteArray comments = (kFirstComment + u"\r\n"_s + kSecondComment + u"\r\n"_s).toUtf8();

    constexpr int rounds = 40;
    QSet<QString> ramValues;
    for (int round = 0; round < rounds; ++round) {
        QProcess writer;
        writer.start(QStringLiteral(INIWRITER_PATH), {path});
        QVERIFY2(writer.waitForStarted(5000), qPrintable(writer.errorString()));
        QVERIFY2(writer.waitForReadyRead(5000), writer.readAllStandardError().constData());
        QThread::usleep(QRandomGenerator::global()->bounded(200u, 15000u));
        QCOMPARE(writer.state(), QProcess::Running);
        writer.kill();
        QVERIFY(writer.waitForFinished(5000));

        const QString where = u"round %1"_s.arg(round);
        const QByteArray bytes = contents(path);
        QVERIFY2(bytes.startsWith(comments), qPrintable(where));
        QStringList lines;
        QString problem;
        QVERIFY2(splitCrLf(bytes, &lines, &problem), qPrintable(where + u": "_s + problem));
        for (qsizetype i = 2; i < lines.size(); ++i) {
            const QString& line = lines[i];
            const bool header = line.startsWith(u'[') && line.endsWith(u']');
            QVERIFY2(header || line.contains(u'='), qPrintable(where + u": "_s + line.left(80)));
        }
        const IniFile ini(path);
        for (const QString& section : kTemplateSections)
            QVERIFY2(ini.sectionExists(section), qPrintable(where + u": "_s + section));
        QCOMPARE(ini.readSectionValues(u"Parallel Port 1"_s),
                 QStringList({u"ParallelTy=0"_s, u"Parallel=Console"_s}));
        QCOMPARE(ini.read(u"Hardware"_s, u"Enable USB"_s), u"No"_s);
        QVERIFY2(isWholeValue(ini.read(u"General"_s, u"LaunchString"_s)), qPrintable(where));
        QVERIFY2(isWholeValue(ini.read(u"Hardware"_s, u"PromEnv"_s)), qPrintable(where));
        QVERIFY2(isWholeValue(ini.read(u"Network Card 2"_s, u"Redirectors"_s)), qPrintable(where));
        ramValues.insert(ini.read(u"Hardware"_s, u"RAM"_s));
    }
    // The writer got some way each time, and was not always stopped at the same point.
    QVERIFY(!ramValues.contains(QString()));
    QVERIFY(ramValues.size() > 1);
}

QTEST_GUILESS_MAIN(TestVMFile)
#include "tst_vmfile.moc"
