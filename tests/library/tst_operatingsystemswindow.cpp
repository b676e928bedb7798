#include "library/OsProfiles.h"
#include "library/ui/OperatingSystemsWindow.h"
#include "library/ui/ProfileEditorDialog.h"
#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/ui/Interaction.h"
#include "support/TempProgramFolder.h"

#include <QAction>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

#include <memory>

namespace {

using Rows = QStringList; // rows as "NAME|RAM|DISK"

const QString EditorTitle = QStringLiteral("Add New Operating System Defination");
const QString DeleteQuestion =
    QStringLiteral("Are you sure you wish to delete this operating system definition ?");

const Rows Initial{QStringLiteral("Linux|128|3000"), QStringLiteral("Windows XP|256|4000"),
                   QStringLiteral("Windows XP|512|8000"), QStringLiteral("Windows 98   |64|2000"),
                   QStringLiteral("Odd|lots|big")};
// As the table gives them back: trailing blanks are the field's padding.
const Rows InitialRead{QStringLiteral("Linux|128|3000"), QStringLiteral("Windows XP|256|4000"),
                       QStringLiteral("Windows XP|512|8000"), QStringLiteral("Windows 98|64|2000"),
                       QStringLiteral("Odd|lots|big")};

QString rowText(const OsProfile& profile)
{
    return profile.name + QLatin1Char('|') + profile.ram + QLatin1Char('|') + profile.disk;
}

void pointAtOpSys(TableHandle& handle)
{
    handle.setFolder(ProgramFolder::path());
    handle.setTableName(TableSchemas::OpSysTable);
}

bool appendRows(const Rows& rows)
{
    TableHandle handle;
    pointAtOpSys(handle);
    if (!handle.open())
        return false;
    for (const QString& row : rows) {
        const QStringList parts = row.split(QLatin1Char('|'));
        if (!AddProfile(handle, {parts.value(0), parts.value(1), parts.value(2)}))
            return false;
    }
    return true;
}

// Every live row, read through a handle of its own.
Rows tableRows()
{
    TableHandle handle;
    pointAtOpSys(handle);
    Rows rows;
    for (const OsProfile& profile : ListProfiles(handle))
        rows.append(rowText(profile));
    return rows;
}

Rows listRows(const QTreeWidget* list)
{
    Rows rows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        rows.append(item->text(0) + QLatin1Char('|') + item->text(1) + QLatin1Char('|') +
                    item->text(2));
    }
    return rows;
}

// What the editor shows, as "name|ram|disk".
QString editorText(const ProfileEditorDialog& editor)
{
    return editor.nameBox()->text() + QLatin1Char('|') + QString::number(editor.ramBox()->value()) +
           QLatin1Char('|') + QString::number(editor.diskBox()->value());
}

QStringList shownLines(const ScriptedInteraction& script)
{
    QStringList lines;
    for (const ScriptedInteraction::Shown& shown : script.shown())
        lines.append(shown.kind + QLatin1Char('|') + shown.text);
    return lines;
}

QString line(const char* kind, const QString& text)
{
    return QLatin1String(kind) + QLatin1Char('|') + text;
}

} // namespace

class TestOperatingSystemsWindow final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void windowLayout();
    void editorLayout();
    void listFilledWhenShown();
    void emptyTableEmptiesList();

    void addNew_data();
    void addNew();
    void addNewPresetsAgainAfterEdit();
    void editorButtonsAndTypedNumbers_data();
    void editorButtonsAndTypedNumbers();

    void edit_data();
    void edit();
    void doubleClickOpensEditor();
    void editOfRowGoneElsewhereDoesNothing();

    void deleteSelected_data();
    void deleteSelected();
    void deleteLeavesVMsAsTheyWere();

    void writeFailureReported();

private:
    QTreeWidgetItem* row(int index) const { return m_window->list()->topLevelItem(index); }

    std::unique_ptr<TempProgramFolder> m_folder;
    TableHandle m_opsys;
    std::unique_ptr<OperatingSystemsWindow> m_window;
    ScriptedInteraction* m_script = nullptr;
};

