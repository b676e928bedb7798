#include "VersionRows.h"
#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "support/TempProgramFolder.h"
#include "versions/VersionControl.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <memory>

using namespace VersionControl;

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

// Every live row in record order, in the form appendRows takes; an identifier of 50 characters
// that the test did not write reads as "<new>".
QStringList tableRows(const QStringList& knownIds = {})
{
    TableHandle handle;
    handle.setFolder(ProgramFolder::path());
    handle.setTableName(TableSchemas::VersionTable);
    QStringList rows;
    if (!handle.open())
        return {s("cannot open")};
    handle.first();
    for (; !handle.isEmpty() && !handle.eof(); handle.next()) {
        QStringList parts;
        for (const QString& field : RowFields)
            parts.append(handle.fieldValue(field));
        if (!knownIds.contains(parts.at(0)) && parts.at(0).size() == 50)
            parts[0] = s("<new>");
        rows.append(parts.join(QLatin1Char('|')));
    }
    return rows;
}

TableHandle* openVersions(std::unique_ptr<TableHandle>& handle)
{
    handle = std::make_unique<TableHandle>();
    handle->setFolder(ProgramFolder::path());
    handle->setTableName(TableSchemas::VersionTable);
    return handle.get();
}

QString formText(const VersionForm& form)
{
    const auto box = [](bool on) { return on ? QLatin1Char('x') : QLatin1Char('-'); };
    return QString::number(form.version) + QLatin1Char('|') + form.description + QLatin1Char('|') +
           form.path + QLatin1Char('|') + box(form.integrated) + box(form.usb) + box(form.kqemu) +
           box(form.fmod) + box(form.isDefault) + box(form.bluetooth) + box(form.console);
}

} // namespace

Q_DECLARE_METATYPE(VersionForm)

class TestVersionControl final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void treeOrder_data();
    void treeOrder();
    void findAndDetails();
    void newPreset();
    void formFromRow_data();
    void formFromRow();
    void versionChoice();
    void addWritesRow_data();
    void addWritesRow();
    void defaultRule_data();
    void defaultRule();
    void updateKeepsIdAndUnknownChangesNothing();
    void deleteRows();
    void folderChooser();

private:
    std::unique_ptr<TempProgramFolder> m_folder;
    std::unique_ptr<TableHandle> m_handle;
};

void TestVersionControl::init()
{
    m_folder = std::make_unique<TempProgramFolder>();
    QVERIFY(m_folder->isValid());
}

void TestVersionControl::cleanup()
{
    m_handle.reset();
    m_folder.reset();
}

void TestVersionControl::treeOrder_data()
{
    QTest::addColumn<QStringList>("descriptions");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("empty table") << QStringList{} << QStringList{};
    QTest::newRow("b then a") << QStringList{s("b"), s("a")} << QStringList{s("a"), s("b")};
    QTest::newRow("a then b") << QStringList{s("a"), s("b")} << QStringList{s("a"), s("b")};
    QTest::newRow("letter case ignored")
        << QStringList{s("qemu 0.9"), s("QEMU 0.10"), s("Qemu 0.11")}
        << QStringList{s("QEMU 0.10"), s("Qemu 0.11"), s("qemu 0.9")};
    QTest::newRow("equal texts keep record order") << QStringList{s("same"), s("first"), s("same")}
                                                   << QStringList{s("first"), s("same"), s("same")};
}

void TestVersionControl::treeOrder()
{
    QFETCH(QStringList, descriptions);
    QFETCH(QStringList, expected);
    QStringList rows;
    for (int i = 0; i < descriptions.size(); ++i)
        rows.append(s("id%1|%2").arg(i).arg(descriptions.at(i)));
    QVERIFY(appendRows(rows));
    QStringList texts;
    QStringList ids;
    for (const VersionNode& node : VersionTree(*openVersions(m_handle))) {
        texts.append(node.text);
        ids.append(node.id);
    }
    QCOMPARE(texts, expected);
    if (QTest::currentDataTag() == QByteArray("equal texts keep record order"))
        QCOMPARE(ids, (QStringList{s("id1"), s("id0"), s("id2")}));
}

