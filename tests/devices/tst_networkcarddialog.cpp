#include "app/ui/TMain.h"
#include "devices/ui/NetworkCardDialog.h"
#include "devices/ui/PortCommands.h"
#include "model/IniFile.h"
#include "model/VMFile.h"
#include "platform/ui/Interaction.h"
#include "support/TempProgramFolder.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

using Keys = QList<std::pair<QString, QString>>;

// An x86 PC with three cards: a user card with redirections, a card with only the keys a new card
// gets, and a TAP card with two listeners and a connector. Networking is off so that listing the
// VM leaves "Auto" addresses alone.
void writeVM(const QString& path, const Keys& extra = {})
{
    QVERIFY(WriteVMTemplate(path, true));
    const QList<std::tuple<QString, QString, QString>> keys = {
        {s("General"), s("Arc"), s("x86")},
        {s("Hardware"), s("MID"), s("pc")},
        {s("Hardware"), s("CPUArc"), s("32 Bit")},
        {s("Hardware"), s("Network"), s("No")},
        {s("Network"), s("CardCount"), s("3")},
        {s("Network Card 1"), s("Lan Card"), s("NE2000 PCI")},
        {s("Network Card 1"), s("Lan Card ID"), s("1")},
        {s("Network Card 1"), s("LID"), s("ne2k_pci")},
        {s("Network Card 1"), s("MAC"), s("52-54-00-00-00-01")},
        {s("Network Card 1"), s("VLAN"), s("0")},
        {s("Network Card 1"), s("VLAN Type"), s("User Networking")},
        {s("Network Card 1"), s("TapID"), QString()},
        {s("Network Card 1"), s("Listeners"), QString()},
        {s("Network Card 1"), s("Connectors"), QString()},
        {s("Network Card 1"), s("Redirectors"), s("tcp:8080::80|udp:5353::53")},
        {s("Network Card 2"), s("Lan Card"), s("Realtek 8139")},
        {s("Network Card 2"), s("Lan Card ID"), s("0")},
        {s("Network Card 2"), s("LID"), s("rtl8139")},
        {s("Network Card 2"), s("MAC"), s("Auto")},
        {s("Network Card 2"), s("VLAN"), s("0")},
        {s("Network Card 3"), s("Lan Card"), s("Intel E1000")},
        {s("Network Card 3"), s("Lan Card ID"), s("5")},
        {s("Network Card 3"), s("LID"), s("e1000")},
        {s("Network Card 3"), s("MAC"), s("52-54-00-AB-CD-EF")},
        {s("Network Card 3"), s("VLAN"), s("2")},
        {s("Network Card 3"), s("VLAN Type"), s("TAP Networking")},
        {s("Network Card 3"), s("TapID"), s("Local Area Connection 2")},
        {s("Network Card 3"), s("Listeners"), s("4000|4001")},
        {s("Network Card 3"), s("Connectors"), s("10.0.0.1:4000")},
        {s("Network Card 3"), s("Redirectors"), QString()},
    };
    for (const auto& [section, key, value] : keys)
        QVERIFY(WriteVMFileValue(path, section, key, value));
    for (const auto& [key, value] : extra) {
        const QString section = key.section(QLatin1Char('/'), 0, 0);
        QVERIFY(WriteVMFileValue(path, section, key.section(QLatin1Char('/'), 1), value));
    }
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QStringList items(const QListWidget* list)
{
    QStringList texts;
    for (int row = 0; row < list->count(); ++row)
        texts.append(list->item(row)->text());
    return texts;
}

NetworkCardDialog& cardDialog(QDialog& dialog)
{
    return dynamic_cast<NetworkCardDialog&>(dialog);
}

bool redirectorsTabShown(const NetworkCardDialog& dialog)
{
    return dialog.tabs()->isTabVisible(1);
}

} // namespace

Q_DECLARE_METATYPE(Keys)

