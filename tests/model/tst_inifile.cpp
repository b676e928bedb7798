#include "model/IniFile.h"

#include <QDir>
#include <QFile>
#include <QObject>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QByteArray kComments = "//PLEASE NOTE YOU SHOULD NEVER MANUALLY ALTER THIS FILE - DOING SO "
                             "WILL! CAUSE PROBLEMS\r\n//WITH VIMOR!\r\n";
const QString kDefault = u"<default>"_s;

// The template's comment lines followed by rest.
QByteArray vmText(QByteArrayView rest)
{
    return kComments + rest.toByteArray();
}

} // namespace

class TestIniFile final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void read_data();
    void read();
    void write_data();
    void write();
    void roundTrip_data();
    void roundTrip();
    void rejectsNamesThatCannotBeStored_data();
    void rejectsNamesThatCannotBeStored();
    void deleteKey_data();
    void deleteKey();
    void eraseSection_data();
    void eraseSection();
    void readSectionValues();
    void sectionExists_data();
    void sectionExists();
    void missingFile();
    void pathIsAFolder();
    void failedWriteKeepsOldFile_data();
    void failedWriteKeepsOldFile();
    void unchangedValueIsNotRewritten();

private:
    QString newPath();
    QString fileWith(const QByteArray& bytes);
    static QByteArray contents(const QString& path);

    QTemporaryDir m_dir;
    int m_files = 0;
};

void TestIniFile::initTestCase()
{
    QVERIFY(m_dir.isValid());
}

QString TestIniFile::newPath()
{
    return m_dir.filePath(u"vm%1.vm2"_s.arg(++m_files));
}

QString TestIniFile::fileWith(const QByteArray& bytes)
{
    const QString path = newPath();
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot lay out a test file");
    return path;
}

