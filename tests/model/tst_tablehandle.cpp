#include "model/TableHandle.h"
#include "model/TableSchemas.h"

#include <QDate>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <utility>

using namespace Qt::StringLiterals;

namespace {

using Values = QList<std::pair<QString, QString>>;

constexpr int ProcessHeaderLength = 32 + 2 * 32 + 1;
constexpr int ProcessRecordLength = 1 + 100 + 254;

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(bytes) == bytes.size();
}

quint32 u32At(const QByteArray& bytes, int offset)
{
    return qFromLittleEndian<quint32>(bytes.constData() + offset);
}

quint16 u16At(const QByteArray& bytes, int offset)
{
    return qFromLittleEndian<quint16>(bytes.constData() + offset);
}

void putU16(QByteArray& bytes, int offset, quint16 value)
{
    qToLittleEndian<quint16>(value, bytes.data() + offset);
}

void putU32(QByteArray& bytes, int offset, quint32 value)
{
    qToLittleEndian<quint32>(value, bytes.data() + offset);
}

// The date bytes a write made between before and after must hold (a run across midnight).
bool isWriteDate(const QByteArray& header, const QDate& before)
{
    const auto matches = [&](const QDate& date) {
        return static_cast<uchar>(header[1]) == date.year() - 1900 &&
               static_cast<uchar>(header[2]) == date.month() &&
               static_cast<uchar>(header[3]) == date.day();
    };
    return matches(before) || matches(QDate::currentDate());
}

// A process.dat record as the format lays it out, built without the table layer.
QByteArray processRecord(const QByteArray& processId, const QByteArray& vm, char flag = ' ')
{
    return QByteArray(1, flag) + processId.leftJustified(100, ' ') + vm.leftJustified(254, ' ');
}

int fieldOffset(const QList<TableField>& fields, const QString& name)
{
    int offset = 1;
    for (const TableField& field : fields) {
        if (field.name == name)
            return offset;
        offset += field.width;
    }
    return -1;
}

int fieldWidth(const QList<TableField>& fields, const QString& name)
{
    for (const TableField& field : fields) {
        if (field.name == name)
            return field.width;
    }
    return 0;
}

} // namespace

class TestTableHandle final : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void createWritesExactHeader_data();
    void createWritesExactHeader();
    void createRefusesBadFields_data();
    void createRefusesBadFields();

    void openMissingFileFails();
    void damagedFileRefused_data();
    void damagedFileRefused();
    void soundVariantsOpen_data();
    void soundVariantsOpen();
    void openTwiceKeepsPosition();
    void closeKeepsSettings();

    void emptyTable();
    void walkVisitsRecordOrder();
    void valueRoundTrip_data();
    void valueRoundTrip();
    void storedBytesDecode_data();
    void storedBytesDecode();
    void fieldNamesIgnoreCase();

    void appendWritesExactBytes();
    void appendBecomesCurrentRow();
    void appendCutShortLeavesTableAsItWas();
    void crashBetweenRecordAndHeader_data();
    void crashBetweenRecordAndHeader();
    void editRewritesOnlyItsRow();
    void editKeepsDeletionMadeElsewhere();
    void journaledEditCompletesOnOpen_data();
    void journaledEditCompletesOnOpen();
    void postWithoutRowFails();

    void deleteRow_data();
    void deleteRow();
    void recordNumberCountsDeletedRows();

    void filterSelects_data();
    void filterSelects();
    void invalidFilterRefused_data();
    void invalidFilterRefused();
    void equalsFilterQuotes_data();
    void equalsFilterQuotes();

    void handlesSeeEachOthersWrites();
    void fileCutShortUnderOpenHandle();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    bool create(const QString& name, const QList<TableField>& fields) const;
    bool openOn(TableHandle& handle, const QString& name) const;
    // Appends rows through a handle of its own, as other code of the program would.
    bool append(const QString& name, const QList<Values>& rows) const;
    bool createProcessTable(const QStringList& processIds) const;
    static bool postRow(TableHandle& handle, const Values& values);
    static QStringList walk(TableHandle& handle, const QString& field,
                            QList<int>* numbers = nullptr);

    std::unique_ptr<QTemporaryDir> m_dir;
};

