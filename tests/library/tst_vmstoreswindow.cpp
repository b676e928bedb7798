#include "library/VMStores.h"
#include "library/ui/VMStoresWindow.h"
#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "platform/ui/Interaction.h"
#include "support/TempProgramFolder.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include <memory>

namespace {

const QString Alphabet =
    QStringLiteral("1234567890abcdefghijklmnopqrstuvwxyzABCDEFGHJKLMNPQRSTUVWXYZ");
const QString NameTitle = QStringLiteral("VM Store Name");
const QString ConfirmDelete = QStringLiteral(
    "Are you sure you wish to delete this VM Store (All Contents will not be deleted) ?");

// The scripted interaction, plus the preset of every text box, which the script does not keep.
class RecordingInteraction final : public Interaction
{
public:
    ScriptedInteraction script;
    QStringList presets;

    Answer message(QWidget* parent, MessageKind kind, const QString& text,
                   const QString& title) override
    {
        return script.message(parent, kind, text, title);
    }
    std::optional<QString> openFileName(QWidget* parent, const FileRequest& request) override
    {
        return script.openFileName(parent, request);
    }
    std::optional<QString> saveFileName(QWidget* parent, const FileRequest& request) override
    {
        return script.saveFileName(parent, request);
    }
    std::optional<QString> folder(QWidget* parent, const QString& title,
                                  const QString& startFolder) override
    {
        return script.folder(parent, title, startFolder);
    }
    std::optional<QString> text(QWidget* parent, const QString& title, const QString& prompt,
                                const QString& preset) override
    {
        presets.append(preset);
        return script.text(parent, title, prompt, preset);
    }
    int execDialog(QDialog& dialog) override { return script.execDialog(dialog); }
};

// What one interaction showed, as "kind|title|text", so a whole sequence compares at once.
QStringList shownLines(const ScriptedInteraction& script)
{
    QStringList lines;
    for (const ScriptedInteraction::Shown& shown : script.shown())
        lines.append(shown.kind + QLatin1Char('|') + shown.title + QLatin1Char('|') + shown.text);
    return lines;
}

QString line(const char* kind, const QString& title, const QString& text)
{
    return QLatin1String(kind) + QLatin1Char('|') + title + QLatin1Char('|') + text;
}

// A store row as "name|id|path".
QString rowText(const QString& name, const QString& id, const QString& path)
{
    return name + QLatin1Char('|') + id + QLatin1Char('|') + path;
}

// Every live row of the store table, read through a handle of its own.
QStringList tableRows()
{
    TableHandle handle;
    handle.setFolder(ProgramFolder::path());
    handle.setTableName(TableSchemas::VMStoreTable);
    QStringList rows;
    if (!handle.open())
        return {QStringLiteral("<cannot open>")};
    for (handle.first(); !handle.isEmpty() && !handle.eof(); handle.next())
        rows.append(rowText(handle.fieldValue(QStringLiteral("DSNAME")),
                            handle.fieldValue(QStringLiteral("DSID")),
                            handle.fieldValue(QStringLiteral("PATH"))));
    return rows;
}

bool appendStore(const QString& name, const QString& id, const QString& path)
{
    TableHandle handle;
    handle.setFolder(ProgramFolder::path());
    handle.setTableName(TableSchemas::VMStoreTable);
    if (!handle.open())
        return false;
    handle.insert();
    handle.setFieldValue(QStringLiteral("DSNAME"), name);
    handle.setFieldValue(QStringLiteral("DSID"), id);
    handle.setFieldValue(QStringLiteral("PATH"), path);
    return handle.post();
}

bool deleteStore(const QString& id)
{
    TableHandle handle;
    handle.setFolder(ProgramFolder::path());
    handle.setTableName(TableSchemas::VMStoreTable);
    handle.setFilter(TableHandle::equalsFilter(QStringLiteral("DSID"), id));
    handle.setFiltered(true);
    return handle.open() && !handle.isEmpty() && handle.deleteRow();
}

bool deleteAllStores()
{
    TableHandle handle;
    handle.setFolder(ProgramFolder::path());
    handle.setTableName(TableSchemas::VMStoreTable);
    if (!handle.open())
        return false;
    for (handle.first(); !handle.isEmpty();) {
        if (!handle.deleteRow())
            return false;
        handle.first();
    }
    return true;
}

// The list's rows as "name|id|path".
QStringList listRows(const QTreeWidget* list)
{
    QStringList rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        rows.append(rowText(item->text(0), item->data(0, Qt::UserRole).toString(), item->text(1)));
    }
    return rows;
}