QByteArray TestIniFile::contents(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

void TestIniFile::read_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain key") << QByteArray("[General]\r\nStatus=Stopped\r\n") << u"General"_s
                               << u"Status"_s << u"Stopped"_s;
    QTest::newRow("section in other case")
        << QByteArray("[HARDWARE]\r\nRAM=256\r\n") << u"hardware"_s << u"RAM"_s << u"256"_s;
    QTest::newRow("key in other case") << QByteArray("[Hardware]\r\ninitrd=/boot/initrd\r\n")
                                       << u"Hardware"_s << u"Initrd"_s << u"/boot/initrd"_s;
    QTest::newRow("non-ASCII names in other case")
        << QByteArray("[G\xC3\xA9n\xC3\xA9ral]\r\n\xC3\x84rger=1\r\n") << u"GÉNÉRAL"_s << u"ärger"_s
        << u"1"_s;
    QTest::newRow("blanks around header and key")
        << QByteArray("  [ Hardware ]  \r\n \tRAM\t =512\r\n") << u"Hardware"_s << u"RAM"_s
        << u"512"_s;
    QTest::newRow("blanks around the asked names")
        << QByteArray("[Hardware]\r\nRAM=512\r\n") << u" Hardware "_s << u"\tRAM "_s << u"512"_s;
    QTest::newRow("value keeps trailing blank") << QByteArray("[Hardware]\r\nKeyboard=de-ch \r\n")
                                                << u"Hardware"_s << u"Keyboard"_s << u"de-ch "_s;
    QTest::newRow("value keeps leading blanks")
        << QByteArray("[General]\r\nWindow Title =  My VM\r\n") << u"General"_s << u"Window Title"_s
        << u"  My VM"_s;
    QTest::newRow("value keeps further equals signs")
        << QByteArray("[Hardware]\r\nAppend=root=/dev/sda1 console=ttyS0\r\n") << u"Hardware"_s
        << u"Append"_s << u"root=/dev/sda1 console=ttyS0"_s;
    QTest::newRow("first of two equal keys")
        << QByteArray("[Hardware]\r\nEnable USB=No\r\nRAM=1\r\nEnable USB=Yes\r\n") << u"Hardware"_s
        << u"Enable USB"_s << u"No"_s;
    QTest::newRow("first of two equal sections")
        << QByteArray("[Audio]\r\nEnable Sound=Yes\r\n[Network]\r\n[audio]\r\nEnable Sound=No\r\n")
        << u"Audio"_s << u"Enable Sound"_s << u"Yes"_s;
    QTest::newRow("key only in the second of two equal sections")
        << QByteArray("[Audio]\r\nEnable Sound=Yes\r\n[Audio]\r\nSID=sb16\r\n") << u"Audio"_s
        << u"SID"_s << kDefault;
    QTest::newRow("key of another section")
        << QByteArray("[General]\r\nRAM=1\r\n[Hardware]\r\nCPUArc=32 Bit\r\n") << u"Hardware"_s
        << u"RAM"_s << kDefault;
    QTest::newRow("missing section")
        << QByteArray("[General]\r\nRAM=1\r\n") << u"Drives"_s << u"RAM"_s << kDefault;
    QTest::newRow("empty value beats the default")
        << QByteArray("[General]\r\nStatusID=\r\n") << u"General"_s << u"StatusID"_s << QString();
    QTest::newRow("key before the first section is not read")
        << vmText("Orphan=1\r\n[General]\r\nStatus=Stopped\r\n") << u"General"_s << u"Orphan"_s
        << kDefault;
    QTest::newRow("key named like the first comment line")
        << vmText("[General]\r\n") << u"General"_s
        << u"//PLEASE NOTE YOU SHOULD NEVER MANUALLY ALTER THIS FILE - DOING SO WILL! CAUSE "
           "PROBLEMS"_s
        << kDefault;
    QTest::newRow("key named like a comment line with an equals sign")
        << QByteArray("//PLEASE NOTE=YOU\r\n[General]\r\nStatus=Stopped\r\n") << u"General"_s
        << u"//PLEASE NOTE"_s << kDefault;
    QTest::newRow("LF-only lines") << QByteArray("[General]\nStatus=Running\nPanelID=3\n")
                                   << u"General"_s << u"PanelID"_s << u"3"_s;
    QTest::newRow("mixed line ends")
        << QByteArray("[General]\nStatus=Running\r\n[Hardware]\nRAM=64\r\nCID=Default\n")
        << u"Hardware"_s << u"RAM"_s << u"64"_s;
    QTest::newRow("last line without line break")
        << QByteArray("[General]\r\nPortID=60001") << u"General"_s << u"PortID"_s << u"60001"_s;
    QTest::newRow("last line cut after CR")
        << QByteArray("[General]\r\nPortID=60001\r") << u"General"_s << u"PortID"_s << u"60001"_s;
    QTest::newRow("CR inside a line stays in the value")
        << QByteArray("[General]\r\nA=x\ry\r\n") << u"General"_s << u"A"_s << u"x\ry"_s;
    QTest::newRow("UTF-8 value") << QByteArray("[General]\r\nOperating System=\xC3\x9C"
                                               "ber \xE6\x97\xA5\xE6\x9C\xAC "
                                               "\xF0\x9F\x99\x82\r\n")
                                 << u"General"_s << u"Operating System"_s << u"Über 日本 🙂"_s;
    QTest::newRow("Latin-1 value") << QByteArray("[General]\r\nOperating System=Caf\xE9\r\n")
                                   << u"General"_s << u"Operating System"_s << u"Café"_s;
    QTest::newRow("overlong UTF-8 reads as Latin-1")
        << QByteArray("[General]\r\nA=\xC0\xAF\r\n") << u"General"_s << u"A"_s << u"\u00C0\u00AF"_s;
    QTest::newRow("byte order mark before the first header")
        << QByteArray("\xEF\xBB\xBF[General]\r\nStatus=Running\r\n") << u"General"_s << u"Status"_s
        << u"Running"_s;
    QTest::newRow("blank and odd lines inside the section")
        << QByteArray("[General]\r\n\r\nodd line\r\n \t \r\nStatus=Running\r\n") << u"General"_s
        << u"Status"_s << u"Running"_s;
    QTest::newRow("NUL bytes on another line")
        << QByteArray("[General]\r\nA=\0\0\r\nStatus=Running\r\n", 33) << u"General"_s
        << u"Status"_s << u"Running"_s;
    QTest::newRow("header without closing bracket is no header")
        << QByteArray("[General]\r\n[Oops\r\nPortID=1\r\n") << u"General"_s << u"PortID"_s
        << u"1"_s;
    QTest::newRow("text after the closing bracket")
        << QByteArray("[General] old\r\nPortID=2\r\n") << u"General"_s << u"PortID"_s << u"2"_s;
    QTest::newRow("empty file") << QByteArray() << u"General"_s << u"Status"_s << kDefault;
    QTest::newRow("empty key asked")
        << QByteArray("[General]\r\n=x\r\n") << u"General"_s << QString() << kDefault;
    QTest::newRow("empty section asked")
        << QByteArray("[]\r\nA=x\r\n") << QString() << u"A"_s << kDefault;
    QTest::newRow("stored non-ASCII name folding to the ASCII one asked")
        << QByteArray("[General]\r\n\xE2\x84\xAA"
                      "ey=1\r\n")
        << u"General"_s << u"key"_s << u"1"_s;
    QTest::newRow("Latin-1 section name")
        << QByteArray("[G\xE9n\xE9ral]\r\nA=1\r\n") << u"g\u00E9n\u00E9ral"_s << u"A"_s << u"1"_s;
    QTest::newRow("names asked holding a line break")
        << QByteArray("[General]\r\nA=1\r\n") << u"General\nA"_s << u"A"_s << kDefault;
}

