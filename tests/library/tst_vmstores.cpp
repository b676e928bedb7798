#include "library/VMStores.h"
#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTest>

#include <memory>
#include <sys/stat.h>

namespace {

const QString Alphabet =
    QStringLiteral("1234567890abcdefghijklmnopqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ");

struct StoreRow
{
    QString name;
    QString id;
    QString path;
    bool deleted = false;
};
using StoreRows = QList<StoreRow>;

StoreRow deletedRow(const QString& name, const QString& id, const QString& path)
{
    return {name, id, path, true};
}

// Appends the rows through a handle of its own, as another window of the program would; a row
// marked deleted is posted and then deleted, so it stays in the file.
bool appendStores(const StoreRows& rows)
{
    TableHandle handle;
    handle.setFolder(ProgramFolder::path());
    handle.setTableName(TableSchemas::VMStoreTable);
    QString error;
    if (!handle.open(&error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    for (const StoreRow& row : rows) {
        handle.insert();
        handle.setFieldValue(QStringLiteral("DSNAME"), row.name);
        handle.setFieldValue(QStringLiteral("DSID"), row.id);
        handle.setFieldValue(QStringLiteral("PATH"), row.path);
        if (!handle.post(&error) || (row.deleted && !handle.deleteRow(&error))) {
            qWarning("%s", qPrintable(error));
            return false;
        }
    }
    return true;
}

bool touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("[General]\r\n") > 0;
}

} // namespace

Q_DECLARE_METATYPE(StoreRow)

class TestVMStores final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void loadStoreLists_data();
    void loadStoreLists();
    void loadStoreListsSeesRowsPostedElsewhere();

    void expandedStoreFolder_data();
    void expandedStoreFolder();

    void findVMStore_data();
    void findVMStore();

    void addStore_data();
    void addStore();
    void addStoreGivesDistinctIdentifiers();
    void addStoreWithoutTableFails();

    void listVMFiles_data();
    void listVMFiles();
    void listVMFilesOfMissingFolder_data();
    void listVMFilesOfMissingFolder();

    void libraryScan_data();
    void libraryScan();

    void vmNameOf_data();
    void vmNameOf();

    void vmNameExists_data();
    void vmNameExists();

private:
    QString programFile(const QString& tail) const { return m_folder->path() + tail; }

    std::unique_ptr<TempProgramFolder> m_folder;
    TableHandle m_stores; // the main window's handle: opened once, kept open
};

void TestVMStores::init()
{
    m_folder = std::make_unique<TempProgramFolder>(TempProgramFolder::EmptyTables);
    QVERIFY(m_folder->isValid());
    m_stores.close();
    m_stores.setFolder(m_folder->path());
    m_stores.setTableName(TableSchemas::VMStoreTable);
    QVERIFY(m_stores.open());
}

void TestVMStores::cleanup()
{
    m_stores.close();
    m_folder.reset();
}

