#include "app/ui/TMain.h"
#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/ui/ImageLibrary.h"
#include "platform/ui/Interaction.h"
#include "settings/SettingsView.h"
#include "settings/ui/SettingsLists.h"
#include "support/TempProgramFolder.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

enum Tab
{
    HardwareTab,
    DrivesTab,
    AdvancedTab,
    ConsoleTab,
    MonitorTab
};

// A strip whose picture n is filled with a colour made from n, so a row's picture names its number.
ImageStrip numberedStrip(int count)
{
    ImageStrip strip;
    for (int n = 0; n < count; ++n) {
        QPixmap picture(16, 16);
        picture.fill(QColor(n, 255 - n, 7));
        strip.add(picture);
    }
    return strip;
}

int pictureNumber(const QTreeWidgetItem* item)
{
    const QIcon icon = item->icon(0);
    if (icon.isNull())
        return -1;
    return icon.pixmap(16, 16).toImage().pixelColor(8, 8).red();
}

// A page control laid out like the VM page: five tabs, all visible.
std::unique_ptr<QTabWidget> vmPages()
{
    auto pages = std::make_unique<QTabWidget>();
    for (const QString& caption :
         {u"Hardware"_s, u"Drives"_s, u"Advanced"_s, u"Console"_s, u"Monitor"_s})
        pages->addTab(new QLabel(caption), caption);
    pages->resize(400, 300);
    pages->show();
    return pages;
}

SettingsViewModel sampleModel()
{
    SettingsViewModel model;
    model.hardware = {{u"Virtual Machine Name"_s, u"vm"_s, 51, QString()},
                      {u"Network Card 1"_s, u"NE2000 PCI on VLAN 0"_s, 57, u"1"_s},
                      {u"Serial Port 2"_s, u"COM1"_s, 72, u"2"_s}};
    model.drives = {{u"Hard Disk 2 "_s, u"disk.img"_s, 34, QString()},
                    {u"CD-ROM"_s, QString(), 39, QString()}};
    model.advanced = {{u"CPU Affinity"_s, u"Disabled"_s, 58, QString()},
                      {u"No picture"_s, u"x"_s, -1, QString()},
                      {u"Outside the strip"_s, u"y"_s, 200, QString()}};
    return model;
}

QStringList rowsOf(const QTreeWidget& list)
{
    QStringList rows;
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list.topLevelItem(i);
        rows.append(u"%1|%2|%3|%4|%5"_s.arg(
            item->text(0), item->text(1), QString::number(item->data(0, IconRole).toInt()),
            item->data(0, NumberRole).toString(), QString::number(pictureNumber(item))));
    }
    return rows;
}

} // namespace

class TestSettingsLists : public QObject
{
    Q_OBJECT

private slots:
    void fillsTheThreeLists();
    void runTimeTabs_data();
    void runTimeTabs();
    void withTheMainWindow();
};

void TestSettingsLists::fillsTheThreeLists()
{
    QTreeWidget hardware, drives, advanced;
    for (QTreeWidget* list : {&hardware, &drives, &advanced})
        list->setColumnCount(2);
    const auto pages = vmPages();
    const ImageStrip mi = numberedStrip(84);

    // Rows of an earlier VM go.
    hardware.addTopLevelItem(new QTreeWidgetItem(QStringList{u"old"_s, u"row"_s}));
    FillSettingsLists(sampleModel(), &hardware, &drives, &advanced, pages.get(), ConsoleTab,
                      MonitorTab, mi);
    QCOMPARE(rowsOf(hardware), QStringList({u"Virtual Machine Name|vm|51||51"_s,
                                            u"Network Card 1|NE2000 PCI on VLAN 0|57|1|57"_s,
                                            u"Serial Port 2|COM1|72|2|72"_s}));
    QCOMPARE(rowsOf(drives), QStringList({u"Hard Disk 2 |disk.img|34||34"_s, u"CD-ROM||39||39"_s}));
    QCOMPARE(rowsOf(advanced),
             QStringList({u"CPU Affinity|Disabled|58||58"_s, u"No picture|x|-1||-1"_s,
                          u"Outside the strip|y|200||-1"_s}));

    // A strip that could not be loaded leaves the rows without pictures.
    FillSettingsLists(sampleModel(), &hardware, &drives, &advanced, pages.get(), ConsoleTab,
                      MonitorTab, ImageStrip());
    QCOMPARE(hardware.topLevelItemCount(), 3);
    QVERIFY(hardware.topLevelItem(0)->icon(0).isNull());

    // An empty model empties the lists.
    FillSettingsLists(SettingsViewModel(), &hardware, &drives, &advanced, pages.get(), ConsoleTab,
                      MonitorTab, mi);
    QCOMPARE(hardware.topLevelItemCount() + drives.topLevelItemCount() +
                 advanced.topLevelItemCount(),
             0);
}