QStringList listsAsRows(const StoreLists& lists)
{
    QStringList rows;
    for (qsizetype i = 0; i < lists.ids.size(); ++i)
        rows.append(rowText(lists.names.value(i), lists.ids.value(i), lists.folders.value(i)));
    return rows;
}

} // namespace

class TestVMStoresWindow final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowLayout();
    void listShowsTableRows();
    void listKeptWhenTableHasNoRows();

    void addNew_data();
    void addNew();

    void editSelected_data();
    void editSelected();
    void doubleClickEdits();
    void editOfRowGoneElsewhereDoesNothing();

    void deleteSelected_data();
    void deleteSelected();
    void deleteLeavesFolderOnDisk();
    void deleteRemovesFirstOfTwoRows();

    void noSelectionDoesNothing_data();
    void noSelectionDoesNothing();

private:
    void select(const QString& id);
    QStringList initialRows() const;

    std::unique_ptr<TempProgramFolder> m_folder;
    TableHandle m_stores;
    StoreLists m_lists;
    std::unique_ptr<VMStoresWindow> m_window;
    RecordingInteraction* m_interaction = nullptr;
};

void TestVMStoresWindow::init()
{
    auto interaction = std::make_unique<RecordingInteraction>();
    m_interaction = interaction.get();
    Interaction::install(std::move(interaction));

    m_folder = std::make_unique<TempProgramFolder>(TempProgramFolder::DefaultStore);
    QVERIFY(m_folder->isValid());
    QVERIFY(appendStore(QStringLiteral("Work"), QStringLiteral("w1"), QStringLiteral("/srv/work")));
    QVERIFY(appendStore(QStringLiteral("No id"), QString(), QStringLiteral("/srv/noid")));
    QVERIFY(appendStore(QStringLiteral("Portable"), QStringLiteral("p1"),
                        QStringLiteral("{VR}\\port")));

    m_stores.close();
    m_stores.setFolder(m_folder->path());
    m_stores.setTableName(TableSchemas::VMStoreTable);
    QVERIFY(m_stores.open());
    LoadStoreLists(m_stores, m_lists, true);

    m_window = std::make_unique<VMStoresWindow>(m_stores, m_lists);
    m_window->refill();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QCOMPARE(listRows(m_window->list()), initialRows());
}

void TestVMStoresWindow::cleanup()
{
    m_window.reset();
    m_stores.close();
    m_folder.reset();
    Interaction::install(nullptr);
    m_interaction = nullptr;
}

QStringList TestVMStoresWindow::initialRows() const
{
    return {
        rowText(QStringLiteral("Default VM Store"), QStringLiteral("0"),
                QStringLiteral("{VR}\\VMs")),
        rowText(QStringLiteral("Work"), QStringLiteral("w1"), QStringLiteral("/srv/work")),
        rowText(QStringLiteral("No id"), QString(), QStringLiteral("/srv/noid")),
        rowText(QStringLiteral("Portable"), QStringLiteral("p1"), QStringLiteral("{VR}\\port"))};
}

void TestVMStoresWindow::select(const QString& id)
{
    QTreeWidget* list = m_window->list();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        if (item->data(0, Qt::UserRole).toString() == id) {
            list->setCurrentItem(item);
            QVERIFY(item->isSelected());
            return;
        }
    }
    QFAIL(qPrintable(QStringLiteral("no row with identifier ") + id));
}

void TestVMStoresWindow::windowLayout()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("VM Stores"));
    const QToolBar* toolbar = m_window->findChild<QToolBar*>();
    QVERIFY(toolbar);
    QStringList hints;
    for (const QAction* action : toolbar->actions())
        hints.append(action->isSeparator() ? QStringLiteral("-") : action->toolTip());
    QCOMPARE(hints, (QStringList{QStringLiteral("Add New"), QStringLiteral("Delete Selected"),
                                 QStringLiteral("-"), QStringLiteral("Edit Selected")}));

    const QTreeWidget* list = m_window->list();
    QCOMPARE(list->headerItem()->text(0), QStringLiteral("Name"));
    QCOMPARE(list->headerItem()->text(1), QStringLiteral("Path"));
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
}

