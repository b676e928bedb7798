#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "support/TempProgramFolder.h"
#include "support/TestFiles.h"
#include "versions/PackageTestFixtures.h"
#include "versions/Packages.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(ZipEntry)
Q_DECLARE_METATYPE(ServedFile)
Q_DECLARE_METATYPE(ExtractLimits)

namespace {

const QByteArray GoodPackage =
    "items=1\r\nItem1=qemu-0.12.5.zip\r\nItem1Desc=QEMU 0.12.5\r\nItem1Ver=0";

// Every file, folder and link below a folder, as relative paths, sorted.
QStringList tree(const QString& folder)
{
    QStringList names;
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        names.append(QDir(folder).relativeFilePath(it.next()));
    names.sort();
    return names;
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

} // namespace

class TestPackages : public QObject
{
    Q_OBJECT

private slots:
    void parseList_data();
    void parseList();
    void missingNamesReadEmpty();
    void checksums();
    void safeFileNames_data();
    void safeFileNames();
    void installFolderAndUrls();
    void versionRow_data();
    void versionRow();
    void extractKeepsFoldersAndOverwrites();
    void hostileArchivesWriteNothingOutside_data();
    void hostileArchivesWriteNothingOutside();
    void brokenArchivesFail_data();
    void brokenArchivesFail();
    void httpGet_data();
    void httpGet();
    void httpGetIntoFile();
};

void TestPackages::parseList_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("count"); // -1: the list is refused
    QTest::addColumn<QString>("firstFile");
    QTest::addColumn<QString>("firstDesc");
    QTest::addColumn<QString>("firstCode");

    QTest::newRow("example") << GoodPackage << 1 << "qemu-0.12.5.zip"
                             << "QEMU 0.12.5"
                             << "0";
    QTest::newRow("names in any case")
        << QByteArray("ITEMS=1\nITEM1=a.zip\nitem1desc=A\niTeM1vEr=2\n") << 1 << "a.zip"
        << "A"
        << "2";
    QTest::newRow("CR only") << QByteArray("items=1\rItem1=b.zip\rItem1Desc=B\rItem1Ver=1") << 1
                             << "b.zip"
                             << "B"
                             << "1";
    QTest::newRow("value keeps later =")
        << QByteArray("items=1\nItem1=c.zip\nItem1Desc=x=y\n") << 1 << "c.zip"
        << "x=y"
        << "";
    QTest::newRow("first of two lines wins")
        << QByteArray("items=2\nItems=5\nItem1=d.zip\nItem1=e.zip\n") << 2 << "d.zip"
        << ""
        << "";
    QTest::newRow("lines without = ignored")
        << QByteArray("[General]\n# comment\nitems=1\nItem1=f.zip\n") << 1 << "f.zip"
        << ""
        << "";
    QTest::newRow("items 0") << QByteArray("items=0\nItem1=a.zip") << -1 << ""
                             << ""
                             << "";
    QTest::newRow("no items line") << QByteArray("Item1=a.zip\nItem1Desc=A") << -1 << ""
                                   << ""
                                   << "";
    QTest::newRow("empty list") << QByteArray() << -1 << ""
                                << ""
                                << "";
    QTest::newRow("items empty") << QByteArray("items=\nItem1=a.zip") << -1 << ""
                                 << ""
                                 << "";
    QTest::newRow("items not a number") << QByteArray("items=two") << -1 << ""
                                        << ""
                                        << "";
    QTest::newRow("items negative") << QByteArray("items=-1") << -1 << ""
                                    << ""
                                    << "";
    QTest::newRow("items fraction") << QByteArray("items=1.5") << -1 << ""
                                    << ""
                                    << "";
    QTest::newRow("blank before =") << QByteArray("items =1\nItem1=a.zip") << -1 << ""
                                    << ""
                                    << "";
    QTest::newRow("absurd count") << QByteArray("items=2000000000") << -1 << ""
                                  << ""
                                  << "";
}

void TestPackages::parseList()
{
    QFETCH(QByteArray, text);
    QFETCH(int, count);
    const auto packages = ParsePackageList(text);
    if (count < 0) {
        QVERIFY(!packages);
        return;
    }
    QVERIFY(packages);
    QCOMPARE(packages->size(), count);
    QTEST(packages->first().fileName, "firstFile");
    QTEST(packages->first().description, "firstDesc");
    QTEST(packages->first().code, "firstCode");
}

