#include "library/HardwarePreset.h"
#include "library/OsProfiles.h"
#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "support/TempProgramFolder.h"

#include <QTest>

#include <memory>

namespace {

// A table row as "NAME|RAM|DISK", a profile the same way.
using Rows = QStringList;

QString rowText(const OsProfile& profile)
{
    return profile.name + QLatin1Char('|') + profile.ram + QLatin1Char('|') + profile.disk;
}

OsProfile profileOf(const QString& row)
{
    const QStringList parts = row.split(QLatin1Char('|'));
    return {parts.value(0), parts.value(1), parts.value(2)};
}

void pointAtOpSys(TableHandle& handle)
{
    handle.setFolder(ProgramFolder::path());
    handle.setTableName(TableSchemas::OpSysTable);
}

// Appends rows through a handle of its own; a row beginning with "*" is deleted after it is added.
bool appendRows(const Rows& rows)
{
    TableHandle handle;
    pointAtOpSys(handle);
    if (!handle.open())
        return false;
    for (QString row : rows) {
        const bool deleted = row.startsWith(QLatin1Char('*'));
        if (deleted)
            row.remove(0, 1);
        const OsProfile profile = profileOf(row);
        handle.insert();
        handle.setFieldValue(QStringLiteral("NAME"), profile.name);
        handle.setFieldValue(QStringLiteral("RAM"), profile.ram);
        handle.setFieldValue(QStringLiteral("DISK"), profile.disk);
        handle.setFieldValue(QStringLiteral("INDEX"), QStringLiteral("ix"));
        handle.setFieldValue(QStringLiteral("HARDWARE"), QStringLiteral("hw ") + profile.name);
        if (!handle.post() || (deleted && !handle.deleteRow()))
            return false;
    }
    return true;
}

// Every live row, read through a handle of its own, as "NAME|RAM|DISK|INDEX|HARDWARE".
Rows tableRows()
{
    TableHandle handle;
    pointAtOpSys(handle);
    if (!handle.open())
        return {QStringLiteral("<cannot open>")};
    Rows rows;
    for (handle.first(); !handle.isEmpty() && !handle.eof(); handle.next()) {
        QStringList fields;
        for (const char* field : {"NAME", "RAM", "DISK", "INDEX", "HARDWARE"})
            fields.append(handle.fieldValue(QLatin1String(field)));
        rows.append(fields.join(QLatin1Char('|')));
    }
    return rows;
}

QString fullRow(const QString& name, const QString& ram, const QString& disk,
                const QString& index = QStringLiteral("ix"), const QString& hardware = {})
{
    const QString hw = hardware.isNull() ? QStringLiteral("hw ") + name : hardware;
    return QStringList{name, ram, disk, index, hw}.join(QLatin1Char('|'));
}

const Rows Duplicates{QStringLiteral("Linux|128|3000"), QStringLiteral("Windows XP|256|4000"),
                      QStringLiteral("Windows XP|512|8000"), QStringLiteral("DOS|16|100")};

} // namespace

class TestOsProfiles final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void listNames_data();
    void listNames();
    void listProfilesKeepsRecordOrder();

    void findProfile_data();
    void findProfile();

    void closedHandle();
    void missingTable();
    void rowsFromAnotherHandleSeenWithoutReopening();

    void addProfile_data();
    void addProfile();

    void updateProfile_data();
    void updateProfile();

    void hardwarePresets();

    void deleteProfile_data();
    void deleteProfile();

    void sizeForEditor_data();
    void sizeForEditor();

private:
    std::unique_ptr<TempProgramFolder> m_folder;
    TableHandle m_opsys;
};

void TestOsProfiles::init()
{
    m_folder = std::make_unique<TempProgramFolder>(TempProgramFolder::EmptyTables);
    QVERIFY(m_folder->isValid());
    pointAtOpSys(m_opsys);
    QVERIFY(m_opsys.open());
}

