// The main window routes double-clicks on the settings lists and the menu commands to the right
// editor and command.

#include "app/ui/TMain.h"
#include "model/VMFile.h"
#include "platform/ui/Interaction.h"
#include "settings/ui/SettingsLists.h"
#include "support/TempProgramFolder.h"

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTreeWidget>

namespace {

QTreeWidgetItem* rowWithIcon(QTreeWidget* list, int icon, const QString& number = {})
{
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = list->topLevelItem(i);
        if (row->data(0, IconRole).toInt() == icon &&
            (number.isEmpty() || row->data(0, NumberRole).toString() == number))
            return row;
    }
    return nullptr;
}

QString read(const QString& vm, const char* section, const char* key)
{
    return ReadVMFileValue(vm, QString::fromUtf8(section), QString::fromUtf8(key));
}

} // namespace

class TestMainWindowCommands : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        auto script = std::make_unique<ScriptedInteraction>();
        m_script = script.get();
        Interaction::install(std::move(script));
        m_folder = std::make_unique<TempProgramFolder>();
        m_vm = m_folder->file(QStringLiteral("VMs/box.vm2"));
        QVERIFY(WriteVMTemplate(m_vm, true));
        const auto write = [this](const char* section, const char* key, const char* value) {
            QVERIFY(WriteVMFileValue(m_vm, QString::fromUtf8(section), QString::fromUtf8(key),
                                     QString::fromUtf8(value)));
        };
        write("General", "Arc", "x86");
        write("Hardware", "CPUArc", "64 Bit");
        write("Hardware", "MID", "pc");
        write("Hardware", "RAM", "512");
        write("Network", "CardCount", "2");
        for (const char* card : {"Network Card 1", "Network Card 2"}) {
            write(card, "Lan Card", "Realtek 8139");
            write(card, "Lan Card ID", "0");
            write(card, "LID", "rtl8139");
            write(card, "MAC", "52-54-00-12-34-56");
        }
    }

    void cleanup() { m_folder.reset(); }

    void selectingAVMFillsTheLists()
    {
        TMain window;
        QCOMPARE(window.selectedVM(), m_vm);
        QVERIFY(window.hardwareList()->topLevelItemCount() > 10);
        QCOMPARE(window.hardwareList()->topLevelItem(0)->text(0),
                 QStringLiteral("Virtual Machine Name"));
        QCOMPARE(window.hardwareList()->topLevelItem(0)->text(1), QStringLiteral("box"));
        QVERIFY(rowWithIcon(window.hardwareList(), 2));
        QCOMPARE(rowWithIcon(window.hardwareList(), 2)->text(1), QStringLiteral("512 MB"));
        QVERIFY(rowWithIcon(window.drivesList(), 16));
        QVERIFY(rowWithIcon(window.advancedList(), 8));
    }

    void doubleClicksOpenTheRowsEditor_data()
    {
        QTest::addColumn<int>("list"); // 0 hardware, 1 drives, 2 advanced
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("title");
        QTest::newRow("memory") << 0 << 2 << QString() << QStringLiteral("Memory");
        QTest::newRow("CPU") << 0 << 58 << QString() << QStringLiteral("CPU Type");
        QTest::newRow("network card 2")
            << 0 << 57 << QStringLiteral("2") << QStringLiteral("Network Card");
        QTest::newRow("local time") << 2 << 8 << QString() << QStringLiteral("Select");
        QTest::newRow("hard disk 0") << 1 << 16 << QString() << QStringLiteral("Select Path");
        QTest::newRow("CD-ROM") << 1 << 39 << QString() << QStringLiteral("Select Path");
        QTest::newRow("boot") << 1 << 21 << QString() << QStringLiteral("Boot Options");
    }

    void doubleClicksOpenTheRowsEditor()
    {
        QFETCH(int, list);
        QFETCH(int, icon);
        QFETCH(QString, number);
        TMain window;
        QTreeWidget* widget = list == 0   ? window.hardwareList()
                              : list == 1 ? window.drivesList()
                                          : window.advancedList();
        QTreeWidgetItem* row = rowWithIcon(widget, icon, number);
        QVERIFY(row);
        widget->setCurrentItem(row);
        const QByteArray before = [this] {
            QFile file(m_vm);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();
        QString shownTitle;
        m_script->answerDialog([&shownTitle](QDialog& dialog) {
            shownTitle = dialog.windowTitle();
            return int(QDialog::Rejected);
        });
        if (list == 0)
            window.HLVDblClick();
        else if (list == 1)
            window.DLVDblClick();
        else
            window.ALVDblClick();
        QTEST(shownTitle, "title");
        QCOMPARE(m_script->pendingAnswers(), 0);
        QFile file(m_vm);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before); // cancelled: nothing written
    }

    // The commands of the menus and toolbar open their windows; cancelled, they change nothing.
    void commandsOpenTheirWindows_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("title");
        QTest::newRow("new VM") << QStringLiteral("new")
                                << QStringLiteral("New Virual Machine Wizard");
        QTest::newRow("versions") << QStringLiteral("versions")
                                  << QStringLiteral("Qemu Version Control");
        QTest::newRow("options") << QStringLiteral("options") << QStringLiteral("Options");
        QTest::newRow("USB devices") << QStringLiteral("usb") << QStringLiteral("USB Devices");
        QTest::newRow("new disk") << QStringLiteral("disk") << QStringLiteral("New Disk Image");
        QTest::newRow("media") << QStringLiteral("media") << QStringLiteral("Import Media Wizard");
    }

    void commandsOpenTheirWindows()
    {
        QFETCH(QString, command);
        TMain window;
        const QByteArray before = [this] {
            QFile file(m_vm);
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }();
        QString shownTitle;
        m_script->answerDialog([&shownTitle](QDialog& dialog) {
            shownTitle = dialog.windowTitle();
            return int(QDialog::Rejected);
        });
        if (command == QLatin1String("new"))
            window.NewVMClick();
        else if (command == QLatin1String("versions"))
            window.QemuVersionManagementClick();
        else if (command == QLatin1String("options"))
            window.ShowOptions();
        else if (command == QLatin1String("usb"))
            window.ShowUsbDevices();
        else if (command == QLatin1String("disk"))
            window.CreateNewVirtualDiskClick();
        else
            window.OpenMediaWizard();
        QTEST(shownTitle, "title");
        QFile file(m_vm);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), before);
    }

    // Deleting asks twice; answering No to the first keeps the VM and its tree node.
    void deleteAsksFirst()
    {
        TMain window;
        QCOMPARE(window.selectedVM(), m_vm);
        m_script->answerMessage(Interaction::Answer::No);
        window.DeleteVMClick();
        QCOMPARE(m_script->shown().size(), 1);
        QCOMPARE(m_script->shown().first().kind, QStringLiteral("confirmation"));
        QVERIFY(QFile::exists(m_vm));
        QVERIFY(window.selectVM(m_vm));
    }

    // A deleted VM stays deleted: neither leaving its node nor showing the next one writes its file
    // anew, whether it was deleted here or behind the program's back.
    void deletedVMStaysDeleted()
    {
        const QString other = m_folder->file(QStringLiteral("VMs/other.vm2"));
        const QString third = m_folder->file(QStringLiteral("VMs/third.vm2"));
        QVERIFY(WriteVMTemplate(other, true) && WriteVMTemplate(third, true));
        TMain window;
        window.setStartingUp(false);
        m_script->answerMessage(Interaction::Answer::Yes);
        m_script->answerMessage(Interaction::Answer::No);
        window.DeleteVMClick();
        QVERIFY(!QFile::exists(m_vm) && !window.selectVM(m_vm));
        QCOMPARE(window.statusPanel(0), QStringLiteral("Total Virtual Machines: 2"));
        QVERIFY(window.selectVM(other) && QFile::remove(other) && QFile::remove(third));
        QVERIFY(window.selectVM(third));
        QVERIFY(!QFile::exists(other) && !QFile::exists(third));
        QCOMPARE(m_script->shown().size(), 2); // the two questions, nothing about the lost files
    }

    void noSelectedRowOpensNothing()
    {
        TMain window;
        window.hardwareList()->clearSelection();
        window.drivesList()->clearSelection();
        window.drivesList()->setCurrentItem(nullptr);
        window.HLVDblClick();
        window.DLVDblClick();
        window.ALVDblClick();
        QVERIFY(m_script->shown().isEmpty());
    }

    void hardwareMenuCommands()
    {
        TMain window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        window.AddNewNetworkCard1Click();
        QCOMPARE(read(m_vm, "Network", "CardCount"), QStringLiteral("3"));
        QVERIFY(rowWithIcon(window.hardwareList(), 57, QStringLiteral("3")));

        // Deleting acts on the hardware list's selected row, and only while the list has focus.
        QTreeWidgetItem* card2 = rowWithIcon(window.hardwareList(), 57, QStringLiteral("2"));
        QVERIFY(card2);
        window.hardwareList()->setCurrentItem(card2);
        window.tree()->setFocus();
        window.DeleteSelectedNetworkCard1Click();
        QCOMPARE(read(m_vm, "Network", "CardCount"), QStringLiteral("3"));

        card2 = rowWithIcon(window.hardwareList(), 57, QStringLiteral("2"));
        window.hardwareList()->setCurrentItem(card2);
        window.hardwareList()->setFocus();
        QCOMPARE(QApplication::focusWidget(), window.hardwareList());
        for (int i = 0; i < 3; ++i)
            m_script->answerMessage(Interaction::Answer::Yes);
        window.DeleteSelectedNetworkCard1Click();
        QCOMPARE(read(m_vm, "Network", "CardCount"), QStringLiteral("2"));
        QVERIFY(!rowWithIcon(window.hardwareList(), 57, QStringLiteral("3")));
    }

    void operatingSystemsWindow()
    {
        TMain window;
        QString shownTitle;
        m_script->answerDialog([&shownTitle](QDialog& dialog) {
            shownTitle = dialog.windowTitle();
            return int(QDialog::Rejected);
        });
        window.ConfigureOperatingSystemsClick();
        QCOMPARE(shownTitle, QStringLiteral("Operating Systems"));
    }

private:
    ScriptedInteraction* m_script = nullptr;
    std::unique_ptr<TempProgramFolder> m_folder;
    QString m_vm;
};

QTEST_MAIN(TestMainWindowCommands)
#include "tst_mainwindowcommands.moc"
