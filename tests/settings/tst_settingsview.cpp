#include "app/ui/TMain.h"
#include "model/IniFile.h"
#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/ui/Interaction.h"
#include "settings/SettingsView.h"
#include "support/TempProgramFolder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <csignal>
#include <memory>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

// A row of the version table: its flags are the fields set to "Yes".
struct Version
{
    QString id;
    QString description;
    QStringList flags;
    QString code;
    bool isDefault = false;
};

const QList<Version> StandardVersions = {
    {u"ALL"_s,
     u"QEMU All"_s,
     {u"INT"_s, u"USB"_s, u"KQEMU"_s, u"FMOD"_s, u"BT"_s, u"CONSOLE"_s},
     u"0"_s},
    {u"PLAIN"_s, u"QEMU Plain"_s, {}, u"2"_s},
    {u"INT"_s, u"QEMU Int"_s, {u"INT"_s}, u"1"_s},
    {u"KQ"_s, u"QEMU Kqemu"_s, {u"KQEMU"_s}, u"0"_s},
    // Flags compare with case.
    {u"LOWER"_s, u"QEMU Lower"_s, {}, u"0"_s},
    {u"NOCODE"_s, u"QEMU No Code"_s, {u"USB"_s}, QString()},
};

bool addVersions(const QList<Version>& versions)
{
    TableHandle table;
    table.setFolder(ProgramFolder::path());
    table.setTableName(TableSchemas::VersionTable);
    if (!table.open())
        return false;
    for (const Version& version : versions) {
        table.insert();
        table.setFieldValue(u"ID"_s, version.id);
        table.setFieldValue(u"DESC"_s, version.description);
        table.setFieldValue(u"VERID"_s, version.code);
        table.setFieldValue(u"DEFAULT"_s, version.isDefault ? u"Yes"_s : u"No"_s);
        for (const QString& flag :
             {u"INT"_s, u"USB"_s, u"KQEMU"_s, u"FMOD"_s, u"BT"_s, u"CONSOLE"_s})
            table.setFieldValue(flag, version.flags.contains(flag) ? u"Yes"_s
                                      : version.id == u"LOWER"_s   ? u"yes"_s
                                                                   : u"No"_s);
        if (!table.post())
            return false;
    }
    return true;
}

// "Section/Key=Value" writes the value; "Section/Key" alone removes the key.
bool applyKeys(const QString& file, const QStringList& keys)
{
    for (const QString& entry : keys) {
        const qsizetype slash = entry.indexOf(u'/');
        const qsizetype equals = entry.indexOf(u'=', slash);
        const QString section = entry.left(slash);
        const QString key = entry.mid(slash + 1, equals < 0 ? -1 : equals - slash - 1);
        const bool done = equals < 0 ? IniFile(file).deleteKey(section, key)
                                     : IniFile(file).write(section, key, entry.mid(equals + 1));
        if (!done)
            return false;
    }
    return true;
}

const QString Absent = u"<absent>"_s;

// "Section/Key=Value" for every expected key, "Section/Key" for every key that must be absent.
QStringList actualKeys(const QString& file, const QStringList& expected)
{
    QStringList actual;
    for (const QString& entry : expected) {
        const qsizetype slash = entry.indexOf(u'/');
        const qsizetype equals = entry.indexOf(u'=', slash);
        const QString name = entry.left(equals);
        const QString value = IniFile(file).read(name.left(slash), name.mid(slash + 1), Absent);
        actual.append(value == Absent ? name : name + u'=' + value);
    }
    return actual;
}

QStringList captions(const QList<SettingsRow>& rows)
{
    QStringList result;
    for (const SettingsRow& row : rows)
        result.append(row.caption);
    return result;
}

// Caption, value, icon and number of each row, one string a row.
QStringList described(const QList<SettingsRow>& rows)
{
    QStringList result;
    for (const SettingsRow& row : rows)
        result.append(
            u"%1|%2|%3|%4"_s.arg(row.caption, row.value, QString::number(row.icon), row.number));
    return result;
}

const SettingsRow* findRow(const QList<SettingsRow>& rows, const QString& caption)
{
    for (const SettingsRow& row : rows)
        if (row.caption == caption)
            return &row;
    return nullptr;
}

QByteArray bytesOf(const QString& file)
{
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray();
}

// The keys that name a version and the architecture, with the display in QEMU's own window.
QStringList baseKeys(const QString& version, const QString& arc)
{
    QString description = u"QEMU Gone"_s;
    for (const Version& known : StandardVersions)
        if (known.id == version)
            description = known.description;
    return {u"General/Qemu Version="_s + description, u"General/Qemu Version ID="_s + version,
            u"General/Arc="_s + arc, u"Hardware/OutputID=1"_s, u"Hardware/Output=QEMU Window"_s};
}

const QStringList HardwareHead = {u"Virtual Machine Name"_s,
                                  u"QEMU Version"_s,
                                  u"Machine Type"_s,
                                  u"CPU Type"_s,
                                  u"CPU Model"_s,
                                  u"No of CPUs"_s,
                                  u"Operating System"_s,
                                  u"RAM (Memory)"_s};
const QStringList HardwareTail = {u"VM Store"_s, u"Last Run"_s};

// The program folder with the standard versions and one VM, "vm", selected in a real main window.
// write() replaces the VM's file afterwards, so each test sees the first showing of its content.
class Scene final
{
public:
    explicit Scene(const QList<Version>& extraVersions = {})
    {
        auto script = std::make_unique<ScriptedInteraction>();
        m_script = script.get();
        Interaction::install(std::move(script));
        vm = folder.file(u"VMs/vm.vm2"_s);
        m_ready = folder.isValid() && addVersions(StandardVersions + extraVersions) &&
                  WriteVMTemplate(vm, true);
        window = std::make_unique<TMain>();
        m_ready = m_ready && window->selectedVM() == vm;
    }

    bool ready() const { return m_ready; }
    // A fresh template with the keys applied.
    bool write(const QStringList& keys, bool bootOrderStyle = true) const
    {
        return WriteVMTemplate(vm, bootOrderStyle) && applyKeys(vm, keys);
    }
    SettingsViewModel show() const { return BuildSettingsView(*window); }
    ScriptedInteraction& script() const { return *m_script; }

    TempProgramFolder folder;
    QString vm;
    std::unique_ptr<TMain> window;

private:
    ScriptedInteraction* m_script = nullptr;
    bool m_ready = false;
};

} // namespace

class TestSettingsView : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void everyRowOfAFullVM();
    void hardwareRows_data();
    void hardwareRows();
    void cardLine_data();
    void cardLine();
    void shownNumbers_data();
    void shownNumbers();
    void driveRows_data();
    void driveRows();
    void advancedRows_data();
    void advancedRows();
    void absentKeysShowTheirPresets_data();
    void absentKeysShowTheirPresets();
    void runTimeTabs_data();
    void runTimeTabs();
    void versionOfAVMThatNamesNone_data();
    void versionOfAVMThatNamesNone();
    void upgrade_data();
    void upgrade();
    void autoMacsAreReplaced();
    void showingAgainChangesNothing_data();
    void showingAgainChangesNothing();
    void unwritableFileCostsOneMessage();
    void damagedCountsStayBounded();
    void noVMSelected();
    void modernHardwareRows();
};

