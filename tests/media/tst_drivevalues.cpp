#include "media/DriveValues.h"
#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "platform/FileSystem.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestDriveValues final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void resolveDrivePath_data();
    void resolveDrivePath();
    void hasFolderPart_data();
    void hasFolderPart();
    void mediaValueFor_data();
    void mediaValueFor();
    void storedPathFor_data();
    void storedPathFor();
    void matchCase_data();
    void matchCase();
    void nativeExpanded_data();
    void nativeExpanded();

private:
    bool addStore(const QString& id, const QString& path);
    bool touch(const QString& path);

    std::unique_ptr<TempProgramFolder> m_folder;
    std::unique_ptr<QTemporaryDir> m_elsewhere;
};

void TestDriveValues::init()
{
    m_folder = std::make_unique<TempProgramFolder>(TempProgramFolder::DefaultStore);
    QVERIFY(m_folder->isValid());
    m_elsewhere = std::make_unique<QTemporaryDir>();
    QVERIFY(m_elsewhere->isValid());
}

void TestDriveValues::cleanup()
{
    m_elsewhere.reset();
    m_folder.reset();
}

bool TestDriveValues::addStore(const QString& id, const QString& path)
{
    TableHandle stores;
    stores.setFolder(ProgramFolder::path());
    stores.setTableName(TableSchemas::VMStoreTable);
    if (!stores.open())
        return false;
    stores.insert();
    stores.setFieldValue(QStringLiteral("DSNAME"), id);
    stores.setFieldValue(QStringLiteral("DSID"), id);
    stores.setFieldValue(QStringLiteral("PATH"), path);
    return stores.post();
}

bool TestDriveValues::touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly);
}

// Placeholders in the expectations: "<P>" the program folder, "<E>" another temporary folder.
void TestDriveValues::resolveDrivePath_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("storeId");
    QTest::addColumn<QString>("expected");

    const QString defaultStore = QStringLiteral("0");
    QTest::newRow("bare name in a {VR}\\VMs store")
        << QStringLiteral("disk1.qcow2") << defaultStore << QStringLiteral("<P>/VMs/disk1.qcow2");
    QTest::newRow("bare name in an absolute store")
        << QStringLiteral("x.img") << QStringLiteral("abs") << QStringLiteral("<E>/x.img");
    QTest::newRow("store folder with a trailing separator")
        << QStringLiteral("x.img") << QStringLiteral("slash") << QStringLiteral("<E>/x.img");
    QTest::newRow("lower-case macro is no macro")
        << QStringLiteral("x.img") << QStringLiteral("lower") << QStringLiteral("{vr}/VMs/x.img");
    QTest::newRow("bare name in another case than the file on disk")
        << QStringLiteral("Existing.QCOW2") << defaultStore
        << QStringLiteral("<P>/VMs/existing.qcow2");
    QTest::newRow("store not found")
        << QStringLiteral("disk1.qcow2") << QStringLiteral("gone") << QString();
    QTest::newRow("no store identifier") << QStringLiteral("disk1.qcow2") << QString() << QString();

    // An empty value would name the store folder itself.
    QTest::newRow("empty value") << QString() << defaultStore << QString();
    QTest::newRow("dot") << QStringLiteral(".") << defaultStore << QString();
    QTest::newRow("dot dot") << QStringLiteral("..") << defaultStore << QString();

    const QString unchanged = QStringLiteral("=");
    QTest::newRow("fat folder") << QStringLiteral("fat:/srv/share") << defaultStore << unchanged;
    QTest::newRow("writable fat folder")
        << QStringLiteral("fat::rw:/srv/share") << defaultStore << unchanged;
    QTest::newRow("fat with a windows folder")
        << QStringLiteral("fat:C:\\Share") << defaultStore << unchanged;
    QTest::newRow("physical disk")
        << QStringLiteral("\\\\.\\PhysicalDrive1") << defaultStore << unchanged;
    QTest::newRow("drive-relative name") << QStringLiteral("C:x.img") << defaultStore << unchanged;
    QTest::newRow("windows full path")
        << QStringLiteral("C:\\VMs\\x.img") << defaultStore << unchanged;
    QTest::newRow("full path") << QStringLiteral("/home/u/x.img") << defaultStore << unchanged;
    QTest::newRow("relative folder") << QStringLiteral("sub\\x.img") << defaultStore << unchanged;
    QTest::newRow("full path of a VM whose store is gone")
        << QStringLiteral("/home/u/x.img") << QStringLiteral("gone") << unchanged;
}

void TestDriveValues::resolveDrivePath()
{
    QFETCH(QString, value);
    QFETCH(QString, storeId);
    QFETCH(QString, expected);
    const QString elsewhere = m_elsewhere->path();
    QVERIFY(addStore(QStringLiteral("abs"), elsewhere));
    QVERIFY(addStore(QStringLiteral("slash"), elsewhere + QLatin1Char('/')));
    QVERIFY(addStore(QStringLiteral("lower"), QStringLiteral("{vr}\\VMs")));
    QVERIFY(touch(m_folder->file(QStringLiteral("VMs/existing.qcow2"))));

    if (expected == QLatin1String("="))
        expected = value;
    expected.replace(QLatin1String("<P>"), m_folder->path());
    expected.replace(QLatin1String("<E>"), elsewhere);

    TableHandle lookup;
    lookup.setFolder(ProgramFolder::path());
    lookup.setTableName(TableSchemas::VMStoreTable);
    QCOMPARE(ResolveDrivePath(value, lookup, storeId), expected);
    QCOMPARE(lookup.filter(), QString());
    QVERIFY(!lookup.filtered());
}