void TestVersionControl::findAndDetails()
{
    QVERIFY(
        appendRows({s("v1|One|QEMU 0.11.x|1|{VR}\\qemu|Yes|No|Yes|fm|Yes|No|Yes"),
                    s("v2|Two|QEMU 0.10.x|2|C:\\q|No|No|No|No|No|No|No"), s("v1|Shadow|||||")}));
    TableHandle& versions = *openVersions(m_handle);
    QVERIFY(!FindVersion(versions, s("V1")));
    QVERIFY(!FindVersion(versions, s("TOP")));
    const std::optional<VersionRow> row = FindVersion(versions, s("v1"));
    QVERIFY(row);
    QStringList details;
    for (const auto& [option, setting] : VersionDetails(*row))
        details.append(option + QLatin1Char('=') + setting);
    // The first row of an identifier counts; every setting is the field as stored.
    QCOMPARE(details,
             (QStringList{s("Description=One"), s("Version=QEMU 0.11.x"), s("Path={VR}\\qemu"),
                          s("Integrated Display=Yes"), s("USB Support=No"), s("KQEMU Support=Yes"),
                          s("FMOD Support=fm"), s("Bluetooth Support=No"),
                          s("Vimor Monitor Support=Yes"), s("Default=Yes")}));
}

void TestVersionControl::newPreset()
{
    QCOMPARE(formText(NewVersionForm()), s("1|||-xx---x"));
    QCOMPARE(VersionNames(), (QStringList{s("QEMU 0.12 and above"), s("QEMU 0.11.x"),
                                          s("QEMU 0.10.x"), s("QEMU 7.2 and above")}));
}

void TestVersionControl::formFromRow_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("form");
    // Rows as VERID|INT|USB|KQEMU|FMOD|DEFAULT|BT|CONSOLE.
    QTest::newRow("all on, 0.11") << s("1|Yes|Yes|Yes|Yes|Yes|Yes|Yes") << s("1|D|P|xxxxxxx");
    QTest::newRow("all off, 0.10") << s("2|No|No|No|No|No|No|No") << s("2|D|P|-------");
    QTest::newRow("empty code") << s("|No|Yes|No|No|No|No|Yes") << s("1|D|P|-x----x");
    QTest::newRow("code not a number") << s("new|No|No|Yes|No|No|No|No") << s("1|D|P|--x----");
    QTest::newRow("code out of range") << s("7|No|No|No|No|No|No|No") << s("1|D|P|-------");
    QTest::newRow("0.12 drops KQEMU, keeps monitor")
        << s("0|No|No|Yes|No|No|No|Yes") << s("0|D|P|------x");
    QTest::newRow("only exact Yes counts") << s("1|yes|YES|Yes|y|1|true|on") << s("1|D|P|--x----");
}

void TestVersionControl::formFromRow()
{
    QFETCH(QString, row);
    QFETCH(QString, form);
    const QStringList parts = row.split(QLatin1Char('|'));
    VersionRow stored;
    stored.description = s("D");
    stored.path = s("P");
    stored.code = parts.at(0);
    stored.integrated = parts.at(1);
    stored.usb = parts.at(2);
    stored.kqemu = parts.at(3);
    stored.fmod = parts.at(4);
    stored.isDefault = parts.at(5);
    stored.bluetooth = parts.at(6);
    stored.console = parts.at(7);
    QCOMPARE(formText(FormFromRow(stored)), form);
}

void TestVersionControl::versionChoice()
{
    VersionForm form = NewVersionForm();
    ChooseVersion(form, 0);
    QCOMPARE(formText(form), s("0|||-x-----"));
    QVERIFY(!KqemuAllowed(0));
    ChooseVersion(form, 2);
    // The monitor comes back; KQEMU is allowed again but stays as it was.
    QCOMPARE(formText(form), s("2|||-x----x"));
    QVERIFY(KqemuAllowed(2));
    form.kqemu = true;
    ChooseVersion(form, 1);
    QCOMPARE(formText(form), s("1|||-xx---x"));
    // Today's QEMU: no KQEMU, and its private monitor stays offered.
    ChooseVersion(form, 3);
    QCOMPARE(formText(form), s("3|||-x----x"));
    QVERIFY(!KqemuAllowed(3));
}