void TestVMStores::loadStoreLists_data()
{
    QTest::addColumn<StoreRows>("rows");
    QTest::addColumn<bool>("create");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<QStringList>("ids");

    const StoreRows unsorted = {
        {QStringLiteral("Zeta"), QStringLiteral("zz"), QStringLiteral("/z")},
        {QStringLiteral("Default"), QStringLiteral("0"), QStringLiteral("{VR}\\VMs")},
        {QStringLiteral("Alpha"), QStringLiteral("aa"), QStringLiteral("/a")}};
    for (const bool create : {true, false}) {
        const QByteArray mode = create ? " (new lists)" : " (lists emptied)";
        QTest::newRow(QByteArray("empty table gives no stores" + mode).constData())
            << StoreRows() << create << QStringList() << QStringList() << QStringList();
        QTest::newRow(QByteArray("record order, not name or id order" + mode).constData())
            << unsorted << create
            << QStringList{QStringLiteral("Zeta"), QStringLiteral("Default"),
                           QStringLiteral("Alpha")}
            << QStringList{QStringLiteral("/z"), QStringLiteral("{VR}\\VMs"), QStringLiteral("/a")}
            << QStringList{QStringLiteral("zz"), QStringLiteral("0"), QStringLiteral("aa")};
    }
    QTest::newRow("deleted rows skipped, lists stay parallel")
        << StoreRows{deletedRow(QStringLiteral("Gone"), QStringLiteral("g1"), QStringLiteral("/g")),
                     {QStringLiteral("Kept"), QStringLiteral("k1"), QStringLiteral("/k")},
                     deletedRow(QStringLiteral("Gone too"), QStringLiteral("g2"),
                                QStringLiteral("/g2")),
                     {QStringLiteral("Last"), QStringLiteral("l1"), QStringLiteral("/l")}}
        << false << QStringList{QStringLiteral("Kept"), QStringLiteral("Last")}
        << QStringList{QStringLiteral("/k"), QStringLiteral("/l")}
        << QStringList{QStringLiteral("k1"), QStringLiteral("l1")};
    QTest::newRow("only deleted rows give no stores")
        << StoreRows{deletedRow(QStringLiteral("Gone"), QStringLiteral("g1"), QStringLiteral("/g"))}
        << true << QStringList() << QStringList() << QStringList();
    QTest::newRow("empty name and path keep their places")
        << StoreRows{{QString(), QStringLiteral("e1"), QStringLiteral("/e")},
                     {QStringLiteral("No path"), QStringLiteral("e2"), QString()},
                     {QStringLiteral("  Lead"), QStringLiteral("e3"), QStringLiteral("/x  ")}}
        << false << QStringList{QString(), QStringLiteral("No path"), QStringLiteral("  Lead")}
        << QStringList{QStringLiteral("/e"), QString(), QStringLiteral("/x")}
        << QStringList{QStringLiteral("e1"), QStringLiteral("e2"), QStringLiteral("e3")};
}

void TestVMStores::loadStoreLists()
{
    QFETCH(StoreRows, rows);
    QFETCH(bool, create);
    QFETCH(QStringList, names);
    QFETCH(QStringList, folders);
    QFETCH(QStringList, ids);
    QVERIFY(appendStores(rows));

    // Entries of an earlier load must not survive the reload.
    StoreLists lists{{QStringLiteral("stale")}, {QStringLiteral("/stale")}, {QStringLiteral("s")}};
    LoadStoreLists(m_stores, lists, create);
    QCOMPARE(lists.names, names);
    QCOMPARE(lists.folders, folders);
    QCOMPARE(lists.ids, ids);

    // Left on the first row, so the next reader starts at the first store.
    QCOMPARE(m_stores.isEmpty(), ids.isEmpty());
    QCOMPARE(m_stores.fieldValue(QStringLiteral("DSID")), ids.value(0));
}

void TestVMStores::loadStoreListsSeesRowsPostedElsewhere()
{
    QVERIFY(
        appendStores({{QStringLiteral("Default"), QStringLiteral("0"), QStringLiteral("{VR}")}}));
    StoreLists lists;
    LoadStoreLists(m_stores, lists, true);
    QCOMPARE(lists.ids, QStringList{QStringLiteral("0")});

    // Another handle adds and removes rows while the main handle stays open.
    QVERIFY(appendStores(
        {{QStringLiteral("New"), QStringLiteral("n1"), QStringLiteral("/n")},
         deletedRow(QStringLiteral("Gone"), QStringLiteral("g"), QStringLiteral("/g"))}));
    LoadStoreLists(m_stores, lists, false);
    QCOMPARE(lists.names, (QStringList{QStringLiteral("Default"), QStringLiteral("New")}));
    QCOMPARE(lists.ids, (QStringList{QStringLiteral("0"), QStringLiteral("n1")}));
}