void TestOperatingSystemsWindow::init()
{
    auto script = std::make_unique<ScriptedInteraction>();
    m_script = script.get();
    Interaction::install(std::move(script));
    m_folder = std::make_unique<TempProgramFolder>(TempProgramFolder::EmptyTables);
    QVERIFY(m_folder->isValid());
    QVERIFY(appendRows(Initial));
    pointAtOpSys(m_opsys);
    QVERIFY(m_opsys.open());
    m_window = std::make_unique<OperatingSystemsWindow>(m_opsys);
    m_window->refill();
    QCOMPARE(listRows(m_window->list()), InitialRead);
}

void TestOperatingSystemsWindow::cleanup()
{
    m_window.reset();
    m_opsys.close();
    m_folder.reset();
    Interaction::install(nullptr);
    m_script = nullptr;
}

void TestOperatingSystemsWindow::windowLayout()
{
    QCOMPARE(m_window->windowTitle(), QStringLiteral("Operating Systems"));
    const QToolBar* toolbar = m_window->findChild<QToolBar*>();
    QVERIFY(toolbar);
    QCOMPARE(toolbar->toolButtonStyle(), Qt::ToolButtonIconOnly);
    QStringList hints;
    for (const QAction* action : toolbar->actions())
        hints.append(action->toolTip());
    QCOMPARE(hints, (QStringList{QStringLiteral("Add New"), QStringLiteral("Delete Selected")}));

    const QTreeWidget* list = m_window->list();
    QCOMPARE(list->columnCount(), 3);
    QCOMPARE(list->headerItem()->text(0), QStringLiteral("Operating System"));
    QCOMPARE(list->headerItem()->text(1), QStringLiteral("RAM Size (MB)"));
    QCOMPARE(list->headerItem()->text(2), QStringLiteral("Hard Disk Size (MB)"));
    QCOMPARE(list->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(list->editTriggers(), QAbstractItemView::NoEditTriggers);
}

void TestOperatingSystemsWindow::editorLayout()
{
    const ProfileEditorDialog& editor = m_window->editor();
    QCOMPARE(editor.windowTitle(), EditorTitle);
    const QGroupBox* group = editor.findChild<QGroupBox*>();
    QVERIFY(group);
    QCOMPARE(group->title(), QStringLiteral("New Operating System Definition"));

    QStringList labels;
    for (const QLabel* label : group->findChildren<QLabel*>())
        labels.append(label->text());
    QCOMPARE(labels,
             (QStringList{QStringLiteral("Operating System Name:"), QStringLiteral("Default Ram:"),
                          QStringLiteral("Default Drive Size:"), QStringLiteral("MB.")}));
    QCOMPARE(group->findChildren<QLabel*>().at(1)->buddy(), editor.ramBox());

    QCOMPARE(editor.ramBox()->singleStep(), 4);
    QCOMPARE(editor.diskBox()->singleStep(), 100);
    for (const QSpinBox* box : {editor.ramBox(), editor.diskBox()}) {
        QCOMPARE(box->minimum(), 0);
        QCOMPARE(box->maximum(), 2147483647);
    }
    QCOMPARE(editor.createButton()->text(), QStringLiteral("Create"));
    QCOMPARE(editor.cancelButton()->text(), QStringLiteral("Cancel"));
    QVERIFY(editor.createButton()->isDefault());
}

void TestOperatingSystemsWindow::listFilledWhenShown()
{
    // Rows added behind the window's back show when it is shown, in record order.
    QVERIFY(appendRows({QStringLiteral("  OS/2 |32|500")}));
    QCOMPARE(listRows(m_window->list()), InitialRead);
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QCOMPARE(listRows(m_window->list()), InitialRead + Rows{QStringLiteral("  OS/2|32|500")});
}

void TestOperatingSystemsWindow::emptyTableEmptiesList()
{
    TableHandle other;
    pointAtOpSys(other);
    for (const QString& name :
         {QStringLiteral("Linux"), QStringLiteral("Windows XP"), QStringLiteral("Windows XP"),
          QStringLiteral("Windows 98"), QStringLiteral("Odd")})
        QVERIFY(DeleteProfile(other, name));
    m_window->refill();
    QCOMPARE(m_window->list()->topLevelItemCount(), 0);
}

void TestOperatingSystemsWindow::addNew_data()
{
    QTest::addColumn<QString>("name"); // null: the box is left as it is
    QTest::addColumn<int>("ram");      // -1: left as it is
    QTest::addColumn<int>("disk");
    QTest::addColumn<bool>("create");
    QTest::addColumn<QString>("added"); // empty: nothing added

    QTest::newRow("boxes untouched")
        << QString() << -1 << -1 << true << QStringLiteral("|256|10000");
    QTest::newRow("all boxes") << QStringLiteral("BeOS") << 96 << 700 << true
                               << QStringLiteral("BeOS|96|700");
    QTest::newRow("duplicate name accepted")
        << QStringLiteral("Linux") << 64 << 1000 << true << QStringLiteral("Linux|64|1000");
    QTest::newRow("trailing blanks of the name dropped")
        << QStringLiteral("Haiku   ") << 512 << -1 << true << QStringLiteral("Haiku|512|10000");
    QTest::newRow("leading blanks kept")
        << QStringLiteral("  ReactOS") << -1 << -1 << true << QStringLiteral("  ReactOS|256|10000");
    QTest::newRow("zero sizes") << QStringLiteral("Tiny") << 0 << 0 << true
                                << QStringLiteral("Tiny|0|0");
    QTest::newRow("largest sizes") << QStringLiteral("Huge") << 2147483647 << 2147483647 << true
                                   << QStringLiteral("Huge|2147483647|2147483647");
    QTest::newRow("cancel adds nothing")
        << QStringLiteral("BeOS") << 96 << 700 << false << QString();
}

void TestOperatingSystemsWindow::addNew()
{
    QFETCH(QString, name);
    QFETCH(int, ram);
    QFETCH(int, disk);
    QFETCH(bool, create);
    QFETCH(QString, added);

    QString preset;
    m_script->answerDialog([&](QDialog& dialog) {
        auto* editor = qobject_cast<ProfileEditorDialog*>(&dialog);
        if (!editor)
            return int(QDialog::Rejected);
        preset = editorText(*editor);
        if (!name.isNull())
            editor->nameBox()->setText(name);
        if (ram >= 0)
            editor->ramBox()->setValue(ram);
        if (disk >= 0)
            editor->diskBox()->setValue(disk);
        return int(create ? QDialog::Accepted : QDialog::Rejected);
    });
    // A row added elsewhere meanwhile shows too: the list is refilled after Cancel as well.
    QVERIFY(appendRows({QStringLiteral("Meanwhile|1|1")}));

    m_window->AddNewClick();

    QCOMPARE(shownLines(*m_script), QStringList{line("dialog", EditorTitle)});
    QCOMPARE(m_script->pendingAnswers(), 0);
    QCOMPARE(preset, QStringLiteral("|256|10000"));
    Rows expected = InitialRead + Rows{QStringLiteral("Meanwhile|1|1")};
    if (!added.isEmpty())
        expected.append(added);
    QCOMPARE(tableRows(), expected);
    QCOMPARE(listRows(m_window->list()), expected);
}

void TestOperatingSystemsWindow::addNewPresetsAgainAfterEdit()
{
    m_script->answerDialog([](QDialog&) { return int(QDialog::Rejected); });
    m_window->ListDblClick(row(2));
    QCOMPARE(editorText(m_window->editor()), QStringLiteral("Windows XP|256|4000"));

    QString preset;
    m_script->answerDialog([&](QDialog& dialog) {
        preset = editorText(*qobject_cast<ProfileEditorDialog*>(&dialog));
        return int(QDialog::Rejected);
    });
    m_window->AddNewClick();
    QCOMPARE(preset, QStringLiteral("|256|10000"));
    QCOMPARE(tableRows(), InitialRead);
}

void TestOperatingSystemsWindow::editorButtonsAndTypedNumbers_data()
{
    QTest::addColumn<bool>("create");
    QTest::addColumn<QString>("added");

    QTest::newRow("Create") << true << QStringLiteral("Typed|1000|2500");
    QTest::newRow("Cancel") << false << QString();
}

void TestOperatingSystemsWindow::editorButtonsAndTypedNumbers()
{
    QFETCH(bool, create);
    QFETCH(QString, added);

    // The user types into the boxes and clicks a button with the mouse, the numbers not yet
    // confirmed with Enter.
    m_script->answerDialog([&](QDialog& dialog) {
        auto* editor = qobject_cast<ProfileEditorDialog*>(&dialog);
        if (!editor)
            return int(QDialog::Rejected);
        editor->show();
        if (!QTest::qWaitForWindowExposed(editor))
            return int(QDialog::Rejected);
        QTest::keyClicks(editor->nameBox(), QStringLiteral("Typed"));
        for (const auto& [box, text] : {std::pair{editor->ramBox(), QStringLiteral("1000")},
                                        std::pair{editor->diskBox(), QStringLiteral("2500")}}) {
            box->setFocus();
            QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
            QTest::keyClicks(box, text);
        }
        QTest::mouseClick(create ? editor->createButton() : editor->cancelButton(), Qt::LeftButton);
        const int result = editor->result();
        editor->hide();
        return result;
    });

    m_window->AddNewClick();

    QCOMPARE(m_script->pendingAnswers(), 0);
    QCOMPARE(tableRows(), added.isEmpty() ? InitialRead : InitialRead + Rows{added});
}

void TestOperatingSystemsWindow::edit_data()
{
    QTest::addColumn<int>("listRow");
    QTest::addColumn<QString>("preset");
    QTest::addColumn<QString>("name"); // null: left as it is
    QTest::addColumn<int>("ram");      // -1: left as it is
    QTest::addColumn<bool>("create");
    QTest::addColumn<Rows>("after");

    QTest::newRow("only memory changed keeps the disk size")
        << 1 << QStringLiteral("Windows XP|256|4000") << QString() << 384 << true
        << Rows{InitialRead[0], QStringLiteral("Windows XP|384|4000"), InitialRead[2],
                InitialRead[3], InitialRead[4]};
    QTest::newRow("second duplicate in the list changes the first row")
        << 2 << QStringLiteral("Windows XP|256|4000") << QStringLiteral("Windows XP SP2") << -1
        << true
        << Rows{InitialRead[0], QStringLiteral("Windows XP SP2|256|4000"), InitialRead[2],
                InitialRead[3], InitialRead[4]};
    QTest::newRow("name stored with trailing blanks is found")
        << 3 << QStringLiteral("Windows 98|64|2000") << QStringLiteral("Windows 98 SE") << 96
        << true
        << Rows{InitialRead[0], InitialRead[1], InitialRead[2],
                QStringLiteral("Windows 98 SE|96|2000"), InitialRead[4]};
    QTest::newRow("sizes that are not numbers open as the new-profile sizes")
        << 4 << QStringLiteral("Odd|256|10000") << QString() << -1 << true
        << Rows{InitialRead[0], InitialRead[1], InitialRead[2], InitialRead[3],
                QStringLiteral("Odd|256|10000")};
    QTest::newRow("cancel writes nothing") << 0 << QStringLiteral("Linux|128|3000")
                                           << QStringLiteral("Gone") << 4 << false << InitialRead;
}

void TestOperatingSystemsWindow::edit()
{
    QFETCH(int, listRow);
    QFETCH(QString, preset);
    QFETCH(QString, name);
    QFETCH(int, ram);
    QFETCH(bool, create);
    QFETCH(Rows, after);

    QString shownPreset;
    m_script->answerDialog([&](QDialog& dialog) {
        auto* editor = qobject_cast<ProfileEditorDialog*>(&dialog);
        if (!editor)
            return int(QDialog::Rejected);
        shownPreset = editorText(*editor);
        if (!name.isNull())
            editor->nameBox()->setText(name);
        if (ram >= 0)
            editor->ramBox()->setValue(ram);
        return int(create ? QDialog::Accepted : QDialog::Rejected);
    });

    m_window->ListDblClick(row(listRow));

    QCOMPARE(shownLines(*m_script), QStringList{line("dialog", EditorTitle)});
    QCOMPARE(shownPreset, preset);
    QCOMPARE(tableRows(), after);
    QCOMPARE(listRows(m_window->list()), after);
}

void TestOperatingSystemsWindow::doubleClickOpensEditor()
{
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    QString preset;
    m_script->answerDialog([&](QDialog& dialog) {
        preset = editorText(*qobject_cast<ProfileEditorDialog*>(&dialog));
        return int(QDialog::Rejected);
    });
    QTreeWidget* list = m_window->list();
    const QPoint centre = list->visualItemRect(row(0)).center();
    // The view opens an item on the double click only after the press of the first click on it.
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QCOMPARE(shownLines(*m_script), QStringList{line("dialog", EditorTitle)});
    QCOMPARE(preset, QStringLiteral("Linux|128|3000"));
}

void TestOperatingSystemsWindow::editOfRowGoneElsewhereDoesNothing()
{
    TableHandle other;
    pointAtOpSys(other);
    QVERIFY(DeleteProfile(other, QStringLiteral("Linux")));
    m_window->ListDblClick(row(0));
    m_window->ListDblClick(nullptr);
    QCOMPARE(m_script->shown().size(), 0);
    QCOMPARE(tableRows(), InitialRead.mid(1));
}

void TestOperatingSystemsWindow::deleteSelected_data()
{
    QTest::addColumn<int>("select"); // -1: no row, -2: a current row that is not selected
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<Rows>("after");

    QTest::newRow("no row selected") << -1 << true << false << InitialRead;
    QTest::newRow("current row not selected") << -2 << true << false << InitialRead;
    QTest::newRow("answer No") << 0 << false << true << InitialRead;
    QTest::newRow("answer Yes") << 0 << true << true << InitialRead.mid(1);
    QTest::newRow("second duplicate in the list deletes the first row")
        << 2 << true << true
        << Rows{InitialRead[0], InitialRead[2], InitialRead[3], InitialRead[4]};
    QTest::newRow("name stored with trailing blanks")
        << 3 << true << true
        << Rows{InitialRead[0], InitialRead[1], InitialRead[2], InitialRead[4]};
}

void TestOperatingSystemsWindow::deleteSelected()
{
    QFETCH(int, select);
    QFETCH(bool, yes);
    QFETCH(bool, asked);
    QFETCH(Rows, after);

    QTreeWidget* list = m_window->list();
    if (select >= 0) {
        list->setCurrentItem(row(select));
        QVERIFY(row(select)->isSelected());
    } else if (select == -2) {
        list->setCurrentItem(row(1));
        list->clearSelection();
    }
    m_script->answerMessage(yes ? Interaction::Answer::Yes : Interaction::Answer::No);

    m_window->DeleteSelectedClick();

    QCOMPARE(shownLines(*m_script),
             asked ? QStringList{line("confirmation", DeleteQuestion)} : QStringList{});
    QCOMPARE(tableRows(), after);
    QCOMPARE(listRows(list), after);
}

void TestOperatingSystemsWindow::deleteLeavesVMsAsTheyWere()
{
    const QString vm = m_folder->file(QStringLiteral("VMs/xp.vm2"));
    QVERIFY(WriteVMTemplate(vm, true));
    QVERIFY(WriteVMFileValue(vm, QStringLiteral("General"), QStringLiteral("Operating System"),
                             QStringLiteral("Windows XP")));
    QFile file(vm);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    for (int i = 0; i < 2; ++i) {
        m_window->list()->setCurrentItem(row(1));
        m_script->answerMessage(Interaction::Answer::Yes);
        m_window->DeleteSelectedClick();
    }
    QVERIFY(!FindProfile(m_opsys, QStringLiteral("Windows XP")));
    QCOMPARE(ReadVMFileValue(vm, QStringLiteral("General"), QStringLiteral("Operating System")),
             QStringLiteral("Windows XP"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), before);
}

void TestOperatingSystemsWindow::writeFailureReported()
{
    // The header still counts the rows, the file no longer holds them.
    const int headerLength = 32 + 32 * int(TableSchemas::opSysFields().size()) + 1;
    QVERIFY(QFile::resize(m_folder->file(TableSchemas::OpSysTable), headerLength));

    m_script->answerDialog([](QDialog&) { return int(QDialog::Accepted); });
    m_window->AddNewClick();

    const QList<ScriptedInteraction::Shown>& shown = m_script->shown();
    QCOMPARE(shown.size(), 2);
    QCOMPARE(shown[0].kind, QStringLiteral("dialog"));
    QCOMPARE(shown[1].kind, QStringLiteral("error"));
    QVERIFY2(shown[1].text.startsWith(QStringLiteral("Post: damaged table file")),
             qPrintable(shown[1].text));
}

QTEST_MAIN(TestOperatingSystemsWindow)
#include "tst_operatingsystemswindow.moc"