void TestSettingsView::initTestCase()
{
    // Every row writes a VM file key by key, each write flushed to disk; a folder in memory keeps
    // the run short without changing what is written.
    const QFileInfo memory(u"/dev/shm"_s);
    if (memory.isDir() && memory.isWritable())
        qputenv("TMPDIR", QByteArrayLiteral("/dev/shm"));
}

void TestSettingsView::everyRowOfAFullVM()
{
    Scene scene;
    QVERIFY(scene.ready());
    QVERIFY(scene.write(baseKeys(u"ALL"_s, u"x86"_s) +
                        QStringList{u"General/Operating System=Windows XP"_s,
                                    u"General/VM Store=Default VM Store"_s,
                                    u"General/Last Run=01/02/2009 - 10:11:12"_s,
                                    u"General/Qemu EXE=qemu.exe"_s,
                                    u"Hardware/MachineType=Standard PC"_s,
                                    u"Hardware/CPUArc=32 Bit"_s,
                                    u"Hardware/CPUType=qemu32"_s,
                                    u"Hardware/Processors=2"_s,
                                    u"Hardware/RAM=512"_s,
                                    u"Hardware/Video Card=Cirrus Logic GD5446"_s,
                                    u"Hardware/Enable USB=Yes"_s,
                                    u"Hardware/Enable Bluetooth=Yes"_s,
                                    u"Hardware/Kernel=/boot/vmlinuz"_s,
                                    u"Hardware/initrd=/boot/initrd.img"_s, // read back as "Initrd"
                                    u"Hardware/Append=quiet"_s,
                                    u"Audio/SoundCard=Sound Blaster 16"_s,
                                    u"Network/CardCount=1"_s,
                                    u"Network Card 1/Lan Card=Realtek RTL8139"_s,
                                    u"Network Card 1/VLAN=0"_s,
                                    u"Network Card 1/MAC=52-54-00-12-34-56"_s,
                                    u"Network Card 1/Redirectors=tcp:8080::80"_s,
                                    u"USB Devices/Count=2"_s,
                                    u"Drives/HDA=disk0.img"_s,
                                    u"Drives/HDB=disk1.img"_s,
                                    u"Drives/HDC=disk2.img"_s,
                                    u"Drives/HDD=disk3.img"_s,
                                    u"Drives/FloppyA=a.img"_s,
                                    u"Drives/FloppyB=b.img"_s,
                                    u"Drives/CDROM=D:"_s,
                                    u"Advanced/SavedState=1 - clean"_s,
                                    u"Advanced/OptionalString=-no-acpi"_s}));

    const SettingsViewModel view = scene.show();
    QCOMPARE(described(view.hardware),
             QStringList({u"Virtual Machine Name|vm|51|"_s,
                          u"QEMU Version|QEMU All|82|"_s,
                          u"Machine Type|Standard PC|71|"_s,
                          u"CPU Type|32 Bit|58|"_s,
                          u"CPU Model|qemu32|58|"_s,
                          u"No of CPUs|2|3|"_s,
                          u"Operating System|Windows XP|0|"_s,
                          u"RAM (Memory)|512 MB|2|"_s,
                          u"Enable Sound Card|Yes|19|"_s,
                          u"Sound Card|Sound Blaster 16|59|"_s,
                          u"Enable Networking|Yes|45|"_s,
                          u"Network Card 1|Realtek RTL8139 on VLAN 0 - 1 redirector(s)|57|1"_s,
                          u"Video Card|Cirrus Logic GD5446|60|"_s,
                          u"USB Support|Yes|4|"_s,
                          u"USB Devices|2 Device(s)|63|"_s,
                          u"Main Display|QEMU Window|14|"_s,
                          u"Serial Port 1|Console|72|1"_s,
                          u"Parallel Port 1|Console|73|1"_s,
                          u"Enable Bluetooth|Yes|75|"_s,
                          u"Enable Bluetooth Keyboard|No|76|"_s,
                          u"VM Store|Default VM Store|5|"_s,
                          u"Last Run|01/02/2009 - 10:11:12|1|"_s}));
    QCOMPARE(described(view.drives),
             QStringList({u"Hard Disk 0|disk0.img|16|"_s, u"Hard Disk 1|disk1.img|33|"_s,
                          u"Hard Disk 2 |disk2.img|34|"_s, u"Hard Disk 3|disk3.img|35|"_s,
                          u"Floppy Drive 0|a.img|18|"_s, u"Floppy Drive 1|b.img|36|"_s,
                          u"CD-ROM|D:|39|"_s, u"Boot Order|CD/DVD Drive|Hard Drive|21|"_s,
                          u"Snapshot|1 - clean|31|"_s}));
    QCOMPARE(described(view.advanced),
             QStringList({u"Qemu Executable|qemu.exe|54|"_s,
                          u"CPU Affinity|Disabled|58|"_s,
                          u"Kernel Image|/boot/vmlinuz|69|"_s,
                          u"Initial Ram Disk Image (initrd)|/boot/initrd.img|70|"_s,
                          u"Kernel command line append|quiet|77|"_s,
                          u"BIOS Filename|Default|67|"_s,
                          u"Sound Library|Direct Sound|19|"_s,
                          u"Close VM When Rebooted|No|49|"_s,
                          u"Enable SDL output|No|47|"_s,
                          u"QEMU Window Title|{VM NAME}|61|"_s,
                          u"Do Not Start CPU on Startup|No|32|"_s,
                          u"Use Local Time|Yes|8|"_s,
                          u"Specify Start Date & Time of VM|Now|68|"_s,
                          u"KQEMU|User Mode|11|"_s,
                          u"Enable WIN2K Hack|No|12|"_s,
                          u"Enable ACPI HAL Time Drift Hack|No|64|"_s,
                          u"Disable Boot Signature Checking|No|65|"_s,
                          u"Disable HPET|No|66|"_s,
                          u"Disable ACPI Support|No|48|"_s,
                          u"Do Not Apply Changes to VM Session|No|13|"_s,
                          u"Qemu Process Priority (CAUTION)|Normal|46|"_s,
                          u"Run VM In Debug Mode|No|52|"_s,
                          u"Additional QEMU Parameters|-no-acpi|30|"_s,
                          u"Use Additional QEMU Parameters Only|No|29|"_s}));
    QVERIFY(!view.showConsole);
    QVERIFY(!view.showMonitor);
    QVERIFY(scene.script().shown().isEmpty());
}