void TestIniFile::read()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);

    const QString path = fileWith(file);
    QCOMPARE(IniFile(path).read(section, key, kDefault), expected);
    const IniSnapshot snapshot(path);
    for (int i = 0; i < 4; ++i) // the first reads walk the text, the later ones use its index
        QCOMPARE(snapshot.read(section, key, kDefault), expected);
    QCOMPARE(contents(path), file);
}

void TestIniFile::write_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("replace keeps every other line byte for byte")
        << vmText("[General]\r\nStatus=Stopped\nOS=Caf\xE9\r\n  odd \r\n") << u"General"_s
        << u"Status"_s << u"Running"_s
        << vmText("[General]\r\nStatus=Running\nOS=Caf\xE9\r\n  odd \r\n");
    QTest::newRow("replace the first of two equal keys")
        << QByteArray("[Hardware]\r\nEnable USB=No\r\nEnable USB=No\r\n") << u"Hardware"_s
        << u"Enable USB"_s << u"Yes"_s
        << QByteArray("[Hardware]\r\nEnable USB=Yes\r\nEnable USB=No\r\n");
    QTest::newRow("replace in the first of two equal sections")
        << QByteArray("[Audio]\r\nSID=a\r\n[Audio]\r\nSID=b\r\n") << u"audio"_s << u"sid"_s
        << u"c"_s << QByteArray("[Audio]\r\nSID=c\r\n[Audio]\r\nSID=b\r\n");
    QTest::newRow("replace keeps the stored spelling and blanks of the key")
        << QByteArray("[Hardware]\r\n  initrd =\r\n") << u"Hardware"_s << u"Initrd"_s
        << u"/boot/i"_s << QByteArray("[Hardware]\r\n  initrd =/boot/i\r\n");
    QTest::newRow("replace keeps LF-only line ends")
        << QByteArray("[General]\nStatus=Stopped\nPanelID=\n") << u"General"_s << u"Status"_s
        << u"Running"_s << QByteArray("[General]\nStatus=Running\nPanelID=\n");
    QTest::newRow("replace on the last line without line break")
        << QByteArray("[General]\r\nPortID=1") << u"General"_s << u"PortID"_s << u"60002"_s
        << QByteArray("[General]\r\nPortID=60002");
    QTest::newRow("empty value leaves the key")
        << QByteArray("[General]\r\nStatusID=1234\r\nPanelID=3\r\n") << u"General"_s
        << u"StatusID"_s << QString() << QByteArray("[General]\r\nStatusID=\r\nPanelID=3\r\n");
    QTest::newRow("replace re-encodes only the changed Latin-1 line")
        << QByteArray("[A]\r\nName=Caf\xE9\r\nOther=\xE9\r\n") << u"A"_s << u"Name"_s << u"Thé"_s
        << QByteArray("[A]\r\nName=Th\xC3\xA9\r\nOther=\xE9\r\n");
    QTest::newRow("bytes that are not UTF-8 on other lines survive")
        << QByteArray("[A]\r\nx=\xFF\xFE\x80\r\ny=1\r\n") << u"A"_s << u"y"_s << u"2"_s
        << QByteArray("[A]\r\nx=\xFF\xFE\x80\r\ny=2\r\n");
    QTest::newRow("byte order mark survives")
        << QByteArray("\xEF\xBB\xBF[A]\r\nx=1\r\n") << u"A"_s << u"x"_s << u"2"_s
        << QByteArray("\xEF\xBB\xBF[A]\r\nx=2\r\n");
    QTest::newRow("append to a middle section before its blank lines")
        << QByteArray("[A]\r\nx=1\r\n\r\n\r\n[B]\r\ny=2\r\n") << u"A"_s << u"z"_s << u"3"_s
        << QByteArray("[A]\r\nx=1\r\nz=3\r\n\r\n\r\n[B]\r\ny=2\r\n");
    QTest::newRow("append after an odd line of the section")
        << QByteArray("[A]\r\nx=1\r\nodd\r\n\r\n[B]\r\n") << u"A"_s << u"z"_s << u"3"_s
        << QByteArray("[A]\r\nx=1\r\nodd\r\nz=3\r\n\r\n[B]\r\n");
    QTest::newRow("append to an empty section")
        << QByteArray("[Network]\r\n[Advanced]\r\n") << u"Network"_s << u"CardCount"_s << u"1"_s
        << QByteArray("[Network]\r\nCardCount=1\r\n[Advanced]\r\n");
    QTest::newRow("append to a section named in other case")
        << QByteArray("[Hardware]\r\nRAM=1\r\n[Drives]\r\n") << u"HARDWARE"_s << u"CID"_s
        << u"Default"_s << QByteArray("[Hardware]\r\nRAM=1\r\nCID=Default\r\n[Drives]\r\n");
    QTest::newRow("append in an LF-only file") << QByteArray("[A]\nx=1\n[B]\n") << u"A"_s << u"y"_s
                                               << u"2"_s << QByteArray("[A]\nx=1\ny=2\r\n[B]\n");
    QTest::newRow("append to the last section without line break")
        << QByteArray("[A]\r\nx=1") << u"A"_s << u"y"_s << u"2"_s
        << QByteArray("[A]\r\nx=1\r\ny=2\r\n");
    QTest::newRow("append after a last line cut after CR completes its break")
        << QByteArray("[A]\r\nx=1\r") << u"A"_s << u"y"_s << u"2"_s
        << QByteArray("[A]\r\nx=1\r\ny=2\r\n");
    QTest::newRow("new section after a last line cut after CR")
        << QByteArray("[A]\r\nx=1\r") << u"B"_s << u"y"_s << u"2"_s
        << QByteArray("[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
    QTest::newRow("append to a header without line break")
        << QByteArray("[A]") << u"A"_s << u"y"_s << u"2"_s << QByteArray("[A]\r\ny=2\r\n");
    QTest::newRow("append writes the key in the asked spelling without blanks")
        << QByteArray("[A]\r\n") << u"A"_s << u"  Lan Card ID "_s << u"0"_s
        << QByteArray("[A]\r\nLan Card ID=0\r\n");
    QTest::newRow("key named like the comment start goes into its section")
        << QByteArray("//PLEASE NOTE=YOU\r\n[General]\r\n") << u"General"_s << u"//PLEASE NOTE"_s
        << u"x"_s << QByteArray("//PLEASE NOTE=YOU\r\n[General]\r\n//PLEASE NOTE=x\r\n");
    QTest::newRow("new section at the end")
        << QByteArray("[A]\r\nx=1\r\n") << u"Network Card 1"_s << u"MAC"_s << u"52-54-00-12-AB-EF"_s
        << QByteArray("[A]\r\nx=1\r\n[Network Card 1]\r\nMAC=52-54-00-12-AB-EF\r\n");
    QTest::newRow("new section after a last line without line break")
        << QByteArray("[A]\r\nx=1") << u"B"_s << u"y"_s << u"2"_s
        << QByteArray("[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
    QTest::newRow("new section after the comment lines")
        << kComments << u"General"_s << u"Status"_s << u"Stopped"_s
        << vmText("[General]\r\nStatus=Stopped\r\n");
    QTest::newRow("new section into an empty file")
        << QByteArray() << u"B"_s << u"y"_s << u"2"_s << QByteArray("[B]\r\ny=2\r\n");
    QTest::newRow("key before the first section is not replaced")
        << QByteArray("Orphan=1\r\n[A]\r\n") << u"A"_s << u"Orphan"_s << u"2"_s
        << QByteArray("Orphan=1\r\n[A]\r\nOrphan=2\r\n");
    QTest::newRow("line breaks in the value become blanks")
        << QByteArray("[A]\r\nx=1\r\n") << u"A"_s << u"x"_s << u"a\r\nb\rc\nd\n\re"_s
        << QByteArray("[A]\r\nx=a b c d  e\r\n");
    QTest::newRow("a value cannot add a section")
        << QByteArray("[A]\r\n") << u"A"_s << u"x"_s << u"1\r\n[Evil]\r\nk=v"_s
        << QByteArray("[A]\r\nx=1 [Evil] k=v\r\n");
    QTest::newRow("value keeps trailing blank")
        << QByteArray("[Hardware]\r\nKeyboard=en-us\r\n") << u"Hardware"_s << u"Keyboard"_s
        << u"de-ch "_s << QByteArray("[Hardware]\r\nKeyboard=de-ch \r\n");
    QTest::newRow("UTF-8 value") << QByteArray("[A]\r\n") << u"A"_s << u"OS"_s << u"Größe 🙂"_s
                                 << QByteArray("[A]\r\nOS=Gr\xC3\xB6\xC3\x9F"
                                               "e \xF0\x9F\x99\x82\r\n");
}

void TestIniFile::write()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QByteArray, expected);

    const QString path = fileWith(file);
    QString error;
    QVERIFY2(IniFile(path).write(section, key, value, &error), qPrintable(error));
    QCOMPARE(contents(path), expected);
}