bool TestTableHandle::create(const QString& name, const QList<TableField>& fields) const
{
    QString error;
    if (!CreateTable(path(name), fields, &error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    return true;
}

bool TestTableHandle::openOn(TableHandle& handle, const QString& name) const
{
    handle.setFolder(m_dir->path());
    handle.setTableName(name);
    QString error;
    if (!handle.open(&error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    return true;
}

bool TestTableHandle::postRow(TableHandle& handle, const Values& values)
{
    handle.insert();
    for (const auto& [field, value] : values)
        handle.setFieldValue(field, value);
    QString error;
    if (!handle.post(&error)) {
        qWarning("%s", qPrintable(error));
        return false;
    }
    return true;
}

bool TestTableHandle::append(const QString& name, const QList<Values>& rows) const
{
    TableHandle handle;
    if (!openOn(handle, name))
        return false;
    for (const Values& values : rows) {
        if (!postRow(handle, values))
            return false;
    }
    return true;
}

bool TestTableHandle::createProcessTable(const QStringList& processIds) const
{
    if (!create(TableSchemas::ProcessTable, TableSchemas::processFields()))
        return false;
    QList<Values> rows;
    for (const QString& id : processIds) {
        rows.append({{QStringLiteral("PROCESSID"), id},
                     {QStringLiteral("VM"), QStringLiteral("/vms/%1.vm2").arg(id)}});
    }
    return append(TableSchemas::ProcessTable, rows);
}

// The callers' walk: First, then the body and Next until end-of-table. A table without visible
// rows yields nothing here, though the callers' body would run once on empty fields.
QStringList TestTableHandle::walk(TableHandle& handle, const QString& field, QList<int>* numbers)
{
    QStringList values;
    handle.first();
    while (!handle.eof()) {
        values.append(handle.fieldValue(field));
        if (numbers)
            numbers->append(handle.recordNumber());
        handle.next();
    }
    return values;
}

void TestTableHandle::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TestTableHandle::createWritesExactHeader_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<TableField>>("fields");
    QTest::addColumn<int>("recordLength");

    QTest::newRow("vmstore.dat") << TableSchemas::VMStoreTable << TableSchemas::vmStoreFields()
                                 << 1 + 250 + 100 + 250;
    QTest::newRow("vrvers.dat") << TableSchemas::VersionTable << TableSchemas::versionFields()
                                << 1 + 100 + 100 + 250 + 50 + 9 * 10;
    QTest::newRow("opsys.dat") << TableSchemas::OpSysTable << TableSchemas::opSysFields()
                               << 1 + 100 + 20 + 20 + 20 + 200;
    QTest::newRow("process.dat") << TableSchemas::ProcessTable << TableSchemas::processFields()
                                 << ProcessRecordLength;
}

void TestTableHandle::createWritesExactHeader()
{
    QFETCH(QString, name);
    QFETCH(QList<TableField>, fields);
    QFETCH(int, recordLength);

    const QDate before = QDate::currentDate();
    QVERIFY(create(name, fields));
    const QByteArray bytes = readBytes(path(name));
    const int headerLength = 32 + 32 * static_cast<int>(fields.size()) + 1;

    QCOMPARE(bytes.size(), headerLength + 1);
    QCOMPARE(static_cast<uchar>(bytes[0]), uchar{0x03});
    QVERIFY(isWriteDate(bytes, before));
    QCOMPARE(u32At(bytes, 4), 0u);
    QCOMPARE(u16At(bytes, 8), headerLength);
    QCOMPARE(u16At(bytes, 10), recordLength);
    // Reserved bytes, the index flag (no .mdx is written) and the language driver are all zero.
    QCOMPARE(bytes.mid(12, 20), QByteArray(20, '\0'));

    for (int i = 0; i < fields.size(); ++i) {
        const QByteArray descriptor = bytes.mid(32 + 32 * i, 32);
        const QByteArray fieldName = fields[i].name.toLatin1();
        QCOMPARE(descriptor.left(11), fieldName.leftJustified(11, '\0'));
        QCOMPARE(descriptor[11], 'C');
        QCOMPARE(descriptor.mid(12, 4), QByteArray(4, '\0'));
        QCOMPARE(static_cast<uchar>(descriptor[16]), fields[i].width);
        QCOMPARE(descriptor.mid(17, 15), QByteArray(15, '\0'));
    }
    QCOMPARE(bytes[headerLength - 1], '\x0D');
    QCOMPARE(bytes[headerLength], '\x1A');

    // The table layer reads back what it wrote.
    TableHandle handle;
    QVERIFY(openOn(handle, name));
    QCOMPARE(handle.fields().size(), fields.size());
    for (int i = 0; i < fields.size(); ++i) {
        QCOMPARE(handle.fields()[i].name, fields[i].name);
        QCOMPARE(handle.fields()[i].width, fields[i].width);
    }
}

void TestTableHandle::createRefusesBadFields_data()
{
    QTest::addColumn<QList<TableField>>("fields");
    QTest::addColumn<QString>("reason");

    const auto field = [](const char* name, int width) {
        return TableField{QString::fromUtf8(name), width};
    };
    QTest::newRow("no fields") << QList<TableField>{} << QStringLiteral("at least one field");
    QTest::newRow("empty name") << QList<TableField>{field("", 10)}
                                << QStringLiteral("not 1-10 printable ASCII");
    QTest::newRow("name of 11 characters") << QList<TableField>{field("ABCDEFGHIJK", 10)}
                                           << QStringLiteral("not 1-10 printable ASCII");
    QTest::newRow("name not ASCII")
        << QList<TableField>{field("NAMÉ", 10)} << QStringLiteral("not 1-10 printable ASCII");
    QTest::newRow("name with a blank")
        << QList<TableField>{field("A B", 10)} << QStringLiteral("not 1-10 printable ASCII");
    QTest::newRow("width 0") << QList<TableField>{field("ID", 0)}
                             << QStringLiteral("width 0, not 1-254");
    QTest::newRow("width 255") << QList<TableField>{field("ID", 255)}
                               << QStringLiteral("width 255, not 1-254");
    QTest::newRow("same name twice, other case")
        << QList<TableField>{field("ID", 10), field("id", 5)}
        << QStringLiteral("field ID appears twice");
}

void TestTableHandle::createRefusesBadFields()
{
    QFETCH(QList<TableField>, fields);
    QFETCH(QString, reason);

    QString error;
    QVERIFY(!CreateTable(path(QStringLiteral("bad.dat")), fields, &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    QVERIFY(!QFile::exists(path(QStringLiteral("bad.dat"))));

    // An existing table is never overwritten.
    QVERIFY(createProcessTable({QStringLiteral("1")}));
    const QByteArray before = readBytes(path(TableSchemas::ProcessTable));
    QVERIFY(!CreateTable(path(TableSchemas::ProcessTable), TableSchemas::processFields(), &error));
    QVERIFY2(error.contains(QStringLiteral("already exists")), qPrintable(error));
    QCOMPARE(readBytes(path(TableSchemas::ProcessTable)), before);
}

void TestTableHandle::openMissingFileFails()
{
    TableHandle handle;
    handle.setFolder(m_dir->path());
    handle.setTableName(QStringLiteral("vmstore.dat"));
    QString error;
    QVERIFY(!handle.open(&error));
    const QString expected = QStringLiteral("Open: file not found: \"") +
                             path(QStringLiteral("vmstore.dat")) + QStringLiteral("\".");
    QCOMPARE(error, expected);
    QCOMPARE(handle.lastError(), expected);
    QVERIFY(!handle.isOpen());
    QVERIFY(handle.eof());
    QVERIFY(handle.isEmpty());
    QVERIFY(handle.fieldValue(QStringLiteral("DSID")).isEmpty());
    QVERIFY(!QFile::exists(path(QStringLiteral("vmstore.dat"))));
}

void TestTableHandle::damagedFileRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("reason");

    // A sound process.dat of two rows, damaged one way per row.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(CreateTable(dir.filePath(TableSchemas::ProcessTable), TableSchemas::processFields()));
    QByteArray sound = readBytes(dir.filePath(TableSchemas::ProcessTable));
    sound.chop(1);
    sound += processRecord("1", "/vms/a.vm2") + processRecord("2", "/vms/b.vm2") + '\x1A';
    putU32(sound, 4, 2);
    const int h = ProcessHeaderLength;
    const auto damaged = [&](const auto& change) {
        QByteArray bytes = sound;
        change(bytes);
        return bytes;
    };

    QTest::newRow("empty file") << QByteArray() << QStringLiteral("shorter than 32 bytes");
    QTest::newRow("31-byte header") << sound.left(31) << QStringLiteral("shorter than 32 bytes");
    QTest::newRow("version 0x83 (memo)") << damaged([](QByteArray& b) { b[0] = '\x83'; })
                                         << QStringLiteral("version byte 0x83 is not 0x03");
    QTest::newRow("version 0x30 (Visual FoxPro)")
        << damaged([](QByteArray& b) { b[0] = '\x30'; })
        << QStringLiteral("version byte 0x30 is not 0x03");
    QTest::newRow("header length below 33") << damaged([](QByteArray& b) { putU16(b, 8, 20); })
                                            << QStringLiteral("header length 20 is too small");
    QTest::newRow("header length past the end")
        << damaged([](QByteArray& b) { putU16(b, 8, 0xFFFF); })
        << QStringLiteral("header length 65535 runs past the end of the file");
    QTest::newRow("header length one byte long")
        << damaged([&](QByteArray& b) { putU16(b, 8, h + 1); })
        << QStringLiteral("header length 98 does not match its 2 field descriptors");
    QTest::newRow("header length one descriptor long")
        << damaged([&](QByteArray& b) { putU16(b, 8, h + 32); })
        << QStringLiteral("header length 129 does not match its 2 field descriptors");
    QTest::newRow("header length one descriptor short")
        << damaged([&](QByteArray& b) { putU16(b, 8, h - 32); })
        << QStringLiteral("not ended by 0x0D");
    QTest::newRow("terminator missing")
        << damaged([&](QByteArray& b) { b[h - 1] = '\0'; }) << QStringLiteral("not ended by 0x0D");
    QTest::newRow("no fields") << damaged([](QByteArray& b) {
        b = b.left(32) + "\x0D\x1A";
        putU16(b, 8, 33);
        putU16(b, 10, 1);
        putU32(b, 4, 0);
    }) << QStringLiteral("the table has no fields");
    QTest::newRow("field without a name")
        << damaged([](QByteArray& b) { b.replace(64, 11, QByteArray(11, '\0')); })
        << QStringLiteral("field 2 has no name");
    QTest::newRow("field width 0") << damaged([](QByteArray& b) { b[32 + 16] = '\0'; })
                                   << QStringLiteral("field PROCESSID has width 0");
    QTest::newRow("numeric field") << damaged([](QByteArray& b) { b[64 + 11] = 'N'; })
                                   << QStringLiteral("field VM has type 0x4e, not character");
    QTest::newRow("memo field") << damaged([](QByteArray& b) { b[32 + 11] = 'M'; })
                                << QStringLiteral("field PROCESSID has type 0x4d");
    QTest::newRow("record length one too long")
        << damaged([](QByteArray& b) { putU16(b, 10, ProcessRecordLength + 1); })
        << QStringLiteral("record length 356 is not 1 + the field widths (355)");
    QTest::newRow("record length 0") << damaged([](QByteArray& b) { putU16(b, 10, 0); })
                                     << QStringLiteral("record length 0 is not 1 + the field");
    QTest::newRow("field width disagrees with record length")
        << damaged([](QByteArray& b) { b[32 + 16] = 99; })
        << QStringLiteral("record length 355 is not 1 + the field widths (354)");
    QTest::newRow("count one past the records")
        << damaged([](QByteArray& b) { putU32(b, 4, 3); })
        << QStringLiteral("the header counts 3 records but the file holds 2");
    QTest::newRow("count of 2^32 - 1")
        << damaged([](QByteArray& b) { putU32(b, 4, 0xFFFFFFFF); })
        << QStringLiteral("the header counts 4294967295 records but the file holds 2");
    QTest::newRow("last record cut short")
        << damaged([](QByteArray& b) { b.chop(2); })
        << QStringLiteral("the header counts 2 records but the file holds 1");
    QTest::newRow("records cut off") << sound.left(h) << QStringLiteral("but the file holds 0");
    QTest::newRow("descriptors cut off")
        << sound.left(40) << QStringLiteral("header length 97 runs past the end of the file");
}

void TestTableHandle::damagedFileRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, reason);

    QVERIFY(writeBytes(path(TableSchemas::ProcessTable), bytes));
    TableHandle handle;
    handle.setFolder(m_dir->path());
    handle.setTableName(TableSchemas::ProcessTable);
    QString error;
    QVERIFY(!handle.open(&error));
    const QString prefix = QStringLiteral("Open: damaged table file \"") +
                           path(TableSchemas::ProcessTable) + QStringLiteral("\": ");
    QVERIFY2(error.startsWith(prefix) && error.contains(reason) && error.endsWith(QLatin1Char('.')),
             qPrintable(error));

    // A refused handle is closed and harmless to use.
    QVERIFY(!handle.isOpen());
    QVERIFY(handle.fields().isEmpty());
    handle.first();
    handle.next();
    QVERIFY(handle.eof());
    QVERIFY(handle.isEmpty());
    QVERIFY(handle.fieldValue(QStringLiteral("VM")).isEmpty());
    QCOMPARE(handle.recordNumber(), 0);
    handle.insert();
    handle.setFieldValue(QStringLiteral("VM"), QStringLiteral("x"));
    QVERIFY(!handle.post());
    QVERIFY(!handle.deleteRow());
    QCOMPARE(readBytes(path(TableSchemas::ProcessTable)), bytes);
}

void TestTableHandle::soundVariantsOpen_data()
{
    QTest::addColumn<QByteArray>("tail");
    QTest::addColumn<int>("dropEndByte");

    QTest::newRow("without the end byte") << QByteArray() << 1;
    QTest::newRow("bytes after the end byte") << QByteArray("junk\x1A", 5) << 0;
    QTest::newRow("a record beyond the count") << processRecord("9", "/vms/z.vm2") + '\x1A' << 1;
}

// Files other writers leave that still describe a sound table; the rows are those counted.
void TestTableHandle::soundVariantsOpen()
{
    QFETCH(QByteArray, tail);
    QFETCH(int, dropEndByte);

    QVERIFY(createProcessTable({QStringLiteral("1"), QStringLiteral("2")}));
    QByteArray bytes = readBytes(path(TableSchemas::ProcessTable));
    bytes.chop(dropEndByte);
    QVERIFY(writeBytes(path(TableSchemas::ProcessTable), bytes + tail));

    TableHandle handle;
    QVERIFY(openOn(handle, TableSchemas::ProcessTable));
    QCOMPARE(walk(handle, QStringLiteral("PROCESSID")), QStringList({u"1"_s, u"2"_s}));
}

void TestTableHandle::openTwiceKeepsPosition()
{
    QVERIFY(createProcessTable({QStringLiteral("1"), QStringLiteral("2")}));
    TableHandle handle;
    QVERIFY(openOn(handle, TableSchemas::ProcessTable));
    handle.next();
    QCOMPARE(handle.fieldValue(QStringLiteral("PROCESSID")), QStringLiteral("2"));
    QVERIFY(handle.open());
    QCOMPARE(handle.fieldValue(QStringLiteral("PROCESSID")), QStringLiteral("2"));
    QCOMPARE(handle.recordNumber(), 2);
}

void TestTableHandle::closeKeepsSettings()
{
    QVERIFY(create(TableSchemas::VMStoreTable, TableSchemas::vmStoreFields()));
    QVERIFY(append(TableSchemas::VMStoreTable, {{{QStringLiteral("DSNAME"), QStringLiteral("Main")},
                                                 {QStringLiteral("DSID"), QStringLiteral("0")}}}));
    TableHandle handle;
    handle.setFilter(TableHandle::equalsFilter(QStringLiteral("DSID"), QStringLiteral("7")));
    handle.setFiltered(true);
    QVERIFY(openOn(handle, TableSchemas::VMStoreTable));
    QVERIFY(handle.isEmpty());
    handle.close();

    QVERIFY(!handle.isOpen());
    QCOMPARE(handle.folder(), m_dir->path());
    QCOMPARE(handle.tableName(), TableSchemas::VMStoreTable);
    QCOMPARE(handle.fullPath(), path(TableSchemas::VMStoreTable));
    QCOMPARE(handle.filter(), QStringLiteral("DSID = '7'"));
    QVERIFY(handle.filtered());
    QVERIFY(handle.fields().isEmpty());
    QVERIFY(handle.eof());

    // Reopened, the handle sees the file as it is now, filter still in force.
    QVERIFY(append(TableSchemas::VMStoreTable, {{{QStringLiteral("DSNAME"), QStringLiteral("Lab")},
                                                 {QStringLiteral("DSID"), QStringLiteral("7")}}}));
    QVERIFY(handle.open());
    QVERIFY(!handle.isEmpty());
    QCOMPARE(handle.fieldValue(QStringLiteral("DSNAME")), QStringLiteral("Lab"));
    QCOMPARE(handle.recordNumber(), 2);

    // The lookup pattern's reset: closed, filter text cleared, switch off.
    handle.close();
    handle.setFilter(QString());
    handle.setFiltered(false);
    QVERIFY(handle.open());
    QCOMPARE(walk(handle, QStringLiteral("DSNAME")), QStringList({u"Main"_s, u"Lab"_s}));
}

void TestTableHandle::emptyTable()
{
    QVERIFY(create(TableSchemas::VersionTable, TableSchemas::versionFields()));
    TableHandle handle;
    QVERIFY(openOn(handle, TableSchemas::VersionTable));
    QVERIFY(handle.isEmpty());
    QVERIFY(handle.eof());
    handle.first();
    QVERIFY(handle.eof());
    QVERIFY(handle.isEmpty());
    QCOMPARE(handle.recordNumber(), 0);

    // The callers' walk runs its body once, and every field reads empty.
    int bodies = 0;
    handle.first();
    do {
        ++bodies;
        for (const TableField& field : handle.fields())
            QVERIFY2(handle.fieldValue(field.name).isEmpty(), qPrintable(field.name));
        handle.next();
    } while (!handle.eof());
    QCOMPARE(bodies, 1);
    QVERIFY(handle.eof());

    QString error;
    QVERIFY(!handle.deleteRow(&error));
    QCOMPARE(error, QStringLiteral("Delete: there is no current row."));
    handle.edit();
    QVERIFY(!handle.lastError().isEmpty());
    QVERIFY(!handle.post(&error));
    QCOMPARE(error, QStringLiteral("Post: no row is being inserted or edited."));
}

void TestTableHandle::walkVisitsRecordOrder()
{
    QVERIFY(createProcessTable({QStringLiteral("30"), QStringLiteral("10"), QStringLiteral("20")}));
    TableHandle handle;
    QVERIFY(openOn(handle, TableSchemas::ProcessTable));
    QCOMPARE(handle.fieldValue(QStringLiteral("PROCESSID")), QStringLiteral("30"));
    QVERIFY(!handle.eof());

    QList<int> numbers;
    QCOMPARE(walk(handle, QStringLiteral("PROCESSID"), &numbers),
             QStringList({u"30"_s, u"10"_s, u"20"_s}));
    QCOMPARE(numbers, QList<int>({1, 2, 3}));

    // Next at the last row sets end-of-table and leaves the row where it was, also when repeated.
    handle.first();
    handle.next();
    handle.next();
    QVERIFY(!handle.eof());
    for (int i = 0; i < 2; ++i) {
        handle.next();
        QVERIFY(handle.eof());
        QVERIFY(!handle.isEmpty());
        QCOMPARE(handle.fieldValue(QStringLiteral("PROCESSID")), QStringLiteral("20"));
        QCOMPARE(handle.fieldValue(QStringLiteral("VM")), QStringLiteral("/vms/20.vm2"));
        QCOMPARE(handle.recordNumber(), 3);
    }
    handle.first();
    QVERIFY(!handle.eof());
    QCOMPARE(handle.recordNumber(), 1);
}

void TestTableHandle::valueRoundTrip_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("read");

    const QString folder300 = QStringLiteral("/home/user/") + QString(289, QLatin1Char('v'));
    const QString a = QStringLiteral("a");
    QTest::newRow("300-character folder cut to 250")
        << QStringLiteral("PATH") << folder300 << folder300.left(250);
    QTest::newRow("exactly the width") << QStringLiteral("DSID") << QString(100, QLatin1Char('x'))
                                       << QString(100, QLatin1Char('x'));
    QTest::newRow("trailing spaces dropped")
        << QStringLiteral("DSNAME") << QStringLiteral("Main   ") << QStringLiteral("Main");
    QTest::newRow("leading spaces kept")
        << QStringLiteral("DSNAME") << QStringLiteral("   Main") << QStringLiteral("   Main");
    QTest::newRow("inner spaces kept")
        << QStringLiteral("DSNAME") << QStringLiteral("My  VMs") << QStringLiteral("My  VMs");
    QTest::newRow("only spaces read empty")
        << QStringLiteral("DSNAME") << QStringLiteral("    ") << QString();
    QTest::newRow("empty") << QStringLiteral("DSNAME") << QString() << QString();
    QTest::newRow("non-ASCII text")
        << QStringLiteral("DSNAME") << QStringLiteral("Ström 日本") << QStringLiteral("Ström 日本");
    QTest::newRow("2-byte character that fits at the end")
        << QStringLiteral("PATH") << a.repeated(248) + QStringLiteral("é")
        << a.repeated(248) + QStringLiteral("é");
    QTest::newRow("2-byte character across the width")
        << QStringLiteral("PATH") << a.repeated(249) + QStringLiteral("é") << a.repeated(249);
    QTest::newRow("3-byte character across the width")
        << QStringLiteral("PATH") << a.repeated(248) + QStringLiteral("€") << a.repeated(248);
    QTest::newRow("4-byte character across the width")
        << QStringLiteral("PATH") << a.repeated(247) + QStringLiteral("😀") << a.repeated(247);
    QTest::newRow("4-byte character on the last byte")
        << QStringLiteral("PATH") << a.repeated(246) + QStringLiteral("😀😀")
        << a.repeated(246) + QStringLiteral("😀");
}

// Written through one handle, read back through it and through another, stored as UTF-8 padded
// with spaces to the width.
void TestTableHandle::valueRoundTrip()
{
    QFETCH(QString, field);
    QFETCH(QString, written);
    QFETCH(QString, read);

    const QList<TableField> fields = TableSchemas::vmStoreFields();
    QVERIFY(create(TableSchemas::VMStoreTable, fields));
    TableHandle writer;
    QVERIFY(openOn(writer, TableSchemas::VMStoreTable));
    QVERIFY(postRow(writer, {{field, written}}));
    QCOMPARE(writer.fieldValue(field), read);

    TableHandle reader;
    QVERIFY(openOn(reader, TableSchemas::VMStoreTable));
    QCOMPARE(reader.fieldValue(field), read);

    const QByteArray bytes = readBytes(path(TableSchemas::VMStoreTable));
    const int headerLength = 32 + 32 * 3 + 1;
    const int width = fieldWidth(fields, field);
    const QByteArray stored = bytes.mid(headerLength + fieldOffset(fields, field), width);
    QByteArray expected = written.toUtf8();
    if (expected.size() > width)
        expected = read.toUtf8();
    QCOMPARE(stored, expected.leftJustified(width, ' '));
}

void TestTableHandle::storedBytesDecode_data()
{
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("read");

    QTest::newRow("UTF-8") << QByteArray("Gr\xC3\xBC\xC3\x9F") << QStringLiteral("Grüß");
    QTest::newRow("Latin-1 from an older release")
        << QByteArray("Gr\xFC\xDF") << QStringLiteral("Grüß");
    QTest::newRow("UTF-8 sequence cut short reads as Latin-1")
        << QByteArray("caf\xC3") << QStringLiteral("cafÃ");
    QTest::newRow("trailing spaces only, leading kept")
        << QByteArray("  x  ") << QStringLiteral("  x");
}

void TestTableHandle::storedBytesDecode()
{
    QFETCH(QByteArray, stored);
    QFETCH(QString, read);

    QVERIFY(create(TableSchemas::ProcessTable, TableSchemas::processFields()));
    QByteArray bytes = readBytes(path(TableSchemas::ProcessTable));
    bytes.chop(1);
    bytes += processRecord(stored, "vm") + '\x1A';
    putU32(bytes, 4, 1);
    QVERIFY(writeBytes(path(TableSchemas::ProcessTable), bytes));

    TableHandle handle;
    QVERIFY(openOn(handle, TableSchemas::ProcessTable));
    QCOMPARE(handle.fieldValue(QStringLiteral("PROCESSID")), read);
    QCOMPARE(handle.fieldValue(QStringLiteral("VM")), QStringLiteral("vm"));
}

void TestTableHandle::fieldNamesIgnoreCase()
{
    QVERIFY(create(TableSchemas::VMStoreTable, TableSchemas::vmStoreFields()));
    TableHandle handle;
    QVERIFY(openOn(handle, TableSchemas::VMStoreTable));
    handle.insert();
    handle.setFieldValue(QStringLiteral("DSName"), QStringLiteral("Main"));
    handle.setFieldValue(QStringLiteral("dsid"), QStringLiteral("0"));
    handle.setFieldValue(QStringLiteral("path"), QStringLiteral("/vms"));
    QVERIFY(handle.lastError().isEmpty());
    handle.setFieldValue(QStringLiteral("PATHS"), QStringLiteral("lost"));
    QCOMPARE(handle.lastError(), QStringLiteral("Write field: the table has no field \"PATHS\"."));
    QVERIFY(handle.post());

    QCOMPARE(handle.fieldValue(QStringLiteral("DSNAME")), QStringLiteral("Main"));
    QCOMPARE(handle.fieldValue(QStringLiteral("DSNAme")), QStringLiteral("Main"));
    QCOMPARE(handle.fieldValue(QStringLiteral("DsId")), QStringLiteral("0"));
    QCOMPARE(handle.fieldValue(QStringLiteral("Path")), QStringLiteral("/vms"));
    QVERIFY(handle.fieldValue(QStringLiteral("PATHS")).isEmpty());
    QVERIFY(handle.fieldValue(QString()).isEmpty());
}

void TestTableHandle::appendWritesExactBytes()
{
    QVERIFY(createProcessTable({QStringLiteral("1")}));
    const QByteArray before = readBytes(path(TableSchemas::ProcessTable));
    QCOMPARE(before.size(), ProcessHeaderLength + ProcessRecordLength + 1);

    const QDate today = QDate::currentDate();
    QVERIFY(append(TableSchemas::ProcessTable,
                   {{{QStringLiteral("PROCESSID"), QStringLiteral("4242")},
                     {QStringLiteral("VM"), QStringLiteral("/vms/Win 98.vm2")}}}));
    const QByteArray after = readBytes(path(TableSchemas::ProcessTable));

    QCOMPARE(after.size(), ProcessHeaderLength + 2 * ProcessRecordLength + 1);
    QCOMPARE(after.right(ProcessRecordLength + 1),
             processRecord("4242", "/vms/Win 98.vm2") + '\x1A');
    QCOMPARE(u32At(after, 4), 2u);
    QVERIFY(isWriteDate(after, today));
    // Nothing else of the header and no earlier record changed.
    QCOMPARE(after[0], before[0]);
    QCOMPARE(after.mid(8, ProcessHeaderLength - 8), before.mid(8, ProcessHeaderLength - 8));
    QCOMPARE(after.mid(ProcessHeaderLength, ProcessRecordLength),
             before.mid(ProcessHeaderLength, ProcessRecordLength));
}

// The file size limit stops the record part way, as a full disk would: the bytes that reached
// the file are taken back and the reason is named.
void TestTableHandle::appendCutShortLeavesTableAsItWas()
{
    QVERIFY(createProcessTable({QStringLiteral("1")}));
    const QString file = path(TableSchemas::ProcessTable);
    const QByteArray before = readBytes(file);
    TableHandle handle;
    QVERIFY(openOn(handle, TableSchemas::ProcessTable));
    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = rlim_t(before.size() + ProcessRecordLength / 2);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    handle.insert();
    handle.setFieldValue(QStringLiteral("PROCESSID"), QStringLiteral("2"));
    QString error;
    const bool posted = handle.post(&error);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    QVERIFY(!posted);
    QVERIFY2(error.endsWith(QStringLiteral(": File too large.")), qPrintable(error));
    QCOMPARE(readBytes(file), before);
}

void TestTableHandle::appendBecomesCurrentRow()
{
    QVERIFY(createProcessTable({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    TableHandle handle;
    QVERIFY(openOn(handle, TableSchemas::ProcessTable));
    QCOMPARE(handle.recordNumber(), 1);

    handle.insert();
    // The row being inserted starts empty, whatever the current row was.
    QVERIFY(handle.fieldValue(QStringLiteral("PROCESSID")).isEmpty());
    handle.setFieldValue(QStringLiteral("PROCESSID"), QStringLiteral("4"));
    QCOMPARE(handle.fieldValue(QStringLiteral("PROCESSID")), QStringLiteral("4"));
    QVERIFY(handle.post());
    QCOMPARE(handle.recordNumber(), 4);
    QCOMPARE(handle.fieldValue(QStringLiteral("PROCESSID")), QStringLiteral("4"));
    QVERIFY(handle.fieldValue(QStringLiteral("VM")).isEmpty());
    handle.next();
    QVERIFY(handle.eof());
    QCOMPARE(walk(handle, QStringLiteral("PROCESSID")),
             QStringList({u"1"_s, u"2"_s, u"3"_s, u"4"_s}));

    // An insert dropped by moving writes nothing.
    const QByteArray bytes = readBytes(path(TableSchemas::ProcessTable));
    handle.insert();
    handle.setFieldValue(QStringLiteral("PROCESSID"), QStringLiteral("5"));
    handle.first();
    QVERIFY(!handle.post());
    QCOMPARE(readBytes(path(TableSchemas::ProcessTable)), bytes);
}

void TestTableHandle::crashBetweenRecordAndHeader_data()
{
    QTest::addColumn<QByteArray>("leftOver");

    QTest::newRow("whole record and end byte") << processRecord("3", "/vms/lost.vm2") + '\x1A';
    QTest::newRow("half a record") << processRecord("3", "/vms/lost.vm2").left(100);
    QTest::newRow("two records and end byte")
        << processRecord("3", "/vms/lost.vm2") + processRecord("5", "/vms/lost2.vm2") + '\x1A';
}

// An append that wrote its record but not the count: the table opens with its old rows, and the
// next append takes the leftover's place.
void TestTableHandle::crashBetweenRecordAndHeader()
{
    QFETCH(QByteArray, leftOver);

    QVERIFY(createProcessTable({QStringLiteral("1"), QStringLiteral("2")}));
    QByteArray bytes = readBytes(path(TableSchemas::ProcessTable));
    const QByteArray sound = bytes;
    bytes.chop(1);
    QVERIFY(writeBytes(path(TableSchemas::ProcessTable), bytes + leftOver));

    TableHandle handle;
    QVERIFY(openOn(handle, TableSchemas::ProcessTable));
    QCOMPARE(walk(handle, QStringLiteral("PROCESSID")), QStringList({u"1"_s, u"2"_s}));

    QVERIFY(postRow(handle, {{QStringLiteral("PROCESSID"), QStringLiteral("4")},
                             {QStringLiteral("VM"), QStringLiteral("/vms/d.vm2")}}));
    const QByteArray after = readBytes(path(TableSchemas::ProcessTable));
    QCOMPARE(after.size(), ProcessHeaderLength + 3 * ProcessRecordLength + 1);
    QCOMPARE(u32At(after, 4), 3u);
    QCOMPARE(after.mid(ProcessHeaderLength, 2 * ProcessRecordLength),
             sound.mid(ProcessHeaderLength, 2 * ProcessRecordLength));
    QCOMPARE(after.right(ProcessRecordLength + 1), processRecord("4", "/vms/d.vm2") + '\x1A');
    QCOMPARE(walk(handle, QStringLiteral("PROCESSID")), QStringList({u"1"_s, u"2"_s, u"4"_s}));
}

void TestTableHandle::editRewritesOnlyItsRow()
{
    const QList<TableField> fields = TableSchemas::versionFields();
    QVERIFY(create(TableSchemas::VersionTable, fields));
    QList<Values> rows;
    for (const QString& id : {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}) {
        rows.append({{QStringLiteral("VERSION"), QStringLiteral("QEMU ") + id},
                     {QStringLiteral("ID"), id},
                     {QStringLiteral("DEFAULT"), QStringLiteral("No")}});
    }
    QVERIFY(append(TableSchemas::VersionTable, rows));
    const QByteArray before = readBytes(path(TableSchemas::VersionTable));

    TableHandle handle;
    QVERIFY(openOn(handle, TableSchemas::VersionTable));
    handle.next();
    const QDate today = QDate::currentDate();
    handle.edit();
    handle.setFieldValue(QStringLiteral("DEFAULT"), QStringLiteral("Yes"));
    QCOMPARE(handle.fieldValue(QStringLiteral("DEFAULT")), QStringLiteral("Yes"));
    QVERIFY(handle.post());
    QCOMPARE(handle.recordNumber(), 2);
    QCOMPARE(handle.fieldValue(QStringLiteral("DEFAULT")), QStringLiteral("Yes"));
    QCOMPARE(handle.fieldValue(QStringLiteral("VERSION")), QStringLiteral("QEMU b"));

    const QByteArray after = readBytes(path(TableSchemas::VersionTable));
    QCOMPARE(after.size(), before.size());
    QCOMPARE(u32At(after, 4), 3u);
    QVERIFY(isWriteDate(after, today));
    QCOMPARE(after.back(), '\x1A');
    // Exactly the DEFAULT bytes of the second record differ.
    const int headerLength = 32 + 32 * static_cast<int>(fields.size()) + 1;
    const int recordLength = u16At(before, 10);
    const int at = headerLength + recordLength + fieldOffset(fields, QStringLiteral("DEFAULT"));
    QByteArray expected = before;
    expected.replace(1, 3, after.mid(1, 3));
    expected.replace(at, 10, QByteArray("Yes").leftJustified(10, ' '));
    QCOMPARE(after, expected);
    QVERIFY(!QFile::exists(path(TableSchemas::VersionTable) + u".journal"_s));

    // Another handle sees the edit at its next move.
    TableHandle other;
    QVERIFY(openOn(other, TableSchemas::VersionTable));
    QCOMPARE(walk(other, QStringLiteral("DEFAULT")), QStringList({u"No"_s, u"Yes"_s, u"No"_s}));
}

// What a kill after the journal was written leaves: opening the table writes the record whole.
// A journal that is no edit of a counted record is dropped unused.
void TestTableHandle::journaledEditCompletesOnOpen_data()
{
    QTest::addColumn<qint64>("offset");
    QTest::addColumn<QByteArray>("fields");
    QTest::addColumn<QString>("vm");

    const qint64 second = ProcessHeaderLength + ProcessRecordLength + 1;
    const QByteArray edited = processRecord("2", "/vms/new.vm2").mid(1);
    QTest::newRow("edit of the second row") << second << edited << u"/vms/new.vm2"_s;
    QTest::newRow("beyond the count") << second + ProcessRecordLength << edited << u"/vms/2.vm2"_s;
    QTest::newRow("not at a record") << second + 1 << edited << u"/vms/2.vm2"_s;
    QTest::newRow("cut short") << second << edited.left(100) << u"/vms/2.vm2"_s;
}

void TestTableHandle::journaledEditCompletesOnOpen()
{
    QFETCH(qint64, offset);
    QFETCH(QByteArray, fields);
    QFETCH(QString, vm);

    QVERIFY(createProcessTable({QStringLiteral("1"), QStringLiteral("2")}));
    const QString journal = path(TableSchemas::ProcessTable) + u".journal"_s;
    QByteArray entry(8, '\0');
    qToLittleEndian<quint64>(quint64(offset), entry.data());
    QVERIFY(writeBytes(journal, entry + fields));
    TableHandle handle;
    QVERIFY(openOn(handle, TableSchemas::ProcessTable));
    QCOMPARE(walk(handle, QStringLiteral("VM")), QStringList({u"/vms/1.vm2"_s, vm}));
    QVERIFY(!QFile::exists(journal));
}

void TestTableHandle::editKeepsDeletionMadeElsewhere()
{
    QVERIFY(createProcessTable({QStringLiteral("1"), QStringLiteral("2")}));
    TableHandle editor;
    TableHandle deleter;
    QVERIFY(openOn(editor, TableSchemas::ProcessTable));
    QVERIFY(openOn(deleter, TableSchemas::ProcessTable));
    editor.edit();
    QVERIFY(deleter.deleteRow());
    editor.setFieldValue(QStringLiteral("VM"), QStringLiteral("/vms/changed.vm2"));
    QVERIFY(editor.post());

    const QByteArray bytes = readBytes(path(TableSchemas::ProcessTable));
    QCOMPARE(bytes.mid(ProcessHeaderLength, ProcessRecordLength),
             processRecord("1", "/vms/changed.vm2", '*'));
    QCOMPARE(walk(deleter, QStringLiteral("PROCESSID")), QStringList({u"2"_s}));
}

void TestTableHandle::postWithoutRowFails()
{
    QVERIFY(createProcessTable({QStringLiteral("1")}));
    const QByteArray bytes = readBytes(path(TableSchemas::ProcessTable));
    TableHandle handle;
    handle.setFolder(m_dir->path());
    handle.setTableName(TableSchemas::ProcessTable);

    QString error;
    handle.insert();
    handle.setFieldValue(QStringLiteral("PROCESSID"), QStringLiteral("2"));
    QVERIFY(!handle.post(&error));
    QCOMPARE(error, QStringLiteral("Post: the table is not open."));
    QVERIFY(!handle.deleteRow(&error));
    QCOMPARE(error, QStringLiteral("Delete: the table is not open."));

    QVERIFY(handle.open());
    QVERIFY(!handle.post(&error));
    QCOMPARE(error, QStringLiteral("Post: no row is being inserted or edited."));
    handle.setFieldValue(QStringLiteral("PROCESSID"), QStringLiteral("2"));
    QCOMPARE(handle.lastError(),
             QStringLiteral("Write field: no row is being inserted or edited."));
    QCOMPARE(handle.fieldValue(QStringLiteral("PROCESSID")), QStringLiteral("1"));

    // A posted row cannot be posted twice, and closing drops an unposted one.
    handle.edit();
    QVERIFY(handle.post());
    QVERIFY(!handle.post());
    handle.insert();
    handle.close();
    QVERIFY(handle.open());
    QVERIFY(!handle.post());

    const QByteArray after = readBytes(path(TableSchemas::ProcessTable));
    QCOMPARE(after.mid(4), bytes.mid(4));
}

void TestTableHandle::deleteRow_data()
{
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("deletedBefore");
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("currentAfter");

    const QStringList abcd = {u"A"_s, u"B"_s, u"C"_s, u"D"_s};
    QTest::newRow("middle row moves to the next") << abcd << QStringList() << u"B"_s << u"C"_s;
    QTest::newRow("first row moves to the next") << abcd << QStringList() << u"A"_s << u"B"_s;
    QTest::newRow("next row already deleted, moves past it")
        << abcd << QStringList({u"C"_s}) << u"B"_s << u"D"_s;
    QTest::newRow("last row moves to the previous") << abcd << QStringList() << u"D"_s << u"C"_s;
    QTest::newRow("last visible row moves to the previous visible")
        << abcd << QStringList({u"C"_s}) << u"D"_s << u"B"_s;
    QTest::newRow("last visible before deleted rows moves to the previous")
        << abcd << QStringList({u"D"_s}) << u"C"_s << u"B"_s;
    QTest::newRow("only row leaves none")
        << QStringList({u"A"_s}) << QStringList() << u"A"_s << QString();
    QTest::newRow("only visible row leaves none")
        << abcd << QStringList({u"A"_s, u"C"_s, u"D"_s}) << u"B"_s << QString();
}

void TestTableHandle::deleteRow()
{
    QFETCH(QStringList, rows);
    QFETCH(QStringList, deletedBefore);
    QFETCH(QString, target);
    QFETCH(QString, currentAfter);

    QVERIFY(createProcessTable(rows));
    TableHandle handle;
    QVERIFY(openOn(handle, TableSchemas::ProcessTable));
    for (const QString& value : deletedBefore) {
        TableHandle lookup;
        lookup.setFilter(TableHandle::equalsFilter(QStringLiteral("PROCESSID"), value));
        lookup.setFiltered(true);
        QVERIFY(openOn(lookup, TableSchemas::ProcessTable));
        QVERIFY(lookup.deleteRow());
    }
    const QByteArray before = readBytes(path(TableSchemas::ProcessTable));

    handle.first();
    while (!handle.eof() && handle.fieldValue(QStringLiteral("PROCESSID")) != target)
        handle.next();
    QCOMPARE(handle.fieldValue(QStringLiteral("PROCESSID")), target);
    const int number = handle.recordNumber();
    QString error;
    QVERIFY2(handle.deleteRow(&error), qPrintable(error));

    QCOMPARE(handle.fieldValue(QStringLiteral("PROCESSID")), currentAfter);
    QCOMPARE(handle.isEmpty(), currentAfter.isEmpty());
    QCOMPARE(handle.eof(), currentAfter.isEmpty());
    QCOMPARE(handle.recordNumber(), currentAfter.isEmpty() ? 0 : rows.indexOf(currentAfter) + 1);

    // The file keeps its length and count; only the flag byte (and the date) changed.
    const QByteArray after = readBytes(path(TableSchemas::ProcessTable));
    QCOMPARE(after.size(), before.size());
    QCOMPARE(u32At(after, 4), static_cast<quint32>(rows.size()));
    const int flagAt = ProcessHeaderLength + (number - 1) * ProcessRecordLength;
    QCOMPARE(after[flagAt], '*');
    QByteArray expected = before;
    expected[flagAt] = '*';
    expected.replace(1, 3, after.mid(1, 3));
    QCOMPARE(after, expected);

    // Neither a walk nor a filter visits it any more.
    QStringList remaining = rows;
    for (const QString& gone : deletedBefore + QStringList{target})
        remaining.removeOne(gone);
    TableHandle walker;
    QVERIFY(openOn(walker, TableSchemas::ProcessTable));
    QCOMPARE(walk(walker, QStringLiteral("PROCESSID")), remaining);
    TableHandle lookup;
    lookup.setFilter(TableHandle::equalsFilter(QStringLiteral("PROCESSID"), target));
    lookup.setFiltered(true);
    QVERIFY(openOn(lookup, TableSchemas::ProcessTable));
    QVERIFY(lookup.isEmpty());
    QVERIFY(lookup.eof());
}

void TestTableHandle::recordNumberCountsDeletedRows()
{
    QVERIFY(createProcessTable({u"A"_s, u"B"_s, u"C"_s, u"D"_s, u"E"_s}));
    TableHandle handle;
    QVERIFY(openOn(handle, TableSchemas::ProcessTable));
    handle.next();
    QVERIFY(handle.deleteRow()); // B
    handle.next();
    QVERIFY(handle.deleteRow()); // D
    QCOMPARE(handle.fieldValue(QStringLiteral("PROCESSID")), QStringLiteral("E"));

    QList<int> numbers;
    QCOMPARE(walk(handle, QStringLiteral("PROCESSID"), &numbers),
             QStringList({u"A"_s, u"C"_s, u"E"_s}));
    QCOMPARE(numbers, QList<int>({1, 3, 5}));
    QVERIFY(postRow(handle, {{QStringLiteral("PROCESSID"), QStringLiteral("F")}}));
    QCOMPARE(handle.recordNumber(), 6);
}

void TestTableHandle::filterSelects_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QList<int>>("records");

    // Rows of the table below, by record number: 1 abc, 2 ABC, 3 abcd, 4 " abc", 5 O'Brien,
    // 6 it''s, 7 empty, 8 abc (deleted), 9 abc.
    QTest::newRow("abc") << QStringLiteral("ID = 'abc'") << QList<int>{1, 9};
    QTest::newRow("ABC") << QStringLiteral("ID = 'ABC'") << QList<int>{2};
    QTest::newRow("abcd") << QStringLiteral("ID = 'abcd'") << QList<int>{3};
    QTest::newRow("ab matches nothing") << QStringLiteral("ID = 'ab'") << QList<int>{};
    QTest::newRow("leading blank is part of the value")
        << QStringLiteral("ID = ' abc'") << QList<int>{4};
    QTest::newRow("trailing blank of the literal") << QStringLiteral("ID = 'abc '") << QList<int>{};
    QTest::newRow("doubled quote") << QStringLiteral("ID = 'O''Brien'") << QList<int>{5};
    QTest::newRow("two doubled quotes") << QStringLiteral("ID = 'it''''s'") << QList<int>{6};
    QTest::newRow("empty literal") << QStringLiteral("ID = ''") << QList<int>{7};
    QTest::newRow("field name in lower case") << QStringLiteral("id = 'abc'") << QList<int>{1, 9};
    QTest::newRow("without blanks") << QStringLiteral("ID='ABC'") << QList<int>{2};
    QTest::newRow("another field") << QStringLiteral("VERSION = 'v5'") << QList<int>{5};
    QTest::newRow("literal with = inside") << QStringLiteral("DESC = 'a = b'") << QList<int>{3};
    QTest::newRow("built by equalsFilter")
        << TableHandle::equalsFilter(QStringLiteral("ID"), QStringLiteral("O'Brien"))
        << QList<int>{5};
}

void TestTableHandle::filterSelects()
{
    QFETCH(QString, filter);
    QFETCH(QList<int>, records);

    QVERIFY(create(TableSchemas::VersionTable, TableSchemas::versionFields()));
    const QStringList order = {u"abc"_s,   u"ABC"_s,  u"abcd"_s, u" abc"_s, u"O'Brien"_s,
                               u"it''s"_s, QString(), u"abc"_s,  u"abc"_s};
    QList<Values> rows;
    for (int i = 0; i < order.size(); ++i) {
        rows.append({{QStringLiteral("ID"), order[i]},
                     {QStringLiteral("VERSION"), QStringLiteral("v%1").arg(i + 1)},
                     {QStringLiteral("DESC"), i == 2 ? QStringLiteral("a = b") : QString()}});
    }
    QVERIFY(append(TableSchemas::VersionTable, rows));
    {
        TableHandle remover;
        QVERIFY(openOn(remover, TableSchemas::VersionTable));
        for (int i = 1; i < 8; ++i)
            remover.next();
        QCOMPARE(remover.recordNumber(), 8);
        QVERIFY(remover.deleteRow());
    }

    TableHandle handle;
    handle.setFilter(filter);
    handle.setFiltered(true);
    QVERIFY(openOn(handle, TableSchemas::VersionTable));
    QCOMPARE(handle.isEmpty(), records.isEmpty());
    QCOMPARE(handle.eof(), records.isEmpty());
    QCOMPARE(handle.recordNumber(), records.isEmpty() ? 0 : records.first());
    QList<int> numbers;
    walk(handle, QStringLiteral("ID"), &numbers);
    QCOMPARE(numbers, records);

    // The same text with the switch off selects every live row.
    TableHandle unfiltered;
    unfiltered.setFilter(filter);
    QVERIFY(openOn(unfiltered, TableSchemas::VersionTable));
    QCOMPARE(walk(unfiltered, QStringLiteral("ID")).size(), 8);
}

void TestTableHandle::invalidFilterRefused_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QString>("message");

    const QString invalid = QStringLiteral("Open: invalid filter \"%1\".");
    QTest::newRow("no equals sign")
        << QStringLiteral("ID 'abc'") << invalid.arg(QStringLiteral("ID 'abc'"));
    QTest::newRow("unquoted literal")
        << QStringLiteral("ID = abc") << invalid.arg(QStringLiteral("ID = abc"));
    QTest::newRow("unterminated literal")
        << QStringLiteral("ID = 'abc") << invalid.arg(QStringLiteral("ID = 'abc"));
    QTest::newRow("lone quote inside")
        << QStringLiteral("ID = 'O'Brien'") << invalid.arg(QStringLiteral("ID = 'O'Brien'"));
    QTest::newRow("only a quote") << QStringLiteral("ID = '")
                                  << invalid.arg(QStringLiteral("ID = '"));
    QTest::newRow("no field name")
        << QStringLiteral(" = 'abc'") << invalid.arg(QStringLiteral(" = 'abc'"));
    QTest::newRow("two words before =")
        << QStringLiteral("ID X = 'abc'") << invalid.arg(QStringLiteral("ID X = 'abc'"));
    QTest::newRow("unknown field")
        << QStringLiteral("DSID = 'abc'")
        << QStringLiteral("Open: the filter \"DSID = 'abc'\" names no field of the table.");
}

void TestTableHandle::invalidFilterRefused()
{
    QFETCH(QString, filter);
    QFETCH(QString, message);

    QVERIFY(create(TableSchemas::VersionTable, TableSchemas::versionFields()));
    QVERIFY(append(TableSchemas::VersionTable, {{{QStringLiteral("ID"), QStringLiteral("abc")}}}));
    TableHandle handle;
    handle.setFolder(m_dir->path());
    handle.setTableName(TableSchemas::VersionTable);
    handle.setFilter(filter);
    handle.setFiltered(true);
    QString error;
    QVERIFY(!handle.open(&error));
    QCOMPARE(error, message);
    QVERIFY(!handle.isOpen());
    QVERIFY(handle.isEmpty());

    // Switched off, the same text is not applied and the table opens.
    handle.setFiltered(false);
    QVERIFY(handle.open(&error));
    QCOMPARE(handle.fieldValue(QStringLiteral("ID")), QStringLiteral("abc"));
}

void TestTableHandle::equalsFilterQuotes_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("filter");

    QTest::newRow("plain") << QStringLiteral("ID") << QStringLiteral("x7Gh")
                           << QStringLiteral("ID = 'x7Gh'");
    QTest::newRow("one quote") << QStringLiteral("DSID") << QStringLiteral("O'Brien")
                               << QStringLiteral("DSID = 'O''Brien'");
    QTest::newRow("only quotes") << QStringLiteral("ID") << QStringLiteral("''")
                                 << QStringLiteral("ID = ''''''");
    QTest::newRow("empty") << QStringLiteral("ID") << QString() << QStringLiteral("ID = ''");
}

void TestTableHandle::equalsFilterQuotes()
{
    QFETCH(QString, field);
    QFETCH(QString, value);
    QFETCH(QString, filter);

    QCOMPARE(TableHandle::equalsFilter(field, value), filter);
}

// ProcessDB appends and ScanProcDB walks and deletes, both kept open on process.dat for the run.
void TestTableHandle::handlesSeeEachOthersWrites()
{
    QVERIFY(create(TableSchemas::ProcessTable, TableSchemas::processFields()));
    TableHandle processDb;
    TableHandle scanProcDb;
    QVERIFY(openOn(processDb, TableSchemas::ProcessTable));
    QVERIFY(openOn(scanProcDb, TableSchemas::ProcessTable));
    QVERIFY(scanProcDb.isEmpty());

    QVERIFY(postRow(processDb, {{QStringLiteral("PROCESSID"), QStringLiteral("100")},
                                {QStringLiteral("VM"), QStringLiteral("/vms/a.vm2")}}));
    QCOMPARE(walk(scanProcDb, QStringLiteral("PROCESSID")), QStringList({u"100"_s}));
    QVERIFY(scanProcDb.eof());

    // A row appended while the other handle stands at end-of-table is found by its next Next.
    QVERIFY(postRow(processDb, {{QStringLiteral("PROCESSID"), QStringLiteral("200")},
                                {QStringLiteral("VM"), QStringLiteral("/vms/b.vm2")}}));
    scanProcDb.next();
    QVERIFY(!scanProcDb.eof());
    QCOMPARE(scanProcDb.fieldValue(QStringLiteral("VM")), QStringLiteral("/vms/b.vm2"));

    // A deletion through the walker is seen by the appender's walk; its count stays in step.
    scanProcDb.first();
    QVERIFY(scanProcDb.deleteRow());
    QCOMPARE(walk(processDb, QStringLiteral("PROCESSID")), QStringList({u"200"_s}));
    QVERIFY(postRow(processDb, {{QStringLiteral("PROCESSID"), QStringLiteral("300")}}));
    QVERIFY(postRow(scanProcDb, {{QStringLiteral("PROCESSID"), QStringLiteral("400")}}));
    QCOMPARE(processDb.recordNumber(), 3);
    QCOMPARE(scanProcDb.recordNumber(), 4);

    // Seven handles at once, one of them filtered, all agree on the file.
    std::vector<std::unique_ptr<TableHandle>> handles;
    for (int i = 0; i < 7; ++i) {
        handles.push_back(std::make_unique<TableHandle>());
        if (i == 6) {
            handles.back()->setFilter(QStringLiteral("PROCESSID = '400'"));
            handles.back()->setFiltered(true);
        }
        QVERIFY(openOn(*handles.back(), TableSchemas::ProcessTable));
    }
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(walk(*handles[i], QStringLiteral("PROCESSID")),
                 QStringList({u"200"_s, u"300"_s, u"400"_s}));
    }
    QCOMPARE(walk(*handles[6], QStringLiteral("PROCESSID")), QStringList({u"400"_s}));
    const QByteArray bytes = readBytes(path(TableSchemas::ProcessTable));
    QCOMPARE(u32At(bytes, 4), 4u);
    QCOMPARE(bytes.size(), ProcessHeaderLength + 4 * ProcessRecordLength + 1);
}

