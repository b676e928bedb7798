#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "support/TempProgramFolder.h"
#include "versions/VersionRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <memory>
#include <utility>

namespace {

using Values = QList<std::pair<QString, QString>>;

// A version row: identifier, then whichever other fields the case needs.
Values version(const QString& id, const Values& fields)
{
    Values values{{QStringLiteral("ID"), id}};
    values += fields;
    return values;
}

std::pair<QString, QString> field(const char* name, const QString& value)
{
    return {QLatin1String(name), value};
}

// Appends rows through a handle of its own; a row with the pseudo-field "*" = "deleted" is
// posted and then deleted.
bool appendRows(const QString& table, const QList<Values>& rows)
{
    TableHandle handle;
    handle.setFolder(ProgramFolder::path());
    handle.setTableName(table);
    QString error;
    if (!handle.open(&error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    for (const Values& row : rows) {
        handle.insert();
        bool deleted = false;
        for (const auto& [name, value] : row) {
            if (name == QStringLiteral("*"))
                deleted = true;
            else
                handle.setFieldValue(name, value);
        }
        if (!handle.post(&error) || (deleted && !handle.deleteRow(&error))) {
            qWarning("%s", qPrintable(error));
            return false;
        }
    }
    return true;
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

QByteArray vmText(const QByteArray& versionId, const QByteArray& arc = "x86",
                  const QByteArray& cpuArc = "64 Bit")
{
    return "[General]\r\nArc=" + arc + "\r\nQemu Version ID=" + versionId +
           "\r\n[Hardware]\r\nCPUArc=" + cpuArc + "\r\n";
}

const auto Deleted = std::pair<QString, QString>(QStringLiteral("*"), QStringLiteral("deleted"));

} // namespace

class TestVersionRegistry final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void defaultVersion_data();
    void defaultVersion();
    void defaultVersionOpensTheVersionHandle();

    void versionFlag_data();
    void versionFlag();
    void versionCode_data();
    void versionCode();
    void versionCodeNumber_data();
    void versionCodeNumber();
    void versionPath_data();
    void versionPath();
    void versionFolder_data();
    void versionFolder();

    void scanQemuVer_data();
    void scanQemuVer();
    void scanQemuVerWithoutStores();

    void vmExecutable_data();
    void vmExecutable();

private:
    // The rows every lookup test shares.
    bool addLookupRows() const;
    void verifyLookupReset() const;

    std::unique_ptr<TempProgramFolder> m_folder;
    TableHandle m_versions;
    TableHandle m_lookup;
    TableHandle m_stores;
    std::unique_ptr<VersionRegistry> m_registry;
};

void TestVersionRegistry::init()
{
    m_folder = std::make_unique<TempProgramFolder>(TempProgramFolder::DefaultStore);
    QVERIFY(m_folder->isValid());
    for (TableHandle* handle : {&m_versions, &m_lookup}) {
        handle->close();
        handle->setFolder(m_folder->path());
        handle->setTableName(TableSchemas::VersionTable);
    }
    m_stores.close();
    m_stores.setFolder(m_folder->path());
    m_stores.setTableName(TableSchemas::VMStoreTable);
    QVERIFY(m_stores.open());
    m_registry = std::make_unique<VersionRegistry>(m_versions, m_lookup, m_stores);
}

void TestVersionRegistry::cleanup()
{
    verifyLookupReset();
    m_registry.reset();
    for (TableHandle* handle : {&m_versions, &m_lookup, &m_stores}) {
        handle->close();
        handle->setFilter(QString());
        handle->setFiltered(false);
    }
    m_folder.reset();
}

void TestVersionRegistry::verifyLookupReset() const
{
    // After every lookup the handle is closed and unfiltered, ready for the next one.
    QVERIFY(!m_lookup.isOpen());
    QCOMPARE(m_lookup.filter(), QString());
    QVERIFY(!m_lookup.filtered());
}

bool TestVersionRegistry::addLookupRows() const
{
    return appendRows(
        TableSchemas::VersionTable,
        {version(QStringLiteral("abc"),
                 {field("DESC", QStringLiteral("Portable 0.12")),
                  field("PATH", QStringLiteral("{VR}\\qemu")), field("INT", QStringLiteral("Yes")),
                  field("USB", QStringLiteral("yes")), field("KQEMU", QStringLiteral("No")),
                  field("FMOD", QString()), field("BT", QStringLiteral("YES")),
                  field("CONSOLE", QStringLiteral("Yes ")), field("VERID", QStringLiteral("0"))}),
         version(QStringLiteral("ABC"),
                 {field("PATH", QStringLiteral("/opt/upper")), field("USB", QStringLiteral("Yes")),
                  field("VERID", QStringLiteral("2"))}),
         version(QStringLiteral("noverid"), {field("PATH", QStringLiteral("/usr/bin"))}),
         version(QStringLiteral("it's"),
                 {field("PATH", QStringLiteral("/opt/quote")), field("USB", QStringLiteral("Yes")),
                  field("VERID", QStringLiteral("1"))}),
         version(QStringLiteral("gone"),
                 {field("PATH", QStringLiteral("/opt/gone")), field("USB", QStringLiteral("Yes")),
                  field("VERID", QStringLiteral("2")), Deleted}),
         // A row without identifier: an empty identifier must still not find generation "2".
         version(QString(), {field("PATH", QStringLiteral("/opt/noid")),
                             field("VERID", QStringLiteral("2"))})});
}

void TestVersionRegistry::defaultVersion_data()
{
    QTest::addColumn<QList<Values>>("rows");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("id");

    const auto row = [](const char* desc, const char* id, const char* isDefault) {
        return Values{field("DESC", QLatin1String(desc)), field("ID", QLatin1String(id)),
                      field("DEFAULT", QLatin1String(isDefault))};
    };
    QTest::newRow("empty table") << QList<Values>() << QString() << QString();
    QTest::newRow("no default") << QList<Values>{row("A", "a", "No"), row("B", "b", "")}
                                << QString() << QString();
    QTest::newRow("only one default")
        << QList<Values>{row("A", "a", "No"), row("B", "b", "Yes"), row("C", "c", "No")}
        << QStringLiteral("B") << QStringLiteral("b");
    QTest::newRow("first of two defaults in record order")
        << QList<Values>{row("Z", "z", "No"), row("Y", "y", "Yes"), row("X", "x", "Yes")}
        << QStringLiteral("Y") << QStringLiteral("y");
    QTest::newRow("lower-case yes is no default")
        << QList<Values>{row("A", "a", "yes"), row("B", "b", "YES"), row("C", "c", "Yes")}
        << QStringLiteral("C") << QStringLiteral("c");
    QTest::newRow("deleted default skipped")
        << QList<Values>{row("A", "a", "Yes") << Deleted, row("B", "b", "Yes")}
        << QStringLiteral("B") << QStringLiteral("b");
}

void TestVersionRegistry::defaultVersion()
{
    QFETCH(QList<Values>, rows);
    QFETCH(QString, description);
    QFETCH(QString, id);
    QVERIFY(appendRows(TableSchemas::VersionTable, rows));

    const VersionRegistry::Version found = m_registry->DefaultVersion();
    QCOMPARE(found.description, description);
    QCOMPARE(found.id, id);
    QVERIFY(m_versions.isOpen());
}

void TestVersionRegistry::defaultVersionOpensTheVersionHandle()
{
    QVERIFY(appendRows(TableSchemas::VersionTable,
                       {{field("DESC", QStringLiteral("Old")), field("ID", QStringLiteral("o")),
                         field("DEFAULT", QStringLiteral("No"))}}));
    // Open already and standing past the end: the walk still starts at the first row.
    QVERIFY(m_versions.open());
    m_versions.next();
    QVERIFY(appendRows(TableSchemas::VersionTable,
                       {{field("DESC", QStringLiteral("New")), field("ID", QStringLiteral("n")),
                         field("DEFAULT", QStringLiteral("Yes"))}}));
    QCOMPARE(m_registry->DefaultVersion().id, QStringLiteral("n"));
}

void TestVersionRegistry::versionFlag_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("field");
    QTest::addColumn<bool>("on");

    QTest::newRow("Yes is on") << QStringLiteral("abc") << QStringLiteral("INT") << true;
    QTest::newRow("lower-case yes is off")
        << QStringLiteral("abc") << QStringLiteral("USB") << false;
    QTest::newRow("upper-case YES is off")
        << QStringLiteral("abc") << QStringLiteral("BT") << false;
    QTest::newRow("No is off") << QStringLiteral("abc") << QStringLiteral("KQEMU") << false;
    QTest::newRow("empty is off") << QStringLiteral("abc") << QStringLiteral("FMOD") << false;
    QTest::newRow("trailing blanks are padding")
        << QStringLiteral("abc") << QStringLiteral("CONSOLE") << true;
    QTest::newRow("identifier case counts")
        << QStringLiteral("ABC") << QStringLiteral("USB") << true;
    QTest::newRow("identifier with a single quote")
        << QStringLiteral("it's") << QStringLiteral("USB") << true;
    QTest::newRow("deleted row") << QStringLiteral("gone") << QStringLiteral("USB") << false;
    QTest::newRow("unknown identifier") << QStringLiteral("nope") << QStringLiteral("INT") << false;
    QTest::newRow("prefix of an identifier")
        << QStringLiteral("ab") << QStringLiteral("INT") << false;
}

void TestVersionRegistry::versionFlag()
{
    QFETCH(QString, id);
    QFETCH(QString, field);
    QFETCH(bool, on);
    QVERIFY(addLookupRows());
    QCOMPARE(m_registry->VersionFlag(id, field), on);
}

void TestVersionRegistry::versionCode_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("code");