void TestVMStoresWindow::listShowsTableRows()
{
    // Rows changed behind the window's back show at the next fill, in record order, with the
    // path as stored.
    QVERIFY(appendStore(QStringLiteral("Later"), QStringLiteral("l1"), QStringLiteral("{vr}\\x")));
    m_window->refill();
    QCOMPARE(listRows(m_window->list()),
             initialRows() << rowText(QStringLiteral("Later"), QStringLiteral("l1"),
                                      QStringLiteral("{vr}\\x")));
}

void TestVMStoresWindow::listKeptWhenTableHasNoRows()
{
    QVERIFY(deleteAllStores());
    m_window->refill();
    QCOMPARE(listRows(m_window->list()), initialRows());
}

void TestVMStoresWindow::addNew_data()
{
    QTest::addColumn<std::optional<QString>>("name");
    QTest::addColumn<std::optional<QString>>("folder");
    QTest::addColumn<bool>("added");

    QTest::newRow("name and folder") << std::optional<QString>(QStringLiteral("Lab"))
                                     << std::optional<QString>(QStringLiteral("/srv/lab")) << true;
    QTest::newRow("empty name accepted")
        << std::optional<QString>(QString()) << std::optional<QString>(QStringLiteral("/srv/anon"))
        << true;
    QTest::newRow("name cancelled")
        << std::optional<QString>() << std::optional<QString>() << false;
    QTest::newRow("folder cancelled")
        << std::optional<QString>(QStringLiteral("Lab")) << std::optional<QString>() << false;
}

void TestVMStoresWindow::addNew()
{
    QFETCH(std::optional<QString>, name);
    QFETCH(std::optional<QString>, folder);
    QFETCH(bool, added);
    ScriptedInteraction& script = m_interaction->script;
    script.answerText(name);
    if (name)
        script.answerText(folder);

    m_window->AddNewClick();

    QStringList expectedShown{
        line("text", NameTitle, QStringLiteral("Enter a name for the new VM Store"))};
    if (name)
        expectedShown.append(
            line("folder", QStringLiteral("Select New VM Store Folder"), QString()));
    QCOMPARE(shownLines(script), expectedShown);
    QCOMPARE(m_interaction->presets, QStringList{QString()});
    QCOMPARE(script.pendingAnswers(), 0);

    if (!added) {
        QCOMPARE(tableRows(), initialRows());
        QCOMPARE(listsAsRows(m_lists), initialRows());
        QCOMPARE(listRows(m_window->list()), initialRows());
        return;
    }
    // The new store is the last entry of the store lists, the table and the window's list.
    QCOMPARE(m_lists.ids.size(), initialRows().size() + 1);
    const QString id = m_lists.ids.last();
    QCOMPARE(id.size(), 20);
    for (const QChar c : id)
        QVERIFY2(Alphabet.contains(c), qPrintable(id));
    const QStringList expected = initialRows() << rowText(*name, id, *folder);
    QCOMPARE(tableRows(), expected);
    QCOMPARE(listsAsRows(m_lists), expected);
    QCOMPARE(listRows(m_window->list()), expected);
}