void TestSettingsView::hardwareRows_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("arc");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("middle"); // the rows between "RAM (Memory)" and "VM Store"

    const QStringList allOn = {u"Network/CardCount=2"_s, u"Hardware/Enable USB=Yes"_s,
                               u"Hardware/Enable Bluetooth=Yes"_s};
    QTest::newRow("x86 with every capability") << u"ALL"_s << u"x86"_s << allOn
                                               << QStringList{u"Enable Sound Card"_s,
                                                              u"Sound Card"_s,
                                                              u"Enable Networking"_s,
                                                              u"Network Card 1"_s,
                                                              u"Network Card 2"_s,
                                                              u"Video Card"_s,
                                                              u"USB Support"_s,
                                                              u"USB Devices"_s,
                                                              u"Main Display"_s,
                                                              u"Serial Port 1"_s,
                                                              u"Parallel Port 1"_s,
                                                              u"Enable Bluetooth"_s,
                                                              u"Enable Bluetooth Keyboard"_s};
    const QStringList noSound = {u"Enable Networking"_s, u"Network Card 1"_s, u"Video Card"_s,
                                 u"Main Display"_s,      u"Serial Port 1"_s,  u"Parallel Port 1"_s};
    for (const QString& arc : {u"sparc"_s, u"cf"_s, u"cris"_s})
        QTest::addRow("%s has no sound rows", qPrintable(arc))
            << u"PLAIN"_s << arc << QStringList{u"Network/CardCount=1"_s} << noSound;
    QTest::newRow("sound off shows no sound card")
        << u"PLAIN"_s << u"x86"_s << QStringList{u"Audio/Enable Sound=No"_s}
        << QStringList{u"Enable Sound Card"_s, u"Enable Networking"_s, u"Video Card"_s,
                       u"Main Display"_s,      u"Serial Port 1"_s,     u"Parallel Port 1"_s};
    const QStringList noCards = {u"Enable Sound Card"_s, u"Sound Card"_s, u"Enable Networking"_s,
                                 u"Video Card"_s, u"Main Display"_s};
    QTest::newRow("network off hides the cards whatever the count")
        << u"PLAIN"_s << u"x86"_s
        << QStringList{u"Hardware/Network=No"_s, u"Network/CardCount=3"_s, u"Ports/SerialCount=0"_s,
                       u"Ports/ParallelCount=0"_s}
        << noCards;
    QTest::newRow("network flag compares with case")
        << u"PLAIN"_s << u"x86"_s
        << QStringList{u"Hardware/Network=yes"_s, u"Network/CardCount=3"_s, u"Ports/SerialCount="_s,
                       u"Ports/ParallelCount="_s}
        << noCards;
    QTest::newRow("counts empty, below one or no number")
        << u"PLAIN"_s << u"x86"_s
        << QStringList{u"Network/CardCount="_s, u"Ports/SerialCount=-1"_s,
                       u"Ports/ParallelCount=two"_s}
        << noCards;
    QTest::newRow("counts absent")
        << u"PLAIN"_s << u"x86"_s << QStringList{u"Ports/SerialCount"_s, u"Ports/ParallelCount"_s}
        << noCards;
    QTest::newRow("four serial ports and two parallel ports")
        << u"PLAIN"_s << u"x86"_s
        << QStringList{u"Network/CardCount=0"_s, u"Ports/SerialCount=4"_s,
                       u"Ports/ParallelCount=2"_s}
        << QStringList{u"Enable Sound Card"_s, u"Sound Card"_s,     u"Enable Networking"_s,
                       u"Video Card"_s,        u"Main Display"_s,   u"Serial Port 1"_s,
                       u"Serial Port 2"_s,     u"Serial Port 3"_s,  u"Serial Port 4"_s,
                       u"Parallel Port 1"_s,   u"Parallel Port 2"_s};
    QTest::newRow("USB and Bluetooth off show their switches only")
        << u"ALL"_s << u"x86"_s
        << QStringList{u"Hardware/Network=No"_s, u"Ports/SerialCount=0"_s,
                       u"Ports/ParallelCount=0"_s}
        << QStringList{u"Enable Sound Card"_s, u"Sound Card"_s,  u"Enable Networking"_s,
                       u"Video Card"_s,        u"USB Support"_s, u"Main Display"_s,
                       u"Enable Bluetooth"_s};
    for (const QString& version : {u"PLAIN"_s, u"LOWER"_s, u"GONE"_s})
        QTest::addRow("version %s has no USB or Bluetooth rows", qPrintable(version))
            << version << u"x86"_s << allOn
            << QStringList{u"Enable Sound Card"_s, u"Sound Card"_s,     u"Enable Networking"_s,
                           u"Network Card 1"_s,    u"Network Card 2"_s, u"Video Card"_s,
                           u"Main Display"_s,      u"Serial Port 1"_s,  u"Parallel Port 1"_s};
}

void TestSettingsView::hardwareRows()
{
    QFETCH(QString, version);
    QFETCH(QString, arc);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, middle);

    Scene scene;
    QVERIFY(scene.ready());
    QVERIFY(scene.write(baseKeys(version, arc) + keys));
    const SettingsViewModel view = scene.show();
    QCOMPARE(captions(view.hardware), HardwareHead + middle + HardwareTail);
    // Numbered rows keep their number, the others none.
    for (const SettingsRow& row : view.hardware) {
        const bool numbered = row.caption.startsWith(u"Network Card "_s) ||
                              row.caption.startsWith(u"Serial Port "_s) ||
                              row.caption.startsWith(u"Parallel Port "_s);
        QCOMPARE(row.number, numbered ? row.caption.section(u' ', -1) : QString());
    }
}

void TestSettingsView::cardLine_data()
{
    QTest::addColumn<QStringList>("card");
    QTest::addColumn<QString>("line");

    QTest::newRow("no sockets or redirectors")
        << QStringList{u"Lan Card=NE2000 PCI"_s, u"VLAN=0"_s} << u"NE2000 PCI on VLAN 0"_s;
    QTest::newRow("all three, connectors first")
        << QStringList{u"Lan Card=Realtek RTL8139"_s, u"VLAN=2"_s,
                       u"Redirectors=tcp:8080::80|udp:5353::53|tcp:22::22"_s, u"Listeners=4000"_s,
                       u"Connectors=127.0.0.1:4000|10.0.0.1:5000"_s}
        << u"Realtek RTL8139 on VLAN 2 - 2 connector(s) - 1 listener(s) - 3 redirector(s)"_s;
    QTest::newRow("listeners only")
        << QStringList{u"Lan Card=PCnet32 PCI"_s, u"VLAN=1"_s, u"Listeners=1|2|3"_s,
                       u"Connectors="_s, u"Redirectors="_s}
        << u"PCnet32 PCI on VLAN 1 - 3 listener(s)"_s;
    QTest::newRow("empty items still count")
        << QStringList{u"Lan Card=NE2000 PCI"_s, u"VLAN=0"_s, u"Connectors=|"_s}
        << u"NE2000 PCI on VLAN 0 - 2 connector(s)"_s;
    QTest::newRow("section missing") << QStringList() << u" on VLAN "_s;
}

void TestSettingsView::cardLine()
{
    QFETCH(QStringList, card);
    QFETCH(QString, line);

    Scene scene;
    QVERIFY(scene.ready());
    QStringList keys = baseKeys(u"PLAIN"_s, u"x86"_s);
    keys.append(u"Network/CardCount=2"_s);
    keys.append(u"Network Card 1/Lan Card=first"_s);
    for (const QString& entry : card)
        keys.append(u"Network Card 2/"_s + entry);
    QVERIFY(scene.write(keys));
    const SettingsViewModel view = scene.show();
    const SettingsRow* row = findRow(view.hardware, u"Network Card 2"_s);
    QVERIFY(row);
    QCOMPARE(row->value, line);
    QCOMPARE(row->number, u"2"_s);
    QCOMPARE(row->icon, 57);
    // The card rows follow "Enable Networking" at once.
    const QStringList shown = captions(view.hardware);
    QCOMPARE(shown.indexOf(u"Network Card 1"_s), shown.indexOf(u"Enable Networking"_s) + 1);
    QCOMPARE(shown.indexOf(u"Network Card 2"_s), shown.indexOf(u"Enable Networking"_s) + 2);
}