    QTest::newRow("generation 0") << QStringLiteral("abc") << QStringLiteral("0");
    QTest::newRow("generation 2") << QStringLiteral("ABC") << QStringLiteral("2");
    QTest::newRow("empty code") << QStringLiteral("noverid") << QString();
    QTest::newRow("unknown identifier") << QStringLiteral("nope") << QString();
    QTest::newRow("deleted row") << QStringLiteral("gone") << QString();
    // A row without identifier exists with code "2": no lookup may be made.
    QTest::newRow("empty identifier") << QString() << QString();
}

void TestVersionRegistry::versionCode()
{
    QFETCH(QString, id);
    QFETCH(QString, code);
    QVERIFY(addLookupRows());
    QCOMPARE(m_registry->VersionCode(id), code);
}

void TestVersionRegistry::versionCodeNumber_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<int>("number");

    QTest::newRow("unknown identifier") << QStringLiteral("nope") << 0;
    QTest::newRow("deleted row") << QStringLiteral("gone") << 0;
    QTest::newRow("empty code") << QStringLiteral("noverid") << -1;
    QTest::newRow("code 0") << QStringLiteral("abc") << 0;
    QTest::newRow("code 1") << QStringLiteral("it's") << 1;
    QTest::newRow("code 2") << QStringLiteral("ABC") << 2;
}