void TestVersionControl::addWritesRow_data()
{
    QTest::addColumn<VersionForm>("form");
    QTest::addColumn<QString>("row");
    QTest::newRow("new preset, empty texts")
        << NewVersionForm() << s("<new>||QEMU 0.11.x|1||No|Yes|Yes|No|Yes|No|No|");
    VersionForm all;
    all.version = 0;
    all.description = s("QEMU 0.12.5");
    all.path = s("{VR}\\qemu\\0.12");
    all.integrated = all.usb = all.fmod = all.bluetooth = all.console = true;
    QTest::newRow("0.12 with boxes")
        << all
        << s("<new>|QEMU 0.12.5|QEMU 0.12 and above|0|{VR}\\qemu\\0.12|Yes|Yes|No|Yes|"
             "Yes|Yes|No|");
    VersionForm old;
    old.version = 2;
    old.description = s("Old 'quoted' build");
    old.path = s("C:\\Program Files\\qemu");
    old.kqemu = true;
    QTest::newRow("0.10 with KQEMU")
        << old
        << s("<new>|Old 'quoted' build|QEMU 0.10.x|2|C:\\Program Files\\qemu|No|No|Yes|No|"
             "No|No|No|");
}

void TestVersionControl::addWritesRow()
{
    QFETCH(VersionForm, form);
    QFETCH(QString, row);
    QVERIFY(appendRows({s("old|Old|QEMU 0.11.x|1|p|No|No|No|No|No|No|No")}));
    QString error;
    const std::optional<QString> id = AddVersion(*openVersions(m_handle), form, &error);
    QVERIFY2(id, qPrintable(error));
    QCOMPARE(id->size(), 50);
    QCOMPARE(tableRows({s("old")}),
             (QStringList{s("old|Old|QEMU 0.11.x|1|p|No|No|No|No|No|No|No|"), row}));
    // Each definition gets an identifier of its own.
    const std::optional<QString> second = AddVersion(*m_handle, form);
    QVERIFY(second && *second != *id);
}

void TestVersionControl::defaultRule_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("setAsDefault");
    QTest::addColumn<QStringList>("defaults"); // DEFAULT of every row afterwards, record order
    QTest::newRow("add as default")
        << s("add") << true << QStringList{s("No"), s("No"), s("No"), s("Yes")};
    QTest::newRow("add not default")
        << s("add") << false << QStringList{s("Yes"), QString(), s("Yes"), s("No")};
    QTest::newRow("edit default row, unchecked")
        << s("edit a") << false << QStringList{s("No"), QString(), s("Yes")};
    QTest::newRow("edit other row as default")
        << s("edit b") << true << QStringList{s("No"), s("Yes"), s("No")};
}

void TestVersionControl::defaultRule()
{
    QFETCH(QString, action);
    QFETCH(bool, setAsDefault);
    QFETCH(QStringList, defaults);
    // Two rows claim the default (the first counts); the empty one is a package of unknown code.
    QVERIFY(appendRows({s("a|A|QEMU 0.11.x|1|p|No|No|No|No|No|No|Yes"), s("b|B|||p||||||||"),
                        s("c|C|QEMU 0.11.x|1|p|No|No|No|No|No|No|Yes")}));
    TableHandle& versions = *openVersions(m_handle);
    VersionForm form = NewVersionForm();
    form.isDefault = setAsDefault;
    QString error;
    if (action == s("add")) {
        QVERIFY2(AddVersion(versions, form, &error), qPrintable(error));
    } else {
        const QString id = action.right(1);
        form = FormFromRow(*FindVersion(versions, id));
        form.isDefault = setAsDefault;
        QVERIFY2(UpdateVersion(versions, id, form, &error), qPrintable(error));
    }
    QStringList stored;
    for (const QString& row : tableRows({s("a"), s("b"), s("c")}))
        stored.append(row.section(QLatin1Char('|'), 11, 11));
    QCOMPARE(stored, defaults);
}