void TestVMStoresWindow::editSelected_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<std::optional<QString>>("name");
    QTest::addColumn<std::optional<QString>>("folder");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("preset"); // of the name box; null when it is not shown
    QTest::addColumn<int>("changedRow"); // -1 when nothing changes

    const QString namePrompt = line("text", NameTitle, QStringLiteral("VM Store Name ?"));
    const QString folderPicker =
        line("folder", QStringLiteral("Select VM Store Folder"), QString());

    QTest::newRow("default store refused")
        << QStringLiteral("0") << std::optional<QString>() << std::optional<QString>()
        << QStringList{line("warning", QStringLiteral("Warning"),
                            QStringLiteral("You cannot modify the default VM Store"))}
        << QString() << -1;
    QTest::newRow("name and folder set")
        << QStringLiteral("w1") << std::optional<QString>(QStringLiteral("Office"))
        << std::optional<QString>(QStringLiteral("/srv/office"))
        << QStringList{namePrompt, folderPicker} << QStringLiteral("Work") << 1;
    QTest::newRow("unchanged name still rewrites the folder")
        << QStringLiteral("p1") << std::optional<QString>(QStringLiteral("Portable"))
        << std::optional<QString>(QStringLiteral("/media/usb"))
        << QStringList{namePrompt, folderPicker} << QStringLiteral("Portable") << 3;
    QTest::newRow("name emptied") << QStringLiteral("w1") << std::optional<QString>(QString())
                                  << std::optional<QString>(QStringLiteral("/srv/work"))
                                  << QStringList{namePrompt, folderPicker} << QStringLiteral("Work")
                                  << 1;
    QTest::newRow("name cancelled")
        << QStringLiteral("w1") << std::optional<QString>() << std::optional<QString>()
        << QStringList{namePrompt} << QStringLiteral("Work") << -1;
    QTest::newRow("folder cancelled keeps the old name too")
        << QStringLiteral("w1") << std::optional<QString>(QStringLiteral("Office"))
        << std::optional<QString>() << QStringList{namePrompt, folderPicker}
        << QStringLiteral("Work") << -1;
}

void TestVMStoresWindow::editSelected()
{
    QFETCH(QString, id);
    QFETCH(std::optional<QString>, name);
    QFETCH(std::optional<QString>, folder);
    QFETCH(QStringList, shown);
    QFETCH(QString, preset);
    QFETCH(int, changedRow);
    ScriptedInteraction& script = m_interaction->script;
    if (id != QStringLiteral("0")) {
        script.answerText(name);
        if (name)
            script.answerText(folder);
    }
    select(id);

    m_window->EditSelectedClick();

    QCOMPARE(shownLines(script), shown);
    QCOMPARE(m_interaction->presets, preset.isNull() ? QStringList() : QStringList{preset});
    QCOMPARE(script.pendingAnswers(), 0);
    QStringList expected = initialRows();
    if (changedRow >= 0)
        expected[changedRow] = rowText(*name, id, *folder);
    QCOMPARE(tableRows(), expected);
    QCOMPARE(listsAsRows(m_lists), expected);
    QCOMPARE(listRows(m_window->list()), expected);
}

void TestVMStoresWindow::doubleClickEdits()
{
    ScriptedInteraction& script = m_interaction->script;
    script.answerText(QStringLiteral("Clicked"));
    script.answerText(QStringLiteral("/srv/clicked"));
    QTreeWidget* list = m_window->list();
    QTreeWidgetItem* item = list->topLevelItem(1);
    const QPoint centre = list->visualItemRect(item).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, centre);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, centre);

    QCOMPARE(shownLines(script),
             (QStringList{line("text", NameTitle, QStringLiteral("VM Store Name ?")),
                          line("folder", QStringLiteral("Select VM Store Folder"), QString())}));
    QStringList expected = initialRows();
    expected[1] =
        rowText(QStringLiteral("Clicked"), QStringLiteral("w1"), QStringLiteral("/srv/clicked"));
    QCOMPARE(tableRows(), expected);
}

void TestVMStoresWindow::editOfRowGoneElsewhereDoesNothing()
{
    select(QStringLiteral("w1"));
    QVERIFY(deleteStore(QStringLiteral("w1")));
    m_interaction->script.answerText(QStringLiteral("Ghost"));
    m_interaction->script.answerText(QStringLiteral("/srv/ghost"));

    m_window->EditSelectedClick();

    QCOMPARE(shownLines(m_interaction->script), QStringList());
    QStringList expected = initialRows();
    expected.removeAt(1);
    QCOMPARE(tableRows(), expected);
}