void TestVersionRegistry::versionCodeNumber()
{
    QFETCH(QString, id);
    QFETCH(int, number);
    QVERIFY(addLookupRows());
    QCOMPARE(m_registry->VersionCodeNumber(id), number);
}

void TestVersionRegistry::versionPath_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("path");

    QTest::newRow("macro kept as stored") << QStringLiteral("abc") << QStringLiteral("{VR}\\qemu");
    QTest::newRow("absolute") << QStringLiteral("ABC") << QStringLiteral("/opt/upper");
    QTest::newRow("unknown identifier") << QStringLiteral("nope") << QString();
    QTest::newRow("deleted row") << QStringLiteral("gone") << QString();
}

void TestVersionRegistry::versionPath()
{
    QFETCH(QString, id);
    QFETCH(QString, path);
    QVERIFY(addLookupRows());
    QCOMPARE(m_registry->VersionPath(id), path);
}

void TestVersionRegistry::versionFolder_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("inProgramFolder");
    QTest::addColumn<QString>("folder"); // after the program folder when inProgramFolder

    QTest::newRow("macro and folder")
        << QStringLiteral("{VR}\\qemu") << true << QStringLiteral("\\qemu\\");
    // The value is taken from its sixth character on, whatever that character is.
    QTest::newRow("macro without separator")
        << QStringLiteral("{VR}qemu") << true << QStringLiteral("\\emu\\");
    QTest::newRow("macro and nested folders")
        << QStringLiteral("{VR}\\qemu\\0.12.5") << true << QStringLiteral("\\qemu\\0.12.5\\");
    QTest::newRow("lower-case macro is no program folder")
        << QStringLiteral("{vr}\\qemu") << false << QStringLiteral("{vr}\\qemu\\");
    QTest::newRow("absolute folder")
        << QStringLiteral("/usr/bin") << false << QStringLiteral("/usr/bin\\");
    QTest::newRow("unknown identifier") << QString() << false << QStringLiteral("\\");
}