void TestDriveValues::hasFolderPart_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("expected");

    QTest::newRow("bare name") << QStringLiteral("disk1.qcow2") << false;
    QTest::newRow("bare name with blanks") << QStringLiteral("my disk.img") << false;
    QTest::newRow("empty") << QString() << false;
    QTest::newRow("backslash") << QStringLiteral("VMs\\x.img") << true;
    QTest::newRow("slash") << QStringLiteral("/x.img") << true;
    QTest::newRow("drive colon") << QStringLiteral("C:x.img") << true;
    QTest::newRow("fat alone") << QStringLiteral("fat:") << true;
    QTest::newRow("physical disk") << QStringLiteral("\\\\.\\PhysicalDrive0") << true;
    QTest::newRow("drive letter") << QStringLiteral("D:") << true;
}

void TestDriveValues::hasFolderPart()
{
    QFETCH(QString, value);
    QFETCH(bool, expected);
    QCOMPARE(HasFolderPart(value), expected);
}

void TestDriveValues::mediaValueFor_data()
{
    QTest::addColumn<QString>("onDisk");   // the Media folder's name on disk; empty: none
    QTest::addColumn<QString>("chosen");   // relative to the program folder, or "<E>/..."
    QTest::addColumn<QString>("expected"); // "=" for the chosen file's full path

    const QString full = QStringLiteral("=");
    QTest::newRow("Media folder as installed")
        << QStringLiteral("Media") << QStringLiteral("Media/x.iso")
        << QStringLiteral("{VR}\\media\\x.iso");
    QTest::newRow("media in lower case on disk")
        << QStringLiteral("media") << QStringLiteral("media/x.iso")
        << QStringLiteral("{VR}\\media\\x.iso");
    QTest::newRow("MEDIA in upper case on disk")
        << QStringLiteral("MEDIA") << QStringLiteral("MEDIA/x.iso")
        << QStringLiteral("{VR}\\media\\x.iso");
    QTest::newRow("chosen path spelt in another case than the folder")
        << QStringLiteral("Media") << QStringLiteral("MEDIA/x.iso")
        << QStringLiteral("{VR}\\media\\x.iso");
    QTest::newRow("file name keeps its case")
        << QStringLiteral("Media") << QStringLiteral("Media/Setup CD.ISO")
        << QStringLiteral("{VR}\\media\\Setup CD.ISO");
    QTest::newRow("no Media folder yet")
        << QString() << QStringLiteral("Media/x.img") << QStringLiteral("{VR}\\media\\x.img");
    QTest::newRow("reached through a link to the Media folder")
        << QStringLiteral("Media") << QStringLiteral("<E>/link/x.iso")
        << QStringLiteral("{VR}\\media\\x.iso");
    QTest::newRow("subfolder of the Media folder")
        << QStringLiteral("Media") << QStringLiteral("Media/old/x.iso") << full;
    QTest::newRow("program folder") << QStringLiteral("Media") << QStringLiteral("x.iso") << full;
    QTest::newRow("another folder named Media")
        << QStringLiteral("Media") << QStringLiteral("<E>/Media/x.iso") << full;
    QTest::newRow("folder beginning like the Media folder")
        << QStringLiteral("Media") << QStringLiteral("Media2/x.iso") << full;
}

void TestDriveValues::mediaValueFor()
{
    QFETCH(QString, onDisk);
    QFETCH(QString, chosen);
    QFETCH(QString, expected);
    const QString program = m_folder->path();
    if (!onDisk.isEmpty()) {
        QVERIFY(QDir(program).mkpath(onDisk));
        QCOMPARE(MediaFolder(), program + QLatin1Char('/') + onDisk);
        QVERIFY(QFile::link(program + QLatin1Char('/') + onDisk,
                            m_elsewhere->filePath(QStringLiteral("link"))));
    } else {
        QCOMPARE(MediaFolder(), program + QStringLiteral("/Media"));
    }

    QString file = chosen.startsWith(QLatin1String("<E>"))
                       ? QString(m_elsewhere->path() + chosen.mid(3))
                       : QString(program + QLatin1Char('/') + chosen);
    if (expected == QLatin1String("="))
        expected = file;
    QCOMPARE(MediaValueFor(file), expected);
}