void TestIniFile::roundTrip_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << u"Running"_s << u"Running"_s;
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("trailing blank") << u"de-ch "_s << u"de-ch "_s;
    QTest::newRow("only blanks") << u"  \t "_s << u"  \t "_s;
    QTest::newRow("equals signs") << u"a=b=c"_s << u"a=b=c"_s;
    QTest::newRow("brackets") << u"[General]"_s << u"[General]"_s;
    QTest::newRow("comment characters") << u"; # // not a comment"_s << u"; # // not a comment"_s;
    QTest::newRow("path macro") << u"{VR}\\media\\x.iso"_s << u"{VR}\\media\\x.iso"_s;
    QTest::newRow("list") << u"CD/DVD Drive|Hard Drive"_s << u"CD/DVD Drive|Hard Drive"_s;
    QTest::newRow("Latin-1 range") << u"café ñ"_s << u"café ñ"_s;
    QTest::newRow("beyond Latin-1")
        << u"Ελληνικά 日本語 🙂"_s << u"Ελληνικά 日本語 🙂"_s;
    QTest::newRow("CR LF") << u"a\r\nb"_s << u"a b"_s;
    QTest::newRow("trailing LF") << u"a\n"_s << u"a "_s;
    QTest::newRow("long") << QString(100000, u'x') << QString(100000, u'x');
}

