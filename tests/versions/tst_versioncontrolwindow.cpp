#include "VersionRows.h"
#include "app/ui/TMain.h"
#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/ui/Interaction.h"
#include "support/TempProgramFolder.h"
#include "versions/ui/QemuFolderChooser.h"
#include "versions/ui/QemuVersionEditDialog.h"
#include "versions/ui/VersionControlWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>

#include <memory>

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

const QString InUse = s("You CANNOT delete this version definition as it is in use by one or more "
                        "Virtual Machines!");
const QString DeleteQuestion = s("Are you sure you wish to delete this Qemu Version definition ?");
const QString DownloadQuestion =
    s("Do you wish to download an alternative version of QEMU which is compatible with Vimor ?");

// Every live row in record order; a 50-character identifier not among the known ones reads "<new>".
QStringList tableRows(const QStringList& knownIds)
{
    TableHandle handle;
    handle.setFolder(ProgramFolder::path());
    handle.setTableName(TableSchemas::VersionTable);
    if (!handle.open())
        return {s("cannot open")};
    QStringList rows;
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

const QStringList Known{s("a"), s("b"), s("used")};
const QString RowA = s("a|a|QEMU 0.11.x|1|{VR}\\qemu|Yes|Yes|Yes|No|Yes|No|Yes|");
const QString RowB = s("b|b|QEMU 0.10.x|2|C:\\qemu|No|No|No|fmod|No|Yes|No|");
const QString RowUsed = s("used|c used|QEMU 0.12 and above|0|D:\\q|Yes|Yes|No|No|No|No|No|");

QStringList treeTexts(const QTreeWidget* tree)
{
    QStringList texts;
    const QTreeWidgetItem* root = tree->topLevelItem(0);
    if (!root)
        return texts;
    texts.append(root->text(0) + QLatin1Char('=') + root->data(0, Qt::UserRole).toString());
    for (int i = 0; i < root->childCount(); ++i)
        texts.append(root->child(i)->text(0) + QLatin1Char('=') +
                     root->child(i)->data(0, Qt::UserRole).toString());
    return texts;
}

QString current(const VersionControlWindow& window)
{
    const QTreeWidgetItem* item = window.tree()->currentItem();
    return item ? item->text(0) : QString();
}

QStringList detailRows(const VersionControlWindow& window)
{
    QStringList rows;
    for (int i = 0; i < window.details()->topLevelItemCount(); ++i)
        rows.append(window.details()->topLevelItem(i)->text(0) + QLatin1Char('=') +
                    window.details()->topLevelItem(i)->text(1));
    return rows;
}

QString shownSetting(const VersionControlWindow& window, const char* option)
{
    for (const QString& row : detailRows(window))
        if (row.startsWith(QLatin1String(option) + QLatin1Char('=')))
            return row.section(QLatin1Char('='), 1);
    return s("<none>");
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

QTreeWidgetItem* node(const VersionControlWindow& window, const QString& text)
{
    const QTreeWidgetItem* root = window.tree()->topLevelItem(0);
    if (text == s("Qemu Versions"))
        return window.tree()->topLevelItem(0);
    for (int i = 0; root && i < root->childCount(); ++i)
        if (root->child(i)->text(0) == text)
            return root->child(i);
    return nullptr;
}

// The boxes of the editor as letters: integrated, usb, kqemu, fmod, default, bluetooth, console.
QString boxes(const QemuVersionEditDialog& editor)
{
    QString text;
    for (const QCheckBox* box :
         {editor.integratedBox(), editor.usbBox(), editor.kqemuBox(), editor.fmodBox(),
          editor.defaultBox(), editor.bluetoothBox(), editor.consoleBox()})
        text += box->isChecked() ? QLatin1Char('x') : QLatin1Char('-');
    return text;
}

} // namespace

class TestVersionControlWindow final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void layout();
    void opensSortedAndClosesTable();
    void clickingNodes();
    void deleteSelected_data();
    void deleteSelected();
    void deleteOnlyDefinition();
    void addManual();
    void addCancelled();
    void addDownload_data();
    void addDownload();
    void editByDoubleClick();
    void editCancelledAndRoot();
    void editTo012();
    void pathButtons();

private:
    void start(const QStringList& rows);

    ScriptedInteraction* m_script = nullptr;
    std::unique_ptr<TempProgramFolder> m_folder;
    std::unique_ptr<TMain> m_main;
    std::unique_ptr<VersionControlWindow> m_window;
};