class TestNetworkCardDialog : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        auto script = std::make_unique<ScriptedInteraction>();
        m_script = script.get();
        Interaction::install(std::move(script));
    }

    void load_data()
    {
        QTest::addColumn<Keys>("stored"); // "Section/Key" values written over the three cards
        QTest::addColumn<QString>("card");
        QTest::addColumn<QString>("model"); // empty: none selected
        QTest::addColumn<QString>("vlanType");
        QTest::addColumn<bool>("tapShown");
        QTest::addColumn<int>("vlan");
        QTest::addColumn<QString>("mac");
        QTest::addColumn<QString>("tap");
        QTest::addColumn<QStringList>("listeners");
        QTest::addColumn<QStringList>("connectors");
        QTest::addColumn<QStringList>("redirectors");

        QTest::newRow("TAP card") << Keys() << s("3") << s("Intel E1000") << s("Tap Networking")
                                  << true << 2 << s("52-54-00-AB-CD-EF")
                                  << s("Local Area Connection 2")
                                  << QStringList{s("4000"), s("4001")}
                                  << QStringList{s("10.0.0.1:4000")} << QStringList();
        QTest::newRow("user card")
            << Keys() << s("1") << s("NE2000 PCI") << s("User Networking") << false << 0
            << s("52-54-00-00-00-01") << QString() << QStringList() << QStringList()
            << QStringList{s("tcp:8080::80"), s("udp:5353::53")};
        QTest::newRow("new card: no type")
            << Keys() << s("2") << s("Realtek 8139") << QString() << false << 0 << s("Auto")
            << QString() << QStringList() << QStringList() << QStringList();
        QTest::newRow("dialog spelling of the TAP type")
            << Keys{{s("Network Card 2/VLAN Type"), s("Tap Networking")}} << s("2")
            << s("Realtek 8139") << s("Tap Networking") << true << 0 << s("Auto") << QString()
            << QStringList() << QStringList() << QStringList();
        QTest::newRow("no stored position: first model")
            << Keys{{s("Network Card 3/Lan Card ID"), QString()}} << s("3") << s("Realtek 8139")
            << s("Tap Networking") << true << 2 << s("52-54-00-AB-CD-EF")
            << s("Local Area Connection 2") << QStringList{s("4000"), s("4001")}
            << QStringList{s("10.0.0.1:4000")} << QStringList();
        QTest::newRow("model the machine has not")
            << Keys{{s("Hardware/MID"), s("isapc")}} << s("1") << QString() << s("User Networking")
            << false << 0 << s("52-54-00-00-00-01") << QString() << QStringList() << QStringList()
            << QStringList{s("tcp:8080::80"), s("udp:5353::53")};
        QTest::newRow("VLAN not a number")
            << Keys{{s("Network Card 2/VLAN"), s("x")}} << s("2") << s("Realtek 8139") << QString()
            << false << 0 << s("Auto") << QString() << QStringList() << QStringList()
            << QStringList();
    }

    void load()
    {
        QFETCH(Keys, stored);
        QFETCH(QString, card);
        QFETCH(QString, model);
        QFETCH(QString, vlanType);
        QFETCH(bool, tapShown);
        QFETCH(int, vlan);
        QFETCH(QString, mac);
        QFETCH(QString, tap);
        QFETCH(QStringList, listeners);
        QFETCH(QStringList, connectors);
        QFETCH(QStringList, redirectors);

        TempProgramFolder folder;
        const QString vm = folder.file(s("VMs/a.vm2"));
        writeVM(vm, stored);
        TMain window;
        bool shown = false;
        m_script->answerDialog([&](QDialog& dialog) {
            shown = true;
            const NetworkCardDialog& d = cardDialog(dialog);
            [&] {
                QCOMPARE(d.windowTitle(), s("Network Card"));
                QCOMPARE(d.parentWidget(), &window);
                QCOMPARE(d.tabs()->currentIndex(), 0);
                QCOMPARE(d.tabs()->tabText(0), s("General"));
                QCOMPARE(d.models()->currentText(), model);
                QCOMPARE(d.vlanType()->currentText(), vlanType);
                QCOMPARE(!d.tapPanel()->isHidden(), tapShown);
                QCOMPARE(redirectorsTabShown(d), vlanType == s("User Networking"));
                QCOMPARE(d.vlanNumber()->value(), vlan);
                QCOMPARE(d.macAddress()->text(), mac);
                QCOMPARE(d.tapAdapter()->text(), tap);
                QCOMPARE(items(d.listeners()), listeners);
                QCOMPARE(items(d.connectors()), connectors);
                QCOMPARE(items(d.redirectors()), redirectors);
                QCOMPARE(d.redirectorType()->currentText(), s("TCP"));
                QCOMPARE(d.connectAddress()->text(), s("127.0.0.1"));
                QCOMPARE(d.hostPort()->text(), QString());
                QCOMPARE(d.guestPort()->text(), QString());
                QCOMPARE(d.listenerPort()->text(), QString());
                QCOMPARE(d.connectorPort()->text(), QString());
            }();
            return int(QDialog::Rejected);
        });
        EditNetworkCard(window, card);
        QVERIFY(shown);
    }

    // OK writes every tab's keys to the card's section, in order, and refreshes nothing else.
    void saveEveryTab()
    {
        TempProgramFolder folder;
        const QString vm = folder.file(s("VMs/a.vm2"));
        writeVM(vm);
        TMain window;
        m_script->answerDialog([](QDialog& dialog) {
            NetworkCardDialog& d = cardDialog(dialog);
            d.models()->setCurrentIndex(d.models()->findText(s("Virtio")));
            d.vlanType()->setCurrentIndex(d.vlanType()->findText(s("Tap Networking")));
            d.vlanNumber()->setValue(7);
            d.macAddress()->setText(s("52-54-00-01-02-03"));
            d.tapAdapter()->setText(s("Local Area Connection 2"));
            d.redirectors()->setCurrentRow(0);
            d.deleteRedirectorButton()->click();
            d.redirectorType()->setCurrentIndex(1);
            d.hostPort()->setText(s("6000"));
            d.guestPort()->setText(s("60"));
            d.addRedirectorButton()->click();
            d.listenerPort()->setText(s("4444"));
            d.addListenerButton()->click();
            d.connectAddress()->setText(s("10.1.2.3"));
            d.connectorPort()->setText(s("5555"));
            d.addConnectorButton()->click();
            return int(QDialog::Accepted);
        });
        EditNetworkCard(window, s("1"));
        QCOMPARE(m_script->shownTexts(), QStringList{s("Network Card")});
        const IniFile file(vm);
        QCOMPARE(file.readSectionValues(s("Network Card 1")),
                 (QStringList{s("Lan Card=Virtio"), s("Lan Card ID=7"), s("LID=virtio"),
                              s("MAC=52-54-00-01-02-03"), s("VLAN=7"),
                              s("VLAN Type=TAP Networking"), s("TapID=Local Area Connection 2"),
                              s("Listeners=4444"), s("Connectors=10.1.2.3:5555"),
                              s("Redirectors=udp:5353::53|udp:6000::60")}));
        // The other cards are untouched.
        QCOMPARE(file.read(s("Network Card 3"), s("Listeners")), s("4000|4001"));
        QCOMPARE(file.read(s("Network Card 2"), s("MAC")), s("Auto"));
    }

    // A card with only the keys a new card gets: OK appends the rest in the order they are saved;
    // an empty address box saves "Auto"; user networking empties the adapter.
    void saveNewCard()
    {
        TempProgramFolder folder;
        const QString vm = folder.file(s("VMs/a.vm2"));
        writeVM(vm);
        TMain window;
        m_script->answerDialog([](QDialog& dialog) {
            NetworkCardDialog& d = cardDialog(dialog);
            d.macAddress()->clear();
            d.vlanType()->setCurrentIndex(d.vlanType()->findText(s("User Networking")));
            d.tapAdapter()->setText(s("ignored for user networking"));
            return int(QDialog::Accepted);
        });
        EditNetworkCard(window, s("2"));
        QCOMPARE(
            IniFile(vm).readSectionValues(s("Network Card 2")),
            (QStringList{s("Lan Card=Realtek 8139"), s("Lan Card ID=0"), s("LID=rtl8139"),
                         s("MAC=Auto"), s("VLAN=0"), s("TapID="), s("VLAN Type=User Networking"),
                         s("Listeners="), s("Connectors="), s("Redirectors=")}));
    }

    // With no type selected neither the type nor the adapter is written; a model the machine does
    // not have stays as stored.
    void saveWithoutTypeOrModel()
    {
        TempProgramFolder folder;
        const QString vm = folder.file(s("VMs/a.vm2"));
        writeVM(vm, {{s("Network Card 3/VLAN Type"), s("VDE")}, {s("Hardware/MID"), s("isapc")}});
        TMain window;
        m_script->answerDialog([](QDialog& dialog) {
            const NetworkCardDialog& d = cardDialog(dialog);
            return d.vlanType()->currentIndex() == -1 && d.models()->currentIndex() == -1
                       ? int(QDialog::Accepted)
                       : int(QDialog::Rejected);
        });
        EditNetworkCard(window, s("3"));
        const IniFile file(vm);
        QCOMPARE(file.read(s("Network Card 3"), s("VLAN Type")), s("VDE"));
        QCOMPARE(file.read(s("Network Card 3"), s("TapID")), s("Local Area Connection 2"));
        QCOMPARE(file.read(s("Network Card 3"), s("Lan Card")), s("Intel E1000"));
        QCOMPARE(file.read(s("Network Card 3"), s("LID")), s("e1000"));
        QCOMPARE(file.read(s("Network Card 3"), s("Lan Card ID")), s("5"));
        QCOMPARE(file.read(s("Network Card 3"), s("VLAN")), s("2"));
    }

    // Cancel writes nothing, whatever was changed in the dialog.
    void cancelWritesNothing()
    {
        TempProgramFolder folder;
        const QString vm = folder.file(s("VMs/a.vm2"));
        writeVM(vm);
        TMain window;
        const QByteArray before = readBytes(vm);
        m_script->answerDialog([](QDialog& dialog) {
            NetworkCardDialog& d = cardDialog(dialog);
            d.models()->setCurrentIndex(3);
            d.vlanType()->setCurrentIndex(0);
            d.vlanNumber()->setValue(9);
            d.macAddress()->clear();
            d.listenerPort()->setText(s("1"));
            d.addListenerButton()->click();
            d.connectors()->setCurrentRow(0);
            d.deleteConnectorButton()->click();
            return int(QDialog::Rejected);
        });
        EditNetworkCard(window, s("3"));
        QCOMPARE(readBytes(vm), before);
    }

    // The Add and Delete buttons of the three list tabs.
    void listButtons()
    {
        TempProgramFolder folder;
        const QString vm = folder.file(s("VMs/a.vm2"));
        writeVM(vm);
        TMain window;
        m_script->answerDialog([](QDialog& dialog) {
            NetworkCardDialog& d = cardDialog(dialog);
            [&] {
                const QStringList stored = {s("tcp:8080::80"), s("udp:5353::53")};
                // A redirection needs both ports.
                d.hostPort()->setText(s("8081"));
                d.addRedirectorButton()->click();
                QCOMPARE(items(d.redirectors()), stored);
                QCOMPARE(d.hostPort()->text(), s("8081"));
                d.hostPort()->clear();
                d.guestPort()->setText(s("81"));
                d.addRedirectorButton()->click();
                QCOMPARE(items(d.redirectors()), stored);
                // UDP host port 5353 to guest port 53.
                d.redirectorType()->setCurrentIndex(d.redirectorType()->findText(s("UDP")));
                d.hostPort()->setText(s("5353"));
                d.guestPort()->setText(s("53"));
                d.addRedirectorButton()->click();
                QCOMPARE(items(d.redirectors()), stored + QStringList{s("udp:5353::53")});
                QCOMPARE(d.hostPort()->text(), QString());
                QCOMPARE(d.guestPort()->text(), QString());
                // Delete takes the selected item, and nothing without one.
                d.redirectors()->clearSelection();
                d.deleteRedirectorButton()->click();
                QCOMPARE(d.redirectors()->count(), 3);
                d.redirectors()->setCurrentRow(0);
                d.deleteRedirectorButton()->click();
                QCOMPARE(items(d.redirectors()),
                         (QStringList{s("udp:5353::53"), s("udp:5353::53")}));
                // The host address box goes into the item.
                d.bindAddress()->setText(s("10.1.2.3"));
                d.hostPort()->setText(s("2222"));
                d.guestPort()->setText(s("22"));
                d.addRedirectorButton()->click();
                QCOMPARE(items(d.redirectors()).constLast(), s("udp:10.1.2.3:2222::22"));

                d.addListenerButton()->click();
                QCOMPARE(d.listeners()->count(), 0);
                d.listenerPort()->setText(s("4000"));
                d.addListenerButton()->click();
                QCOMPARE(items(d.listeners()), QStringList{s("4000")});
                QCOMPARE(d.listenerPort()->text(), QString());
                d.listeners()->setCurrentRow(0);
                d.deleteListenerButton()->click();
                QCOMPARE(d.listeners()->count(), 0);

                d.addConnectorButton()->click();
                QCOMPARE(d.connectors()->count(), 0);
                d.connectorPort()->setText(s("1234"));
                d.addConnectorButton()->click();
                QCOMPARE(items(d.connectors()), QStringList{s("127.0.0.1:1234")});
                QCOMPARE(d.connectorPort()->text(), QString());
                QCOMPARE(d.connectAddress()->text(), s("127.0.0.1"));

                // "|" would split an item in the file: the boxes do not take it.
                d.listenerPort()->clear();
                QTest::keyClicks(d.listenerPort(), s("40|41"));
                QCOMPARE(d.listenerPort()->text(), s("4041"));
            }();
            return int(QDialog::Rejected);
        });
        EditNetworkCard(window, s("1"));
        const QString incomplete = s("Please ensure you have filled in all the fields!");
        QCOMPARE(m_script->shownTexts(),
                 (QStringList{s("Network Card"), incomplete, incomplete, incomplete, incomplete}));
        for (const auto& shown : m_script->shown().mid(1))
            QCOMPARE(shown.kind, s("error"));
    }

    // The type list shows the TAP panel and the redirections tab as the type asks.
    void vlanTypeShowsItsControls()
    {
        TempProgramFolder folder;
        const QString vm = folder.file(s("VMs/a.vm2"));
        writeVM(vm);
        TMain window;
        m_script->answerDialog([](QDialog& dialog) {
            NetworkCardDialog& d = cardDialog(dialog);
            [&] {
                d.vlanType()->setCurrentIndex(d.vlanType()->findText(s("Tap Networking")));
                QVERIFY(!d.tapPanel()->isHidden());
                QVERIFY(!redirectorsTabShown(d));
                d.vlanType()->setCurrentIndex(d.vlanType()->findText(s("User Networking")));
                QVERIFY(d.tapPanel()->isHidden());
                QVERIFY(redirectorsTabShown(d));
                QCOMPARE(d.tabs()->tabText(1), s("Port Redirectors"));
                QCOMPARE(d.tabs()->tabText(2), s("Sockets (Listeners)"));
                QCOMPARE(d.tabs()->tabText(3), s("Sockets (Connectors)"));
                // This program folder has no discovery program: the error shows and the box keeps
                // its text.
                d.vlanType()->setCurrentIndex(d.vlanType()->findText(s("Tap Networking")));
                d.tapAdapter()->setText(s("typed"));
                QCOMPARE(d.selectTapButton()->text(), s("Select...."));
                d.selectTapButton()->click();
                QCOMPARE(d.tapAdapter()->text(), s("typed"));
            }();
            return int(QDialog::Rejected);
        });
        EditNetworkCard(window, s("1"));
        QCOMPARE(
            m_script->shownTexts(),
            (QStringList{s("Network Card"), s("Could not retrieve TAP Network card information")}));
    }

    // The dialog is made once and reused; what one card left in it does not reach the next.
    void reused()
    {
        TempProgramFolder folder;
        const QString vm = folder.file(s("VMs/a.vm2"));
        writeVM(vm);
        TMain window;
        QDialog* first = nullptr;
        m_script->answerDialog([&first](QDialog& dialog) {
            first = &dialog;
            NetworkCardDialog& d = cardDialog(dialog);
            d.hostPort()->setText(s("1"));
            d.listenerPort()->setText(s("2"));
            d.connectAddress()->setText(s("10.0.0.9"));
            d.redirectorType()->setCurrentIndex(1);
            d.tabs()->setCurrentIndex(3);
            return int(QDialog::Rejected);
        });
        EditNetworkCard(window, s("3"));
        bool same = false;
        m_script->answerDialog([&](QDialog& dialog) {
            same = &dialog == first;
            const NetworkCardDialog& d = cardDialog(dialog);
            [&] {
                QCOMPARE(d.tabs()->currentIndex(), 0);
                QCOMPARE(d.hostPort()->text(), QString());
                QCOMPARE(d.listenerPort()->text(), QString());
                QCOMPARE(d.connectAddress()->text(), s("127.0.0.1"));
                QCOMPARE(d.redirectorType()->currentText(), s("TCP"));
                QCOMPARE(d.listeners()->count(), 0);
                QCOMPARE(d.connectors()->count(), 0);
                QCOMPARE(d.vlanType()->currentIndex(), -1);
                QVERIFY(d.tapPanel()->isHidden());
            }();
            return int(QDialog::Rejected);
        });
        EditNetworkCard(window, s("2"));
        QVERIFY(same);
    }

    // Card numbers that are not cards of the VM open nothing.
    void notACard_data()
    {
        QTest::addColumn<QString>("number");
        QTest::newRow("past the count") << s("4");
        QTest::newRow("zero") << s("0");
        QTest::newRow("empty") << QString();
        QTest::newRow("not a number") << s("x");
    }

    void notACard()
    {
        QFETCH(QString, number);
        TempProgramFolder folder;
        const QString vm = folder.file(s("VMs/a.vm2"));
        writeVM(vm);
        TMain window;
        const QByteArray before = readBytes(vm);
        EditNetworkCard(window, number);
        QCOMPARE(m_script->shown().size(), 0);
        QCOMPARE(readBytes(vm), before);
    }

    // A 32-bit SPARC VM offers only the Lance card.
    void sparcModels()
    {
        TempProgramFolder folder;
        const QString vm = folder.file(s("VMs/a.vm2"));
        writeVM(vm, {{s("General/Arc"), s("sparc")}, {s("Network Card 2/Lan Card"), s("Lance")}});
        TMain window;
        QStringList offered;
        m_script->answerDialog([&offered](QDialog& dialog) {
            const NetworkCardDialog& d = cardDialog(dialog);
            for (int i = 0; i < d.models()->count(); ++i)
                offered.append(d.models()->itemText(i) + QLatin1Char('/') +
                               d.models()->itemData(i).toString());
            return int(QDialog::Accepted);
        });
        EditNetworkCard(window, s("2"));
        QCOMPARE(offered, QStringList{s("Lance/lance")});
        QCOMPARE(ReadVMFileValue(vm, s("Network Card 2"), s("LID")), s("lance"));
    }

private:
    ScriptedInteraction* m_script = nullptr;
};

QTEST_MAIN(TestNetworkCardDialog)
#include "tst_networkcarddialog.moc"