void TestIniFile::roundTrip()
{
    QFETCH(QString, value);
    QFETCH(QString, expected);

    const QString path = fileWith(vmText("[General]\r\nStatus=Stopped\r\n[Hardware]\r\nRAM=1\r\n"));
    const IniFile ini(path);
    QVERIFY(ini.write(u"General"_s, u"Value"_s, value));
    QVERIFY(ini.write(u"New"_s, u"Value"_s, value));
    QCOMPARE(ini.read(u"General"_s, u"Value"_s, kDefault), expected);
    QCOMPARE(ini.read(u"New"_s, u"Value"_s, kDefault), expected);
    // Neighbours are untouched whatever the value holds.
    QCOMPARE(ini.read(u"General"_s, u"Status"_s), u"Stopped"_s);
    QCOMPARE(ini.read(u"Hardware"_s, u"RAM"_s), u"1"_s);
    QVERIFY(contents(path).startsWith(kComments));
    QVERIFY(!ini.sectionExists(u"Evil"_s));
}

void TestIniFile::rejectsNamesThatCannotBeStored_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");

    QTest::newRow("empty section") << QString() << u"A"_s;
    QTest::newRow("blank section") << u"  "_s << u"A"_s;
    QTest::newRow("section with line break") << u"A\r\n[B"_s << u"A"_s;
    QTest::newRow("empty key") << u"A"_s << QString();
    QTest::newRow("blank key") << u"A"_s << u" \t"_s;
    QTest::newRow("key with equals sign") << u"A"_s << u"a=b"_s;
    QTest::newRow("key with line break") << u"A"_s << u"a\nb"_s;
    QTest::newRow("key that reads as a header") << u"A"_s << u"[B]"_s;
}