void TestVMStores::expandedStoreFolder_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("tail"); // appended to the program folder
    QTest::addColumn<QString>("unchanged");

    QTest::newRow("macro, backslash and name")
        << QStringLiteral("{VR}\\VMs") << QStringLiteral("/VMs") << QString();
    QTest::newRow("macro with nested folders")
        << QStringLiteral("{VR}\\My VMs\\Old") << QStringLiteral("/My VMs/Old") << QString();
    QTest::newRow("macro alone") << QStringLiteral("{VR}") << QString() << QString();
    QTest::newRow("macro adds no separator")
        << QStringLiteral("{VR}VMs") << QStringLiteral("VMs") << QString();
    QTest::newRow("lower-case macro used unexpanded")
        << QStringLiteral("{vr}\\VMs") << QString() << QStringLiteral("{vr}/VMs");
    QTest::newRow("mixed-case macro used unexpanded")
        << QStringLiteral("{Vr}\\VMs") << QString() << QStringLiteral("{Vr}/VMs");
    QTest::newRow("macro not at the start used unexpanded")
        << QStringLiteral("/x/{VR}\\VMs") << QString() << QStringLiteral("/x/{VR}/VMs");
    QTest::newRow("absolute folder unchanged")
        << QStringLiteral("/srv/vms") << QString() << QStringLiteral("/srv/vms");
}

void TestVMStores::expandedStoreFolder()
{
    QFETCH(QString, stored);
    QFETCH(QString, tail);
    QFETCH(QString, unchanged);
    const QString expected = unchanged.isEmpty() ? m_folder->path() + tail : unchanged;
    QCOMPARE(ExpandedStoreFolder(stored), expected);
}

void TestVMStores::findVMStore_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("tail"); // appended to the program folder when the PATH has "{VR}"
    QTest::addColumn<QString>("absolute");

    QTest::newRow("default store")
        << QStringLiteral("0") << true << QStringLiteral("/VMs") << QString();
    QTest::newRow("absolute folder")
        << QStringLiteral("abc") << true << QString() << QStringLiteral("/srv/abc");
    QTest::newRow("case of the identifier counts")
        << QStringLiteral("ABC") << true << QString() << QStringLiteral("/srv/upper");
    QTest::newRow("identifier with a single quote")
        << QStringLiteral("it's") << true << QStringLiteral("/quoted") << QString();
    QTest::newRow("first of two rows with the identifier")
        << QStringLiteral("twice") << true << QString() << QStringLiteral("/srv/first");
    QTest::newRow("prefix of an identifier not found")
        << QStringLiteral("ab") << false << QString() << QString();
    QTest::newRow("unknown identifier")
        << QStringLiteral("nope") << false << QString() << QString();
    QTest::newRow("deleted row not found")
        << QStringLiteral("gone") << false << QString() << QString();
    QTest::newRow("empty identifier") << QString() << false << QString() << QString();
}

void TestVMStores::findVMStore()
{
    QFETCH(QString, id);
    QFETCH(bool, found);
    QFETCH(QString, tail);
    QFETCH(QString, absolute);
    QVERIFY(appendStores(
        {{QStringLiteral("Default"), QStringLiteral("0"), QStringLiteral("{VR}\\VMs")},
         {QStringLiteral("Lower"), QStringLiteral("abc"), QStringLiteral("/srv/abc")},
         {QStringLiteral("Upper"), QStringLiteral("ABC"), QStringLiteral("/srv/upper")},
         {QStringLiteral("Quote"), QStringLiteral("it's"), QStringLiteral("{VR}\\quoted")},
         {QStringLiteral("Longer"), QStringLiteral("abcd"), QStringLiteral("/srv/abcd")},
         {QStringLiteral("First"), QStringLiteral("twice"), QStringLiteral("/srv/first")},
         {QStringLiteral("Second"), QStringLiteral("twice"), QStringLiteral("/srv/second")},
         deletedRow(QStringLiteral("Gone"), QStringLiteral("gone"), QStringLiteral("/srv/gone"))}));

    // A lookup handle left open with another filter must not colour the answer.
    TableHandle lookup;
    lookup.setFolder(m_folder->path());
    lookup.setTableName(TableSchemas::VMStoreTable);
    lookup.setFilter(TableHandle::equalsFilter(QStringLiteral("DSID"), QStringLiteral("abcd")));
    lookup.setFiltered(true);
    QVERIFY(lookup.open());

    const std::optional<QString> folder = FindVMStore(lookup, id);
    QCOMPARE(folder.has_value(), found);
    if (found)
        QCOMPARE(*folder, absolute.isEmpty() ? m_folder->path() + tail : absolute);
    QVERIFY(!lookup.isOpen());
    QCOMPARE(lookup.filter(), QString());
    QVERIFY(!lookup.filtered());

    // Closed and unfiltered: the next open sees every row.
    QVERIFY(lookup.open());
    QCOMPARE(lookup.fieldValue(QStringLiteral("DSID")), QStringLiteral("0"));
}