void TestVersionRegistry::versionFolder()
{
    QFETCH(QString, path);
    QFETCH(bool, inProgramFolder);
    QFETCH(QString, folder);
    if (!path.isNull())
        QVERIFY(appendRows(TableSchemas::VersionTable,
                           {version(QStringLiteral("v"), {field("PATH", path)})}));
    const QString expected = inProgramFolder ? m_folder->path() + folder : folder;
    QCOMPARE(m_registry->VersionFolder(QStringLiteral("v")), expected);
}

void TestVersionRegistry::scanQemuVer_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("used");

    QTest::newRow("VM in the default store") << QStringLiteral("inDefault") << true;
    QTest::newRow("VM in a store with an absolute folder") << QStringLiteral("inOther") << true;
    QTest::newRow("hidden definition file") << QStringLiteral("hidden") << true;
    QTest::newRow("upper-case extension") << QStringLiteral("upperExt") << true;
    QTest::newRow("identifier differs in case") << QStringLiteral("INDEFAULT") << false;
    QTest::newRow("identifier is a prefix") << QStringLiteral("inDef") << false;
    QTest::newRow("backup file not read") << QStringLiteral("backup") << false;
    QTest::newRow("subfolder not searched") << QStringLiteral("nested") << false;
    QTest::newRow("folder of a deleted store not searched") << QStringLiteral("orphan") << false;
    QTest::newRow("no VM uses it") << QStringLiteral("unused") << false;
}

void TestVersionRegistry::scanQemuVer()
{
    QFETCH(QString, id);
    QFETCH(bool, used);
    const QString other = m_folder->file(QStringLiteral("other"));
    QVERIFY(writeFile(m_folder->file(QStringLiteral("VMs/a.vm2")), vmText("inDefault")));
    QVERIFY(writeFile(m_folder->file(QStringLiteral("VMs/.h.vm2")), vmText("hidden")));
    QVERIFY(writeFile(m_folder->file(QStringLiteral("VMs/b.vm2.bak")), vmText("backup")));
    QVERIFY(writeFile(m_folder->file(QStringLiteral("VMs/sub/c.vm2")), vmText("nested")));
    QVERIFY(writeFile(other + QStringLiteral("/d.vm2"), vmText("inOther")));
    QVERIFY(writeFile(other + QStringLiteral("/E.VM2"), vmText("upperExt")));
    QVERIFY(writeFile(m_folder->file(QStringLiteral("orphans/o.vm2")), vmText("orphan")));
    QVERIFY(
        appendRows(TableSchemas::VMStoreTable,
                   {{field("DSNAME", QStringLiteral("Gone")), field("DSID", QStringLiteral("g")),
                     field("PATH", QStringLiteral("{VR}\\orphans")), Deleted},
                    {field("DSNAME", QStringLiteral("Other")), field("DSID", QStringLiteral("o")),
                     field("PATH", other)}}));

    QCOMPARE(m_registry->ScanQemuVer(id), used);
}

void TestVersionRegistry::scanQemuVerWithoutStores()
{
    m_folder = std::make_unique<TempProgramFolder>(TempProgramFolder::EmptyTables);
    QVERIFY(m_folder->isValid());
    m_stores.close();
    m_stores.setFolder(m_folder->path());
    QVERIFY(m_stores.open());
    // An empty table has no store, not one store with an empty folder that would stand for the
    // working folder.
    QVERIFY(writeFile(m_folder->file(QStringLiteral("root.vm2")), vmText("x")));
    QVERIFY(writeFile(m_folder->file(QStringLiteral("VMs/a.vm2")), vmText("x")));
    const QString here = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_folder->path()));
    const bool used = m_registry->ScanQemuVer(QStringLiteral("x"));
    QDir::setCurrent(here);
    QVERIFY(!used);
}

