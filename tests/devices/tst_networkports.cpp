#include "app/ui/TMain.h"
#include "devices/NetworkPorts.h"
#include "devices/ui/PortCommands.h"
#include "model/IniFile.h"
#include "model/VMFile.h"
#include "platform/ui/Interaction.h"
#include "support/TempProgramFolder.h"

#include <QFile>
#include <QTest>

namespace {

// Lines of a VM definition file, each ended by CR LF.
QByteArray fileText(std::initializer_list<const char*> lines)
{
    QByteArray text;
    for (const char* line : lines)
        text.append(line).append("\r\n");
    return text;
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QStringList asLines(const KeyValues& values)
{
    QStringList lines;
    for (const KeyValue& value : values)
        lines.append(value.key + QLatin1Char('=') + value.value);
    return lines;
}

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

// Three cards: card 3 is a TAP card with two listeners whose keys were written in an order of
// their own; serial port 2 and one parallel port follow. Networking is off so that listing the VM
// leaves the "Auto" address of card 2 as it is.
const QByteArray ThreeCards = fileText({
    "//PLEASE NOTE YOU SHOULD NEVER MANUALLY ALTER THIS FILE - DOING SO WILL! CAUSE PROBLEMS",
    "//WITH VIMOR!",
    "[General]",
    "Arc=x86",
    "[Hardware]",
    "MID=pc",
    "Network=No",
    "[Network]",
    "CardCount=3",
    "[Ports]",
    "SerialCount=2",
    "ParallelCount=1",
    "[Network Card 1]",
    "Lan Card=Realtek 8139",
    "Lan Card ID=0",
    "LID=rtl8139",
    "MAC=52-54-00-00-00-01",
    "VLAN=0",
    "VLAN Type=User Networking",
    "TapID=",
    "Redirectors=tcp:8080::80",
    "[Network Card 2]",
    "Lan Card=NE2000 PCI",
    "Lan Card ID=1",
    "LID=ne2k_pci",
    "MAC=Auto",
    "VLAN=1",
    "[Network Card 3]",
    "Listeners=4000|4001",
    "Lan Card=Intel E1000",
    "Lan Card ID=5",
    "LID=e1000",
    "MAC=52-54-00-AB-CD-EF",
    "VLAN=2",
    "VLAN Type=TAP Networking",
    "TapID=Local Area Connection 2",
    "[Serial Port 1]",
    "SerialTy=0",
    "Serial=Console",
    "IP=0.0.0.0",
    "Port=4444",
    "listen=0",
    "wait=0",
    "[Serial Port 2]",
    "SerialTy=3",
    "Serial=TCP",
    "IP=10.0.0.5",
    "Port=5555",
    "listen=1",
    "wait=1",
    "[Parallel Port 1]",
    "ParallelTy=1",
    "Parallel=C:\\lpt.txt",
});

// Forwards to the main window and counts the refreshes of the settings view.
class CountingContext final : public VMContext
{
public:
    explicit CountingContext(TMain& window) : m_window(window) {}

    QString selectedVM() const override { return m_window.selectedVM(); }
    QString selectedVMName() const override { return m_window.selectedVMName(); }
    QString ReadVMValue(const QString& section, const QString& key) const override
    {
        return m_window.ReadVMValue(section, key);
    }
    bool WriteVMValue(const QString& path, const QString& section, const QString& key,
                      const QString& value) override
    {
        return m_window.WriteVMValue(path, section, key, value);
    }
    VersionRegistry& versions() override { return m_window.versions(); }
    TableHandle& table(Table which) override { return m_window.table(which); }
    const StartSettings& startSettings() const override { return m_window.startSettings(); }
    void ShowSettings() override
    {
        ++shows;
        m_window.ShowSettings();
    }
    QWidget* dialogParent() override { return m_window.dialogParent(); }
    const ImageLibrary& images() const override { return m_window.images(); }

    int shows = 0;

private:
    TMain& m_window;
};

enum class Command
{
    AddCard,
    AddSerial,
    AddParallel,
    DeleteCard,
    DeleteSerial,
    DeleteParallel
};

void run(VMContext& vm, Command command, int icon = -1, const QString& number = {})
{
    switch (command) {
    case Command::AddCard:
        AddNewNetworkCard1Click(vm);
        break;
    case Command::AddSerial:
        AddNewSerialPort1Click(vm);
        break;
    case Command::AddParallel:
        AddNewParallelPort1Click(vm);
        break;
    case Command::DeleteCard:
        DeleteSelectedNetworkCard1Click(vm, icon, number);
        break;
    case Command::DeleteSerial:
        DeleteSelectedSerialPort1Click(vm, icon, number);
        break;
    case Command::DeleteParallel:
        DeleteSelectedParallelPort1Click(vm, icon, number);
        break;
    }
}

} // namespace

Q_DECLARE_METATYPE(NumberedDevice)
Q_DECLARE_METATYPE(AddPlan::Outcome)
Q_DECLARE_METATYPE(DeleteCheck)
Q_DECLARE_METATYPE(Command)
Q_DECLARE_METATYPE(VlanType)
Q_DECLARE_METATYPE(NetworkCardSettings)

class TestNetworkPorts : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        auto script = std::make_unique<ScriptedInteraction>();
        m_script = script.get();
        Interaction::install(std::move(script));
    }

    void parseCount_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("count"); // -1 for no count

        QTest::newRow("empty") << QString() << -1;
        QTest::newRow("zero") << s("0") << 0;
        QTest::newRow("four") << s("4") << 4;
        QTest::newRow("blanks around") << s(" 3 ") << 3;
        QTest::newRow("word") << s("two") << -1;
        QTest::newRow("negative") << s("-1") << -1;
        QTest::newRow("plus sign") << s("+2") << -1;
        QTest::newRow("fraction") << s("2.5") << -1;
        QTest::newRow("too long for a count") << s("1234567890") << -1;
    }

    void parseCount()
    {
        QFETCH(QString, stored);
        QFETCH(int, count);
        QCOMPARE(ParseCount(stored).value_or(-1), count);
    }

    void cardModels_data()
    {
        QTest::addColumn<QString>("arc");
        QTest::addColumn<QString>("machine");
        QTest::addColumn<QString>("cpuArc");
        QTest::addColumn<QString>("first");
        QTest::addColumn<int>("count");

        QTest::newRow("x86 pc") << s("x86") << s("pc") << s("32 Bit") << s("Realtek 8139") << 10;
        QTest::newRow("x86 q35") << s("x86") << s("q35") << s("64 Bit") << s("Realtek 8139") << 10;
        QTest::newRow("x86 isapc") << s("x86") << s("isapc") << s("64 Bit") << s("NE2000 ISA") << 1;
        QTest::newRow("sparc 32 bit") << s("sparc") << s("SS-5") << s("32 Bit") << s("Lance") << 1;
        QTest::newRow("sparc without word size")
            << s("sparc") << s("SS-5") << QString() << s("Lance") << 1;
        QTest::newRow("sparc 64 bit")
            << s("sparc") << s("sun4u") << s("64 Bit") << s("NE2000 PCI") << 8;
        QTest::newRow("ppc 32 bit has no Lance")
            << s("ppc") << s("g3beige") << s("32 Bit") << s("NE2000 PCI") << 8;
        QTest::newRow("arm") << s("arm") << s("versatilepb") << s("32 Bit") << s("SMC 91C111") << 1;
        QTest::newRow("unknown architecture")
            << s("vax") << QString() << QString() << QString() << 0;
    }

    void cardModels()
    {
        QFETCH(QString, arc);
        QFETCH(QString, machine);
        QFETCH(QString, cpuArc);
        QFETCH(QString, first);
        QFETCH(int, count);
        const ChoiceList models = NetworkCardModels(arc, machine, cpuArc);
        QCOMPARE(models.size(), count);
        QCOMPARE(models.value(0).display, first);
    }

    void planAdd_data()
    {
        QTest::addColumn<NumberedDevice>("device");
        QTest::addColumn<QString>("count");
        QTest::addColumn<bool>("withModels");
        QTest::addColumn<AddPlan::Outcome>("outcome");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("newCount");

        const auto card = NumberedDevice::NetworkCard;
        const auto serial = NumberedDevice::SerialPort;
        const auto parallel = NumberedDevice::ParallelPort;
        const auto write = AddPlan::Outcome::Write;
        const auto nothing = AddPlan::Outcome::Nothing;
        const auto over = AddPlan::Outcome::OverLimit;
        const QStringList cardValues = {s("Lan Card=Realtek 8139"), s("Lan Card ID=0"),
                                        s("LID=rtl8139"), s("MAC=Auto"), s("VLAN=0")};
        const QStringList serialValues = {s("SerialTy=0"), s("Serial=Console"), s("IP=0.0.0.0"),
                                          s("Port=4444"),  s("listen=0"),       s("wait=0")};
        const QStringList parallelValues = {s("ParallelTy=0"), s("Parallel=Console")};

        QTest::newRow("first card")
            << card << s("0") << true << write << s("Network Card 1") << cardValues << s("1");
        QTest::newRow("cards have no limit")
            << card << s("41") << true << write << s("Network Card 42") << cardValues << s("42");
        QTest::newRow("card count missing")
            << card << QString() << true << nothing << QString() << QStringList() << QString();
        QTest::newRow("card count not a number")
            << card << s("many") << true << nothing << QString() << QStringList() << QString();
        QTest::newRow("card without a model to give it")
            << card << s("1") << false << nothing << QString() << QStringList() << QString();
        QTest::newRow("fourth serial port")
            << serial << s("3") << false << write << s("Serial Port 4") << serialValues << s("4");
        QTest::newRow("fifth serial port")
            << serial << s("4") << false << over << QString() << QStringList() << QString();
        QTest::newRow("serial count beyond the limit")
            << serial << s("9") << false << over << QString() << QStringList() << QString();
        QTest::newRow("serial count missing")
            << serial << QString() << false << nothing << QString() << QStringList() << QString();
        QTest::newRow("second parallel port") << parallel << s("1") << false << write
                                              << s("Parallel Port 2") << parallelValues << s("2");
        QTest::newRow("third parallel port")
            << parallel << s("2") << false << over << QString() << QStringList() << QString();
        QTest::newRow("parallel count negative")
            << parallel << s("-1") << false << nothing << QString() << QStringList() << QString();
    }

    void planAdd()
    {
        QFETCH(NumberedDevice, device);
        QFETCH(QString, count);
        QFETCH(bool, withModels);
        QFETCH(AddPlan::Outcome, outcome);
        QFETCH(QString, section);
        QFETCH(QStringList, values);
        QFETCH(QString, newCount);
        const ChoiceList models =
            withModels ? NetworkCardModels(s("x86"), s("pc"), s("32 Bit")) : ChoiceList();
        const AddPlan plan = PlanAdd(device, count, models);
        QCOMPARE(plan.outcome, outcome);
        QCOMPARE(plan.section, section);
        QCOMPARE(asLines(plan.values), values);
        QCOMPARE(plan.newCount, newCount);
    }

    void deleteCheck_data()
    {
        QTest::addColumn<NumberedDevice>("device");
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("number");
        QTest::addColumn<DeleteCheck>("check");

        const auto card = NumberedDevice::NetworkCard;
        const auto serial = NumberedDevice::SerialPort;
        const auto parallel = NumberedDevice::ParallelPort;
        QTest::newRow("card row") << card << 57 << s("2") << DeleteCheck::Delete;
        QTest::newRow("serial row") << serial << 72 << s("1") << DeleteCheck::Delete;
        QTest::newRow("parallel row") << parallel << 73 << s("1") << DeleteCheck::Delete;
        QTest::newRow("no row selected") << serial << -1 << QString() << DeleteCheck::Ignore;
        QTest::newRow("card row for a serial delete")
            << serial << 57 << s("1") << DeleteCheck::WrongKind;
        QTest::newRow("serial row for a parallel delete")
            << parallel << 72 << s("1") << DeleteCheck::WrongKind;
        QTest::newRow("RAM row for a card delete")
            << card << 2 << QString() << DeleteCheck::WrongKind;
        QTest::newRow("row without a number") << card << 57 << QString() << DeleteCheck::Ignore;
        QTest::newRow("row numbered 0") << card << 57 << s("0") << DeleteCheck::Ignore;
        QTest::newRow("row number not a number") << card << 57 << s("x") << DeleteCheck::Ignore;
    }

    void deleteCheck()
    {
        QFETCH(NumberedDevice, device);
        QFETCH(int, icon);
        QFETCH(QString, number);
        QFETCH(DeleteCheck, check);
        QCOMPARE(CheckDeleteSelection(device, icon, number), check);
    }

    // Deleting card 2 of 3 moves card 3, every key in its place, to number 2.
    void renumberMiddleCard()
    {
        TempProgramFolder folder;
        const QString vm = folder.file(s("VMs/a.vm2"));
        QVERIFY(folder.write(s("VMs/a.vm2"), ThreeCards));
        QString error;
        QVERIFY(RenumberSections(vm, NumberedDevice::NetworkCard, 2, &error));
        QCOMPARE(error, QString());
        QByteArray expected = ThreeCards;
        expected.replace("CardCount=3", "CardCount=2");
        expected.replace(fileText({"[Network Card 2]", "Lan Card=NE2000 PCI", "Lan Card ID=1",
                                   "LID=ne2k_pci", "MAC=Auto", "VLAN=1"}),
                         QByteArray());
        expected.replace("[Network Card 3]", "[Network Card 2]");
        QCOMPARE(readBytes(vm), expected);

        // What the accessors see of the moved card.
        const IniFile file(vm);
        QCOMPARE(
            file.readSectionValues(s("Network Card 2")),
            (QStringList{s("Listeners=4000|4001"), s("Lan Card=Intel E1000"), s("Lan Card ID=5"),
                         s("LID=e1000"), s("MAC=52-54-00-AB-CD-EF"), s("VLAN=2"),
                         s("VLAN Type=TAP Networking"), s("TapID=Local Area Connection 2")}));
        QCOMPARE(CountListItems(file.read(s("Network Card 2"), s("Listeners"))), 2);
        QVERIFY(!file.sectionExists(s("Network Card 3")));
        QCOMPARE(file.read(s("Network Card 1"), s("Redirectors")), s("tcp:8080::80"));
    }

    void renumberEnds_data()
    {
        QTest::addColumn<NumberedDevice>("device");
        QTest::addColumn<int>("k");
        QTest::addColumn<QByteArray>("removed");     // lines gone from the file
        QTest::addColumn<QByteArray>("renamedFrom"); // a header renamed to renamedTo
        QTest::addColumn<QByteArray>("renamedTo");
        QTest::addColumn<QByteArray>("countBefore");
        QTest::addColumn<QByteArray>("countAfter");

        QTest::newRow("last card")
            << NumberedDevice::NetworkCard << 3
            << fileText({"[Network Card 3]", "Listeners=4000|4001", "Lan Card=Intel E1000",
                         "Lan Card ID=5", "LID=e1000", "MAC=52-54-00-AB-CD-EF", "VLAN=2",
                         "VLAN Type=TAP Networking", "TapID=Local Area Connection 2"})
            << QByteArray() << QByteArray() << QByteArray("CardCount=3")
            << QByteArray("CardCount=2");
        QTest::newRow("first of two serial ports")
            << NumberedDevice::SerialPort << 1
            << fileText({"[Serial Port 1]", "SerialTy=0", "Serial=Console", "IP=0.0.0.0",
                         "Port=4444", "listen=0", "wait=0"})
            << QByteArray("[Serial Port 2]") << QByteArray("[Serial Port 1]")
            << QByteArray("SerialCount=2") << QByteArray("SerialCount=1");
        QTest::newRow("only parallel port")
            << NumberedDevice::ParallelPort << 1
            << fileText({"[Parallel Port 1]", "ParallelTy=1", "Parallel=C:\\lpt.txt"})
            << QByteArray() << QByteArray() << QByteArray("ParallelCount=1")
            << QByteArray("ParallelCount=0");
    }

    void renumberEnds()
    {
        QFETCH(NumberedDevice, device);
        QFETCH(int, k);
        QFETCH(QByteArray, removed);
        QFETCH(QByteArray, renamedFrom);
        QFETCH(QByteArray, renamedTo);
        QFETCH(QByteArray, countBefore);
        QFETCH(QByteArray, countAfter);
        TempProgramFolder folder;
        const QString vm = folder.file(s("VMs/a.vm2"));
        QVERIFY(folder.write(s("VMs/a.vm2"), ThreeCards));
        QVERIFY(RenumberSections(vm, device, k));
        QByteArray expected = ThreeCards;
        QVERIFY(expected.contains(removed));
        expected.replace(removed, QByteArray());
        if (!renamedFrom.isEmpty())
            expected.replace(renamedFrom, renamedTo);
        expected.replace(countBefore, countAfter);
        QCOMPARE(readBytes(vm), expected);
    }

    // The second serial port keeps its six values under number 1.
    void renumberedSerialPortValues()
    {
        TempProgramFolder folder;
        const QString vm = folder.file(s("VMs/a.vm2"));
        QVERIFY(folder.write(s("VMs/a.vm2"), ThreeCards));
        QVERIFY(RenumberSections(vm, NumberedDevice::SerialPort, 1));
        const IniFile file(vm);
        QCOMPARE(file.readSectionValues(s("Serial Port 1")),
                 (QStringList{s("SerialTy=3"), s("Serial=TCP"), s("IP=10.0.0.5"), s("Port=5555"),
                              s("listen=1"), s("wait=1")}));
        QVERIFY(!file.sectionExists(s("Serial Port 2")));
        QCOMPARE(file.read(s("Ports"), s("SerialCount")), s("1"));
        QCOMPARE(file.read(s("Ports"), s("ParallelCount")), s("1"));
    }

    // Two-digit numbers are whole names: "Network Card 10" is not card 1 followed by a 0.
    void renumberManyCards()
    {
        QByteArray text = "[Network]\nCardCount=11\n";
        for (int i = 1; i <= 11; ++i)
            text +=
                "[Network Card " + QByteArray::number(i) + "]\nMAC=" + QByteArray::number(i) + "\n";
        // An old copy of a section that the accessors never reach goes with the section.
        text += "[Network Card 1]\nMAC=stale\n";
        TempProgramFolder folder;
        const QString vm = folder.file(s("VMs/a.vm2"));
        QVERIFY(folder.write(s("VMs/a.vm2"), text));
        QVERIFY(RenumberSections(vm, NumberedDevice::NetworkCard, 1));
        QByteArray expected = "[Network]\nCardCount=10\n";
        for (int i = 2; i <= 11; ++i)
            expected += "[Network Card " + QByteArray::number(i - 1) +
                        "]\nMAC=" + QByteArray::number(i) + "\n";
        QCOMPARE(readBytes(vm), expected);
    }

    // Spellings the accessors accept are found and renamed; line ends and blank lines stay.
    void renumberOddSpelling()
    {
        const QByteArray text = "\xEF\xBB\xBF[ports]\r\nserialcount = 2\r\n\r\n"
                                "[serial port 1]\r\nSerial=COM1\r\n\r\n"
                                "  [Serial Port 2]  \nSerial=COM2\n[Serial Port 02]\nSerial=x\n";
        TempProgramFolder folder;
        const QString vm = folder.file(s("VMs/a.vm2"));
        QVERIFY(folder.write(s("VMs/a.vm2"), text));
        QVERIFY(RenumberSections(vm, NumberedDevice::SerialPort, 1));
        QCOMPARE(readBytes(vm), QByteArray("\xEF\xBB\xBF[ports]\r\nserialcount =1\r\n\r\n"
                                           "[Serial Port 1]\nSerial=COM2\n"
                                           "[Serial Port 02]\nSerial=x\n"));
        QCOMPARE(ReadVMFileValue(vm, s("Serial Port 1"), s("Serial")), s("COM2"));
    }

    // Numbers outside the count and counts that are not numbers leave the file alone.
    void renumberNothing_data()
    {
        QTest::addColumn<QByteArray>("count");
        QTest::addColumn<int>("k");

        QTest::newRow("number 0") << QByteArray("CardCount=3") << 0;
        QTest::newRow("number past the count") << QByteArray("CardCount=3") << 4;
        QTest::newRow("count 0") << QByteArray("CardCount=0") << 1;
        QTest::newRow("count empty") << QByteArray("CardCount=") << 1;
        QTest::newRow("count missing") << QByteArray("Cards=3") << 1;
        QTest::newRow("count not a number") << QByteArray("CardCount=three") << 1;
    }

    void renumberNothing()
    {
        QFETCH(QByteArray, count);
        QFETCH(int, k);
        QByteArray text = ThreeCards;
        text.replace("CardCount=3", count);
        TempProgramFolder folder;
        const QString vm = folder.file(s("VMs/a.vm2"));
        QVERIFY(folder.write(s("VMs/a.vm2"), text));
        QVERIFY(RenumberSections(vm, NumberedDevice::NetworkCard, k));
        QCOMPARE(readBytes(vm), text);
        QVERIFY(
            RenumberSections(folder.file(s("VMs/missing.vm2")), NumberedDevice::NetworkCard, 1));
        QVERIFY(!QFile::exists(folder.file(s("VMs/missing.vm2"))));
    }

    void items_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QStringList>("fields");
        QTest::addColumn<QString>("item"); // empty: refused

        QTest::newRow("udp redirection")
            << s("redirector") << QStringList{s("UDP"), s("5353"), s("53")} << s("udp:5353::53");
        QTest::newRow("tcp redirection")
            << s("redirector") << QStringList{s("TCP"), s("8080"), s("80")} << s("tcp:8080::80");
        QTest::newRow("another address")
            << s("redirector") << QStringList{s("TCP"), s("80"), s("8"), s("10.0.0.5")}
            << s("tcp:10.0.0.5:80::8");
        QTest::newRow("no address")
            << s("redirector") << QStringList{s("TCP"), s("80"), s("8"), s("10.0.0.256")}
            << QString();
        QTest::newRow("redirection without guest port")
            << s("redirector") << QStringList{s("TCP"), s("8080"), QString()} << QString();
        QTest::newRow("redirection without type")
            << s("redirector") << QStringList{QString(), s("8080"), s("80")} << QString();
        QTest::newRow("redirection with blank host port")
            << s("redirector") << QStringList{s("TCP"), s("  "), s("80")} << QString();
        QTest::newRow("redirection splitting the list")
            << s("redirector") << QStringList{s("TCP"), s("80|81"), s("80")} << QString();
        QTest::newRow("listener") << s("listener") << QStringList{s("4000")} << s("4000");
        QTest::newRow("listener trimmed") << s("listener") << QStringList{s(" 4000 ")} << s("4000");
        QTest::newRow("listener empty") << s("listener") << QStringList{QString()} << QString();
        QTest::newRow("connector")
            << s("connector") << QStringList{s("127.0.0.1"), s("1234")} << s("127.0.0.1:1234");
        QTest::newRow("connector without port")
            << s("connector") << QStringList{s("127.0.0.1"), QString()} << QString();
        QTest::newRow("connector without address")
            << s("connector") << QStringList{QString(), s("1234")} << QString();
    }

    void items()
    {
        QFETCH(QString, kind);
        QFETCH(QStringList, fields);
        QFETCH(QString, item);
        std::optional<QString> made;
        if (kind == s("redirector"))
            made = RedirectorItem(fields.at(0), fields.at(1), fields.at(2), fields.value(3));
        else if (kind == s("listener"))
            made = ListenerItem(fields.at(0));
        else
            made = ConnectorItem(fields.at(0), fields.at(1));
        QCOMPARE(made.value_or(QString()), item);
        QCOMPARE(made.has_value(), !item.isEmpty());
    }

    void loadCard_data()
    {
        QTest::addColumn<QStringList>("stored");
        QTest::addColumn<int>("model");
        QTest::addColumn<VlanType>("vlanType");
        QTest::addColumn<int>("vlan");
        QTest::addColumn<int>("listeners");

        QTest::newRow("model by name") << QStringList{s("Lan Card=Intel E1000"), s("Lan Card ID=0"),
                                                      s("VLAN Type=User Networking"), s("VLAN=3")}
                                       << 5 << VlanType::User << 3 << 0;
        QTest::newRow("no position: first model whatever the name")
            << QStringList{s("Lan Card=Intel E1000"), s("VLAN Type=TAP Networking")} << 0
            << VlanType::Tap << 0 << 0;
        QTest::newRow("name not in the list")
            << QStringList{s("Lan Card=Lance"), s("Lan Card ID=0")} << -1 << VlanType::None << 0
            << 0;
        QTest::newRow("dialog spelling of TAP")
            << QStringList{s("VLAN Type=Tap Networking")} << 0 << VlanType::Tap << 0 << 0;
        QTest::newRow("type compared with case")
            << QStringList{s("VLAN Type=user networking")} << 0 << VlanType::None << 0 << 0;
        QTest::newRow("VLAN not a number")
            << QStringList{s("VLAN=two"), s("Listeners=1|2|3")} << 0 << VlanType::None << 0 << 3;
        QTest::newRow("negative VLAN")
            << QStringList{s("VLAN=-4")} << 0 << VlanType::None << -4 << 0;
    }

    void loadCard()
    {
        QFETCH(QStringList, stored);
        QFETCH(int, model);
        QFETCH(VlanType, vlanType);
        QFETCH(int, vlan);
        QFETCH(int, listeners);
        const NetworkCardSettings card = LoadNetworkCard(
            NetworkCardModels(s("x86"), s("pc"), s("32 Bit")), [&stored](const QString& key) {
                for (const QString& line : stored) {
                    if (line.section(QLatin1Char('='), 0, 0) == key)
                        return line.section(QLatin1Char('='), 1);
                }
                return QString();
            });
        QCOMPARE(card.model, model);
        QCOMPARE(card.vlanType, vlanType);
        QCOMPARE(card.vlan, vlan);
        QCOMPARE(card.listeners.size(), listeners);
    }

    void saveCard_data()
    {
        QTest::addColumn<NetworkCardSettings>("card");
        QTest::addColumn<QStringList>("written");

        NetworkCardSettings tap;
        tap.model = 5;
        tap.mac = s("52-54-00-12-34-56");
        tap.vlanType = VlanType::Tap;
        tap.vlan = 2;
        tap.tapId = s("Local Area Connection 2");
        tap.listeners = QStringList{s("4000"), s("4001")};
        tap.connectors = QStringList{s("10.0.0.1:4000")};
        QTest::newRow("tap card") << tap
                                  << QStringList{s("Lan Card=Intel E1000"),
                                                 s("Lan Card ID=5"),
                                                 s("LID=e1000"),
                                                 s("MAC=52-54-00-12-34-56"),
                                                 s("VLAN=2"),
                                                 s("TapID=Local Area Connection 2"),
                                                 s("VLAN Type=TAP Networking"),
                                                 s("Listeners=4000|4001"),
                                                 s("Connectors=10.0.0.1:4000"),
                                                 s("Redirectors=")};

        NetworkCardSettings user;
        user.model = 0;
        user.vlanType = VlanType::User;
        user.tapId = s("left from before");
        user.redirectors = QStringList{s("tcp:8080::80"), s("udp:5353::53")};
        QTest::newRow("user card, empty MAC")
            << user
            << QStringList{s("Lan Card=Realtek 8139"),
                           s("Lan Card ID=0"),
                           s("LID=rtl8139"),
                           s("MAC=Auto"),
                           s("VLAN=0"),
                           s("TapID="),
                           s("VLAN Type=User Networking"),
                           s("Listeners="),
                           s("Connectors="),
                           s("Redirectors=tcp:8080::80|udp:5353::53")};

        NetworkCardSettings none;
        none.model = -1;
        none.mac = s("  ");
        QTest::newRow("no model, no type, blank MAC")
            << none
            << QStringList{s("MAC=Auto"), s("VLAN=0"), s("Listeners="), s("Connectors="),
                           s("Redirectors=")};
    }

    void saveCard()
    {
        QFETCH(NetworkCardSettings, card);
        QFETCH(QStringList, written);
        QCOMPARE(asLines(SaveNetworkCard(NetworkCardModels(s("x86"), s("pc"), s("32 Bit")), card)),
                 written);
    }

    // The commands on the selected VM of the main window.
    void commands_data()
    {
        QTest::addColumn<Command>("command");
        QTest::addColumn<QByteArray>("countLine"); // replaces the matching line of ThreeCards
        QTest::addColumn<int>("icon");
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("message"); // shown, or empty
        QTest::addColumn<QString>("section"); // checked afterwards, empty: file unchanged
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("count");

        QTest::newRow("fifth serial port")
            << Command::AddSerial << QByteArray("SerialCount=4") << -1 << QString()
            << s("You can only have upto 4 Serial ports!") << QString() << QStringList()
            << QString();
        QTest::newRow("third parallel port")
            << Command::AddParallel << QByteArray("ParallelCount=2") << -1 << QString()
            << s("You can only have upto 2 Parallel ports!") << QString() << QStringList()
            << QString();
        QTest::newRow("serial port without a count")
            << Command::AddSerial << QByteArray("SerialCount=") << -1 << QString() << QString()
            << QString() << QStringList() << QString();
        QTest::newRow("card without a count")
            << Command::AddCard << QByteArray("CardCount=") << -1 << QString() << QString()
            << QString() << QStringList() << QString();
        QTest::newRow("third serial port")
            << Command::AddSerial << QByteArray() << -1 << QString() << QString()
            << s("Serial Port 3")
            << QStringList{s("SerialTy=0"), s("Serial=Console"), s("IP=0.0.0.0"),
                           s("Port=4444"),  s("listen=0"),       s("wait=0")}
            << s("3");
        QTest::newRow("card over a section left past the count")
            << Command::AddCard << QByteArray("CardCount=2") << -1 << QString() << QString()
            << s("Network Card 3")
            << QStringList{s("Lan Card=Realtek 8139"), s("Lan Card ID=0"), s("LID=rtl8139"),
                           s("MAC=Auto"), s("VLAN=0")}
            << s("3");
        QTest::newRow("second parallel port")
            << Command::AddParallel << QByteArray() << -1 << QString() << QString()
            << s("Parallel Port 2") << QStringList{s("ParallelTy=0"), s("Parallel=Console")}
            << s("2");
        QTest::newRow("fourth card, first model of an ISA PC")
            << Command::AddCard << QByteArray("MID=isapc") << -1 << QString() << QString()
            << s("Network Card 4")
            << QStringList{s("Lan Card=NE2000 ISA"), s("Lan Card ID=0"), s("LID=ne2k_isa"),
                           s("MAC=Auto"), s("VLAN=0")}
            << s("4");
        QTest::newRow("serial delete on a card row")
            << Command::DeleteSerial << QByteArray() << 57 << s("1")
            << s("The selected item is not a serial port") << QString() << QStringList()
            << QString();
        QTest::newRow("card delete on a serial row")
            << Command::DeleteCard << QByteArray() << 72 << s("1")
            << s("The selected item is not a network card") << QString() << QStringList()
            << QString();
        QTest::newRow("parallel delete on a card row")
            << Command::DeleteParallel << QByteArray() << 57 << s("1")
            << s("The selected item is not a parallel port") << QString() << QStringList()
            << QString();
        QTest::newRow("delete with no row selected")
            << Command::DeleteCard << QByteArray() << -1 << QString() << QString() << QString()
            << QStringList() << QString();
        QTest::newRow("delete of a row without number")
            << Command::DeleteCard << QByteArray() << 57 << QString() << QString() << QString()
            << QStringList() << QString();
        QTest::newRow("delete of a stale row past the count")
            << Command::DeleteSerial << QByteArray() << 72 << s("3") << QString() << QString()
            << QStringList() << QString();
        QTest::newRow("delete serial port 1 of 2")
            << Command::DeleteSerial << QByteArray() << 72 << s("1") << QString()
            << s("Serial Port 1") << QStringList{s("SerialTy=3"), s("Serial=TCP"), s("IP=10.0.0.5"),
                                                 s("Port=5555"),  s("listen=1"),   s("wait=1")}
            << s("1");
        QTest::newRow("delete card 1 of 3")
            << Command::DeleteCard << QByteArray() << 57 << s("1") << QString()
            << s("Network Card 1")
            << QStringList{s("Lan Card=NE2000 PCI"), s("Lan Card ID=1"), s("LID=ne2k_pci"),
                           s("MAC=Auto"), s("VLAN=1")}
            << s("2");
        QTest::newRow("delete the parallel port")
            << Command::DeleteParallel << QByteArray() << 73 << s("1") << QString()
            << s("Parallel Port 1") << QStringList() << s("0");
    }

    void commands()
    {
        QFETCH(Command, command);
        QFETCH(QByteArray, countLine);
        QFETCH(int, icon);
        QFETCH(QString, number);
        QFETCH(QString, message);
        QFETCH(QString, section);
        QFETCH(QStringList, values);
        QFETCH(QString, count);

        QByteArray text = ThreeCards;
        if (!countLine.isEmpty()) {
            const QByteArray key = countLine.left(countLine.indexOf('=') + 1);
            const qsizetype at = text.indexOf(QByteArray("\r\n" + key)) + 2;
            QVERIFY(at >= 2);
            text.replace(at, text.indexOf("\r\n", at) - at, countLine);
        }
        TempProgramFolder folder;
        const QString vm = folder.file(s("VMs/a.vm2"));
        QVERIFY(folder.write(s("VMs/a.vm2"), text));
        TMain window;
        QCOMPARE(window.selectedVM(), vm);
        CountingContext context(window);
        const QByteArray before = readBytes(vm);
        m_script->clear();

        run(context, command, icon, number);

        QCOMPARE(m_script->shownTexts(), message.isEmpty() ? QStringList() : QStringList{message});
        if (section.isEmpty()) {
            QCOMPARE(readBytes(vm), before);
            return;
        }
        QCOMPARE(context.shows, 1);
        const IniFile file(vm);
        QCOMPARE(file.readSectionValues(section), values);
        const NumberedSections sections =
            SectionsOf(command == Command::AddCard || command == Command::DeleteCard
                           ? NumberedDevice::NetworkCard
                       : command == Command::AddSerial || command == Command::DeleteSerial
                           ? NumberedDevice::SerialPort
                           : NumberedDevice::ParallelPort);
        QCOMPARE(file.read(sections.countSection, sections.countKey), count);
        // No section past the count remains.
        QVERIFY(!file.sectionExists(sections.prefix + QString::number(count.toInt() + 1)));
    }

private:
    ScriptedInteraction* m_script = nullptr;
};

QTEST_MAIN(TestNetworkPorts)
#include "tst_networkports.moc"