void TestIniFile::rejectsNamesThatCannotBeStored()
{
    QFETCH(QString, section);
    QFETCH(QString, key);

    const QByteArray original = kComments + "[A]\r\nx=1\r\n";
    const QString path = fileWith(original);
    QString error;
    QVERIFY(!IniFile(path).write(section, key, u"v"_s, &error));
    QVERIFY(!error.isEmpty());
    QCOMPARE(contents(path), original);
    QCOMPARE(IniFile(path).read(section, key, kDefault), kDefault);
}

void TestIniFile::deleteKey_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("first of two equal keys") << QByteArray("[A]\r\nx=1\r\ny=2\r\nx=3\r\n") << u"A"_s
                                             << u"x"_s << QByteArray("[A]\r\ny=2\r\nx=3\r\n");
    QTest::newRow("names in other case")
        << QByteArray("[Hardware]\r\nDock Vimor=Yes\r\nRAM=1\r\n") << u"hardware"_s
        << u"DOCK VIMOR"_s << QByteArray("[Hardware]\r\nRAM=1\r\n");
    QTest::newRow("last line without line break")
        << QByteArray("[A]\r\nx=1\r\ny=2") << u"A"_s << u"y"_s << QByteArray("[A]\r\nx=1\r\n");
    QTest::newRow("LF-only line") << QByteArray("[A]\nx=1\ny=2\n") << u"A"_s << u"x"_s
                                  << QByteArray("[A]\ny=2\n");
    QTest::newRow("missing key leaves the file")
        << QByteArray("[A]\r\nx=1\r\n[B]\r\ny=2\r\n") << u"A"_s << u"y"_s
        << QByteArray("[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
    QTest::newRow("missing section leaves the file")
        << QByteArray("[A]\r\nx=1\r\n") << u"B"_s << u"x"_s << QByteArray("[A]\r\nx=1\r\n");
    QTest::newRow("line before the first section stays")
        << vmText("x=0\r\n[A]\r\nx=1\r\n") << u"A"_s << u"x"_s << vmText("x=0\r\n[A]\r\n");
}