void TestVersionControlWindow::init()
{
    auto script = std::make_unique<ScriptedInteraction>();
    m_script = script.get();
    Interaction::install(std::move(script));
    m_folder = std::make_unique<TempProgramFolder>();
    QVERIFY(m_folder->isValid());
}

void TestVersionControlWindow::cleanup()
{
    m_window.reset();
    m_main.reset();
    m_folder.reset();
    Interaction::install(nullptr);
}

// Rows b, the version a VM uses, then a, so record order is not description order.
void TestVersionControlWindow::start(const QStringList& rows)
{
    QVERIFY(appendRows(rows));
    const QString vm = m_folder->file(s("VMs/x.vm2"));
    QVERIFY(WriteVMTemplate(vm, true));
    QVERIFY(WriteVMFileValue(vm, s("General"), s("Qemu Version ID"), s("used")));
    QVERIFY(WriteVMFileValue(vm, s("General"), s("Qemu Version"), s("c used")));
    m_main = std::make_unique<TMain>();
    m_window = std::make_unique<VersionControlWindow>(m_main->table(VMContext::Table::VRVers),
                                                      m_main->versions(), m_main.get());
    m_script->clear();
}

void TestVersionControlWindow::layout()
{
    start({});
    VersionControlWindow& window = *m_window;
    QCOMPARE(window.windowTitle(), s("Qemu Version Control"));
    QCOMPARE(window.addAction()->toolTip(), s("Add New"));
    QCOMPARE(window.deleteAction()->toolTip(), s("Delete Selected"));
    QCOMPARE(window.editAction()->toolTip(), s("Edit Selected"));
    const QList<QAction*> tools = window.findChild<QToolBar*>()->actions();
    QCOMPARE(tools.size(), 4);
    QVERIFY(tools.at(2)->isSeparator());
    QCOMPARE(tools.at(3), window.editAction());
    QCOMPARE(window.findChild<QTabWidget*>()->tabText(0), s("Qemu Version Control"));
    QCOMPARE(window.details()->headerItem()->text(0), s("Option"));
    QCOMPARE(window.details()->headerItem()->text(1), s("Setting"));
    QStringList labels;
    for (const QLabel* label : window.findChildren<QLabel*>())
        labels.append(label->text());
    QVERIFY(labels.contains(s("Please select an operating system to view it's contents")));

    const QemuVersionEditDialog& editor = window.editor();
    QCOMPARE(editor.windowTitle(), s("Qemu Version"));
    QCOMPARE(editor.findChild<QGroupBox*>()->title(), s("New"));
    QStringList versions;
    for (int i = 0; i < editor.versionBox()->count(); ++i)
        versions.append(editor.versionBox()->itemText(i));
    QCOMPARE(versions, (QStringList{s("QEMU 0.12 and above"), s("QEMU 0.11.x"), s("QEMU 0.10.x"),
                                    s("QEMU 7.2 and above")}));
    QVERIFY(!editor.versionBox()->isEditable());
    QCOMPARE(editor.portableButton()->text(), s("{VR}"));
    QCOMPARE(editor.portableButton()->toolTip(), s("Use Portable Qemu Path"));
    QCOMPARE(editor.browseButton()->text(), s(".."));
    QCOMPARE(editor.browseButton()->toolTip(), s("Select Path"));
    QStringList captions;
    for (const QCheckBox* box :
         {editor.integratedBox(), editor.usbBox(), editor.kqemuBox(), editor.fmodBox(),
          editor.defaultBox(), editor.bluetoothBox(), editor.consoleBox()})
        captions.append(box->text());
    QCOMPARE(captions,
             (QStringList{s("Use integrated Client"), s("USB Support"), s("Enable KQEMU Support"),
                          s("Enable FMOD Support"), s("Set as default"),
                          s("Enable Bluetooth Support"), s("Vimor Remote Monitor Support")}));
    QCOMPARE(editor.folderChooser().windowTitle(), s("Select QEMU Executable"));
}

