#include "app/MainWindowLogic.h"
#include "app/ui/TMain.h"
#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/Processes.h"
#include "platform/ui/Interaction.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QTreeWidget>

namespace {

using Keys = QList<std::tuple<QString, QString, QString>>;

void writeVM(const QString& path, const Keys& keys)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QVERIFY(WriteVMTemplate(path, true));
    for (const auto& [section, key, value] : keys)
        QVERIFY(WriteVMFileValue(path, section, key, value));
}

QString general(const QString& vm, const char* key)
{
    return ReadVMFileValue(vm, QStringLiteral("General"), QString::fromUtf8(key));
}

void addStore(const TempProgramFolder& folder, const QString& id, const QString& path)
{
    TableHandle stores;
    stores.setFolder(folder.path());
    stores.setTableName(TableSchemas::VMStoreTable);
    QVERIFY(stores.open());
    stores.insert();
    stores.setFieldValue(QStringLiteral("DSNAME"), id);
    stores.setFieldValue(QStringLiteral("DSID"), id);
    stores.setFieldValue(QStringLiteral("PATH"), path);
    QVERIFY(stores.post());
}

void addVersion(const TempProgramFolder& folder, const QString& id, const QString& console)
{
    TableHandle versions;
    versions.setFolder(folder.path());
    versions.setTableName(TableSchemas::VersionTable);
    QVERIFY(versions.open());
    versions.insert();
    versions.setFieldValue(QStringLiteral("ID"), id);
    versions.setFieldValue(QStringLiteral("CONSOLE"), console);
    versions.setFieldValue(QStringLiteral("PATH"), QStringLiteral("{VR}\\qemu"));
    QVERIFY(versions.post());
}

QStringList captions(const QTreeWidgetItem* root)
{
    QStringList names;
    for (int i = 0; i < root->childCount(); ++i)
        names.append(root->child(i)->text(0));
    return names;
}

QStringList actionTexts(const QWidget* menu)
{
    QStringList texts;
    const QList<QAction*> actions = menu->actions();
    for (const QAction* action : actions)
        texts.append(action->isSeparator() ? QStringLiteral("-") : action->text());
    return texts;
}

const Keys Stopped = {};
const Keys RunningEmbedded = {
    {QStringLiteral("General"), QStringLiteral("Status"), QStringLiteral("Running")},
    {QStringLiteral("Hardware"), QStringLiteral("OutputID"), QStringLiteral("0")}};

} // namespace