// Another program cuts the file while a handle is open: the handle reads only whole records it
// finds, never past the end, and refuses to write behind the missing ones.
void TestTableHandle::fileCutShortUnderOpenHandle()
{
    QVERIFY(createProcessTable({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
    TableHandle handle;
    QVERIFY(openOn(handle, TableSchemas::ProcessTable));
    {
        QFile file(path(TableSchemas::ProcessTable));
        QVERIFY(file.resize(ProcessHeaderLength + ProcessRecordLength + ProcessRecordLength / 2));
    }
    QCOMPARE(walk(handle, QStringLiteral("PROCESSID")), QStringList({u"1"_s}));
    QVERIFY2(handle.lastError().contains(QStringLiteral("ends before its record 2")),
             qPrintable(handle.lastError()));
    QString error;
    handle.insert();
    handle.setFieldValue(QStringLiteral("PROCESSID"), QStringLiteral("4"));
    QVERIFY(!handle.post(&error));
    QVERIFY2(error.contains(QStringLiteral("the header counts 3 records but the file holds 1")),
             qPrintable(error));

    {
        QFile file(path(TableSchemas::ProcessTable));
        QVERIFY(file.resize(10));
    }
    handle.first();
    QVERIFY(handle.eof());
    QVERIFY(handle.isEmpty());
    QVERIFY(!handle.lastError().isEmpty());
    QVERIFY(handle.fieldValue(QStringLiteral("PROCESSID")).isEmpty());
    handle.insert();
    QVERIFY(!handle.post());
    QCOMPARE(QFile(path(TableSchemas::ProcessTable)).size(), 10);
}

QTEST_GUILESS_MAIN(TestTableHandle)
#include "tst_tablehandle.moc"