void TestIniFile::deleteKey()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QByteArray, expected);

    const QString path = fileWith(file);
    QString error;
    QVERIFY2(IniFile(path).deleteKey(section, key, &error), qPrintable(error));
    QCOMPARE(contents(path), expected);
}

void TestIniFile::eraseSection_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray cards = vmText("[Network]\r\nCardCount=2\r\n[Network Card 1]\r\nMAC=Auto\r\n"
                                    "VLAN=0\r\n[Network Card 2]\r\nMAC=Auto\r\n");
    QTest::newRow("middle section") << cards << u"network card 1"_s
                                    << vmText("[Network]\r\nCardCount=2\r\n"
                                              "[Network Card 2]\r\nMAC=Auto\r\n");
    QTest::newRow("last section") << cards << u"Network Card 2"_s
                                  << vmText("[Network]\r\nCardCount=2\r\n"
                                            "[Network Card 1]\r\nMAC=Auto\r\nVLAN=0\r\n");
    QTest::newRow("first of two equal sections")
        << QByteArray("[A]\r\nx=1\r\n[B]\r\n[A]\r\nx=2\r\n") << u"A"_s
        << QByteArray("[B]\r\n[A]\r\nx=2\r\n");
    QTest::newRow("with its blank and odd lines")
        << QByteArray("[A]\r\nx=1\r\n\r\nodd\r\n\r\n[B]\r\ny=2") << u"A"_s
        << QByteArray("[B]\r\ny=2");
    QTest::newRow("missing section leaves the file") << cards << u"Network Card 3"_s << cards;
}

void TestIniFile::eraseSection()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QByteArray, expected);

    const QString path = fileWith(file);
    QString error;
    QVERIFY2(IniFile(path).eraseSection(section, &error), qPrintable(error));
    QCOMPARE(contents(path), expected);
}

void TestIniFile::readSectionValues()
{
    const QString path = fileWith(vmText("[USB Device 1]\r\nType=HW\r\n\r\n odd\r\n ProductName = "
                                         "Stick \r\nType=DRIVE\nDrivePath=C:\\d\xE9.img\r\n"
                                         "[USB Device 2]\r\nType=MOUSE\r\n"));
    const IniFile ini(path);
    QCOMPARE(ini.readSectionValues(u"usb device 1"_s),
             QStringList({u"Type=HW"_s, u"ProductName= Stick "_s, u"Type=DRIVE"_s,
                          u"DrivePath=C:\\dé.img"_s}));
    QCOMPARE(ini.readSectionValues(u"USB Device 2"_s), QStringList({u"Type=MOUSE"_s}));
    QCOMPARE(ini.readSectionValues(u"USB Device 3"_s), QStringList());
}

void TestIniFile::sectionExists_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<bool>("exists");

    QTest::newRow("same case") << u"Serial Port 1"_s << true;
    QTest::newRow("other case") << u"SERIAL PORT 1"_s << true;
    QTest::newRow("empty section") << u"Network"_s << true;
    QTest::newRow("missing") << u"Serial Port 2"_s << false;
    QTest::newRow("prefix only") << u"Serial Port"_s << false;
    QTest::newRow("comment line") << u"//WITH VIMOR!"_s << false;
    QTest::newRow("empty name") << QString() << false;
}

void TestIniFile::sectionExists()
{
    QFETCH(QString, section);
    QFETCH(bool, exists);

    const QString path =
        fileWith(vmText("[Network]\r\n[Serial Port 1]\r\nSerialTy=0\r\n[Parallel Port 1]\r\n"));
    QCOMPARE(IniFile(path).sectionExists(section), exists);
}

void TestIniFile::missingFile()
{
    const QString path = newPath();
    const IniFile ini(path);
    QCOMPARE(ini.read(u"General"_s, u"Status"_s), QString());
    QCOMPARE(ini.read(u"General"_s, u"Status"_s, kDefault), kDefault);
    QVERIFY(!ini.sectionExists(u"General"_s));
    QCOMPARE(ini.readSectionValues(u"General"_s), QStringList());
    QVERIFY(ini.deleteKey(u"General"_s, u"Status"_s));
    QVERIFY(ini.eraseSection(u"General"_s));
    QVERIFY2(!QFile::exists(path), "nothing to remove must not create the file");

    QString error;
    QVERIFY2(ini.write(u"General"_s, u"Status"_s, u"Stopped"_s, &error), qPrintable(error));
    QCOMPARE(contents(path), QByteArray("[General]\r\nStatus=Stopped\r\n"));
}