void TestPackages::missingNamesReadEmpty()
{
    const auto packages = ParsePackageList("items=3\nItem1=a.zip\nItem3=c.zip\nItem3Ver=1\n");
    QVERIFY(packages);
    QCOMPARE(packages->size(), 3);
    QCOMPARE(packages->at(1).fileName, QString());
    QCOMPARE(packages->at(2).fileName, QStringLiteral("c.zip"));
    QCOMPARE(packages->at(2).code, QStringLiteral("1"));
    // "Item1" must not be read from "Item10" or the other way round.
    const auto ten = ParsePackageList("items=1\nItem10=x.zip\nItem1Desc=D\n");
    QVERIFY(ten);
    QCOMPARE(ten->first().fileName, QString());
}

void TestPackages::checksums()
{
    const QByteArray sum(64, 'a');
    const auto packages =
        ParsePackageList("items=2\nItem1=a.zip\nITEM1sha256= " + sum.toUpper() + "\nItem2=b.zip");
    QVERIFY(packages);
    QVERIFY(MatchesPackageSha256(packages->at(0), sum.toUpper()));
    QVERIFY(!MatchesPackageSha256(packages->at(0), QByteArray(64, 'b')));
    QCOMPARE(packages->at(1).sha256, QString()); // an older list: not verified
    QVERIFY(!MatchesPackageSha256(packages->at(1), QByteArray()));
}

void TestPackages::safeFileNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("safe");
    QTest::newRow("plain") << "qemu-0.12.5.zip" << true;
    QTest::newRow("blank inside") << "qemu 0.12.zip" << true;
    QTest::newRow("climbs") << "../evil.zip" << false;
    QTest::newRow("dots alone") << "...." << false;
    QTest::newRow("folder part") << "sub/evil.zip" << false;
    QTest::newRow("backslash folder") << "sub\\evil.zip" << false;
    QTest::newRow("absolute") << "/tmp/evil.zip" << false;
    QTest::newRow("drive") << "C:evil.zip" << false;
    QTest::newRow("extension only") << ".zip" << false;
    QTest::newRow("dot stem") << "..zip" << false;
    QTest::newRow("blank stem") << "    .zip" << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("control character") << "a\nb.zip" << false;
}

void TestPackages::safeFileNames()
{
    QFETCH(QString, name);
    QTEST(IsSafePackageFileName(name), "safe");
    QCOMPARE(PackageInstallFolder(name).isEmpty(), !IsSafePackageFileName(name));
}

void TestPackages::installFolderAndUrls()
{
    TempProgramFolder folder;
    QCOMPARE(PackageInstallFolder(QStringLiteral("qemu-0.12.5.zip")),
             QDir::toNativeSeparators(folder.path() + QStringLiteral("/qemu-0.12.5")));
    QCOMPARE(PackageListUrl(QStringLiteral("http://h:8/pk")).toString(),
             QStringLiteral("http://h:8/pk/vers.inf"));
    QCOMPARE(PackageArchiveUrl(QStringLiteral("http://h:8/pk"), QStringLiteral("q 1#.zip"))
                 .toString(QUrl::FullyEncoded),
             QStringLiteral("http://h:8/pk/q%201%23.zip"));
}