void TestSettingsView::shownNumbers_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("value");

    QTest::newRow("RAM") << QStringList{u"Hardware/RAM=512"_s} << u"RAM (Memory)"_s << u"512 MB"_s;
    QTest::newRow("RAM empty") << QStringList{u"Hardware/RAM="_s} << u"RAM (Memory)"_s << u" MB"_s;
    QTest::newRow("RAM absent") << QStringList{u"Hardware/RAM"_s} << u"RAM (Memory)"_s << u" MB"_s;
    const QString usbOn = u"Hardware/Enable USB=Yes"_s;
    QTest::newRow("USB devices") << QStringList{usbOn, u"USB Devices/Count=3"_s} << u"USB Devices"_s
                                 << u"3 Device(s)"_s;
    QTest::newRow("USB devices, count absent")
        << QStringList{usbOn, u"USB Devices/Count"_s} << u"USB Devices"_s << u"0 Device(s)"_s;
    QTest::newRow("USB devices, count not a number")
        << QStringList{usbOn, u"USB Devices/Count=three"_s} << u"USB Devices"_s << u"0 Device(s)"_s;
    QTest::newRow("USB devices, count with leading zero")
        << QStringList{usbOn, u"USB Devices/Count=02"_s} << u"USB Devices"_s << u"2 Device(s)"_s;
    QTest::newRow("serial port value")
        << QStringList{u"Ports/SerialCount=2"_s, u"Serial Port 2/Serial=COM3"_s}
        << u"Serial Port 2"_s << u"COM3"_s;
    QTest::newRow("parallel port of a missing section")
        << QStringList{u"Ports/ParallelCount=2"_s} << u"Parallel Port 2"_s << QString();
    QTest::newRow("version still unnamed")
        << QStringList{u"General/Qemu Version"_s, u"General/Qemu Version ID"_s} << u"QEMU Version"_s
        << u"ERROR"_s;
}

void TestSettingsView::shownNumbers()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, caption);
    QFETCH(QString, value);

    Scene scene;
    QVERIFY(scene.ready());
    QVERIFY(scene.write(baseKeys(u"ALL"_s, u"x86"_s) + keys));
    const SettingsViewModel view = scene.show();
    const SettingsRow* row = findRow(view.hardware, caption);
    QVERIFY(row);
    QCOMPARE(row->value, value);
}

void TestSettingsView::driveRows_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<QString>("boot"); // the value of the boot row

    const QStringList ide = {u"Hard Disk 0"_s, u"Hard Disk 1"_s, u"Hard Disk 2 "_s,
                             u"Hard Disk 3"_s};
    const QStringList tail = {u"Floppy Drive 0"_s, u"Floppy Drive 1"_s, u"CD-ROM"_s};
    const QString bootOrder = u"Drives/BootOrder=Hard Drive|Network"_s;
    const QString bootDrive = u"Drives/Boot Drive=CD-ROM"_s;

    QTest::newRow("IDE, generation 0")
        << u"ALL"_s << QStringList{bootOrder, bootDrive}
        << ide + tail + QStringList{u"Boot Order"_s, u"Snapshot"_s} << u"Hard Drive|Network"_s;
    QTest::newRow("SCSI, generation 1")
        << u"INT"_s
        << QStringList{u"Drives/HDASCSI=Yes"_s,
                       u"Drives/HDBScsi=Yes"_s,
                       u"Drives/hdcscsi=Yes"_s,
                       u"Drives/HDDSCSI=Yes"_s,
                       bootOrder,
                       bootDrive}
        << QStringList{u"SCSI Hard Disk 0"_s, u"SCSI Hard Disk 1"_s, u"SCSI Hard Disk 2"_s,
                       u"SCSI Hard Disk 3"_s} +
               tail + QStringList{u"Boot Order"_s, u"Snapshot"_s}
        << u"Hard Drive|Network"_s;
    QTest::newRow("SCSI flags compare with case, third disk only")
        << u"PLAIN"_s
        << QStringList{u"Drives/HDASCSI=yes"_s, u"Drives/HDCSCSI=Yes"_s, u"Drives/HDDSCSI=No"_s,
                       bootOrder, bootDrive}
        << QStringList{u"Hard Disk 0"_s, u"Hard Disk 1"_s, u"SCSI Hard Disk 2"_s,
                       u"Hard Disk 3"_s} +
               tail + QStringList{u"Boot Drive"_s, u"Snapshot"_s}
        << u"CD-ROM"_s;
    QTest::newRow("generation 2") << u"PLAIN"_s << QStringList{bootOrder, bootDrive}
                                  << ide + tail + QStringList{u"Boot Drive"_s, u"Snapshot"_s}
                                  << u"CD-ROM"_s;
    QTest::newRow("version not in the registry")
        << u"GONE"_s << QStringList{bootOrder, bootDrive}
        << ide + tail + QStringList{u"Boot Drive"_s, u"Snapshot"_s} << u"CD-ROM"_s;
    QTest::newRow("version without a generation")
        << u"NOCODE"_s << QStringList{bootOrder, bootDrive}
        << ide + tail + QStringList{u"Boot Drive"_s, u"Snapshot"_s} << u"CD-ROM"_s;
}

void TestSettingsView::driveRows()
{
    QFETCH(QString, version);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, captions);
    QFETCH(QString, boot);

    Scene scene;
    QVERIFY(scene.ready());
    QVERIFY(scene.write(baseKeys(version, u"x86"_s) + keys));
    const SettingsViewModel view = scene.show();
    QCOMPARE(::captions(view.drives), captions);
    QCOMPARE(view.drives.at(7).value, boot);
    QCOMPARE(view.drives.at(7).icon, 21);
}

void TestSettingsView::advancedRows_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("arc");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QStringList>("captions");

    const QStringList head = {u"Qemu Executable"_s,
                              u"CPU Affinity"_s,
                              u"Kernel Image"_s,
                              u"Initial Ram Disk Image (initrd)"_s,
                              u"Kernel command line append"_s,
                              u"BIOS Filename"_s};
    const QStringList middle = {u"Sound Library"_s,
                                u"Close VM When Rebooted"_s,
                                u"Enable SDL output"_s,
                                u"QEMU Window Title"_s,
                                u"Do Not Start CPU on Startup"_s,
                                u"Use Local Time"_s,
                                u"Specify Start Date & Time of VM"_s};
    const QStringList x86 = {u"Enable WIN2K Hack"_s, u"Enable ACPI HAL Time Drift Hack"_s,
                             u"Disable Boot Signature Checking"_s, u"Disable HPET"_s,
                             u"Disable ACPI Support"_s};
    const QStringList tail = {u"Do Not Apply Changes to VM Session"_s,
                              u"Qemu Process Priority (CAUTION)"_s, u"Run VM In Debug Mode"_s,
                              u"Additional QEMU Parameters"_s,
                              u"Use Additional QEMU Parameters Only"_s};
    const QStringList kqemu = {u"KQEMU"_s};
    const QStringList prom = {u"PROM Env strings"_s};
    const QStringList semihosting = {u"Enable semihosting syscall emulation"_s};
    const QStringList vnc = {u"VNC Keyboard Language"_s};

    QTest::newRow("x86 of a KQEMU version")
        << u"KQ"_s << u"x86"_s << u"1"_s << head + middle + kqemu + x86 + tail;
    QTest::newRow("x86 of a version without KQEMU")
        << u"PLAIN"_s << u"x86"_s << u"1"_s << head + middle + x86 + tail;
    QTest::newRow("arm of a KQEMU version")
        << u"KQ"_s << u"arm"_s << u"1"_s << head + semihosting + middle + tail;
    QTest::newRow("cf") << u"PLAIN"_s << u"cf"_s << u"1"_s << head + semihosting + middle + tail;
    QTest::newRow("ppc") << u"PLAIN"_s << u"ppc"_s << u"1"_s << head + prom + middle + tail;
    QTest::newRow("sparc") << u"PLAIN"_s << u"sparc"_s << u"1"_s << head + prom + middle + tail;
    QTest::newRow("ppcemb and mips have neither")
        << u"PLAIN"_s << u"ppcemb"_s << u"1"_s << head + middle + tail;
    QTest::newRow("VNC display") << u"PLAIN"_s << u"x86"_s << u"2"_s
                                 << vnc + head + middle + x86 + tail;
    QTest::newRow("integrated display")
        << u"ALL"_s << u"x86"_s << u"0"_s << head + middle + kqemu + x86 + tail;
    QTest::newRow("full screen") << u"PLAIN"_s << u"mips"_s << u"3"_s << head + middle + tail;
}