void TestVMStores::addStore_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("storedFolder");

    QTest::newRow("name and absolute folder")
        << QStringLiteral("Work") << QStringLiteral("/srv/work") << QStringLiteral("/srv/work");
    QTest::newRow("empty name accepted")
        << QString() << QStringLiteral("/srv/unnamed") << QStringLiteral("/srv/unnamed");
    QTest::newRow("name shared with the default store")
        << QStringLiteral("Default") << QStringLiteral("/srv/d") << QStringLiteral("/srv/d");
    QTest::newRow("folder longer than the field is cut")
        << QStringLiteral("Deep") << QStringLiteral("/") + QString(299, QLatin1Char('d'))
        << QStringLiteral("/") + QString(249, QLatin1Char('d'));
}

void TestVMStores::addStore()
{
    QFETCH(QString, name);
    QFETCH(QString, folder);
    QFETCH(QString, storedFolder);
    QVERIFY(
        appendStores({{QStringLiteral("Default"), QStringLiteral("0"), QStringLiteral("{VR}")}}));
    // The handle is on the first row: the new row still goes after the last one.
    m_stores.first();

    QString error;
    const std::optional<QString> id = AddStore(m_stores, name, folder, &error);
    QVERIFY2(id.has_value(), qPrintable(error));
    QCOMPARE(id->size(), 20);
    for (const QChar c : *id)
        QVERIFY2(Alphabet.contains(c), qPrintable(*id));

    StoreLists lists;
    LoadStoreLists(m_stores, lists, true);
    QCOMPARE(lists.ids, (QStringList{QStringLiteral("0"), *id}));
    QCOMPARE(lists.names.last(), name);
    QCOMPARE(lists.folders.last(), storedFolder);
}

void TestVMStores::addStoreGivesDistinctIdentifiers()
{
    // Stores added back to back (the same clock tick) must not share an identifier, and no
    // identifier may use the letters left out of the alphabet.
    QSet<QString> ids;
    for (int i = 0; i < 200; ++i) {
        const std::optional<QString> id =
            AddStore(m_stores, QString::number(i), QStringLiteral("/srv/s"));
        QVERIFY(id.has_value());
        QVERIFY2(!id->contains(QLatin1Char('I')) && !id->contains(QLatin1Char('O')),
                 qPrintable(*id));
        ids.insert(*id);
    }
    QCOMPARE(ids.size(), 200);
}

void TestVMStores::addStoreWithoutTableFails()
{
    m_stores.close();
    QVERIFY(QFile::remove(m_folder->file(TableSchemas::VMStoreTable)));
    QString error;
    QVERIFY(!AddStore(m_stores, QStringLiteral("x"), QStringLiteral("/x"), &error));
    QVERIFY2(error.startsWith(QStringLiteral("Open: file not found: ")), qPrintable(error));
    QVERIFY(!QFile::exists(m_folder->file(TableSchemas::VMStoreTable)));
}