void TestVersionControl::updateKeepsIdAndUnknownChangesNothing()
{
    QVERIFY(appendRows({s("a|A|QEMU 0.11.x|1|p|No|No|No|No|No|No|No"),
                        s("b|B||||Yes|Yes|Yes|Yes|Yes|Yes|Yes|kept")}));
    TableHandle& versions = *openVersions(m_handle);
    VersionForm form;
    form.version = 0;
    form.description = s("B2");
    form.path = s("{VR}\\qemu");
    form.usb = true;
    QString error;
    QVERIFY2(UpdateVersion(versions, s("b"), form, &error), qPrintable(error));
    const QStringList after{s("a|A|QEMU 0.11.x|1|p|No|No|No|No|No|No|No|"),
                            s("b|B2|QEMU 0.12 and above|0|{VR}\\qemu|No|Yes|No|No|No|No|No|kept")};
    QCOMPARE(tableRows({s("a"), s("b")}), after);

    QVERIFY(!UpdateVersion(versions, s("B"), form, &error));
    QVERIFY(!UpdateVersion(versions, s("TOP"), form, &error));
    QCOMPARE(tableRows({s("a"), s("b")}), after);
}

void TestVersionControl::deleteRows()
{
    QVERIFY(appendRows({s("a|A"), s("b|B"), s("a|A again"), s("c|C")}));
    TableHandle& versions = *openVersions(m_handle);
    QString error;
    QVERIFY2(DeleteVersion(versions, s("a"), &error), qPrintable(error));
    QCOMPARE(tableRows({s("a"), s("b"), s("c")}),
             (QStringList{s("b|B|||||||||||"), s("a|A again|||||||||||"), s("c|C|||||||||||")}));
    // The root's datum and a different letter case match no row: nothing is deleted.
    QVERIFY(DeleteVersion(versions, s("TOP"), &error));
    QVERIFY(DeleteVersion(versions, s("C"), &error));
    QCOMPARE(tableRows({s("a"), s("b"), s("c")}).size(), 3);
    QVERIFY(DeleteVersion(versions, s("b")));
    QVERIFY(DeleteVersion(versions, s("a")));
    QVERIFY(DeleteVersion(versions, s("c")));
    QCOMPARE(tableRows(), QStringList{});
    QCOMPARE(VersionTree(versions).size(), 0);
}

void TestVersionControl::folderChooser()
{
    const QString qemu = m_folder->file(s("qemu"));
    QVERIFY(QDir().mkpath(qemu + s("/0.12")));
    QVERIFY(QDir().mkpath(qemu + s("/Alpha")));
    QVERIFY(QDir().mkpath(qemu + s("/0.10")));
    const auto make = [](const QString& path, bool executable) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write("x");
        file.close();
        if (executable)
            return file.setPermissions(file.permissions() | QFileDevice::ExeOwner);
        return true;
    };
    QVERIFY(make(qemu + s("/qemu.exe"), false));
    QVERIFY(make(qemu + s("/QEMU-IMG.EXE"), false));
    QVERIFY(make(qemu + s("/qemu-system-x86_64"), true));
    QVERIFY(make(qemu + s("/bios.bin"), false));
    QVERIFY(make(qemu + s("/README"), false));
    QVERIFY(make(qemu + s("/0.12/qemu-system-arm"), true));
    QVERIFY(make(qemu + s("/0.12/keymap"), false));

    QCOMPARE(QDir::cleanPath(QemuFolder()), QDir::cleanPath(qemu));
    QCOMPARE(QemuSubfolders(), (QStringList{s("0.10"), s("0.12"), s("Alpha")}));
    QCOMPARE(QemuPrograms(QemuChooserFolder(QString())),
             (QStringList{s("QEMU-IMG.EXE"), s("qemu-system-x86_64"), s("qemu.exe")}));
    QCOMPARE(QemuPrograms(QemuChooserFolder(s("0.12"))), QStringList{s("qemu-system-arm")});
    QCOMPARE(QemuPrograms(QemuChooserFolder(s("0.10"))), QStringList{});
    QCOMPARE(QemuPrograms(QemuChooserFolder(s("missing"))), QStringList{});
    QCOMPARE(PortableQemuPath(QString()), s("{VR}\\qemu"));
    QCOMPARE(PortableQemuPath(s("0.12")), s("{VR}\\qemu\\0.12"));

    // Without a QEMU folder the chooser has only its root, and no programs.
    QVERIFY(QDir(qemu).removeRecursively());
    QCOMPARE(QemuSubfolders(), QStringList{});
    QCOMPARE(QemuPrograms(QemuChooserFolder(QString())), QStringList{});
}

QTEST_MAIN(TestVersionControl)
#include "tst_versioncontrol.moc"