void TestSettingsView::advancedRows()
{
    QFETCH(QString, version);
    QFETCH(QString, arc);
    QFETCH(QString, mode);
    QFETCH(QStringList, captions);

    Scene scene;
    QVERIFY(scene.ready());
    QVERIFY(scene.write(baseKeys(version, arc) + QStringList{u"Hardware/OutputID="_s + mode}));
    QCOMPARE(::captions(scene.show().advanced), captions);
}

void TestSettingsView::absentKeysShowTheirPresets_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("preset");

    QTest::newRow("keyboard") << u"Hardware/Keyboard"_s << u"VNC Keyboard Language"_s << u"en-us"_s;
    QTest::newRow("BIOS") << u"Advanced/Bios"_s << u"BIOS Filename"_s << u"bios.bin"_s;
    QTest::newRow("window title") << u"General/Window Title"_s << u"QEMU Window Title"_s
                                  << u"{VM NAME}"_s;
    QTest::newRow("debug") << u"Advanced/Debug"_s << u"Run VM In Debug Mode"_s << u"No"_s;
}

void TestSettingsView::absentKeysShowTheirPresets()
{
    QFETCH(QString, key);
    QFETCH(QString, caption);
    QFETCH(QString, preset);

    Scene scene;
    QVERIFY(scene.ready());
    const QStringList vnc = baseKeys(u"PLAIN"_s, u"x86"_s) +
                            QStringList{u"Hardware/OutputID=2"_s, u"Hardware/Output=VNC Client"_s};
    QVERIFY(scene.write(vnc + QStringList{key}));
    const SettingsViewModel absentView = scene.show();
    const SettingsRow* absent = findRow(absentView.advanced, caption);
    QVERIFY(absent);
    QCOMPARE(absent->value, preset);

    // A key that is present but empty shows empty.
    QVERIFY(scene.write(vnc + QStringList{key + u'='}));
    const SettingsViewModel emptyView = scene.show();
    const SettingsRow* empty = findRow(emptyView.advanced, caption);
    QVERIFY(empty);
    QCOMPARE(empty->value, QString());

    QVERIFY(scene.write(vnc + QStringList{key + u"=stored"_s}));
    const SettingsViewModel storedView = scene.show();
    const SettingsRow* stored = findRow(storedView.advanced, caption);
    QVERIFY(stored);
    QCOMPARE(stored->value, u"stored"_s);
}

void TestSettingsView::runTimeTabs_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("console");
    QTest::addColumn<bool>("monitor");

    QTest::newRow("integrated, INT and CONSOLE") << u"ALL"_s << u"0"_s << true << true;
    QTest::newRow("integrated, INT without CONSOLE") << u"INT"_s << u"0"_s << true << false;
    QTest::newRow("integrated, without INT") << u"KQ"_s << u"0"_s << false << false;
    QTest::newRow("integrated, flags in lower case") << u"LOWER"_s << u"0"_s << false << false;
    QTest::newRow("integrated, version not in the registry")
        << u"GONE"_s << u"0"_s << false << false;
    QTest::newRow("QEMU window") << u"ALL"_s << u"1"_s << false << false;
    QTest::newRow("VNC") << u"ALL"_s << u"2"_s << false << false;
    QTest::newRow("full screen") << u"ALL"_s << u"3"_s << false << false;
}

void TestSettingsView::runTimeTabs()
{
    QFETCH(QString, version);
    QFETCH(QString, mode);

    Scene scene;
    QVERIFY(scene.ready());
    QVERIFY(scene.write(baseKeys(version, u"x86"_s) +
                        QStringList{u"Hardware/OutputID="_s + mode, u"Hardware/Output=x"_s}));
    const SettingsViewModel view = scene.show();
    QTEST(view.showConsole, "console");
    QTEST(view.showMonitor, "monitor");
}

void TestSettingsView::versionOfAVMThatNamesNone_data()
{
    QTest::addColumn<QList<Version>>("defaults");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("shown");

    const QStringList unnamed = {u"General/Qemu Version"_s, u"General/Qemu Version ID"_s};
    QTest::newRow("default version written")
        << QList<Version>{{u"D1"_s, u"QEMU Default"_s, {u"USB"_s}, u"0"_s, true}} << unnamed
        << QStringList{u"General/Qemu Version=QEMU Default"_s, u"General/Qemu Version ID=D1"_s}
        << u"QEMU Default"_s;
    QTest::newRow("empty values count as none")
        << QList<Version>{{u"D1"_s, u"QEMU Default"_s, {u"USB"_s}, u"0"_s, true}}
        << QStringList{u"General/Qemu Version="_s, u"General/Qemu Version ID="_s}
        << QStringList{u"General/Qemu Version=QEMU Default"_s, u"General/Qemu Version ID=D1"_s}
        << u"QEMU Default"_s;
    QTest::newRow("first of two defaults")
        << QList<Version>{{u"D1"_s, u"QEMU First"_s, {u"USB"_s}, u"0"_s, true},
                          {u"D2"_s, u"QEMU Second"_s, {}, u"2"_s, true}}
        << unnamed
        << QStringList{u"General/Qemu Version=QEMU First"_s, u"General/Qemu Version ID=D1"_s}
        << u"QEMU First"_s;
    QTest::newRow("no default: nothing written")
        << QList<Version>{} << unnamed
        << QStringList{u"General/Qemu Version"_s, u"General/Qemu Version ID"_s} << u"ERROR"_s;
    // Replacing the identifier would move the VM to another build; its own one is kept, and
    // its description comes from its own row.
    QTest::newRow("a named version without description gets its own")
        << QList<Version>{{u"D1"_s, u"QEMU Default"_s, {}, u"2"_s, true}}
        << QStringList{u"General/Qemu Version="_s, u"General/Qemu Version ID=ALL"_s}
        << QStringList{u"General/Qemu Version=QEMU All"_s, u"General/Qemu Version ID=ALL"_s}
        << u"QEMU All"_s;
    QTest::newRow("a named version is kept")
        << QList<Version>{{u"D1"_s, u"QEMU Default"_s, {}, u"2"_s, true}} << QStringList()
        << QStringList{u"General/Qemu Version=QEMU All"_s, u"General/Qemu Version ID=ALL"_s}
        << u"QEMU All"_s;
}