void TestVMStoresWindow::deleteSelected_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<int>("deletedRow"); // -1 when nothing is deleted

    const QString confirmation = line("confirmation", QStringLiteral("Confirm"), ConfirmDelete);
    const QString refused = line("warning", QStringLiteral("Warning"),
                                 QStringLiteral("You cannot delete the default VM Store"));
    QTest::newRow("default store refused")
        << QStringLiteral("0") << true << QStringList{refused} << -1;
    QTest::newRow("row without identifier refused")
        << QString() << true << QStringList{refused} << -1;
    QTest::newRow("No keeps the store")
        << QStringLiteral("w1") << false << QStringList{confirmation} << -1;
    QTest::newRow("Yes deletes the store")
        << QStringLiteral("w1") << true << QStringList{confirmation} << 1;
    QTest::newRow("Yes deletes the last store")
        << QStringLiteral("p1") << true << QStringList{confirmation} << 3;
}

void TestVMStoresWindow::deleteSelected()
{
    QFETCH(QString, id);
    QFETCH(bool, yes);
    QFETCH(QStringList, shown);
    QFETCH(int, deletedRow);
    ScriptedInteraction& script = m_interaction->script;
    script.answerMessage(yes ? Interaction::Answer::Yes : Interaction::Answer::No);
    select(id);

    m_window->DeleteSelectedClick();

    // The warning's OK takes the scripted answer; so does the confirmation.
    QCOMPARE(shownLines(script), shown);
    QStringList expected = initialRows();
    if (deletedRow >= 0)
        expected.removeAt(deletedRow);
    QCOMPARE(tableRows(), expected);
    QCOMPARE(listsAsRows(m_lists), expected);
    QCOMPARE(listRows(m_window->list()), expected);
}

void TestVMStoresWindow::deleteLeavesFolderOnDisk()
{
    const QString folder = m_folder->file(QStringLiteral("Lab"));
    QVERIFY(QDir().mkpath(folder));
    QFile vm(folder + QStringLiteral("/Guest.vm2"));
    QVERIFY(vm.open(QIODevice::WriteOnly));
    vm.write("[General]\r\nVM Store ID=lab\r\n");
    vm.close();
    QFile disk(folder + QStringLiteral("/Guest.img"));
    QVERIFY(disk.open(QIODevice::WriteOnly));
    disk.write(QByteArray(4096, '\0'));
    disk.close();

    QVERIFY(appendStore(QStringLiteral("Lab"), QStringLiteral("lab"), folder));
    m_window->refill();
    select(QStringLiteral("lab"));
    m_interaction->script.answerMessage(Interaction::Answer::Yes);
    m_window->DeleteSelectedClick();

    QCOMPARE(tableRows(), initialRows());
    QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name),
             (QStringList{QStringLiteral("Guest.img"), QStringLiteral("Guest.vm2")}));
    QCOMPARE(QFileInfo(folder + QStringLiteral("/Guest.img")).size(), 4096);
}

void TestVMStoresWindow::deleteRemovesFirstOfTwoRows()
{
    QVERIFY(appendStore(QStringLiteral("Work copy"), QStringLiteral("w1"), QStringLiteral("/w2")));
    m_window->refill();
    select(QStringLiteral("w1"));
    m_interaction->script.answerMessage(Interaction::Answer::Yes);

    m_window->DeleteSelectedClick();

    QStringList expected = initialRows();
    expected.removeAt(1);
    expected.append(
        rowText(QStringLiteral("Work copy"), QStringLiteral("w1"), QStringLiteral("/w2")));
    QCOMPARE(tableRows(), expected);
    QCOMPARE(listRows(m_window->list()), expected);
}

void TestVMStoresWindow::noSelectionDoesNothing_data()
{
    QTest::addColumn<bool>("edit");
    QTest::newRow("edit") << true;
    QTest::newRow("delete") << false;
}

void TestVMStoresWindow::noSelectionDoesNothing()
{
    QFETCH(bool, edit);
    QTreeWidget* list = m_window->list();
    list->setCurrentItem(nullptr);
    list->clearSelection();
    ScriptedInteraction& script = m_interaction->script;
    script.answerMessage(Interaction::Answer::Yes);

    if (edit)
        m_window->EditSelectedClick();
    else
        m_window->DeleteSelectedClick();

    QCOMPARE(shownLines(script), QStringList());
    QCOMPARE(tableRows(), initialRows());
}

QTEST_MAIN(TestVMStoresWindow)
#include "tst_vmstoreswindow.moc"