void TestPackages::versionRow_data()
{
    QTest::addColumn<QString>("code");
    // VERSION, VERID, KQEMU, USB, INT, FMOD, CONSOLE, BT, DEFAULT
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("code 0") << "0"
                            << QStringList{QStringLiteral("QEMU 0.12 and above"),
                                           QStringLiteral("0"),
                                           QStringLiteral("No"),
                                           QStringLiteral("Yes"),
                                           QStringLiteral("Yes"),
                                           QStringLiteral("No"),
                                           QStringLiteral("No"),
                                           QStringLiteral("Yes"),
                                           QStringLiteral("No")};
    QTest::newRow("code 1") << "1"
                            << QStringList{QStringLiteral("QEMU 0.11.x"), QStringLiteral("1"),
                                           QStringLiteral("Yes"),         QStringLiteral("Yes"),
                                           QStringLiteral("Yes"),         QStringLiteral("No"),
                                           QStringLiteral("Yes"),         QStringLiteral("Yes"),
                                           QStringLiteral("No")};
    QTest::newRow("code 2") << "2"
                            << QStringList{QStringLiteral("QEMU 0.10.x"), QStringLiteral("2"),
                                           QStringLiteral("Yes"),         QStringLiteral("Yes"),
                                           QStringLiteral("Yes"),         QStringLiteral("No"),
                                           QStringLiteral("Yes"),         QStringLiteral("Yes"),
                                           QStringLiteral("No")};
    QTest::newRow("code 3") << "3" << QStringList{QStringLiteral(""), QStringLiteral(""),
                                                  QStringLiteral(""), QStringLiteral(""),
                                                  QStringLiteral(""), QStringLiteral(""),
                                                  QStringLiteral(""), QStringLiteral(""),
                                                  QStringLiteral("")};
    QTest::newRow("code empty") << "" << QStringList{QStringLiteral(""), QStringLiteral(""),
                                                     QStringLiteral(""), QStringLiteral(""),
                                                     QStringLiteral(""), QStringLiteral(""),
                                                     QStringLiteral(""), QStringLiteral(""),
                                                     QStringLiteral("")};
    QTest::newRow("code 01") << "01" << QStringList{QStringLiteral(""), QStringLiteral(""),
                                                    QStringLiteral(""), QStringLiteral(""),
                                                    QStringLiteral(""), QStringLiteral(""),
                                                    QStringLiteral(""), QStringLiteral(""),
                                                    QStringLiteral("")};
}

void TestPackages::versionRow()
{
    QFETCH(QString, code);
    QFETCH(QStringList, fields);
    TempProgramFolder folder;
    TableHandle versions;
    versions.setFolder(folder.path());
    versions.setTableName(TableSchemas::VersionTable);
    const Package package{QStringLiteral("q.zip"), QStringLiteral("My QEMU"), code, {}};
    const QString path = folder.path() + QStringLiteral("/q");
    QString error;
    QVERIFY2(AddPackageVersion(versions, package, path, &error), qPrintable(error));
    QVERIFY2(AddPackageVersion(versions, package, path, &error), qPrintable(error));

    TableHandle check;
    check.setFolder(folder.path());
    check.setTableName(TableSchemas::VersionTable);
    QVERIFY(check.open());
    check.first();
    const QString firstId = check.fieldValue(QStringLiteral("ID"));
    QCOMPARE(firstId.size(), 50);
    QCOMPARE(check.fieldValue(QStringLiteral("DESC")), QStringLiteral("My QEMU"));
    QCOMPARE(check.fieldValue(QStringLiteral("PATH")), path);
    QCOMPARE(check.fieldValue(QStringLiteral("BOOT")), QString());
    const QStringList names = QStringLiteral("VERSION VERID KQEMU USB INT FMOD CONSOLE BT DEFAULT")
                                  .split(QLatin1Char(' '));
    for (qsizetype i = 0; i < names.size(); ++i)
        QCOMPARE(check.fieldValue(names.at(i)), fields.at(i));
    // The same package again: a second row with its own identifier.
    check.next();
    QVERIFY(!check.eof());
    QCOMPARE(check.fieldValue(QStringLiteral("DESC")), QStringLiteral("My QEMU"));
    QCOMPARE(check.fieldValue(QStringLiteral("ID")).size(), 50);
    QVERIFY(check.fieldValue(QStringLiteral("ID")) != firstId);
}