void TestDriveValues::storedPathFor_data()
{
    QTest::addColumn<QString>("chosen");   // relative to the program folder
    QTest::addColumn<QString>("start");    // relative to the program folder; "-" for none
    QTest::addColumn<QString>("expected"); // "=" for the chosen file's full path

    const QString full = QStringLiteral("=");
    QTest::newRow("file in the starting folder")
        << QStringLiteral("VMs/disk.qcow2") << QStringLiteral("VMs")
        << QStringLiteral("disk.qcow2");
    QTest::newRow("starting folder with trailing separators")
        << QStringLiteral("VMs/disk.qcow2") << QStringLiteral("VMs//")
        << QStringLiteral("disk.qcow2");
    QTest::newRow("starting folder in another case")
        << QStringLiteral("VMs/disk.qcow2") << QStringLiteral("vms")
        << QStringLiteral("disk.qcow2");
    QTest::newRow("file in a subfolder")
        << QStringLiteral("VMs/old/disk.qcow2") << QStringLiteral("VMs") << full;
    QTest::newRow("file in the parent folder")
        << QStringLiteral("disk.qcow2") << QStringLiteral("VMs") << full;
    QTest::newRow("folder beginning like the starting folder")
        << QStringLiteral("VMs2/disk.qcow2") << QStringLiteral("VMs") << full;
    QTest::newRow("no starting folder")
        << QStringLiteral("VMs/disk.qcow2") << QStringLiteral("-") << full;
}

void TestDriveValues::storedPathFor()
{
    QFETCH(QString, chosen);
    QFETCH(QString, start);
    QFETCH(QString, expected);
    const QString program = m_folder->path();
    const QString file = program + QLatin1Char('/') + chosen;
    const QString startFolder =
        start == QLatin1String("-") ? QString() : QString(program + QLatin1Char('/') + start);
    if (expected == QLatin1String("="))
        expected = file;
    QCOMPARE(StoredPathFor(file, startFolder), expected);
}

void TestDriveValues::matchCase_data()
{
    QTest::addColumn<QString>("path"); // below the temporary folder
    QTest::addColumn<QString>("expected");

    QTest::newRow("existing path unchanged")
        << QStringLiteral("Alpha/beta/Gamma.txt") << QStringLiteral("Alpha/beta/Gamma.txt");
    QTest::newRow("every component in another case")
        << QStringLiteral("ALPHA/Beta/gamma.TXT") << QStringLiteral("Alpha/beta/Gamma.txt");
    QTest::newRow("folder matched, missing file kept")
        << QStringLiteral("alpha/BETA/new.txt") << QStringLiteral("Alpha/beta/new.txt");
    QTest::newRow("components after a missing one kept as given")
        << QStringLiteral("alpha/Missing/GAMMA.txt") << QStringLiteral("Alpha/Missing/GAMMA.txt");
    QTest::newRow("trailing separator kept")
        << QStringLiteral("alpha/BETA/") << QStringLiteral("Alpha/beta/");
    QTest::newRow("first match in name order wins")
        << QStringLiteral("dup/x") << QStringLiteral("Dup/x");
    QTest::newRow("exact name preferred over an earlier match")
        << QStringLiteral("dUP/x") << QStringLiteral("dUP/x");
    QTest::newRow("hidden entries are found")
        << QStringLiteral(".HIDDEN") << QStringLiteral(".hidden");
    QTest::newRow("nothing matches")
        << QStringLiteral("none/at/all") << QStringLiteral("none/at/all");
}

void TestDriveValues::matchCase()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    const QString base = m_elsewhere->path() + QLatin1Char('/');
    QVERIFY(touch(base + QStringLiteral("Alpha/beta/Gamma.txt")));
    QVERIFY(touch(base + QStringLiteral("Dup/x")));
    QVERIFY(touch(base + QStringLiteral("dUP/x")));
    QVERIFY(touch(base + QStringLiteral(".hidden")));
    QCOMPARE(FileSystem::matchCase(base + path), base + expected);
}

void TestDriveValues::nativeExpanded_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("expected"); // below the program folder

    QTest::newRow("media value opens the Media folder")
        << QStringLiteral("{VR}\\media\\x.iso") << QStringLiteral("/Media/x.iso");
    QTest::newRow("file not in the Media folder yet")
        << QStringLiteral("{VR}\\media\\new.iso") << QStringLiteral("/Media/new.iso");
    QTest::newRow("file name in another case")
        << QStringLiteral("{VR}\\MEDIA\\X.ISO") << QStringLiteral("/Media/x.iso");
    QTest::newRow("store folder") << QStringLiteral("{VR}\\VMs") << QStringLiteral("/VMs");
    QTest::newRow("missing folder kept as stored")
        << QStringLiteral("{VR}\\images\\a.img") << QStringLiteral("/images/a.img");
}

void TestDriveValues::nativeExpanded()
{
    QFETCH(QString, stored);
    QFETCH(QString, expected);
    QVERIFY(m_folder->write(QStringLiteral("Media/x.iso"), "iso"));
    const QString path = ProgramFolder::nativeExpanded(stored);
    QCOMPARE(path, m_folder->path() + expected);
    if (stored.contains(QLatin1String("x.iso"), Qt::CaseInsensitive)) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("iso"));
    }
}

QTEST_GUILESS_MAIN(TestDriveValues)
#include "tst_drivevalues.moc"