void TestVersionControlWindow::opensSortedAndClosesTable()
{
    start({RowB, RowUsed, RowA});
    TableHandle& versions = m_main->table(VMContext::Table::VRVers);
    versions.close();
    bool ran = false;
    m_script->answerDialog([&](QDialog& dialog) {
        ran = true;
        [&] {
            QCOMPARE(&dialog, static_cast<QDialog*>(m_window.get()));
            QVERIFY(versions.isOpen());
            QCOMPARE(treeTexts(m_window->tree()),
                     (QStringList{s("Qemu Versions=TOP"), s("a=a"), s("b=b"), s("c used=used")}));
            QCOMPARE(current(*m_window), s("a"));
            QVERIFY(m_window->detailsShown());
            QCOMPARE(detailRows(*m_window),
                     (QStringList{s("Description=a"), s("Version=QEMU 0.11.x"),
                                  s("Path={VR}\\qemu"), s("Integrated Display=Yes"),
                                  s("USB Support=Yes"), s("KQEMU Support=Yes"),
                                  s("FMOD Support=No"), s("Bluetooth Support=No"),
                                  s("Vimor Monitor Support=Yes"), s("Default=Yes")}));
        }();
        return int(QDialog::Rejected);
    });
    m_window->run();
    QVERIFY(ran);
    QVERIFY(!versions.isOpen());

    // With an empty table only the root is there, selected, and the details stay hidden.
    QVERIFY(QFile::remove(m_folder->file(TableSchemas::VersionTable)));
    QVERIFY(CreateTable(m_folder->file(TableSchemas::VersionTable), TableSchemas::versionFields()));
    m_window->ShowVersions();
    QCOMPARE(treeTexts(m_window->tree()), QStringList{s("Qemu Versions=TOP")});
    QCOMPARE(current(*m_window), s("Qemu Versions"));
    QVERIFY(!m_window->detailsShown());
}

void TestVersionControlWindow::clickingNodes()
{
    start({RowB, RowUsed, RowA});
    m_window->ShowVersions();
    emit m_window->tree()->itemClicked(node(*m_window, s("b")), 0);
    QVERIFY(m_window->detailsShown());
    QCOMPARE(shownSetting(*m_window, "Description"), s("b"));
    // Each setting is the field as stored, whatever it says.
    QCOMPARE(shownSetting(*m_window, "FMOD Support"), s("fmod"));
    QCOMPARE(shownSetting(*m_window, "Bluetooth Support"), s("Yes"));
    emit m_window->tree()->itemClicked(node(*m_window, s("Qemu Versions")), 0);
    QVERIFY(!m_window->detailsShown());
    emit m_window->tree()->itemClicked(node(*m_window, s("c used")), 0);
    QCOMPARE(shownSetting(*m_window, "Version"), s("QEMU 0.12 and above"));
}

void TestVersionControlWindow::deleteSelected_data()
{
    QTest::addColumn<QString>("selected");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QString>("selectedAfter");
    const QStringList all{RowB, RowUsed, RowA};
    QTest::newRow("used by a VM") << s("c used") << true << QStringList{line("error", InUse)} << all
                                  << s("c used");
    QTest::newRow("unused, confirmed")
        << s("a") << true << QStringList{line("confirmation", DeleteQuestion)}
        << QStringList{RowB, RowUsed} << s("b");
    QTest::newRow("unused, declined")
        << s("b") << false << QStringList{line("confirmation", DeleteQuestion)} << all << s("a");
    QTest::newRow("root matches no row")
        << s("Qemu Versions") << true << QStringList{line("confirmation", DeleteQuestion)} << all
        << s("a");
}

void TestVersionControlWindow::deleteSelected()
{
    QFETCH(QString, selected);
    QFETCH(bool, yes);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, rows);
    QFETCH(QString, selectedAfter);
    start({RowB, RowUsed, RowA});
    m_window->ShowVersions();
    emit m_window->tree()->itemClicked(node(*m_window, selected), 0);
    m_window->tree()->setCurrentItem(node(*m_window, selected));
    if (selected != s("c used"))
        m_script->answerMessage(yes ? Interaction::Answer::Yes : Interaction::Answer::No);
    m_window->deleteAction()->trigger();
    QCOMPARE(shownLines(*m_script), shown);
    QCOMPARE(tableRows(Known), rows);
    QCOMPARE(current(*m_window), selectedAfter);
    QVERIFY(m_window->detailsShown());
}