void TestSettingsLists::runTimeTabs_data()
{
    QTest::addColumn<bool>("hiddenBefore"); // both run-time tabs hidden before the call
    QTest::addColumn<int>("active");
    QTest::addColumn<bool>("console");
    QTest::addColumn<bool>("monitor");
    QTest::addColumn<int>("activeAfter");

    QTest::newRow("Advanced stays while the tabs hide")
        << false << int(AdvancedTab) << false << false << int(AdvancedTab);
    QTest::newRow("Drives stays while the tabs come back")
        << true << int(DrivesTab) << true << true << int(DrivesTab);
    QTest::newRow("Console stays when shown")
        << false << int(ConsoleTab) << true << false << int(ConsoleTab);
    QTest::newRow("Monitor stays when shown")
        << false << int(MonitorTab) << true << true << int(MonitorTab);
    QTest::newRow("hidden Console gives way to Hardware")
        << false << int(ConsoleTab) << false << false << int(HardwareTab);
    QTest::newRow("hidden Monitor gives way to Hardware, not Console")
        << false << int(MonitorTab) << true << false << int(HardwareTab);
    QTest::newRow("Hardware stays")
        << true << int(HardwareTab) << false << false << int(HardwareTab);
}

void TestSettingsLists::runTimeTabs()
{
    QFETCH(bool, hiddenBefore);
    QFETCH(int, active);
    QFETCH(bool, console);
    QFETCH(bool, monitor);
    QFETCH(int, activeAfter);

    const auto pages = vmPages();
    if (hiddenBefore) {
        pages->setTabVisible(ConsoleTab, false);
        pages->setTabVisible(MonitorTab, false);
    }
    pages->setCurrentIndex(active);
    QCOMPARE(pages->currentIndex(), active);
    QSignalSpy changes(pages.get(), &QTabWidget::currentChanged);
    SettingsViewModel model;
    model.showConsole = console;
    model.showMonitor = monitor;
    QTreeWidget hardware, drives, advanced;
    FillSettingsLists(model, &hardware, &drives, &advanced, pages.get(), ConsoleTab, MonitorTab,
                      ImageStrip());

    QCOMPARE(pages->isTabVisible(ConsoleTab), console);
    QCOMPARE(pages->isTabVisible(MonitorTab), monitor);
    for (int tab : {HardwareTab, DrivesTab, AdvancedTab})
        QVERIFY(pages->isTabVisible(tab));
    QCOMPARE(pages->currentIndex(), activeAfter);
    QCOMPARE(pages->currentWidget(), pages->widget(activeAfter));
    QVERIFY(pages->currentWidget()->isVisible());
    // A change of tab is reported once when it happens, and not at all otherwise.
    QCOMPARE(changes.size(), activeAfter == active ? 0 : 1);
    if (!changes.isEmpty())
        QCOMPARE(changes.first().first().toInt(), activeAfter);
}

void TestSettingsLists::withTheMainWindow()
{
    Interaction::install(std::make_unique<ScriptedInteraction>());
    TempProgramFolder folder;
    QVERIFY(folder.isValid());
    {
        TableHandle versions;
        versions.setFolder(folder.path());
        versions.setTableName(TableSchemas::VersionTable);
        QVERIFY(versions.open());
        versions.insert();
        versions.setFieldValue(u"ID"_s, u"EMBED"_s);
        versions.setFieldValue(u"DESC"_s, u"QEMU Embedded"_s);
        versions.setFieldValue(u"INT"_s, u"Yes"_s);
        versions.setFieldValue(u"CONSOLE"_s, u"Yes"_s);
        versions.setFieldValue(u"VERID"_s, u"0"_s);
        QVERIFY(versions.post());
    }
    const QString embedded = folder.file(u"VMs/a.vm2"_s);
    const QString ownWindow = folder.file(u"VMs/b.vm2"_s);
    for (const QString& vm : {embedded, ownWindow}) {
        QVERIFY(WriteVMTemplate(vm, true));
        QVERIFY(WriteVMFileValue(vm, u"General"_s, u"Qemu Version ID"_s, u"EMBED"_s));
        QVERIFY(WriteVMFileValue(vm, u"General"_s, u"Arc"_s, u"x86"_s));
    }
    QVERIFY(WriteVMFileValue(embedded, u"Hardware"_s, u"Vimor Client"_s, u"Yes"_s));

    TMain window;
    QCOMPARE(window.selectedVM(), embedded);
    QTabWidget* pages = window.vmPages();
    QTreeWidget hardware, drives, advanced;
    const auto show = [&] {
        FillSettingsLists(BuildSettingsView(window), &hardware, &drives, &advanced, pages,
                          TMain::ConsoleTab, TMain::MonitorTab, window.images().mi);
    };
    show();
    QVERIFY(pages->isTabVisible(TMain::ConsoleTab));
    QVERIFY(pages->isTabVisible(TMain::MonitorTab));
    QCOMPARE(hardware.topLevelItem(0)->text(1), u"a"_s);
    pages->setCurrentIndex(TMain::MonitorTab);

    QVERIFY(window.selectVM(ownWindow));
    pages->setCurrentIndex(TMain::MonitorTab);
    show();
    QVERIFY(!pages->isTabVisible(TMain::ConsoleTab));
    QVERIFY(!pages->isTabVisible(TMain::MonitorTab));
    QCOMPARE(pages->currentIndex(), int(TMain::HardwareTab));
    QCOMPARE(hardware.topLevelItem(0)->text(1), u"b"_s);
}

QTEST_MAIN(TestSettingsLists)
#include "tst_settingslists.moc"