void TestVMStores::listVMFiles_data()
{
    // A name ending in "/" is a folder; "!" adds what kind of entry it is.
    QTest::addColumn<QString>("entry");
    QTest::addColumn<bool>("listed");

    QTest::newRow("definition file") << QStringLiteral("a.vm2") << true;
    QTest::newRow("extension in mixed case") << QStringLiteral("y.Vm2") << true;
    QTest::newRow("extension in upper case") << QStringLiteral("b.VM2") << true;
    QTest::newRow("hidden file") << QStringLiteral(".h.vm2") << true;
    QTest::newRow("name with blanks and dots") << QStringLiteral("Win XP.v1.vm2") << true;
    QTest::newRow("backup of a definition file") << QStringLiteral("x.vm2.bak") << false;
    QTest::newRow("shorter extension") << QStringLiteral("x.vm") << false;
    QTest::newRow("extension without dot") << QStringLiteral("xvm2") << false;
    QTest::newRow("other file") << QStringLiteral("notes.txt") << false;
    QTest::newRow("folder named like a definition file") << QStringLiteral("z.vm2/") << false;
    QTest::newRow("file in a subfolder") << QStringLiteral("sub/c.vm2") << false;
    QTest::newRow("read-only file") << QStringLiteral("r.vm2!readonly") << true;
    QTest::newRow("link to a definition file") << QStringLiteral("l.vm2!link") << true;
    QTest::newRow("dangling link") << QStringLiteral("d.vm2!dangling") << false;
    // Reading a pipe would block the scan for good.
    QTest::newRow("named pipe") << QStringLiteral("p.vm2!pipe") << false;
}

void TestVMStores::listVMFiles()
{
    QFETCH(QString, entry);
    QFETCH(bool, listed);
    const QString folder = m_folder->file(QStringLiteral("VMs"));
    const QString kind = entry.section(QLatin1Char('!'), 1);
    const QString path = folder + QLatin1Char('/') + entry.section(QLatin1Char('!'), 0, 0);
    const QString target = m_folder->file(QStringLiteral("target.txt"));
    if (path.endsWith(QLatin1Char('/')))
        QVERIFY(QDir().mkpath(path));
    else if (kind == QStringLiteral("link"))
        QVERIFY(touch(target) && QFile::link(target, path));
    else if (kind == QStringLiteral("dangling"))
        QVERIFY(QFile::link(m_folder->file(QStringLiteral("nothing")), path));
    else if (kind == QStringLiteral("pipe"))
        QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    else
        QVERIFY(touch(path));
    if (kind == QStringLiteral("readonly"))
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner));

    const QStringList expected = listed ? QStringList{path} : QStringList();
    QCOMPARE(ListVMFiles(folder), expected);
}

void TestVMStores::listVMFilesOfMissingFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::newRow("missing folder") << QStringLiteral("/nonexistent-vimor-folder/VMs");
    QTest::newRow("empty folder name") << QString();
}

void TestVMStores::listVMFilesOfMissingFolder()
{
    QFETCH(QString, folder);
    // The working folder holds a definition file: an empty name must not mean "here".
    const QString here = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_folder->path()));
    QVERIFY(touch(m_folder->file(QStringLiteral("here.vm2"))));
    const QStringList files = ListVMFiles(folder);
    QDir::setCurrent(here);
    QCOMPARE(files, QStringList());
}

void TestVMStores::libraryScan_data()
{
    QTest::addColumn<StoreRows>("rows");
    QTest::addColumn<QStringList>("expected"); // relative to the program folder

    // One definition file per folder, so that the order seen is the order of the stores.
    const StoreRow zeta{QStringLiteral("Zeta"), QStringLiteral("z"), QStringLiteral("{VR}\\zeta")};
    const StoreRow alpha{QStringLiteral("Alpha"), QStringLiteral("a"),
                         QStringLiteral("{VR}\\alpha")};

    QTest::newRow("empty table") << StoreRows() << QStringList();
    QTest::newRow("stores in record order")
        << StoreRows{zeta, alpha}
        << QStringList{QStringLiteral("zeta/z.vm2"), QStringLiteral("alpha/a.vm2")};
    QTest::newRow("folder registered twice scanned twice")
        << StoreRows{alpha,
                     zeta,
                     {QStringLiteral("Again"), QStringLiteral("b"), QStringLiteral("{VR}\\alpha")}}
        << QStringList{QStringLiteral("alpha/a.vm2"), QStringLiteral("zeta/z.vm2"),
                       QStringLiteral("alpha/a.vm2")};
    QTest::newRow("deleted and missing stores give nothing")
        << StoreRows{deletedRow(QStringLiteral("Gone"), QStringLiteral("g"),
                                QStringLiteral("{VR}\\zeta")),
                     {QStringLiteral("Missing"), QStringLiteral("m"),
                      QStringLiteral("{VR}\\missing")},
                     alpha}
        << QStringList{QStringLiteral("alpha/a.vm2")};
    QTest::newRow("lower-case macro is no program folder")
        << StoreRows{{QStringLiteral("Lower"), QStringLiteral("l"), QStringLiteral("{vr}\\zeta")},
                     alpha}
        << QStringList{QStringLiteral("alpha/a.vm2")};
}