void TestSettingsView::versionOfAVMThatNamesNone()
{
    QFETCH(QList<Version>, defaults);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, expected);
    QFETCH(QString, shown);

    Scene scene(defaults);
    QVERIFY(scene.ready());
    QVERIFY(scene.write(baseKeys(u"ALL"_s, u"x86"_s) + keys));
    const SettingsViewModel view = scene.show();
    QCOMPARE(actualKeys(scene.vm, expected), expected);
    QCOMPARE(view.hardware.at(1).caption, u"QEMU Version"_s);
    QCOMPARE(view.hardware.at(1).value, shown);
    // The capabilities are those of the version named after the upgrade.
    const QString id = ReadVMFileValue(scene.vm, u"General"_s, u"Qemu Version ID"_s);
    const bool usb = id == u"D1"_s || id == u"ALL"_s;
    QCOMPARE(findRow(view.hardware, u"USB Support"_s) != nullptr, usb);
    QVERIFY(!scene.window->VRVersDB.isOpen());
    QVERIFY(scene.script().shown().isEmpty());
}

void TestSettingsView::upgrade_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("arc");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QStringList>("expected");

    // Display mode: the file names no mode yet.
    const QStringList noMode = {u"Hardware/OutputID"_s, u"Hardware/Output"_s};
    const auto mode = [](const QString& id, const QString& text) {
        return QStringList{u"Hardware/OutputID="_s + id, u"Hardware/Output="_s + text};
    };
    QTest::newRow("VNC Server, no mode")
        << u"PLAIN"_s << u"x86"_s << noMode + QStringList{u"Hardware/VNC Server=Yes"_s}
        << mode(u"2"_s, u"VNC Client"_s);
    QTest::newRow("VNC Server before full screen")
        << u"PLAIN"_s << u"x86"_s
        << noMode + QStringList{u"Hardware/VNC Server=Yes"_s, u"Hardware/Full Screen Display=Yes"_s}
        << mode(u"2"_s, u"VNC Client"_s);
    QTest::newRow("full screen, no mode")
        << u"PLAIN"_s << u"x86"_s << noMode + QStringList{u"Hardware/Full Screen Display=Yes"_s}
        << mode(u"3"_s, u"Full Screen Display"_s);
    QTest::newRow("Vimor Client, no mode")
        << u"PLAIN"_s << u"x86"_s << noMode + QStringList{u"Hardware/Vimor Client=Yes"_s}
        << mode(u"0"_s, u"Vimor (Default)"_s);
    QTest::newRow("none of them, no mode")
        << u"PLAIN"_s << u"x86"_s << noMode << mode(u"1"_s, u"QEMU Window"_s);
    QTest::newRow("flags compare with case")
        << u"PLAIN"_s << u"x86"_s
        << noMode + QStringList{u"Hardware/VNC Server=yes"_s, u"Hardware/Vimor Client=YES"_s}
        << mode(u"1"_s, u"QEMU Window"_s);
    QTest::newRow("mode 2 kept without VNC Server")
        << u"PLAIN"_s << u"x86"_s << mode(u"2"_s, u"anything"_s) << mode(u"2"_s, u"anything"_s);
    QTest::newRow("mode 3 kept without full screen flag")
        << u"PLAIN"_s << u"x86"_s << mode(u"3"_s, u"anything"_s) << mode(u"3"_s, u"anything"_s);
    QTest::newRow("mode 0 kept with Vimor Client No")
        << u"PLAIN"_s << u"x86"_s
        << mode(u"0"_s, u"anything"_s) + QStringList{u"Hardware/Vimor Client=No"_s}
        << mode(u"0"_s, u"anything"_s);
    QTest::newRow("mode 1 gets its text")
        << u"PLAIN"_s << u"x86"_s << mode(u"1"_s, u"old"_s) << mode(u"1"_s, u"QEMU Window"_s);
    QTest::newRow("unknown mode becomes QEMU Window")
        << u"PLAIN"_s << u"x86"_s << mode(u"7"_s, u"old"_s) << mode(u"1"_s, u"QEMU Window"_s);
    QTest::newRow("unknown mode with VNC Server")
        << u"PLAIN"_s << u"x86"_s
        << mode(u"7"_s, u"old"_s) + QStringList{u"Hardware/VNC Server=Yes"_s}
        << mode(u"2"_s, u"VNC Client"_s);
    // The earlier flags stay in the file; a mode chosen since in the editor is not undone.
    QTest::newRow("QEMU Window chosen after an upgraded VNC Server")
        << u"PLAIN"_s << u"x86"_s
        << mode(u"1"_s, u"QEMU Window"_s) + QStringList{u"Hardware/VNC Server=Yes"_s}
        << mode(u"1"_s, u"QEMU Window"_s);
    QTest::newRow("integrated display chosen after an upgraded full screen")
        << u"PLAIN"_s << u"x86"_s
        << mode(u"0"_s, u"Vimor (Default)"_s) +
               QStringList{u"Hardware/Full Screen Display=Yes"_s, u"Hardware/VNC Server=Yes"_s}
        << mode(u"0"_s, u"Vimor (Default)"_s);
    QTest::newRow("VNC chosen after an upgraded full screen")
        << u"PLAIN"_s << u"x86"_s
        << mode(u"2"_s, u"VNC Client"_s) + QStringList{u"Hardware/Full Screen Display=Yes"_s}
        << mode(u"2"_s, u"VNC Client"_s);
    QTest::newRow("VNC Server with mode 2 rewrites the text")
        << u"PLAIN"_s << u"x86"_s
        << mode(u"2"_s, u"old"_s) + QStringList{u"Hardware/VNC Server=Yes"_s}
        << mode(u"2"_s, u"VNC Client"_s);

    // Affinity and the docking flag.
    QTest::newRow("empty affinity")
        << u"PLAIN"_s << u"x86"_s
        << QStringList{u"Advanced/Affinity="_s, u"Advanced/AffinityCPU=3"_s}
        << QStringList{u"Advanced/Affinity=Disabled"_s, u"Advanced/AffinityCPU="_s};
    QTest::newRow("absent affinity")
        << u"PLAIN"_s << u"x86"_s << QStringList{u"Advanced/Affinity"_s, u"Advanced/AffinityCPU"_s}
        << QStringList{u"Advanced/Affinity=Disabled"_s, u"Advanced/AffinityCPU="_s};
    QTest::newRow("affinity kept")
        << u"PLAIN"_s << u"x86"_s
        << QStringList{u"Advanced/Affinity=CPU 1"_s, u"Advanced/AffinityCPU=2"_s}
        << QStringList{u"Advanced/Affinity=CPU 1"_s, u"Advanced/AffinityCPU=2"_s};
    QTest::newRow("Dock Vimor Yes deleted")
        << u"PLAIN"_s << u"arm"_s << QStringList{u"Hardware/Dock Vimor=Yes"_s}
        << QStringList{u"Hardware/Dock Vimor"_s};
    QTest::newRow("Dock Vimor No kept")
        << u"PLAIN"_s << u"arm"_s << QStringList{u"Hardware/Dock Vimor=No"_s}
        << QStringList{u"Hardware/Dock Vimor=No"_s};

    // The accelerator.
    const QStringList noOldKeys = {u"Hardware/Disable Accelerator"_s,
                                   u"Hardware/Full Acceleration"_s};
    QTest::newRow("accelerator disabled")
        << u"KQ"_s << u"x86"_s
        << QStringList{u"Hardware/Disable Accelerator=Yes"_s, u"Hardware/Full Acceleration=No"_s}
        << noOldKeys + QStringList{u"Advanced/KQEMU=Disabled"_s, u"Advanced/KQEMUID=0"_s};
    QTest::newRow("disabled wins over full acceleration")
        << u"KQ"_s << u"x86"_s
        << QStringList{u"Hardware/Disable Accelerator=Yes"_s, u"Hardware/Full Acceleration=Yes"_s}
        << noOldKeys + QStringList{u"Advanced/KQEMU=Disabled"_s, u"Advanced/KQEMUID=0"_s};
    QTest::newRow("full acceleration")
        << u"KQ"_s << u"x86"_s << QStringList{u"Hardware/Full Acceleration=Yes"_s}
        << noOldKeys + QStringList{u"Advanced/KQEMU=Full Acceleration"_s, u"Advanced/KQEMUID=2"_s};
    QTest::newRow("disabled on arm too")
        << u"KQ"_s << u"arm"_s << QStringList{u"Hardware/Disable Accelerator=Yes"_s}
        << noOldKeys + QStringList{u"Advanced/KQEMU=Disabled"_s, u"Advanced/KQEMUID=0"_s};
    QTest::newRow("x86 without any KQEMU key gets user mode")
        << u"KQ"_s << u"x86"_s << QStringList{u"Advanced/KQEMU"_s, u"Advanced/KQEMUID"_s}
        << QStringList{u"Advanced/KQEMU=User Mode"_s, u"Advanced/KQEMUID=1"_s};
    QTest::newRow("old keys that are not Yes stay")
        << u"KQ"_s << u"x86"_s
        << QStringList{u"Hardware/Disable Accelerator=No"_s, u"Hardware/Full Acceleration=yes"_s}
        << QStringList{u"Hardware/Disable Accelerator=No"_s, u"Hardware/Full Acceleration=yes"_s,
                       u"Advanced/KQEMU=User Mode"_s, u"Advanced/KQEMUID=1"_s};
    QTest::newRow("KQEMU kept") << u"KQ"_s << u"x86"_s
                                << QStringList{u"Advanced/KQEMU=Full Acceleration"_s,
                                               u"Advanced/KQEMUID=2"_s}
                                << QStringList{u"Advanced/KQEMU=Full Acceleration"_s,
                                               u"Advanced/KQEMUID=2"_s};
    QTest::newRow("arm gets no user mode")
        << u"KQ"_s << u"arm"_s << QStringList()
        << QStringList{u"Advanced/KQEMU"_s, u"Advanced/KQEMUID"_s};
    QTest::newRow("version without KQEMU changes nothing")
        << u"PLAIN"_s << u"x86"_s << QStringList{u"Hardware/Disable Accelerator=Yes"_s}
        << QStringList{u"Hardware/Disable Accelerator=Yes"_s, u"Advanced/KQEMU"_s,
                       u"Advanced/KQEMUID"_s};
    QTest::newRow("unknown version changes nothing")
        << u"GONE"_s << u"x86"_s << QStringList{u"Hardware/Full Acceleration=Yes"_s}
        << QStringList{u"Hardware/Full Acceleration=Yes"_s, u"Advanced/KQEMU"_s};

    // The misspelt boot signature key.
    QTest::newRow("boot signature key renamed on x86")
        << u"PLAIN"_s << u"x86"_s << QStringList{u"Advanced/Disable Boot Signiture=Yes"_s}
        << QStringList{u"Advanced/Disable Boot Signature=Yes"_s,
                       u"Advanced/Disable Boot Signiture"_s};
    QTest::newRow("empty misspelt key stays")
        << u"PLAIN"_s << u"x86"_s << QStringList{u"Advanced/Disable Boot Signiture="_s}
        << QStringList{u"Advanced/Disable Boot Signature=No"_s,
                       u"Advanced/Disable Boot Signiture="_s};
    QTest::newRow("misspelt key stays on ppc")
        << u"PLAIN"_s << u"ppc"_s << QStringList{u"Advanced/Disable Boot Signiture=Yes"_s}
        << QStringList{u"Advanced/Disable Boot Signature=No"_s,
                       u"Advanced/Disable Boot Signiture=Yes"_s};
}