void TestOsProfiles::cleanup()
{
    m_opsys.close();
    m_folder.reset();
}

void TestOsProfiles::listNames_data()
{
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QStringList>("names");

    // The walk over an empty table visits one blank "row"; it must not turn into a profile.
    QTest::newRow("empty table lists nothing") << Rows{} << QStringList{};
    QTest::newRow("only deleted rows list nothing")
        << Rows{QStringLiteral("*Gone|1|2"), QStringLiteral("*Also gone|3|4")} << QStringList{};
    QTest::newRow("a row with an empty name is listed")
        << Rows{QStringLiteral("|256|10000")} << QStringList{QString()};
    QTest::newRow("record order, duplicates kept")
        << Duplicates
        << QStringList{QStringLiteral("Linux"), QStringLiteral("Windows XP"),
                       QStringLiteral("Windows XP"), QStringLiteral("DOS")};
    QTest::newRow("deleted rows skipped")
        << Rows{QStringLiteral("*Gone|1|2"), QStringLiteral("Kept|3|4"), QStringLiteral("*X|5|6")}
        << QStringList{QStringLiteral("Kept")};
    QTest::newRow("trailing blanks dropped, leading kept")
        << Rows{QStringLiteral("Windows 98   |64|2000"), QStringLiteral("  OS/2|32|500")}
        << QStringList{QStringLiteral("Windows 98"), QStringLiteral("  OS/2")};
}

void TestOsProfiles::listNames()
{
    QFETCH(Rows, rows);
    QFETCH(QStringList, names);
    QVERIFY(appendRows(rows));
    QCOMPARE(ListProfileNames(m_opsys), names);
    // A second walk on the same handle gives the same.
    QCOMPARE(ListProfileNames(m_opsys), names);
}

void TestOsProfiles::listProfilesKeepsRecordOrder()
{
    QVERIFY(appendRows(Duplicates + Rows{QStringLiteral("Sized|  64  |1 000")}));
    Rows listed;
    for (const OsProfile& profile : ListProfiles(m_opsys))
        listed.append(rowText(profile));
    // Sizes are shown as stored text: a leading blank stays, trailing ones are the table's padding.
    QCOMPARE(listed, Duplicates + Rows{QStringLiteral("Sized|  64|1 000")});
}

void TestOsProfiles::findProfile_data()
{
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("found"); // "NAME|RAM|DISK", or empty for none

    QTest::newRow("exact name") << Duplicates << QStringLiteral("Linux")
                                << QStringLiteral("Linux|128|3000");
    QTest::newRow("duplicates give the first")
        << Duplicates << QStringLiteral("Windows XP") << QStringLiteral("Windows XP|256|4000");
    QTest::newRow("first duplicate deleted gives the second")
        << Rows{QStringLiteral("*Windows XP|256|4000"), QStringLiteral("Windows XP|512|8000")}
        << QStringLiteral("Windows XP") << QStringLiteral("Windows XP|512|8000");
    QTest::newRow("case counts") << Duplicates << QStringLiteral("linux") << QString();
    QTest::newRow("prefix is not a match") << Duplicates << QStringLiteral("Windows") << QString();
    QTest::newRow("longer name is not a match")
        << Duplicates << QStringLiteral("Windows XP SP2") << QString();
    QTest::newRow("stored trailing blanks are not part of the name")
        << Rows{QStringLiteral("Windows 98   |64|2000")} << QStringLiteral("Windows 98")
        << QStringLiteral("Windows 98|64|2000");
    QTest::newRow("asked trailing blank matches nothing")
        << Rows{QStringLiteral("Windows 98|64|2000")} << QStringLiteral("Windows 98 ") << QString();
    QTest::newRow("leading blank counts")
        << Rows{QStringLiteral("  OS/2|32|500"), QStringLiteral("OS/2|64|600")}
        << QStringLiteral("OS/2") << QStringLiteral("OS/2|64|600");
    QTest::newRow("quote in the name")
        << Rows{QStringLiteral("Tom's OS|8|16")} << QStringLiteral("Tom's OS")
        << QStringLiteral("Tom's OS|8|16");
    QTest::newRow("empty name on empty table finds nothing") << Rows{} << QString() << QString();
    QTest::newRow("any name on empty table finds nothing")
        << Rows{} << QStringLiteral("Linux") << QString();
    QTest::newRow("empty name finds an empty-name row")
        << Rows{QStringLiteral("Linux|128|3000"), QStringLiteral("|256|10000")} << QString()
        << QStringLiteral("|256|10000");
    QTest::newRow("sizes that are not numbers come as text")
        << Rows{QStringLiteral("Odd|lots|big")} << QStringLiteral("Odd")
        << QStringLiteral("Odd|lots|big");
}