void TestPackages::extractKeepsFoldersAndOverwrites()
{
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("install"));
    QVERIFY(writeFile(target + QStringLiteral("/bin/qemu.exe"), "old contents that are longer"));
    QVERIFY(writeFile(target + QStringLiteral("/keep.txt"), "kept"));
    const QByteArray zip = MakeZip({{"bin/", {}, ZipEntry::Folder, {}, 0},
                                    {"bin/qemu.exe", "new", ZipEntry::File, {}, 0},
                                    {"pc-bios/deep/bios.bin", "bios", ZipEntry::File, {}, 0},
                                    {"windows\\style.txt", "w", ZipEntry::File, {}, 0},
                                    {"docs/link", {}, ZipEntry::Link, "../bin/qemu.exe", 0},
                                    {"own", {}, ZipEntry::Link, "pc-bios/deep", 0}});
    QVERIFY(!zip.isEmpty());
    // A link climbing with ".." is refused even when it would stay inside; checked below.
    const QByteArray safeZip = MakeZip({{"bin/", {}, ZipEntry::Folder, {}, 0},
                                        {"bin/qemu.exe", "new", ZipEntry::File, {}, 0},
                                        {"pc-bios/deep/bios.bin", "bios", ZipEntry::File, {}, 0},
                                        {"windows\\style.txt", "w", ZipEntry::File, {}, 0},
                                        {"own", {}, ZipEntry::Link, "pc-bios/deep", 0}});
    const QString archive = dir.filePath(QStringLiteral("p.zip"));
    QVERIFY(writeFile(archive, safeZip));
    QList<QPair<qint64, qint64>> reports;
    QString error;
    QVERIFY2(ExtractPackage(
                 archive, target,
                 [&reports](qint64 done, qint64 total) {
                     reports.append({done, total});
                 },
                 &error),
             qPrintable(error));
    QCOMPARE(readFile(target + QStringLiteral("/bin/qemu.exe")), QByteArray("new"));
    QCOMPARE(readFile(target + QStringLiteral("/pc-bios/deep/bios.bin")), QByteArray("bios"));
    QCOMPARE(readFile(target + QStringLiteral("/windows/style.txt")), QByteArray("w"));
    QCOMPARE(readFile(target + QStringLiteral("/keep.txt")), QByteArray("kept"));
    QCOMPARE(QFileInfo(target + QStringLiteral("/own")).symLinkTarget(),
             QFileInfo(target + QStringLiteral("/pc-bios/deep")).absoluteFilePath());
    QVERIFY(reports.size() >= 2);
    QCOMPARE(reports.constLast().first, QFileInfo(archive).size());
    QCOMPARE(reports.constLast().second, QFileInfo(archive).size());

    QVERIFY(writeFile(archive, zip));
    QVERIFY(!ExtractPackage(archive, target, {}, &error));
}

void TestPackages::hostileArchivesWriteNothingOutside_data()
{
    QTest::addColumn<QList<ZipEntry>>("entries");
    QTest::addColumn<QString>("existingLink"); // a link "link" in the folder beforehand, to this
    QTest::addColumn<ExtractLimits>("limits");
    QTest::addColumn<bool>("extracts");

    const ExtractLimits normal;
    QTest::newRow("dot dot") << QList<ZipEntry>{{"ok.txt", "ok", ZipEntry::File, {}, 0},
                                                {"../evil", "evil", ZipEntry::File, {}, 0}}
                             << "" << normal << false;
    QTest::newRow("dot dot inside the path")
        << QList<ZipEntry>{{"a/../../evil", "evil", ZipEntry::File, {}, 0}} << "" << normal
        << false;
    QTest::newRow("dot dot with backslashes")
        << QList<ZipEntry>{{"a\\..\\..\\evil", "evil", ZipEntry::File, {}, 0}} << "" << normal
        << false;
    QTest::newRow("absolute") << QList<ZipEntry>{{"/abs/evil", "evil", ZipEntry::File, {}, 0}} << ""
                              << normal << false;
    QTest::newRow("absolute into outside")
        << QList<ZipEntry>{{"@OUTSIDE@/evil", "evil", ZipEntry::File, {}, 0}} << "" << normal
        << false;
    QTest::newRow("link out then through it")
        << QList<ZipEntry>{{"link", {}, ZipEntry::Link, "@OUTSIDE@", 0},
                           {"link/x", "evil", ZipEntry::File, {}, 0}}
        << "" << normal << false;
    QTest::newRow("link to /tmp then through it")
        << QList<ZipEntry>{{"link", {}, ZipEntry::Link, "/tmp", 0},
                           {"link/x", "evil", ZipEntry::File, {}, 0}}
        << "" << normal << false;
    QTest::newRow("link climbing")
        << QList<ZipEntry>{{"up", {}, ZipEntry::Link, "..", 0}} << "" << normal << false;
    QTest::newRow("through a link the archive made")
        << QList<ZipEntry>{{"sub/", {}, ZipEntry::Folder, {}, 0},
                           {"in", {}, ZipEntry::Link, "sub", 0},
                           {"in/x", "evil", ZipEntry::File, {}, 0}}
        << "" << normal << false;
    QTest::newRow("through a link already there")
        << QList<ZipEntry>{{"link/x", "evil", ZipEntry::File, {}, 0}} << "@OUTSIDE@" << normal
        << false;
    QTest::newRow("file over a link already there replaces the link")
        << QList<ZipEntry>{{"link", "inside", ZipEntry::File, {}, 0}} << "@OUTSIDE@/victim"
        << normal << true;
    ExtractLimits small;
    small.maxTotalBytes = 1024 * 1024;
    QTest::newRow("bomb")
        << QList<ZipEntry>{{"zeros.bin", {}, ZipEntry::File, {}, 64 * 1024 * 1024}} << "" << small
        << false;
    QTest::newRow("many small files past the limit")
        << QList<ZipEntry>{{"a", {}, ZipEntry::File, {}, 600 * 1024},
                           {"b", {}, ZipEntry::File, {}, 600 * 1024}}
        << "" << small << false;
    ExtractLimits few;
    few.maxEntries = 2;
    QTest::newRow("too many entries") << QList<ZipEntry>{{"a", "1", ZipEntry::File, {}, 0},
                                                         {"b", "2", ZipEntry::File, {}, 0},
                                                         {"c", "3", ZipEntry::File, {}, 0}}
                                      << "" << few << false;
}