void TestVersionControlWindow::deleteOnlyDefinition()
{
    start({RowA});
    m_window->ShowVersions();
    m_script->answerMessage(Interaction::Answer::Yes);
    m_window->DeleteSelectedClick();
    QCOMPARE(tableRows(Known), QStringList{});
    QCOMPARE(treeTexts(m_window->tree()), QStringList{s("Qemu Versions=TOP")});
    QVERIFY(!m_window->detailsShown());
}

void TestVersionControlWindow::addManual()
{
    start({RowB, RowUsed, RowA});
    m_window->ShowVersions();
    m_script->answerMessage(Interaction::Answer::No);
    m_script->answerDialog([](QDialog& dialog) {
        auto& editor = static_cast<QemuVersionEditDialog&>(dialog);
        [&] {
            QCOMPARE(editor.versionBox()->currentText(), s("QEMU 0.11.x"));
            QCOMPARE(editor.descriptionBox()->text(), QString());
            QCOMPARE(editor.pathBox()->text(), QString());
            QCOMPARE(boxes(editor), s("-xx---x"));
            QVERIFY(editor.kqemuBox()->isEnabled());
            editor.versionBox()->setCurrentIndex(0);
            QCOMPARE(boxes(editor), s("-x-----"));
            QVERIFY(!editor.kqemuBox()->isEnabled());
            editor.descriptionBox()->setText(s("QEMU 0.12.5"));
            editor.pathBox()->setText(s("{VR}\\qemu\\0.12"));
            editor.defaultBox()->setChecked(true);
            editor.fmodBox()->setChecked(true);
        }();
        return int(QDialog::Accepted);
    });
    m_window->addAction()->trigger();
    QCOMPARE(shownLines(*m_script), (QStringList{line("confirmation", DownloadQuestion),
                                                 line("dialog", s("Qemu Version"))}));
    // Only the new row is the default now.
    QCOMPARE(
        tableRows(Known),
        (QStringList{RowB, RowUsed, s("a|a|QEMU 0.11.x|1|{VR}\\qemu|Yes|Yes|Yes|No|Yes|No|No|"),
                     s("<new>|QEMU 0.12.5|QEMU 0.12 and above|0|{VR}\\qemu\\0.12|No|Yes|No|"
                       "Yes|No|No|Yes|")}));
    QCOMPARE(current(*m_window), s("QEMU 0.12.5"));
    QCOMPARE(shownSetting(*m_window, "Default"), s("Yes"));
    QCOMPARE(treeTexts(m_window->tree()).size(), 5);
}

void TestVersionControlWindow::addCancelled()
{
    start({RowB, RowA});
    m_window->ShowVersions();
    m_script->answerMessage(Interaction::Answer::No);
    m_script->answerDialog([](QDialog&) { return int(QDialog::Rejected); });
    m_window->AddNewClick();
    QCOMPARE(tableRows(Known), (QStringList{RowB, RowA}));
    QCOMPARE(current(*m_window), s("a"));
}

void TestVersionControlWindow::addDownload_data()
{
    QTest::addColumn<bool>("installed");
    QTest::addColumn<QString>("selectedAfter");
    QTest::newRow("package installed") << true << s("QEMU 0.12.5 package");
    QTest::newRow("ended before installing") << false << s("b");
}

void TestVersionControlWindow::addDownload()
{
    QFETCH(bool, installed);
    QFETCH(QString, selectedAfter);
    start({RowB, RowA});
    m_window->ShowVersions();
    emit m_window->tree()->itemClicked(node(*m_window, s("b")), 0);
    m_window->tree()->setCurrentItem(node(*m_window, s("b")));
    int calls = 0;
    // As the download command does: the version window hears of the package once its install
    // window has closed, and not at all when the command ended before.
    m_window->downloadPackage = [&] {
        ++calls;
        if (!installed)
            return;
        appendRows({s("pkg|QEMU 0.12.5 package|QEMU 0.12 and above|0|C:\\p")});
        m_window->ShowVersion(s("QEMU 0.12.5 package"));
    };
    m_script->answerMessage(Interaction::Answer::Yes);
    m_window->AddNewClick();
    QCOMPARE(calls, 1);
    QCOMPARE(shownLines(*m_script), QStringList{line("confirmation", DownloadQuestion)});
    QCOMPARE(current(*m_window), selectedAfter);
    QCOMPARE(tableRows(Known).size(), installed ? 3 : 2);
}