void TestVMStores::libraryScan()
{
    QFETCH(StoreRows, rows);
    QFETCH(QStringList, expected);
    for (const QString& file : {QStringLiteral("zeta/z.vm2"), QStringLiteral("zeta/readme.txt"),
                                QStringLiteral("alpha/a.vm2")})
        QVERIFY(touch(m_folder->file(file)));
    QVERIFY(appendStores(rows));

    QStringList files;
    for (const QString& file : LibraryScan(m_stores))
        files.append(QDir(m_folder->path()).relativeFilePath(file));
    QCOMPARE(files, expected);
}

void TestVMStores::vmNameOf_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("name");

    QTest::newRow("plain") << QStringLiteral("/srv/vms/Linux.vm2") << QStringLiteral("Linux");
    QTest::newRow("blanks kept") << QStringLiteral("/srv/vms/Win XP.vm2")
                                 << QStringLiteral("Win XP");
    QTest::newRow("extension in other case") << QStringLiteral("/v/y.Vm2") << QStringLiteral("y");
    QTest::newRow("dots inside the name") << QStringLiteral("/v/a.b.vm2") << QStringLiteral("a.b");
    QTest::newRow("hidden file") << QStringLiteral("/v/.h.vm2") << QStringLiteral(".h");
    QTest::newRow("bare file name") << QStringLiteral("Bare.vm2") << QStringLiteral("Bare");
}

void TestVMStores::vmNameOf()
{
    QFETCH(QString, file);
    QFETCH(QString, name);
    QCOMPARE(VMNameOf(file), name);
}

void TestVMStores::vmNameExists_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("exists");

    QTest::newRow("same case") << QStringLiteral("Win XP") << true;
    QTest::newRow("other case") << QStringLiteral("win xp") << true;
    QTest::newRow("file with upper-case extension") << QStringLiteral("LINUX") << true;
    QTest::newRow("in the second store") << QStringLiteral("second") << true;
    QTest::newRow("prefix of a name") << QStringLiteral("Win") << false;
    QTest::newRow("name given with extension") << QStringLiteral("Win XP.vm2") << false;
    QTest::newRow("backup file only") << QStringLiteral("old") << false;
    QTest::newRow("in a deleted store") << QStringLiteral("orphan") << false;
    QTest::newRow("unknown") << QStringLiteral("nothing") << false;
}

void TestVMStores::vmNameExists()
{
    QFETCH(QString, name);
    QFETCH(bool, exists);
    for (const QString& file :
         {QStringLiteral("VMs/Win XP.vm2"), QStringLiteral("VMs/linux.VM2"),
          QStringLiteral("VMs/old.vm2.bak"), QStringLiteral("other/second.vm2"),
          QStringLiteral("orphans/orphan.vm2")})
        QVERIFY(touch(m_folder->file(file)));
    QVERIFY(appendStores(
        {{QStringLiteral("Default"), QStringLiteral("0"), QStringLiteral("{VR}\\VMs")},
         deletedRow(QStringLiteral("Gone"), QStringLiteral("g"), QStringLiteral("{VR}\\orphans")),
         {QStringLiteral("Other"), QStringLiteral("o"), m_folder->file(QStringLiteral("other"))}}));
    QCOMPARE(VMNameExists(m_stores, name), exists);
}

QTEST_GUILESS_MAIN(TestVMStores)
#include "tst_vmstores.moc"