void TestPackages::hostileArchivesWriteNothingOutside()
{
    QFETCH(QList<ZipEntry>, entries);
    QFETCH(QString, existingLink);
    QFETCH(ExtractLimits, limits);
    QFETCH(bool, extracts);

    QTemporaryDir dir;
    const QString outside = dir.filePath(QStringLiteral("outside"));
    const QString target = dir.filePath(QStringLiteral("nest/install"));
    QVERIFY(writeFile(outside + QStringLiteral("/victim"), "precious"));
    QVERIFY(QDir().mkpath(target));
    for (ZipEntry& entry : entries) {
        entry.path.replace("@OUTSIDE@", QFile::encodeName(outside));
        entry.target.replace("@OUTSIDE@", QFile::encodeName(outside));
    }
    if (!existingLink.isEmpty())
        QVERIFY(QFile::link(existingLink.replace(QStringLiteral("@OUTSIDE@"), outside),
                            target + QStringLiteral("/link")));
    const QString archive = dir.filePath(QStringLiteral("nest/p.zip"));
    QVERIFY(writeFile(archive, MakeZip(entries)));
    QVERIFY(QFileInfo(archive).size() > 0);
    const QStringList before = tree(dir.path());
    const QString cwd = QDir::currentPath();

    QString error;
    QCOMPARE(ExtractPackage(archive, target, {}, &error, limits), extracts);
    QCOMPARE(QDir::currentPath(), cwd);
    // Nothing new or changed beside the install folder, wherever the archive pointed.
    QStringList after = tree(dir.path());
    after.removeIf(
        [](const QString& name) { return name.startsWith(QStringLiteral("nest/install")); });
    QStringList expected = before;
    expected.removeIf(
        [](const QString& name) { return name.startsWith(QStringLiteral("nest/install")); });
    QCOMPARE(after, expected);
    QCOMPARE(readFile(outside + QStringLiteral("/victim")), QByteArray("precious"));
    QVERIFY(!QFileInfo::exists(QStringLiteral("/abs/evil")));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("evil"))));
    QVERIFY(!QFileInfo::exists(dir.filePath(QStringLiteral("nest/evil"))));
    if (extracts)
        QCOMPARE(readFile(target + QStringLiteral("/link")), QByteArray("inside"));
    if (QTest::currentDataTag() == QByteArray("bomb"))
        QVERIFY(QFileInfo(target + QStringLiteral("/zeros.bin")).size() <= limits.maxTotalBytes);
}