void TestOsProfiles::findProfile()
{
    QFETCH(Rows, rows);
    QFETCH(QString, name);
    QFETCH(QString, found);
    QVERIFY(appendRows(rows));
    const std::optional<OsProfile> profile = FindProfile(m_opsys, name);
    QCOMPARE(profile.has_value(), !found.isEmpty());
    if (profile)
        QCOMPARE(rowText(*profile), found);
}

void TestOsProfiles::closedHandle()
{
    QVERIFY(appendRows(Duplicates));
    m_opsys.close();
    QCOMPARE(ListProfileNames(m_opsys).size(), Duplicates.size());
    QVERIFY(m_opsys.isOpen());
    m_opsys.close();
    QVERIFY(FindProfile(m_opsys, QStringLiteral("DOS")));
}

void TestOsProfiles::missingTable()
{
    m_opsys.close();
    QVERIFY(QFile::remove(m_folder->file(TableSchemas::OpSysTable)));
    QCOMPARE(ListProfileNames(m_opsys), QStringList{});
    QCOMPARE(ListProfiles(m_opsys).size(), 0);
    QVERIFY(!FindProfile(m_opsys, QString()));
    QString error;
    QVERIFY(!AddProfile(m_opsys, {QStringLiteral("A"), QStringLiteral("1"), QStringLiteral("2")},
                        &error));
    QVERIFY2(error.startsWith(QStringLiteral("Open: file not found: ")), qPrintable(error));
    QVERIFY(!QFile::exists(m_folder->file(TableSchemas::OpSysTable)));
}

void TestOsProfiles::rowsFromAnotherHandleSeenWithoutReopening()
{
    QCOMPARE(ListProfileNames(m_opsys), QStringList{});
    QVERIFY(appendRows({QStringLiteral("Late|8|9")}));
    QCOMPARE(ListProfileNames(m_opsys), QStringList{QStringLiteral("Late")});
    QVERIFY(FindProfile(m_opsys, QStringLiteral("Late")));
}

void TestOsProfiles::addProfile_data()
{
    QTest::addColumn<Rows>("before");
    QTest::addColumn<QString>("added");
    QTest::addColumn<QString>("stored"); // NAME|RAM|DISK|INDEX|HARDWARE of the new last row

    QTest::newRow("to an empty table")
        << Rows{} << QStringLiteral("Linux|128|3000") << QStringLiteral("Linux|128|3000||");
    QTest::newRow("after the others, duplicate accepted")
        << Duplicates << QStringLiteral("Linux|64|1000") << QStringLiteral("Linux|64|1000||");
    QTest::newRow("empty name accepted")
        << Duplicates << QStringLiteral("|256|10000") << QStringLiteral("|256|10000||");
    QTest::newRow("trailing blanks of the name are dropped")
        << Rows{} << QStringLiteral("Windows 98  |64|2000")
        << QStringLiteral("Windows 98|64|2000||");
    QTest::newRow("long name cut to the field")
        << Rows{} << QString(QString(120, QLatin1Char('n')) + QStringLiteral("|1|2"))
        << QString(QString(100, QLatin1Char('n')) + QStringLiteral("|1|2||"));
}