void TestSettingsView::upgrade()
{
    QFETCH(QString, version);
    QFETCH(QString, arc);
    QFETCH(QStringList, keys);
    QFETCH(QStringList, expected);

    Scene scene;
    QVERIFY(scene.ready());
    // The base keys name a mode; rows about the mode replace them.
    QVERIFY(scene.write(baseKeys(version, arc) + keys));
    UpgradeLegacyKeys(*scene.window);
    QCOMPARE(actualKeys(scene.vm, expected), expected);
    QVERIFY(scene.script().shown().isEmpty());
}

void TestSettingsView::autoMacsAreReplaced()
{
    Scene scene;
    QVERIFY(scene.ready());
    const QRegularExpression generated(u"^52-54-00(-[0-9A-F]{2}){3}$"_s);

    QVERIFY(scene.write(baseKeys(u"PLAIN"_s, u"x86"_s) +
                        QStringList{u"Network/CardCount=2"_s, u"Network Card 1/MAC=Auto"_s,
                                    u"Network Card 2/MAC=Auto"_s, u"Network Card 3/MAC=Auto"_s}));
    scene.show();
    QVERIFY(generated.match(ReadVMFileValue(scene.vm, u"Network Card 1"_s, u"MAC"_s)).hasMatch());
    QVERIFY(generated.match(ReadVMFileValue(scene.vm, u"Network Card 2"_s, u"MAC"_s)).hasMatch());
    // Only cards 1 to the count are visited.
    QCOMPARE(ReadVMFileValue(scene.vm, u"Network Card 3"_s, u"MAC"_s), u"Auto"_s);

    QVERIFY(scene.write(baseKeys(u"PLAIN"_s, u"x86"_s) +
                        QStringList{u"Network/CardCount=2"_s, u"Network Card 1/MAC=auto"_s,
                                    u"Network Card 2/MAC=12-34-56-78-9A-BC"_s}));
    scene.show();
    QCOMPARE(ReadVMFileValue(scene.vm, u"Network Card 1"_s, u"MAC"_s), u"auto"_s);
    QCOMPARE(ReadVMFileValue(scene.vm, u"Network Card 2"_s, u"MAC"_s), u"12-34-56-78-9A-BC"_s);

    // Without networking the cards are left alone.
    QVERIFY(scene.write(baseKeys(u"PLAIN"_s, u"x86"_s) +
                        QStringList{u"Hardware/Network=No"_s, u"Network/CardCount=1"_s,
                                    u"Network Card 1/MAC=Auto"_s}));
    scene.show();
    QCOMPARE(ReadVMFileValue(scene.vm, u"Network Card 1"_s, u"MAC"_s), u"Auto"_s);
}

void TestSettingsView::showingAgainChangesNothing_data()
{
    QTest::addColumn<QList<Version>>("defaults");
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<bool>("firstChanges");

    const QList<Version> fallback = {{u"D1"_s, u"QEMU Default"_s, {u"KQEMU"_s}, u"0"_s, true}};
    QTest::newRow("every earlier key at once")
        << fallback
        << QStringList{u"General/Qemu Version"_s,
                       u"General/Qemu Version ID"_s,
                       u"General/Arc=x86"_s,
                       u"Hardware/OutputID"_s,
                       u"Hardware/VNC Server=Yes"_s,
                       u"Hardware/Dock Vimor=Yes"_s,
                       u"Hardware/Full Acceleration=Yes"_s,
                       u"Advanced/Affinity="_s,
                       u"Advanced/Disable Boot Signiture=Yes"_s,
                       u"Network/CardCount=2"_s,
                       u"Network Card 1/MAC=Auto"_s,
                       u"Network Card 2/MAC=Auto"_s}
        << true;
    QTest::newRow("x86 of a version without KQEMU, as created")
        << QList<Version>{}
        << baseKeys(u"PLAIN"_s, u"x86"_s) +
               QStringList{u"Network/CardCount=1"_s, u"Network Card 1/MAC=52-54-00-01-02-03"_s}
        << false;
    QTest::newRow("no default version to write")
        << QList<Version>{}
        << QStringList{u"General/Qemu Version"_s, u"General/Arc=x86"_s, u"Hardware/OutputID=0"_s,
                       u"Hardware/Output=Vimor (Default)"_s}
        << false;
}