void TestVersionRegistry::vmExecutable_data()
{
    QTest::addColumn<QString>("versionPath"); // "@" names a program subfolder given absolutely
    QTest::addColumn<QByteArray>("arc");
    QTest::addColumn<QByteArray>("cpuArc");
    QTest::addColumn<QString>("present");    // a file made in the program folder, if any
    QTest::addColumn<QString>("executable"); // "{VR}" stands for the program folder

    QTest::newRow("64-bit x86 in the portable folder")
        << QStringLiteral("{VR}\\qemu") << QByteArray("x86") << QByteArray("64 Bit")
        << QStringLiteral("qemu/qemu-system-x86_64.exe")
        << QStringLiteral("{VR}/qemu/qemu-system-x86_64.exe");
    QTest::newRow("missing program keeps the catalogue's name")
        << QStringLiteral("{VR}\\qemu") << QByteArray("x86") << QByteArray("64 Bit") << QString()
        << QStringLiteral("{VR}/qemu/qemu-system-x86_64.exe");
    QTest::newRow("32-bit x86 in the portable folder")
        << QStringLiteral("{VR}\\qemu") << QByteArray("x86") << QByteArray("32 Bit")
        << QStringLiteral("qemu/qemu.exe") << QStringLiteral("{VR}/qemu/qemu.exe");
    QTest::newRow("other architecture in an absolute folder")
        << QStringLiteral("@abs") << QByteArray("ppc") << QByteArray("64 Bit")
        << QStringLiteral("abs/qemu-system-ppc64.exe")
        << QStringLiteral("{VR}/abs/qemu-system-ppc64.exe");
    QTest::newRow("64-bit x86 installed in /usr/bin")
        << QStringLiteral("/usr/bin") << QByteArray("x86") << QByteArray("64 Bit") << QString()
        << QStringLiteral("/usr/bin/qemu-system-x86_64");
    QTest::newRow("32-bit x86 installed in /usr/bin")
        << QStringLiteral("/usr/bin") << QByteArray("x86") << QByteArray("32 Bit") << QString()
        << QStringLiteral("/usr/bin/qemu-system-i386");
    QTest::newRow("unknown version has no folder")
        << QString() << QByteArray("x86") << QByteArray("64 Bit") << QString()
        << QStringLiteral("/qemu-system-x86_64.exe");
    // Without a program name the path is the folder alone, which then fails to start.
    QTest::newRow("word size missing") << QStringLiteral("/usr/bin") << QByteArray("x86")
                                       << QByteArray() << QString() << QStringLiteral("/usr/bin/");
    QTest::newRow("word size in lower case")
        << QStringLiteral("{VR}\\qemu") << QByteArray("x86") << QByteArray("64 bit") << QString()
        << QStringLiteral("{VR}/qemu/");
    QTest::newRow("64-bit where only 32 bits exist")
        << QStringLiteral("/usr/bin") << QByteArray("cf") << QByteArray("64 Bit") << QString()
        << QStringLiteral("/usr/bin/");
    QTest::newRow("unknown architecture")
        << QStringLiteral("/usr/bin") << QByteArray("ia64") << QByteArray("64 Bit") << QString()
        << QStringLiteral("/usr/bin/");
}

void TestVersionRegistry::vmExecutable()
{
    QFETCH(QString, versionPath);
    QFETCH(QByteArray, arc);
    QFETCH(QByteArray, cpuArc);
    QFETCH(QString, present);
    QFETCH(QString, executable);
    if (versionPath.startsWith(QLatin1Char('@')))
        versionPath = m_folder->file(versionPath.mid(1));
    if (!versionPath.isNull())
        QVERIFY(appendRows(TableSchemas::VersionTable,
                           {version(QStringLiteral("ver"), {field("PATH", versionPath)})}));
    if (!present.isEmpty())
        QVERIFY(writeFile(m_folder->file(present), "#!/bin/sh\n"));
    if (executable.startsWith(QStringLiteral("/usr/bin/qemu")))
        QVERIFY2(QFileInfo(executable).isFile(), "QEMU is not installed in /usr/bin");
    const QString vm = m_folder->file(QStringLiteral("VMs/guest.vm2"));
    QVERIFY(writeFile(vm, vmText("ver", arc, cpuArc)));

    executable.replace(QStringLiteral("{VR}"), m_folder->path());
    QCOMPARE(m_registry->VMExecutable(vm), executable);
}

QTEST_GUILESS_MAIN(TestVersionRegistry)
#include "tst_versionregistry.moc"