void TestOsProfiles::addProfile()
{
    QFETCH(Rows, before);
    QFETCH(QString, added);
    QFETCH(QString, stored);
    QVERIFY(appendRows(before));
    const Rows existing = tableRows();
    QString error;
    QVERIFY2(AddProfile(m_opsys, profileOf(added), &error), qPrintable(error));
    QCOMPARE(tableRows(), existing + Rows{stored});
}

void TestOsProfiles::updateProfile_data()
{
    QTest::addColumn<Rows>("before");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("profile");
    QTest::addColumn<bool>("done");
    QTest::addColumn<Rows>("after");

    const QString xp = QStringLiteral("Windows XP");
    QTest::newRow("first of two duplicates")
        << Duplicates << xp << QStringLiteral("Windows XP Pro|384|4000") << true
        << Rows{fullRow(QStringLiteral("Linux"), QStringLiteral("128"), QStringLiteral("3000")),
                fullRow(QStringLiteral("Windows XP Pro"), QStringLiteral("384"),
                        QStringLiteral("4000"), QStringLiteral("ix"), QStringLiteral("hw ") + xp),
                fullRow(xp, QStringLiteral("512"), QStringLiteral("8000")),
                fullRow(QStringLiteral("DOS"), QStringLiteral("16"), QStringLiteral("100"))};
    QTest::newRow("no such name changes nothing")
        << Duplicates << QStringLiteral("windows xp") << QStringLiteral("X|1|2") << false
        << Rows{fullRow(QStringLiteral("Linux"), QStringLiteral("128"), QStringLiteral("3000")),
                fullRow(xp, QStringLiteral("256"), QStringLiteral("4000")),
                fullRow(xp, QStringLiteral("512"), QStringLiteral("8000")),
                fullRow(QStringLiteral("DOS"), QStringLiteral("16"), QStringLiteral("100"))};
    QTest::newRow("empty table changes nothing")
        << Rows{} << QString() << QStringLiteral("X|1|2") << false << Rows{};
    QTest::newRow("skips a deleted row of the name")
        << Rows{QStringLiteral("*A|1|1"), QStringLiteral("A|2|2")} << QStringLiteral("A")
        << QStringLiteral("A|3|2") << true
        << Rows{fullRow(QStringLiteral("A"), QStringLiteral("3"), QStringLiteral("2"))};
}

void TestOsProfiles::updateProfile()
{
    QFETCH(Rows, before);
    QFETCH(QString, name);
    QFETCH(QString, profile);
    QFETCH(bool, done);
    QFETCH(Rows, after);
    QVERIFY(appendRows(before));
    QString error;
    QCOMPARE(UpdateProfile(m_opsys, name, profileOf(profile), &error), done);
    QCOMPARE(error, QString());
    QCOMPARE(tableRows(), after);
}

void TestOsProfiles::deleteProfile_data()
{
    QTest::addColumn<Rows>("before");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("done");
    QTest::addColumn<Rows>("after");

    const QString xp = QStringLiteral("Windows XP");
    QTest::newRow("first of two duplicates")
        << Duplicates << xp << true << Rows{Duplicates[0], Duplicates[2], Duplicates[3]};
    QTest::newRow("last row") << Duplicates << QStringLiteral("DOS") << true
                              << Rows{Duplicates[0], Duplicates[1], Duplicates[2]};
    QTest::newRow("only row leaves an empty table")
        << Rows{QStringLiteral("Linux|1|2")} << QStringLiteral("Linux") << true << Rows{};
    QTest::newRow("no such name") << Duplicates << QStringLiteral("DOS ") << false << Duplicates;
    QTest::newRow("empty table") << Rows{} << QString() << false << Rows{};
}