void TestPackages::brokenArchivesFail_data()
{
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray good = MakeZip({{"a.txt", QByteArray(100000, 'a'), ZipEntry::File, {}, 0},
                                     {"b.txt", QByteArray(100000, 'b'), ZipEntry::File, {}, 0}});
    QTest::newRow("truncated") << good.left(good.size() / 2);
    QTest::newRow("not an archive") << QByteArray("<html>Not Found</html>");
    QTest::newRow("empty file") << QByteArray();
}

void TestPackages::brokenArchivesFail()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString archive = dir.filePath(QStringLiteral("p.zip"));
    QVERIFY(writeFile(archive, bytes));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("install"))));
    QString error;
    QVERIFY(!ExtractPackage(archive, dir.filePath(QStringLiteral("install")), {}, &error));
    QVERIFY(!error.isEmpty());
    QVERIFY(!ExtractPackage(dir.filePath(QStringLiteral("missing.zip")),
                            dir.filePath(QStringLiteral("install")), {}, &error));
}

void TestPackages::httpGet_data()
{
    QTest::addColumn<ServedFile>("served");
    QTest::addColumn<bool>("ok");
    QTest::newRow("whole") << ServedFile{200, GoodPackage, ServedFile::Whole} << true;
    QTest::newRow("empty body") << ServedFile{200, {}, ServedFile::Whole} << true;
    QTest::newRow("not found") << ServedFile{404, "gone", ServedFile::Whole} << false;
    QTest::newRow("server error") << ServedFile{500, "broken", ServedFile::Whole} << false;
    QTest::newRow("closed halfway")
        << ServedFile{200, QByteArray(200000, 'x'), ServedFile::CloseHalfway} << false;
    QTest::newRow("stalled") << ServedFile{200, QByteArray(1000, 'x'), ServedFile::StallHalfway}
                             << false;
    QTest::newRow("larger than kept in memory")
        << ServedFile{200, QByteArray(2 * 1024 * 1024, 'x'), ServedFile::Whole} << false;
}

void TestPackages::httpGet()
{
    QFETCH(ServedFile, served);
    QFETCH(bool, ok);
    PackageServer server;
    server.put("/vers.inf", served);
    HttpGet get;
    get.setStallTimeout(500);
    // The server has no TLS: each row also shows the way back to the address as given.
    get.setPreferHttps(true);
    QSignalSpy finished(&get, &HttpGet::finished);
    get.start(PackageListUrl(server.baseUrl()));
    QVERIFY(finished.wait(10000));
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().toBool(), ok);
    QCOMPARE(get.succeeded(), ok);
    QCOMPARE(get.tooLarge(), QByteArray(QTest::currentDataTag()).startsWith("larger"));
    QCOMPARE(get.url().scheme(), QStringLiteral("http"));
    if (ok)
        QCOMPARE(get.data(), served.body);
    else
        QVERIFY(!get.errorText().isEmpty());
    QCOMPARE(server.requests("/vers.inf"), 1);
}

void TestPackages::httpGetIntoFile()
{
    PackageServer server;
    const QByteArray body(3 * 1024 * 1024 + 17, 'z');
    server.put("/big%20one.zip", ServedFile{200, body, ServedFile::Whole});
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("big one.zip")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    HttpGet get;
    get.setMaxBytes(body.size()); // a body of just the cap passes
    QSignalSpy finished(&get, &HttpGet::finished);
    QList<QPair<qint64, qint64>> reports;
    connect(&get, &HttpGet::progress, this, [&reports](qint64 received, qint64 total) {
        reports.append({received, total});
    });
    get.start(PackageArchiveUrl(server.baseUrl(), QStringLiteral("big one.zip")), &file);
    QVERIFY(finished.wait(10000));
    QVERIFY2(get.succeeded(), qPrintable(get.errorText()));
    file.close();
    QCOMPARE(readFile(file.fileName()), body);
    QVERIFY(get.data().isEmpty());
    QVERIFY(!reports.isEmpty());
    QCOMPARE(reports.constLast().first, qint64(body.size()));
    QCOMPARE(reports.constLast().second, qint64(body.size()));
}

QTEST_MAIN(TestPackages)
#include "tst_packages.moc"