void TestVersionControlWindow::editByDoubleClick()
{
    // A row without a code, written by hand.
    start({RowB, s("e|edit me|||C:\\old|No|Yes|Yes|No|Yes|Yes|No|boot")});
    m_window->ShowVersions();
    QTreeWidgetItem* item = node(*m_window, s("edit me"));
    emit m_window->tree()->itemClicked(item, 0);
    m_window->tree()->setCurrentItem(item);
    m_script->answerDialog([](QDialog& dialog) {
        auto& editor = static_cast<QemuVersionEditDialog&>(dialog);
        [&] {
            QCOMPARE(editor.versionBox()->currentText(), s("QEMU 0.11.x"));
            QCOMPARE(editor.descriptionBox()->text(), s("edit me"));
            QCOMPARE(editor.pathBox()->text(), s("C:\\old"));
            QCOMPARE(boxes(editor), s("-xx--xx"));
            QVERIFY(editor.kqemuBox()->isEnabled());
            editor.descriptionBox()->setText(s("a edited"));
            editor.versionBox()->setCurrentIndex(2);
            editor.integratedBox()->setChecked(true);
            editor.consoleBox()->setChecked(false);
        }();
        return int(QDialog::Accepted);
    });
    emit m_window->tree()->itemDoubleClicked(item, 0);
    QCOMPARE(shownLines(*m_script), QStringList{line("dialog", s("Qemu Version"))});
    // Same row, same identifier; BOOT is not the dialog's.
    QCOMPARE(
        tableRows({s("b"), s("e")}),
        (QStringList{RowB, s("e|a edited|QEMU 0.10.x|2|C:\\old|Yes|Yes|Yes|No|No|Yes|No|boot")}));
    QCOMPARE(current(*m_window), s("a edited"));
    QCOMPARE(treeTexts(m_window->tree()).at(1), s("a edited=e"));
}

void TestVersionControlWindow::editCancelledAndRoot()
{
    start({RowB, RowA});
    m_window->ShowVersions();
    m_script->answerDialog([](QDialog& dialog) {
        static_cast<QemuVersionEditDialog&>(dialog).descriptionBox()->setText(s("changed"));
        return int(QDialog::Rejected);
    });
    m_window->editAction()->trigger();
    QCOMPARE(tableRows(Known), (QStringList{RowB, RowA}));
    QCOMPARE(current(*m_window), s("a"));
    QVERIFY(m_window->detailsShown());

    // On the root there are no details, and nothing to edit.
    m_script->clear();
    QTreeWidgetItem* root = node(*m_window, s("Qemu Versions"));
    m_window->tree()->setCurrentItem(root);
    emit m_window->tree()->itemClicked(root, 0);
    emit m_window->tree()->itemDoubleClicked(root, 0);
    m_window->EditSelectedClick();
    QCOMPARE(shownLines(*m_script), QStringList{});

    // A node whose row went away meanwhile changes nothing.
    m_window->ShowVersions();
    {
        TableHandle handle;
        handle.setFolder(ProgramFolder::path());
        handle.setTableName(TableSchemas::VersionTable);
        QVERIFY(handle.open());
        handle.first();
        handle.next();
        QVERIFY(handle.deleteRow());
    }
    m_window->EditSelectedClick();
    QCOMPARE(shownLines(*m_script), QStringList{});
    QCOMPARE(tableRows(Known), QStringList{RowB});
}

void TestVersionControlWindow::editTo012()
{
    start({RowA, RowB});
    m_window->ShowVersions();
    m_script->answerDialog([](QDialog& dialog) {
        auto& editor = static_cast<QemuVersionEditDialog&>(dialog);
        [&] {
            QCOMPARE(boxes(editor), s("xxx-x-x"));
            editor.versionBox()->setCurrentIndex(0);
            QCOMPARE(boxes(editor), s("xx--x--"));
            QVERIFY(!editor.kqemuBox()->isEnabled());
            editor.defaultBox()->setChecked(false);
        }();
        return int(QDialog::Accepted);
    });
    m_window->EditSelectedClick();
    // KQEMU and the monitor are off, and no default is left.
    QCOMPARE(
        tableRows(Known),
        (QStringList{s("a|a|QEMU 0.12 and above|0|{VR}\\qemu|Yes|Yes|No|No|No|No|No|"), RowB}));

    // Opening a 0.12 row shows KQEMU off and disabled, the monitor as stored.
    QVERIFY(appendRows({s("n|n|QEMU 0.12 and above|0|p|No|No|Yes|No|Yes|No|No")}));
    m_window->ShowVersion(s("n"));
    m_script->answerDialog([](QDialog& dialog) {
        auto& editor = static_cast<QemuVersionEditDialog&>(dialog);
        [&] {
            QCOMPARE(editor.versionBox()->currentIndex(), 0);
            QCOMPARE(boxes(editor), s("------x"));
            QVERIFY(!editor.kqemuBox()->isEnabled());
        }();
        return int(QDialog::Accepted);
    });
    m_window->EditSelectedClick();
    QCOMPARE(tableRows({s("a"), s("b"), s("n")}).last(),
             s("n|n|QEMU 0.12 and above|0|p|No|No|No|No|Yes|No|No|"));
}