void TestOsProfiles::deleteProfile()
{
    QFETCH(Rows, before);
    QFETCH(QString, name);
    QFETCH(bool, done);
    QFETCH(Rows, after);
    QVERIFY(appendRows(before));
    QString error;
    QCOMPARE(DeleteProfile(m_opsys, name, &error), done);
    QCOMPARE(error, QString());
    Rows listed;
    for (const OsProfile& profile : ListProfiles(m_opsys))
        listed.append(rowText(profile));
    QCOMPARE(listed, after);
}

void TestOsProfiles::sizeForEditor_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("size");

    QTest::newRow("number") << QStringLiteral("4000") << 4000;
    QTest::newRow("zero") << QStringLiteral("0") << 0;
    QTest::newRow("blanks around") << QStringLiteral("  512 ") << 512;
    QTest::newRow("leading zeros") << QStringLiteral("0064") << 64;
    QTest::newRow("empty") << QString() << -1;
    QTest::newRow("words") << QStringLiteral("lots") << -1;
    QTest::newRow("number with unit") << QStringLiteral("512MB") << -1;
    QTest::newRow("decimal fraction") << QStringLiteral("1.5") << -1;
    QTest::newRow("hexadecimal") << QStringLiteral("0x40") << -1;
    QTest::newRow("negative kept at the lowest") << QStringLiteral("-8") << 0;
    QTest::newRow("huge kept at the highest") << QStringLiteral("99999999999") << 2147483647;
    QTest::newRow("beyond any number") << QStringLiteral("999999999999999999999999") << -1;
}

void TestOsProfiles::sizeForEditor()
{
    QFETCH(QString, stored);
    QFETCH(int, size);
    QCOMPARE(OsProfiles::SizeForEditor(stored, -1), size);
}

// The HARDWARE field's pairs: what is known is taken, anything else is left to the defaults.
void TestOsProfiles::hardwarePresets()
{
    QVERIFY(HardwarePresets::Parse(QString()).isEmpty());
    QVERIFY(HardwarePresets::Parse(QStringLiteral("colour=blue;;=;arch;cpus=none;firmware=coreboot;"
                                                  "tpm=1.2;disk=floppy;machine=a b"))
                .isEmpty());

    const HardwarePreset preset = HardwarePresets::Parse(
        QStringLiteral(" Arch=64 ; machine=q35;firmware=UEFI-Secure;tpm=2.0;cpus=2;ram=4096;"
                       "disk=virtio-scsi;nic=e1000e;video=virtio;usb=xhci;tablet=yes;rng=no;"
                       "localtime=no;hpet=off;clipboard=yes;future=1"));
    QCOMPARE(preset.bits64, std::optional<bool>(true));
    QCOMPARE(preset.machine, QStringLiteral("q35"));
    // A 64-bit preset runs the host's own processor.
    QCOMPARE(preset.cpu, QStringLiteral("host"));
    QCOMPARE(preset.firmware, QStringLiteral("uefi-secure"));
    QCOMPARE(preset.tpm, QStringLiteral("2.0"));
    QCOMPARE(preset.cpus, 2);
    QCOMPARE(preset.minimumRam, 4096);
    QCOMPARE(HardwarePresets::DiskBusText(preset.diskBus), QStringLiteral("VirtIO SCSI"));
    QCOMPARE(preset.nic, QStringLiteral("e1000e"));
    QCOMPARE(preset.usb, QStringLiteral("xhci"));
    QCOMPARE(preset.tablet, std::optional<bool>(true));
    QCOMPARE(preset.rng, std::optional<bool>(false));
    QCOMPARE(preset.localTime, std::optional<bool>(false));
    QCOMPARE(preset.hpet, std::optional<bool>(false));
    QCOMPARE(preset.clipboard, std::optional<bool>(true));
    QVERIFY(!HardwarePresets::Parse(QStringLiteral("clipboard=no")).isEmpty());
    QCOMPARE(HardwarePresets::Parse(QStringLiteral("arch=32")).cpu, QString());
}

QTEST_GUILESS_MAIN(TestOsProfiles)
#include "tst_osprofiles.moc"