void TestSettingsView::showingAgainChangesNothing()
{
    QFETCH(QList<Version>, defaults);
    QFETCH(QStringList, keys);
    QFETCH(bool, firstChanges);

    Scene scene(defaults);
    QVERIFY(scene.ready());
    QVERIFY(scene.write(keys));
    const QByteArray before = bytesOf(scene.vm);
    const SettingsViewModel first = scene.show();
    const QByteArray once = bytesOf(scene.vm);
    QCOMPARE(once != before, firstChanges);
    const SettingsViewModel second = scene.show();
    QCOMPARE(bytesOf(scene.vm), once);
    UpgradeLegacyKeys(*scene.window);
    QCOMPARE(bytesOf(scene.vm), once);
    QCOMPARE(described(second.hardware), described(first.hardware));
    QCOMPARE(described(second.drives), described(first.drives));
    QCOMPARE(described(second.advanced), described(first.advanced));
    QVERIFY(scene.script().shown().isEmpty());
}

void TestSettingsView::unwritableFileCostsOneMessage()
{
    Scene scene;
    QVERIFY(scene.ready());
    // The long value makes every rewrite larger than a file's write buffer, so that the failure
    // shows at the write itself.
    QVERIFY(scene.write(baseKeys(u"KQ"_s, u"x86"_s) +
                        QStringList{u"Hardware/OutputID"_s, u"Hardware/VNC Server=Yes"_s,
                                    u"Advanced/Affinity="_s, u"Hardware/Dock Vimor=Yes"_s,
                                    u"Advanced/Disable Boot Signiture=Yes"_s,
                                    u"Advanced/OptionalString="_s + QString(64 * 1024, u'x')}));
    const QByteArray before = bytesOf(scene.vm);
    scene.script().clear();

    // A file size limit below the file's size fails every rewrite part way, as a full disk would.
    rlimit saved{};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit limited = saved;
    limited.rlim_cur = 4096;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const SettingsViewModel view = scene.show();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QCOMPARE(scene.script().shown().size(), 1);
    QCOMPARE(scene.script().shown().first().kind, u"error"_s);
    QCOMPARE(bytesOf(scene.vm), before);
    // The lists still show what the file holds.
    QCOMPARE(captions(view.hardware).first(), u"Virtual Machine Name"_s);
    const SettingsRow* affinity = findRow(view.advanced, u"CPU Affinity"_s);
    QVERIFY(affinity);
    QCOMPARE(affinity->value, QString());

    // Once the file can be written the upgrade completes.
    scene.show();
    QCOMPARE(ReadVMFileValue(scene.vm, u"Hardware"_s, u"OutputID"_s), u"2"_s);
    QCOMPARE(ReadVMFileValue(scene.vm, u"Advanced"_s, u"Disable Boot Signature"_s), u"Yes"_s);
    QCOMPARE(scene.script().shown().size(), 1);
}

void TestSettingsView::damagedCountsStayBounded()
{
    Scene scene;
    QVERIFY(scene.ready());
    QVERIFY(
        scene.write(baseKeys(u"PLAIN"_s, u"x86"_s) +
                    QStringList{u"Network/CardCount=2147483647"_s, u"Ports/SerialCount=99999999"_s,
                                u"Ports/ParallelCount=99999999999999"_s}));
    QElapsedTimer clock;
    clock.start();
    const SettingsViewModel view = scene.show();
    QVERIFY2(clock.elapsed() < 20000, "a damaged count must not stall the window");
    const QStringList shown = captions(view.hardware);
    // A count too large for a number is no number, hence no rows.
    QVERIFY(!shown.contains(u"Parallel Port 1"_s));
    const qsizetype cards = std::count_if(shown.cbegin(), shown.cend(), [](const QString& c) {
        return c.startsWith(u"Network Card "_s);
    });
    const qsizetype serial = std::count_if(shown.cbegin(), shown.cend(), [](const QString& c) {
        return c.startsWith(u"Serial Port "_s);
    });
    QVERIFY(cards >= 4 && cards <= 1000);
    QVERIFY(serial >= 4 && serial <= 1000);
    QCOMPARE(shown.at(shown.indexOf(u"Network Card 1"_s) + cards - 1),
             u"Network Card "_s + QString::number(cards));
}

void TestSettingsView::noVMSelected()
{
    auto script = std::make_unique<ScriptedInteraction>();
    Interaction::install(std::move(script));
    TempProgramFolder folder;
    QVERIFY(folder.isValid());
    TMain window;
    QCOMPARE(window.selectedVM(), QString());
    UpgradeLegacyKeys(window);
    const SettingsViewModel view = BuildSettingsView(window);
    QVERIFY(view.hardware.isEmpty() && view.drives.isEmpty() && view.advanced.isEmpty());
    QVERIFY(!view.showConsole && !view.showMonitor);
}

// Today's QEMU shows the firmware, TPM, random-number, clipboard, screen-size and USB 3 rows of a
// PC, and the bus of each hard disk that is not on SCSI; older versions show none of them.
void TestSettingsView::modernHardwareRows()
{
    Scene scene({{u"NOW"_s, u"QEMU Now"_s, {u"USB"_s}, u"3"_s}});
    QVERIFY(scene.ready());
    const QStringList keys = {u"Hardware/Firmware=UEFI Secure Boot"_s,
                              u"Hardware/Enable USB=Yes"_s,
                              u"Drives/HDA=a.qcow2"_s,
                              u"Drives/HDA Bus=VirtIO"_s,
                              u"Drives/HDB=b.qcow2"_s,
                              u"Drives/HDBSCSI=Yes"_s,
                              u"Hardware/Video Card=VirtIO VGA"_s};
    QVERIFY(scene.write(baseKeys(u"NOW"_s, u"x86"_s) + keys));
    SettingsViewModel view = scene.show();
    QCOMPARE(described(view.hardware).filter(u"10"_s),
             (QStringList{u"Firmware|UEFI Secure Boot|100|"_s, u"TPM|None|101|"_s,
                          u"VirtIO RNG|No|103|"_s, u"Share Clipboard|No|108|"_s,
                          u"Resize Guest With Window|Yes|109|"_s, u"USB 3 (xHCI)|Yes|102|"_s}));
    QCOMPARE(described(view.drives).filter(u" Bus"_s),
             QStringList{u"Hard Disk 0 Bus|VirtIO|104|"_s});
    QCOMPARE(findRow(view.drives, u"Hard Disk 0 Bus"_s)->picture, 16);

    QVERIFY(scene.write(baseKeys(u"ALL"_s, u"x86"_s) + keys));
    view = scene.show();
    QVERIFY(findRow(view.hardware, u"Firmware"_s) == nullptr);
    QCOMPARE(described(view.drives).filter(u" Bus"_s), QStringList());
}

QTEST_MAIN(TestSettingsView)
#include "tst_settingsview.moc"