void TestVersionControlWindow::pathButtons()
{
    start({});
    const QString qemu = m_folder->file(s("qemu"));
    QVERIFY(QDir().mkpath(qemu + s("/0.12")));
    QVERIFY(QDir().mkpath(qemu + s("/0.10")));
    QFile program(qemu + s("/0.12/qemu-system-x86_64"));
    QVERIFY(program.open(QIODevice::WriteOnly));
    program.close();
    QVERIFY(program.setPermissions(program.permissions() | QFileDevice::ExeOwner));
    QFile data(qemu + s("/0.12/bios.bin"));
    QVERIFY(data.open(QIODevice::WriteOnly));
    data.close();
    QFile windows(qemu + s("/qemu.exe"));
    QVERIFY(windows.open(QIODevice::WriteOnly));
    windows.close();

    QemuVersionEditDialog& editor = m_window->editor();
    editor.preset(VersionControl::NewVersionForm());
    QStringList rootFiles;
    m_script->answerDialog([&](QDialog& dialog) {
        auto& chooser = static_cast<QemuFolderChooser&>(dialog);
        [&] {
            QCOMPARE(chooser.tree()->topLevelItemCount(), 1);
            QTreeWidgetItem* root = chooser.tree()->topLevelItem(0);
            QCOMPARE(root->text(0), s("Vimor"));
            QCOMPARE(root->childCount(), 2);
            QCOMPARE(root->child(0)->text(0), s("0.10"));
            QCOMPARE(root->child(1)->text(0), s("0.12"));
            for (int i = 0; i < chooser.files()->count(); ++i)
                rootFiles.append(chooser.files()->item(i)->text());
            chooser.tree()->setCurrentItem(root->child(1));
            QCOMPARE(chooser.files()->count(), 1);
            QCOMPARE(chooser.files()->item(0)->text(), s("qemu-system-x86_64"));
        }();
        return int(QDialog::Accepted);
    });
    editor.portableButton()->click();
    QCOMPARE(rootFiles, QStringList{s("qemu.exe")});
    QCOMPARE(editor.pathBox()->text(), s("{VR}\\qemu\\0.12"));

    // The root gives the QEMU folder itself; Cancel leaves the box alone.
    m_script->answerDialog([](QDialog&) { return int(QDialog::Accepted); });
    editor.portableButton()->click();
    QCOMPARE(editor.pathBox()->text(), s("{VR}\\qemu"));
    m_script->answerDialog([](QDialog& dialog) {
        auto& chooser = static_cast<QemuFolderChooser&>(dialog);
        chooser.tree()->setCurrentItem(chooser.tree()->topLevelItem(0)->child(0));
        return int(QDialog::Rejected);
    });
    editor.portableButton()->click();
    QCOMPARE(editor.pathBox()->text(), s("{VR}\\qemu"));

    m_script->clear();
    m_script->answerText(s("/opt/qemu"));
    editor.browseButton()->click();
    QCOMPARE(editor.pathBox()->text(), QDir::toNativeSeparators(s("/opt/qemu")));
    QCOMPARE(m_script->shown().last().kind, s("folder"));
    QCOMPARE(m_script->shown().last().title, s("Select Folder"));
    m_script->answerText(std::nullopt);
    editor.browseButton()->click();
    QCOMPARE(editor.pathBox()->text(), QDir::toNativeSeparators(s("/opt/qemu")));
}

QTEST_MAIN(TestVersionControlWindow)
#include "tst_versioncontrolwindow.moc"