void TestIniFile::pathIsAFolder()
{
    const QString path = m_dir.filePath(u"folder.vm2"_s);
    QVERIFY(QDir().mkpath(path));
    const IniFile ini(path);
    QCOMPARE(ini.read(u"General"_s, u"Status"_s, kDefault), kDefault);
    QCOMPARE(ini.readSectionValues(u"General"_s), QStringList());
    QVERIFY(!ini.sectionExists(u"General"_s));
    QString error;
    QVERIFY(!ini.write(u"General"_s, u"Status"_s, u"x"_s, &error));
    QVERIFY(error.contains(path));
    error.clear();
    QVERIFY(!ini.deleteKey(u"General"_s, u"Status"_s, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(QFileInfo(path).isDir());
}

void TestIniFile::failedWriteKeepsOldFile_data()
{
    QTest::addColumn<QString>("cause");

    QTest::newRow("read-only folder") << u"read-only folder"_s;
    // Writing without having read the old file would lose every other key.
    QTest::newRow("unreadable file") << u"unreadable file"_s;
    // The file size limit fails the write part way through, as a full disk would.
    QTest::newRow("write cut short") << u"size limit"_s;
    // A file smaller than the write buffer reaches the disk only when it is flushed.
    QTest::newRow("small file cut short") << u"small size limit"_s;
}

void TestIniFile::failedWriteKeepsOldFile()
{
    QFETCH(QString, cause);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString path = folder.filePath(u"vm.vm2"_s);
    const QByteArray original = kComments + "[General]\r\nStatus=Stopped\r\nOS=\xE9\r\n";
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(original), original.size());
    }
    const QString bigValue(64 * 1024, u'x');
    QString error;
    bool written = true;
    if (cause == u"read-only folder"_s) {
        if (::geteuid() == 0)
            QSKIP("root writes into read-only folders");
        QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner));
        written = IniFile(path).write(u"General"_s, u"Status"_s, bigValue, &error);
        QFile::setPermissions(folder.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    } else if (cause == u"unreadable file"_s) {
        if (::geteuid() == 0)
            QSKIP("root reads files without read permission");
        QVERIFY(QFile::setPermissions(path, QFile::WriteOwner));
        written = IniFile(path).write(u"General"_s, u"Status"_s, u"Running"_s, &error);
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    } else {
        rlimit saved{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
        rlimit limited = saved;
        const bool small = cause == u"small size limit"_s;
        limited.rlim_cur = small ? 64 : 4096;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
        written =
            IniFile(path).write(u"General"_s, u"Status"_s, small ? u"Running"_s : bigValue, &error);
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);
    }
    QVERIFY(!written);
    QVERIFY2(error.contains(path), qPrintable(error));
    QCOMPARE(contents(path), original);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList({u"vm.vm2"_s}));
}

void TestIniFile::unchangedValueIsNotRewritten()
{
    const QString path = fileWith(vmText("[General]\r\nStatus=Stopped\r\n"));
    const auto inode = [&path] {
        struct stat info = {};
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_ino : 0;
    };
    const auto before = inode();
    QVERIFY(before != 0);
    QVERIFY(IniFile(path).write(u"general"_s, u"STATUS"_s, u"Stopped"_s));
    QCOMPARE(inode(), before);
    // A real change replaces the file as a whole rather than writing into it.
    QVERIFY(IniFile(path).write(u"General"_s, u"Status"_s, u"Running"_s));
    QVERIFY(inode() != before);
}

QTEST_GUILESS_MAIN(TestIniFile)
#include "tst_inifile.moc"