class TestVMTree : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        auto script = std::make_unique<ScriptedInteraction>();
        m_script = script.get();
        Interaction::install(std::move(script));
    }

    void emptyLibrary()
    {
        TempProgramFolder folder;
        TMain window;
        QTreeWidget* tree = window.tree();
        QCOMPARE(tree->topLevelItemCount(), 1);
        const QTreeWidgetItem* root = tree->topLevelItem(0);
        QCOMPARE(root->text(0), QStringLiteral("Virtual Machines"));
        QCOMPARE(root->data(0, Qt::UserRole).toString(), QStringLiteral("TOP"));
        QCOMPARE(root->childCount(), 0);
        QCOMPARE(window.statusPanel(0), QStringLiteral("Total Virtual Machines: 0"));
        QVERIFY(window.vmPages()->isHidden());
        QCOMPARE(window.selectedVM(), QString());
    }

    void oneTreeAcrossStores()
    {
        TempProgramFolder folder;
        addStore(folder, QStringLiteral("s2"), QStringLiteral("{VR}\\Other"));
        addStore(folder, QStringLiteral("gone"), QStringLiteral("{VR}\\Missing"));
        addStore(folder, QStringLiteral("lower"), QStringLiteral("{vr}\\Other"));
        writeVM(folder.file(QStringLiteral("VMs/b.vm2")), Stopped);
        writeVM(folder.file(QStringLiteral("Other/A.VM2")), Stopped);
        writeVM(folder.file(QStringLiteral("Other/y.Vm2")), Stopped);
        writeVM(folder.file(QStringLiteral("Other/x.vm2.bak")), Stopped);
        QDir(folder.path()).mkpath(QStringLiteral("VMs/folder.vm2"));
        TMain window;
        const QTreeWidgetItem* root = window.tree()->topLevelItem(0);
        QCOMPARE(captions(root),
                 (QStringList{QStringLiteral("A"), QStringLiteral("b"), QStringLiteral("y")}));
        QCOMPARE(window.statusPanel(0), QStringLiteral("Total Virtual Machines: 3"));
        QCOMPARE(root->child(0)->data(0, Qt::UserRole).toString(),
                 folder.file(QStringLiteral("Other/A.VM2")));
        // The first VM is selected at start-up and its pages shown.
        QCOMPARE(window.selectedVMName(), QStringLiteral("A"));
        QVERIFY(!window.vmPages()->isHidden());
        QVERIFY(window.VMNameExists(QStringLiteral("a")));
        QVERIFY(window.VMNameExists(QStringLiteral("Y")));
        QVERIFY(!window.VMNameExists(QStringLiteral("x")));
    }

    void sortIsLocaleAwareCaseBreaksTies()
    {
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const auto restore = qScopeGuard([before] { QLocale::setDefault(before); });
        QVERIFY(CompareVMNames(QStringLiteral("a"), QStringLiteral("B")) < 0);
        QVERIFY(CompareVMNames(QStringLiteral("B"), QStringLiteral("a")) > 0);
        QVERIFY(CompareVMNames(QStringLiteral("Zeta"), QStringLiteral("zeta")) != 0);
        QCOMPARE(CompareVMNames(QStringLiteral("same"), QStringLiteral("same")), 0);
        QVERIFY(CompareVMNames(QStringLiteral("Äpfel"), QStringLiteral("Birnen")) < 0);
    }

    void runningIconAndNodeState()
    {
        TempProgramFolder folder;
        QVERIFY(QFile::copy(QStringLiteral(VIMOR_IMAGE_LIBRARY),
                            folder.file(QStringLiteral("vimordll.dll"))));
        writeVM(folder.file(QStringLiteral("VMs/run.vm2")),
                {{QStringLiteral("General"), QStringLiteral("Status"), QStringLiteral("Running")},
                 {QStringLiteral("Hardware"), QStringLiteral("OutputID"), QStringLiteral("1")}});
        writeVM(folder.file(QStringLiteral("VMs/still.vm2")), Stopped);
        QVERIFY(QFile::remove(folder.file(QStringLiteral("VMs/still.vm2"))) &&
                folder.write(QStringLiteral("VMs/still.vm2"), "[General]\r\n"));
        TMain window;
        const QTreeWidgetItem* root = window.tree()->topLevelItem(0);
        const QImage running = window.images().ni.image(8).toImage();
        const QImage vm = window.images().ni.image(0).toImage();
        const auto picture = [root](int row) {
            return root->child(row)->icon(0).pixmap(16, 16).toImage().convertToFormat(
                QImage::Format_ARGB32);
        };
        QCOMPARE(picture(0), running.convertToFormat(QImage::Format_ARGB32)); // "run"
        QCOMPARE(picture(1), vm.convertToFormat(QImage::Format_ARGB32));      // no Status
        window.SetNodeStateStopped(folder.file(QStringLiteral("VMs/run.vm2")));
        QCOMPARE(picture(0), vm.convertToFormat(QImage::Format_ARGB32));
        window.SetNodeState(QStringLiteral("still"), true);
        QCOMPARE(picture(1), running.convertToFormat(QImage::Format_ARGB32));
    }

    void startUpResetsEmbeddedSessions()
    {
        TempProgramFolder folder;
        const QString embedded = folder.file(QStringLiteral("VMs/e.vm2"));
        const QString ownWindow = folder.file(QStringLiteral("VMs/w.vm2"));
        writeVM(embedded,
                RunningEmbedded + Keys{{QStringLiteral("General"), QStringLiteral("PanelID"),
                                        QStringLiteral("2")},
                                       {QStringLiteral("General"), QStringLiteral("StatusID"),
                                        QStringLiteral("4242")}});
        writeVM(ownWindow,
                {{QStringLiteral("General"), QStringLiteral("Status"), QStringLiteral("Running")},
                 {QStringLiteral("Hardware"), QStringLiteral("OutputID"), QStringLiteral("1")},
                 {QStringLiteral("General"), QStringLiteral("StatusID"), QStringLiteral("4343")}});
        TMain window;
        QCOMPARE(general(embedded, "Status"), QStringLiteral("Stopped"));
        QCOMPARE(general(embedded, "PanelID"), QString());
        QCOMPARE(general(embedded, "StatusID"), QString());
        // A VM in its own window is left to the process watcher.
        QCOMPARE(general(ownWindow, "Status"), QStringLiteral("Running"));
        QCOMPARE(general(ownWindow, "StatusID"), QStringLiteral("4343"));
    }

    void tabMemory_data()
    {
        QTest::addColumn<bool>("remember");
        QTest::newRow("RememberTabs Yes") << true;
        QTest::newRow("RememberTabs empty") << false;
    }

    void tabMemory()
    {
        QFETCH(bool, remember);
        TempProgramFolder folder;
        if (remember)
            QVERIFY(folder.write(QStringLiteral("vimor.ini"), "[General]\r\nRememberTabs=Yes\r\n"));
        const QString a = folder.file(QStringLiteral("VMs/A.vm2"));
        const QString b = folder.file(QStringLiteral("VMs/B.vm2"));
        writeVM(a, Stopped);
        writeVM(b, Stopped);
        TMain window;
        QCOMPARE(window.selectedVM(), a);
        // Leaving a VM while starting up writes no tab.
        QVERIFY(window.selectVM(b));
        QCOMPARE(general(a, "TabIndex"), QString());
        window.setStartingUp(false);
        QVERIFY(window.selectVM(a));
        QCOMPARE(general(b, "TabIndex"), QStringLiteral("0"));
        window.vmPages()->setCurrentIndex(TMain::DrivesTab);
        QVERIFY(window.selectVM(b));
        QCOMPARE(general(a, "TabIndex"), QStringLiteral("1"));
        QCOMPARE(window.vmPages()->currentIndex(), remember ? 0 : int(TMain::DrivesTab));
        window.vmPages()->setCurrentIndex(TMain::AdvancedTab);
        QVERIFY(window.selectVM(a));
        QCOMPARE(general(b, "TabIndex"), QStringLiteral("2"));
        QCOMPARE(window.vmPages()->currentIndex(),
                 remember ? int(TMain::DrivesTab) : int(TMain::AdvancedTab));
        // Back to the root: the pages go, the last tab is remembered for the run.
        window.tree()->setCurrentItem(window.tree()->topLevelItem(0));
        QVERIFY(window.vmPages()->isHidden());
        QCOMPARE(window.lastTabIndex(), remember ? int(TMain::DrivesTab) : int(TMain::AdvancedTab));
    }

    void enteringANode()
    {
        TempProgramFolder folder;
        addVersion(folder, QStringLiteral("withConsole"), QStringLiteral("Yes"));
        addVersion(folder, QStringLiteral("noConsole"), QStringLiteral("yes"));
        const QString attached = folder.file(QStringLiteral("VMs/a.vm2"));
        const QString lacking = folder.file(QStringLiteral("VMs/b.vm2"));
        const QString stopped = folder.file(QStringLiteral("VMs/c.vm2"));
        writeVM(stopped, Stopped);
        TMain window;
        // Written after start-up, which would have reset them.
        writeVM(attached, RunningEmbedded +
                              Keys{{QStringLiteral("General"), QStringLiteral("Qemu Version ID"),
                                    QStringLiteral("withConsole")},
                                   {QStringLiteral("General"), QStringLiteral("PanelID"),
                                    QStringLiteral("3")},
                                   {QStringLiteral("General"), QStringLiteral("PortID"),
                                    QStringLiteral("60007")}});
        writeVM(lacking, RunningEmbedded +
                             Keys{{QStringLiteral("General"), QStringLiteral("Qemu Version ID"),
                                   QStringLiteral("noConsole")}});
        window.BuildVMTree();

        QVERIFY(window.selectVM(attached));
        QCOMPARE(window.attachedMonitorVM(), QStringLiteral("a"));
        QCOMPARE(window.monitorPort(), 60007);
        QVERIFY(!window.panel(3)->isHidden());
        for (int n = 1; n <= TMain::PanelCount; ++n)
            QCOMPARE(window.panel(n)->isHidden(), n != 3);
        QCOMPARE(window.vmPages()->tabText(TMain::ConsoleTab),
                 QStringLiteral("Console (Press Ctrl-Alt to unlock mouse)"));

        window.setMonitorConnected(true);
        QVERIFY(window.selectVM(lacking)); // running, embedded, but its version has no console
        QVERIFY(!window.monitorConnected());
        QVERIFY(window.panel(3)->isHidden());

        window.setMonitorConnected(true);
        QVERIFY(window.selectVM(stopped));
        QVERIFY(!window.monitorConnected());
        QCOMPARE(window.vmPages()->tabText(TMain::ConsoleTab), QStringLiteral("Console"));
    }

    void centring_data()
    {
        QTest::addColumn<QSize>("area");
        QTest::addColumn<QSize>("panel");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("smaller") << QSize(800, 500) << QSize(600, 400) << QPoint(100, 50);
        QTest::newRow("wider") << QSize(800, 500) << QSize(900, 400) << QPoint(0, 50);
        QTest::newRow("taller") << QSize(800, 500) << QSize(600, 700) << QPoint(100, 0);
        QTest::newRow("odd difference") << QSize(801, 500) << QSize(600, 401) << QPoint(100, 49);
        QTest::newRow("equal") << QSize(632, 469) << QSize(632, 469) << QPoint(0, 0);
    }

    void centring()
    {
        QFETCH(QSize, area);
        QFETCH(QSize, panel);
        QTEST(CentredPanelPosition(area, panel), "expected");
    }

    // Real processes: a QEMU that is ended, a program that merely got a recorded identifier, and
    // an identifier no process has.
    void terminateEmbeddedSessions()
    {
        TempProgramFolder folder;
        TMain window;

        QProcess qemu;
        qemu.start(QStringLiteral("qemu-system-x86_64"),
                   {QStringLiteral("-display"), QStringLiteral("none"), QStringLiteral("-S"),
                    QStringLiteral("-nodefaults"), QStringLiteral("-m"), QStringLiteral("16")});
        QVERIFY(qemu.waitForStarted());
        QProcess other;
        other.start(QStringLiteral("sleep"), {QStringLiteral("60")});
        QVERIFY(other.waitForStarted());
        QTRY_VERIFY(Processes::isQemu(qemu.processId()));
        QVERIFY(!Processes::isQemu(other.processId()));

        const auto session = [](qint64 pid) {
            return RunningEmbedded +
                   Keys{{QStringLiteral("General"), QStringLiteral("PanelID"), QStringLiteral("1")},
                        {QStringLiteral("General"), QStringLiteral("StatusID"),
                         QString::number(pid)}};
        };
        const QString ended = folder.file(QStringLiteral("VMs/q.vm2"));
        const QString reused = folder.file(QStringLiteral("VMs/s.vm2"));
        const QString gone = folder.file(QStringLiteral("VMs/g.vm2"));
        const QString notEmbedded = folder.file(QStringLiteral("VMs/n.vm2"));
        writeVM(ended, session(qemu.processId()));
        writeVM(reused, session(other.processId()));
        writeVM(gone, session(999999999));
        writeVM(notEmbedded,
                {{QStringLiteral("General"), QStringLiteral("Status"), QStringLiteral("Running")},
                 {QStringLiteral("General"), QStringLiteral("StatusID"),
                  QString::number(other.processId())}});

        QVERIFY(window.TerminateEmbeddedSessions());
        QVERIFY(qemu.waitForFinished(10000));
        // The ended VM keeps "Running" until the next start-up resets it.
        QCOMPARE(general(ended, "Status"), QStringLiteral("Running"));
        QCOMPARE(general(ended, "PanelID"), QStringLiteral("1"));
        // The other program runs on; its VM is marked stopped like a VM whose process is gone.
        QCOMPARE(other.state(), QProcess::Running);
        for (const QString& vm : {reused, gone}) {
            QCOMPARE(general(vm, "Status"), QStringLiteral("Stopped"));
            QCOMPARE(general(vm, "StatusID"), QString());
            QCOMPARE(general(vm, "PanelID"), QString());
        }
        QCOMPARE(general(notEmbedded, "Status"), QStringLiteral("Running"));
        other.kill();
        other.waitForFinished();

        // Nothing left to end.
        QVERIFY(!window.TerminateEmbeddedSessions());
    }

    void menusAndToolbars()
    {
        TempProgramFolder folder;
        QVERIFY(folder.write(QStringLiteral("vimor.ini"), "[General]\r\nWizard7Complete=1\r\n"));
        TMain window;
        const QList<QAction*> top = window.menuBar()->actions();
        QStringList titles;
        for (const QAction* action : top)
            titles.append(action->text());
        QCOMPARE(titles, (QStringList{QStringLiteral("&File"), QStringLiteral("&VM"),
                                      QStringLiteral("&Tools"), QStringLiteral("Help")}));
        const auto s = [](const char* text) { return QString::fromUtf8(text); };
        QCOMPARE(actionTexts(top.at(0)->menu()),
                 (QStringList{s("Create New Virtual Disk"), s("-"), s("&Exit Vimor")}));
        QCOMPARE(actionTexts(top.at(1)->menu()),
                 (QStringList{s("New Virtual Machine"), s("Delete Selected Virtual Machine"),
                              s("-"), s("Start Selected Virtual Machine"),
                              s("Stop Selected Virtual Machine"), s("Show Launch Log"), s("-"),
                              s("Add/Remove Hardware "), s("-"), s("VM Control"), s("-"),
                              s("Fit to Window"), s("Actual Size"), s("Full Screen"), s("-"),
                              s("Save Screenshot..."), s("Type Clipboard Text")}));
        QCOMPARE(
            actionTexts(window.hardwareMenu()),
            (QStringList{s("Add New Network Card"), s("Add New Serial Port"),
                         s("Add New Parallel Port"), s("-"), s("Delete Selected Network Card"),
                         s("Delete Selected Serial Port"), s("Delete Selected Parallel Port")}));
        QCOMPARE(
            actionTexts(window.vmControlMenu()),
            (QStringList{s("CD/DVD Drive"), s("Floppy Disk Drive"), s("-"), s("Send CTRL+ALT+DEL"),
                         s("-"), s("Pause Virtual Machine"), s("-"), s("VM Snapshot Management"),
                         s("-"), s("Shutdown/Reset Options"), s("-"), s("Quit Qemu")}));
        QCOMPARE(actionTexts(window.vmControlMenu()->actions().at(0)->menu()),
                 (QStringList{s("Eject CD/DVD Media From Drive"), s("Load CD/DVD Disk Image"),
                              s("Load CD/DVD Disk Image && Restart VM"),
                              s("Use Physical CD/DVD Drive")}));
        QCOMPARE(actionTexts(top.at(2)->menu()),
                 (QStringList{s("Install KQEMU Accelerator"),
                              s("Uninstall KQEMU Accelerator"),
                              s("-"),
                              s("Show Last Run Command"),
                              s("-"),
                              s("Configure Operating System Defaults"),
                              s("Configure TAP Network Devices"),
                              s("Install Vimor Console Font"),
                              s("-"),
                              s("Create Disk Image From Removable Media"),
                              s("-"),
                              s("Qemu Version Management"),
                              s("-"),
                              s("VM Stores"),
                              s("-"),
                              s("Browse Default Media Image Folder"),
                              s("-"),
                              s("Change Language"),
                              s("-"),
                              s("Vimor Options")}));
        QCOMPARE(actionTexts(top.at(3)->menu()),
                 (QStringList{s("View User Manual"), s("-"), s("Check For Updates"), s("-"),
                              s("About")}));

        // Without the KQEMU driver only installing is offered.
        const QList<QAction*> tools = top.at(2)->menu()->actions();
        QVERIFY(tools.at(0)->isEnabled());
        QVERIFY(!tools.at(1)->isEnabled());
        QVERIFY(!tools.at(17)->isEnabled()); // Change Language

        // The VM controls work only while a monitor is connected.
        QVERIFY(!window.vmControlMenu()->isEnabled());
        QVERIFY(window.consoleToolBar()->isHidden());
        window.setMonitorConnected(true);
        QVERIFY(window.vmControlMenu()->isEnabled());
        QVERIFY(!window.consoleToolBar()->isHidden());

        const QList<QToolBar*> bars = window.findChildren<QToolBar*>(QStringLiteral("MainToolBar"));
        QCOMPARE(bars.size(), 1);
        QStringList hints;
        const QList<QAction*> buttons = bars.first()->actions();
        for (const QAction* action : buttons)
            hints.append(action->isSeparator() ? s("-") : action->toolTip());
        QCOMPARE(hints,
                 (QStringList{s("Create New VM"), s("Delete Selected VM"), s("-"),
                              s("Launch Selected VM"), s("Stop Selected VM"), s("-"),
                              s("Create disk image from removable media"), s("-"),
                              s("Manage VM Stores"), s("-"), s("Add/Remove Hardware "), s("-"),
                              s("QEMU Version Control"), s("-"), s("Vimor Options"), s("-")}));
    }

private:
    ScriptedInteraction* m_script = nullptr;
};

QTEST_MAIN(TestVMTree)
#include "tst_vmtree.moc"
