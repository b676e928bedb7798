#include "app/ui/TMain.h"
#include "devices/CardModels.h"
#include "model/ModernHardware.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/Host.h"
#include "platform/ui/Interaction.h"
#include "settings/HardwareEditing.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <memory>
#include <tuple>

using namespace HardwareEditing;

namespace {

using Keys = QList<std::tuple<QString, QString, QString>>;

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

std::tuple<QString, QString, QString> key(const char* section, const char* name, const char* value)
{
    return {s(section), s(name), s(value)};
}

// An x86 VM of 32 bits on the standard PC, with one card and one serial and parallel port.
const Keys BaseVM = {
    key("General", "Arc", "x86"),
    key("General", "Qemu Version", "Test QEMU"),
    key("General", "Qemu Version ID", "v1"),
    key("General", "VM Store ID", "0"),
    key("General", "Operating System", "Linux"),
    key("Hardware", "CPUArc", "32 Bit"),
    key("Hardware", "CPUType", "Qemu 32 Bit"),
    key("Hardware", "CID", "qemu32"),
    key("Hardware", "MachineType", "Standard ACPI PCI Based PC"),
    key("Hardware", "MID", "pc"),
    key("Hardware", "RAM", "256"),
    key("Hardware", "OutputID", "1"),
    key("Hardware", "Output", "QEMU Window"),
    key("Audio", "SoundCard", "Adlib"),
    key("Audio", "SoundID", "4"),
    key("Audio", "SID", "adlib"),
    key("Network", "CardCount", "1"),
    key("Network Card 1", "Lan Card", "Realtek 8139"),
    key("Network Card 1", "Lan Card ID", "0"),
    key("Network Card 1", "LID", "rtl8139"),
    key("Network Card 1", "MAC", "52-54-00-12-34-56"),
    key("Network Card 1", "VLAN", "0"),
};

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct VersionRow
{
    QString id;
    QString description;
    QString integrated;
};

void addVersions(const TempProgramFolder& folder, const QList<VersionRow>& rows)
{
    TableHandle versions;
    versions.setFolder(folder.path());
    versions.setTableName(TableSchemas::VersionTable);
    QVERIFY(versions.open());
    for (const VersionRow& row : rows) {
        versions.insert();
        versions.setFieldValue(QStringLiteral("ID"), row.id);
        versions.setFieldValue(QStringLiteral("DESC"), row.description);
        versions.setFieldValue(QStringLiteral("INT"), row.integrated);
        versions.setFieldValue(QStringLiteral("DEFAULT"), QStringLiteral("No"));
        QVERIFY(versions.post());
    }
}

void addOperatingSystems(const TempProgramFolder& folder, const QStringList& names)
{
    TableHandle opsys;
    opsys.setFolder(folder.path());
    opsys.setTableName(TableSchemas::OpSysTable);
    QVERIFY(opsys.open());
    for (const QString& name : names) {
        opsys.insert();
        opsys.setFieldValue(QStringLiteral("NAME"), name);
        QVERIFY(opsys.post());
    }
}

} // namespace

class TestHardwareEditing final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void wholeNumber_data();
    void wholeNumber();
    void memoryAndProcessorPresets_data();
    void memoryAndProcessorPresets();
    void memoryRangeFollowsHost();

    void yesNoRows_data();
    void yesNoRows();
    void guestResizing();
    void soundSwitch_data();
    void soundSwitch();

    void cpuTypePreset_data();
    void cpuTypePreset();
    void changingBitnessOffersRowZero();
    void machineClassChanges_data();
    void machineClassChanges();
    void cpuTypeSave_data();
    void cpuTypeSave();
    void nothingSelectedWritesEmpty();
    void failedWriteStopsTheSequence();

    void resetCardModels_data();
    void resetCardModels();
    void resetWithoutCardsWritesNothing_data();
    void resetWithoutCardsWritesNothing();

    void displayPreset_data();
    void displayPreset();
    void displaySave_data();
    void displaySave();

    void cardPreset_data();
    void cardPreset();
    void cardSaveWithoutSelection();

    void serialPreset_data();
    void serialPreset();
    void serialSave_data();
    void serialSave();
    void parallelPresetAndSave_data();
    void parallelPresetAndSave();
    void ipAddress_data();
    void ipAddress();
    void defaultExtension_data();
    void defaultExtension();

    void versionsInTableOrder();
    void operatingSystemPreset_data();
    void operatingSystemPreset();
    void storeFolder();

private:
    // Writes the VM (the base keys, then extra) and opens the main window on it.
    void start(const Keys& extra = {});
    QString read(const char* section, const char* name) const;

    std::unique_ptr<TempProgramFolder> m_folder;
    std::unique_ptr<TMain> m_window;
    QString m_vm;
    ScriptedInteraction* m_script = nullptr;
};

void TestHardwareEditing::init()
{
    auto script = std::make_unique<ScriptedInteraction>();
    m_script = script.get();
    Interaction::install(std::move(script));
    m_folder = std::make_unique<TempProgramFolder>();
    QVERIFY(m_folder->isValid());
    m_vm = m_folder->file(QStringLiteral("VMs/test.vm2"));
}

void TestHardwareEditing::cleanup()
{
    m_window.reset();
    m_folder.reset();
    Host::overridePhysicalMemoryMB(0);
}

void TestHardwareEditing::start(const Keys& extra)
{
    QVERIFY(WriteVMTemplate(m_vm, true));
    for (const auto& [section, name, value] : BaseVM + extra)
        QVERIFY(WriteVMFileValue(m_vm, section, name, value));
    m_window = std::make_unique<TMain>();
    QCOMPARE(m_window->selectedVM(), m_vm);
}

QString TestHardwareEditing::read(const char* section, const char* name) const
{
    return ReadVMFileValue(m_vm, s(section), s(name));
}

void TestHardwareEditing::wholeNumber_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("expected");
    QTest::newRow("number") << s("512") << 512;
    QTest::newRow("zero") << s("0") << 0;
    QTest::newRow("negative") << s("-3") << -3;
    QTest::newRow("empty") << QString() << 77;
    QTest::newRow("word") << s("lots") << 77;
    QTest::newRow("number with unit") << s("512MB") << 77;
    QTest::newRow("hexadecimal") << s("0x20") << 77;
    QTest::newRow("too big for int") << s("99999999999") << 77;
}

void TestHardwareEditing::wholeNumber()
{
    QFETCH(QString, stored);
    QFETCH(int, expected);
    QCOMPARE(WholeNumber(stored, 77), expected);
}

void TestHardwareEditing::memoryAndProcessorPresets_data()
{
    QTest::addColumn<QString>("ram");
    QTest::addColumn<QString>("processors");
    QTest::addColumn<int>("expectedRam");
    QTest::addColumn<int>("expectedProcessors");
    QTest::newRow("stored numbers") << s("512") << s("2") << 512 << 2;
    QTest::newRow("empty values") << QString() << QString() << 128 << 1;
    QTest::newRow("not numbers") << s("half a gig") << s("two") << 128 << 1;
    QTest::newRow("below the bounds") << s("2") << s("0") << 4 << 1;
    QTest::newRow("above the bounds") << s("999999") << s("1000") << 2048 << 255;
}

void TestHardwareEditing::memoryAndProcessorPresets()
{
    QFETCH(QString, ram);
    QFETCH(QString, processors);
    QFETCH(int, expectedRam);
    QFETCH(int, expectedProcessors);
    Host::overridePhysicalMemoryMB(2048);
    start({{s("Hardware"), s("RAM"), ram}, {s("Hardware"), s("Processors"), processors}});
    QCOMPARE(MemoryPreset(*m_window), expectedRam);
    QCOMPARE(ProcessorsPreset(*m_window), expectedProcessors);
}

void TestHardwareEditing::memoryRangeFollowsHost()
{
    Host::overridePhysicalMemoryMB(3000);
    QCOMPARE(MemoryRange().minimum, 4);
    QCOMPARE(MemoryRange().maximum, 3000);
    QCOMPARE(ProcessorRange().minimum, 1);
    QCOMPARE(ProcessorRange().maximum, 255);
}

void TestHardwareEditing::yesNoRows_data()
{
    QTest::addColumn<int>("icon");
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::newRow("USB") << 4 << s("Enable USB Support ?") << s("Hardware") << s("Enable USB");
    QTest::newRow("sound") << 19 << s("Enable Sound Devices ?") << s("Audio") << s("Enable Sound");
    QTest::newRow("networking") << 45 << s("Enable Networking ?") << s("Hardware") << s("Network");
    QTest::newRow("bluetooth") << 75 << s("Enable Bluetooth ?") << s("Hardware")
                               << s("Enable Bluetooth");
    QTest::newRow("bluetooth keyboard")
        << 76 << s("Enable Bluetooth Keyboard ?") << s("Hardware") << s("BTKeyboard");
    QTest::newRow("shared clipboard") << 108 << s("Share the clipboard between host and guest ?")
                                      << s("Hardware") << s("Share Clipboard");
}

void TestHardwareEditing::yesNoRows()
{
    QFETCH(int, icon);
    QFETCH(QString, question);
    QFETCH(QString, section);
    QFETCH(QString, key);
    const std::optional<YesNoRow> row = YesNoRowOf(icon);
    QVERIFY(row);
    QCOMPARE(row->question, question);
    QCOMPARE(row->section, section);
    QCOMPARE(row->key, key);

    start({{section, key, s("Yes")}});
    QCOMPARE(YesNoPreset(*m_window, *row), s("Yes"));
    QVERIFY(WriteVMFileValue(m_vm, section, key, s("yes")));
    QCOMPARE(YesNoPreset(*m_window, *row), s("No")); // flags compare exactly
    QVERIFY(WriteVMFileValue(m_vm, section, key, QString()));
    QCOMPARE(YesNoPreset(*m_window, *row), s("No"));
    SaveYesNo(*m_window, *row, s("Yes"));
    QCOMPARE(ReadVMFileValue(m_vm, section, key), s("Yes"));
    SaveYesNo(*m_window, *row, s("No"));
    QCOMPARE(ReadVMFileValue(m_vm, section, key), s("No"));

    QVERIFY(!YesNoRowOf(2));
    QVERIFY(!YesNoRowOf(57));
}

// Only VirtIO VGA follows the window, unless the VM says No; the row's editor presets it so.
void TestHardwareEditing::guestResizing()
{
    QVERIFY(!ModernHardware::ResizesGuest(s("No"), s("VirtIO VGA")));
    QVERIFY(!ModernHardware::ResizesGuest(s("Yes"), s("Standard VGA Card")));
    const YesNoRow row = *YesNoRowOf(109);
    QCOMPARE(row.question, s("Resize the guest's screen with the window ?"));
    start({{s("Hardware"), s("Video Card"), s("VirtIO VGA")}});
    QCOMPARE(YesNoPreset(*m_window, row), s("Yes"));
}

void TestHardwareEditing::soundSwitch_data()
{
    QTest::addColumn<QString>("arc");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("expected"); // SoundCard, SoundID, SID, Enable Sound
    QTest::newRow("on for x86 returns to row 0")
        << s("x86") << s("Yes")
        << QStringList{s("ENSONIQ AudioPCI ES1370"), s("0"), s("es1370"), s("Yes")};
    QTest::newRow("on for arm") << s("arm") << s("Yes")
                                << QStringList{s("Use ALL"), s("0"), s("all"), s("Yes")};
    QTest::newRow("on for ppc") << s("ppc") << s("Yes")
                                << QStringList{s("Intel 82801AA AC97 Audio"), s("0"), s("ac97"),
                                               s("Yes")};
    QTest::newRow("off keeps SID")
        << s("x86") << s("No") << QStringList{QString(), s("-1"), s("adlib"), s("No")};
    // An architecture without sound cards has no card to put in place.
    QTest::newRow("on for sparc leaves the card keys")
        << s("sparc") << s("Yes") << QStringList{s("Adlib"), s("4"), s("adlib"), s("Yes")};
}

void TestHardwareEditing::soundSwitch()
{
    QFETCH(QString, arc);
    QFETCH(QString, answer);
    QFETCH(QStringList, expected);
    start({{s("General"), s("Arc"), arc}, {s("Audio"), s("Enable Sound"), s("Yes")}});
    SaveSoundEnabled(*m_window, answer);
    QCOMPARE((QStringList{read("Audio", "SoundCard"), read("Audio", "SoundID"),
                          read("Audio", "SID"), read("Audio", "Enable Sound")}),
             expected);
}

void TestHardwareEditing::cpuTypePreset_data()
{
    QTest::addColumn<QString>("arc");
    QTest::addColumn<QString>("cpuArc");
    QTest::addColumn<QString>("cpuType");
    QTest::addColumn<QString>("machineType");
    QTest::addColumn<QStringList>("bitness");
    QTest::addColumn<int>("bitnessIndex");
    QTest::addColumn<int>("cpu");
    QTest::addColumn<QString>("cid");
    QTest::addColumn<int>("machine");
    QTest::addColumn<QString>("mid");

    const QStringList both = {s("32 Bit"), s("64 Bit")};
    const QStringList only32 = {s("32 Bit")};
    QTest::newRow("x86 64 Core Duo")
        << s("x86") << s("64 Bit") << s("Core Duo") << s("Standard PCI Based PC") << both << 1 << 3
        << s("coreduo") << 0 << s("pc");
    QTest::newRow("x86 64 Core Duo on ISA")
        << s("x86") << s("64 Bit") << s("Core Duo") << s("Standard ISA Based PC") << both << 1 << 3
        << s("coreduo") << 1 << s("isapc");
    QTest::newRow("x86 32 Core Duo")
        << s("x86") << s("32 Bit") << s("Core Duo") << s("Standard ACPI PCI Based PC") << both << 0
        << 1 << s("coreduo") << 0 << s("pc");
    QTest::newRow("display text differs in case")
        << s("x86") << s("32 Bit") << s("pentium") << s("standard acpi pci based pc") << both << 0
        << -1 << QString() << -1 << QString();
    QTest::newRow("x86 without word size") << s("x86") << QString() << s("486") << QString() << both
                                           << -1 << -1 << QString() << -1 << QString();
    QTest::newRow("cf offers only 32 Bit")
        << s("cf") << s("64 Bit") << s("Default") << s("MCF5206EVB (default)") << only32 << -1 << -1
        << QString() << -1 << QString();
    QTest::newRow("cf 32") << s("cf") << s("32 Bit") << s("Default") << s("MCF5206EVB (default)")
                           << only32 << 0 << 0 << s("default") << 0 << s("mcf5208evb");
    QTest::newRow("arm without word size")
        << s("arm") << QString() << s("cortex-a8") << s("ARM Versatile/PB (ARM926EJ-S)") << both
        << -1 << 9 << s("cortex-a8") << 1 << s("versatilepb");
    QTest::newRow("sparc 64 first of two equal rows")
        << s("sparc") << s("64 Bit") << s("Sparc Sun UltraSparc III") << s("Sun4v platform") << both
        << 1 << 9 << s("Sun UltraSparc III") << 1 << s("sun4v");
    QTest::newRow("unknown architecture") << s("z80") << s("32 Bit") << s("Default") << QString()
                                          << both << 0 << -1 << QString() << -1 << QString();
}

void TestHardwareEditing::cpuTypePreset()
{
    QFETCH(QString, arc);
    QFETCH(QString, cpuArc);
    QFETCH(QString, cpuType);
    QFETCH(QString, machineType);
    QFETCH(QStringList, bitness);
    QFETCH(int, bitnessIndex);
    QFETCH(int, cpu);
    QFETCH(QString, cid);
    QFETCH(int, machine);
    QFETCH(QString, mid);
    const CpuTypeChoice choice = PresetCpuType(arc, cpuArc, cpuType, machineType);
    QCOMPARE(choice.bitness, bitness);
    QCOMPARE(choice.bitnessIndex, bitnessIndex);
    QCOMPARE(choice.cpu, cpu);
    QCOMPARE(choice.cpuRow().id, cid);
    QCOMPARE(choice.machine, machine);
    QCOMPARE(choice.machineRow().id, mid);
}

void TestHardwareEditing::changingBitnessOffersRowZero()
{
    const CpuTypeChoice before =
        PresetCpuType(s("x86"), s("32 Bit"), s("Athlon"), s("Standard ISA Based PC"));
    QCOMPARE(before.cpuRow().id, s("athlon"));
    const CpuTypeChoice after = WithBitness(before, 1);
    QCOMPARE(after.bitnessText(), s("64 Bit"));
    QCOMPARE(after.machineRow(), (ChoiceRow{s("Standard PCI Based PC"), s("pc")}));
    QCOMPARE(after.cpuRow(), (ChoiceRow{s("Qemu 64 Bit"), s("qemu64")}));
    const CpuTypeChoice none = WithBitness(before, 5);
    QCOMPARE(none.bitnessIndex, -1);
    QVERIFY(none.machines.isEmpty());
    QCOMPARE(none.cpu, -1);
}

void TestHardwareEditing::machineClassChanges_data()
{
    QTest::addColumn<QString>("newId");
    QTest::addColumn<QString>("storedId");
    QTest::addColumn<bool>("changes");
    QTest::newRow("pc to isapc") << s("isapc") << s("pc") << true;
    QTest::newRow("isapc to pc") << s("pc") << s("isapc") << true;
    QTest::newRow("pc stays") << s("pc") << s("pc") << false;
    QTest::newRow("nothing stored") << s("isapc") << QString() << false;
    QTest::newRow("other machines") << s("SS-10") << s("SS-5") << false;
    QTest::newRow("case matters") << s("isapc") << s("PC") << false;
}

void TestHardwareEditing::machineClassChanges()
{
    QFETCH(QString, newId);
    QFETCH(QString, storedId);
    QFETCH(bool, changes);
    QCOMPARE(MachineClassChanges(newId, storedId), changes);
}

void TestHardwareEditing::cpuTypeSave_data()
{
    QTest::addColumn<Keys>("stored");
    QTest::addColumn<int>("bitness"); // -2: as stored
    QTest::addColumn<QString>("machine");
    QTest::addColumn<QString>("cpu");
    QTest::addColumn<QStringList>("expected"); // CPUArc, CPUType, MachineType, CID, MID, EXE
    QTest::addColumn<bool>("reset");

    QTest::newRow("x86 unchanged")
        << Keys{} << -2 << QString() << QString()
        << QStringList{s("32 Bit"), s("Qemu 32 Bit"), s("Standard ACPI PCI Based PC"),
                       s("qemu32"), s("pc"),          s("qemu.exe")}
        << false;
    QTest::newRow("x86 to ISA")
        << Keys{} << -2 << s("Standard ISA Based PC") << s("Pentium")
        << QStringList{s("32 Bit"),  s("Pentium"), s("Standard ISA Based PC"),
                       s("pentium"), s("isapc"),   s("qemu.exe")}
        << true;
    QTest::newRow("x86 to 64 Bit")
        << Keys{} << 1 << QString() << QString()
        << QStringList{s("64 Bit"), s("Qemu 64 Bit"), s("Standard PCI Based PC"),
                       s("qemu64"), s("pc"),          s("qemu-system-x86_64.exe")}
        << false;
    QTest::newRow("sparc unchanged still resets")
        << Keys{key("General", "Arc", "sparc"), key("Hardware", "CPUType", "Qemu Default"),
                key("Hardware", "MachineType", "Sun4m platform, SPARCstation 5 (default)"),
                key("Hardware", "MID", "SS-5")}
        << -2 << QString() << QString()
        << QStringList{s("32 Bit"),
                       s("Qemu Default"),
                       s("Sun4m platform, SPARCstation 5 (default)"),
                       s("Default"),
                       s("SS-5"),
                       s("qemu-system-sparc.exe")}
        << true;
    QTest::newRow("cf") << Keys{key("General", "Arc", "cf"), key("Hardware", "CPUType", "Default"),
                                key("Hardware", "MachineType", "MCF5206EVB (default)"),
                                key("Hardware", "MID", "mcf5208evb")}
                        << -2 << QString() << QString()
                        << QStringList{s("32 Bit"),  s("Default"),    s("MCF5206EVB (default)"),
                                       s("default"), s("mcf5208evb"), s("qemu-system-m68k.exe")}
                        << false;
}

void TestHardwareEditing::cpuTypeSave()
{
    QFETCH(Keys, stored);
    QFETCH(int, bitness);
    QFETCH(QString, machine);
    QFETCH(QString, cpu);
    QFETCH(QStringList, expected);
    QFETCH(bool, reset);
    start(stored);
    CpuTypeChoice choice = PresetCpuType(*m_window);
    if (bitness != -2)
        choice = WithBitness(choice, bitness);
    if (!machine.isEmpty())
        choice.machine = FindDisplayText(choice.machines, machine);
    if (!cpu.isEmpty())
        choice.cpu = FindDisplayText(choice.cpus, cpu);
    QCOMPARE(SaveCpuType(*m_window, choice), reset);
    QCOMPARE((QStringList{read("Hardware", "CPUArc"), read("Hardware", "CPUType"),
                          read("Hardware", "MachineType"), read("Hardware", "CID"),
                          read("Hardware", "MID"), read("General", "Qemu EXE")}),
             expected);
}

void TestHardwareEditing::nothingSelectedWritesEmpty()
{
    start({key("Hardware", "CPUArc", "Unknown")});
    const CpuTypeChoice choice = PresetCpuType(*m_window);
    QCOMPARE(choice.bitnessIndex, -1);
    QVERIFY(!SaveCpuType(*m_window, choice));
    for (const char* name : {"CPUArc", "CPUType", "MachineType", "CID", "MID"})
        QCOMPARE(read("Hardware", name), QString());
    QCOMPARE(read("General", "Qemu EXE"), QString());
    QVERIFY(m_script->shown().isEmpty());
}

void TestHardwareEditing::failedWriteStopsTheSequence()
{
    start({key("General", "Arc", "sparc")});
    const CpuTypeChoice choice = PresetCpuType(*m_window);
    // The VM's folder goes away under the window: no write can succeed.
    QVERIFY(QDir(m_folder->file(QStringLiteral("VMs"))).removeRecursively());
    QVERIFY(!SaveCpuType(*m_window, choice));
    QCOMPARE(m_script->shown().size(), 1);
    QCOMPARE(m_script->shown().first().kind, s("error"));
    QVERIFY(m_script->shown().first().text.contains(s("CPUArc")));
    m_script->clear();
    SaveDisplay(*m_window, VncDisplay, 3);
    QCOMPARE(m_script->shown().size(), 1);
}

void TestHardwareEditing::resetCardModels_data()
{
    QTest::addColumn<Keys>("stored");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("id");
    QTest::newRow("x86 ISA machine")
        << Keys{key("Hardware", "MID", "isapc")} << s("NE2000 ISA") << s("ne2k_isa");
    QTest::newRow("x86 PCI machine")
        << Keys{key("Hardware", "MID", "pc")} << s("Realtek 8139") << s("rtl8139");
    QTest::newRow("sparc 32 Bit") << Keys{key("General", "Arc", "sparc")} << s("Lance")
                                  << s("lance");
    QTest::newRow("sparc without word size")
        << Keys{key("General", "Arc", "sparc"), key("Hardware", "CPUArc", "")} << s("Lance")
        << s("lance");
    QTest::newRow("sparc 64 Bit") << Keys{key("General", "Arc", "sparc"),
                                          key("Hardware", "CPUArc", "64 Bit")}
                                  << s("NE2000 PCI") << s("ne2k_pci");
    QTest::newRow("ppc 32 Bit is no Lance")
        << Keys{key("General", "Arc", "ppc")} << s("NE2000 PCI") << s("ne2k_pci");
    QTest::newRow("arm") << Keys{key("General", "Arc", "arm")} << s("SMC 91C111") << s("smc91c111");
}

void TestHardwareEditing::resetCardModels()
{
    QFETCH(Keys, stored);
    QFETCH(QString, display);
    QFETCH(QString, id);
    start(stored + Keys{key("Network", "CardCount", "2"), key("Network Card 1", "Lan Card ID", "3"),
                        key("Network Card 2", "Lan Card", "Intel E1000"),
                        key("Network Card 2", "Lan Card ID", "5"),
                        key("Network Card 2", "LID", "e1000"),
                        key("Network Card 2", "MAC", "52-54-00-AB-CD-EF"),
                        key("Network Card 2", "VLAN", "1"),
                        key("Network Card 2", "Listeners", "5555|6666")});
    ResetCardModels(*m_window);
    for (const char* card : {"Network Card 1", "Network Card 2"}) {
        QCOMPARE(read(card, "Lan Card"), display);
        QCOMPARE(read(card, "Lan Card ID"), s("0"));
        QCOMPARE(read(card, "LID"), id);
    }
    // Everything else of a card stays.
    QCOMPARE(read("Network Card 1", "MAC"), s("52-54-00-12-34-56"));
    QCOMPARE(read("Network Card 2", "MAC"), s("52-54-00-AB-CD-EF"));
    QCOMPARE(read("Network Card 2", "VLAN"), s("1"));
    QCOMPARE(read("Network Card 2", "Listeners"), s("5555|6666"));
}

void TestHardwareEditing::resetWithoutCardsWritesNothing_data()
{
    QTest::addColumn<QString>("count");
    QTest::newRow("empty count") << QString();
    QTest::newRow("zero") << s("0");
    QTest::newRow("negative") << s("-2");
    QTest::newRow("not a number") << s("two");
}

void TestHardwareEditing::resetWithoutCardsWritesNothing()
{
    QFETCH(QString, count);
    start({{s("Network"), s("CardCount"), count}, key("Hardware", "MID", "isapc")});
    const QByteArray before = fileBytes(m_vm);
    ResetCardModels(*m_window);
    QCOMPARE(fileBytes(m_vm), before);
}

void TestHardwareEditing::displayPreset_data()
{
    QTest::addColumn<QString>("integrated");
    QTest::addColumn<QString>("outputId");
    QTest::addColumn<QString>("vncNumber");
    QTest::addColumn<bool>("lacks");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("number");
    QTest::newRow("integrated version, window") << s("Yes") << s("1") << s("5") << false << 1 << 5;
    QTest::newRow("empty OutputID is the first mode")
        << s("Yes") << QString() << s("0") << false << 0 << 0;
    QTest::newRow("version without INT") << s("No") << s("2") << s("3") << true << 2 << 3;
    QTest::newRow("INT in lower case") << s("yes") << s("3") << s("1") << true << 3 << 1;
    QTest::newRow("mode out of range") << s("Yes") << s("7") << s("1") << false << 1 << 1;
    QTest::newRow("mode not a number") << s("Yes") << s("vnc") << s("1") << false << 1 << 1;
    QTest::newRow("display number not a number")
        << s("Yes") << s("2") << s("first") << false << 2 << 1;
    QTest::newRow("display number too big")
        << s("Yes") << s("2") << s("70000") << false << 2 << 59635;
}

void TestHardwareEditing::displayPreset()
{
    QFETCH(QString, integrated);
    QFETCH(QString, outputId);
    QFETCH(QString, vncNumber);
    QFETCH(bool, lacks);
    QFETCH(int, mode);
    QFETCH(int, number);
    addVersions(*m_folder, {{s("v1"), s("Test QEMU"), integrated}});
    start({{s("Hardware"), s("VNC Number"), vncNumber}});
    // Written after start-up, whose settings view would have turned odd modes into "1".
    QVERIFY(WriteVMFileValue(m_vm, s("Hardware"), s("OutputID"), outputId));
    const DisplayPreset preset = PresetDisplay(*m_window);
    QCOMPARE(preset.lacksIntegrated, lacks);
    QCOMPARE(preset.modes,
             (QStringList{lacks ? s("Vimor (NOT AVAILABLE)") : s("Vimor (Default)"),
                          s("QEMU Window"), s("VNC Client"), s("Full Screen Display")}));
    QCOMPARE(preset.mode, mode);
    QCOMPARE(preset.vncNumber, number);
    QCOMPARE(DisplayRefused(IntegratedDisplay, lacks), lacks);
    QVERIFY(!DisplayRefused(QemuWindowDisplay, true));
}

void TestHardwareEditing::displaySave_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("expected"); // OutputID, Output, VNC Number, VNC Socket
    QTest::newRow("integrated") << 0 << QStringList{s("0"), s("Vimor (Default)"), s("1"), {}};
    QTest::newRow("window") << 1 << QStringList{s("1"), s("QEMU Window"), s("1"), {}};
    QTest::newRow("VNC on a socket") << 2 << QStringList{s("2"), s("VNC Client"), s("3"), s("Yes")};
    QTest::newRow("full screen") << 3 << QStringList{s("3"), s("Full Screen Display"), s("1"), {}};
    QTest::newRow("no selection") << -1 << QStringList{s("1"), s("QEMU Window"), s("1"), {}};
}

void TestHardwareEditing::displaySave()
{
    QFETCH(int, mode);
    QFETCH(QStringList, expected);
    start({key("Hardware", "VNC Number", "1")});
    SaveDisplay(*m_window, mode, 3, true);
    QCOMPARE((QStringList{read("Hardware", "OutputID"), read("Hardware", "Output"),
                          read("Hardware", "VNC Number"), read("Hardware", "VNC Socket")}),
             expected);
}

void TestHardwareEditing::cardPreset_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<Keys>("stored");
    QTest::addColumn<int>("row");
    QTest::newRow("sound: position empty gives row 0")
        << int(CardKind::Sound) << Keys{key("Audio", "SoundID", "")} << 0;
    QTest::newRow("sound: stored card") << int(CardKind::Sound) << Keys{} << 4;
    QTest::newRow("sound: unknown card")
        << int(CardKind::Sound) << Keys{key("Audio", "SoundCard", "Gravis")} << -1;
    QTest::newRow("sound: switched off")
        << int(CardKind::Sound)
        << Keys{key("Audio", "SoundCard", ""), key("Audio", "SoundID", "-1")} << -1;
    QTest::newRow("sound: ppc list")
        << int(CardKind::Sound)
        << Keys{key("General", "Arc", "ppc"), key("Audio", "SoundCard", "ENSONIQ AudioPCI ES1370")}
        << 2;
    QTest::newRow("video: no position")
        << int(CardKind::Video) << Keys{key("Hardware", "Video Card", "None")} << 0;
    QTest::newRow("video: stored")
        << int(CardKind::Video)
        << Keys{key("Hardware", "Video Card", "None"), key("Hardware", "VideoID", "3")} << 3;
    QTest::newRow("video: arm order")
        << int(CardKind::Video)
        << Keys{key("General", "Arc", "arm"), key("Hardware", "Video Card", "Cirrus Logic GD5446"),
                key("Hardware", "VideoID", "0")}
        << 1;
}

void TestHardwareEditing::cardPreset()
{
    QFETCH(int, kind);
    QFETCH(Keys, stored);
    QFETCH(int, row);
    start(stored);
    const std::optional<CardPreset> preset = PresetCard(*m_window, CardKind(kind));
    QVERIFY(preset);
    QCOMPARE(preset->row, row);
}

void TestHardwareEditing::cardSaveWithoutSelection()
{
    start({key("Hardware", "Video Card", "None"), key("Hardware", "VideoID", "3"),
           key("Hardware", "VID", "none")});
    const std::optional<CardPreset> video = PresetCard(*m_window, CardKind::Video);
    QVERIFY(video);
    SaveCard(*m_window, CardKind::Video, video->list, 2);
    QCOMPARE(read("Hardware", "Video Card"), s("VMWare SVGA-II"));
    QCOMPARE(read("Hardware", "VideoID"), s("2"));
    QCOMPARE(read("Hardware", "VID"), s("vmware"));
    SaveCard(*m_window, CardKind::Video, video->list, -1);
    QCOMPARE(read("Hardware", "Video Card"), QString());
    QCOMPARE(read("Hardware", "VideoID"), s("-1"));
    QCOMPARE(read("Hardware", "VID"), QString());

    // Architectures without sound cards have no sound card editor.
    QVERIFY(WriteVMFileValue(m_vm, s("General"), s("Arc"), s("sparc")));
    QVERIFY(!PresetCard(*m_window, CardKind::Sound));
    QVERIFY(WriteVMFileValue(m_vm, s("General"), s("Arc"), s("z80")));
    QVERIFY(!PresetCard(*m_window, CardKind::Video));
}

void TestHardwareEditing::serialPreset_data()
{
    QTest::addColumn<Keys>("stored");
    QTest::addColumn<int>("shownType");
    QTest::addColumn<QStringList>("hostPorts");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("fileName"); // "<none>" when the box is not set
    QTest::addColumn<int>("hostPort");
    QTest::addColumn<QString>("ip");
    QTest::addColumn<int>("port");
    QTest::addColumn<bool>("wait");
    QTest::addColumn<bool>("listen");

    const QStringList ports = {s("/dev/ttyS0"), s("/dev/ttyUSB0")};
    const QString none = s("<none>");
    QTest::newRow("TCP port")
        << Keys{key("Serial Port 1", "SerialTy", "3"),  key("Serial Port 1", "Serial", "TCP"),
                key("Serial Port 1", "IP", "10.0.2.2"), key("Serial Port 1", "Port", "4444"),
                key("Serial Port 1", "wait", "1"),      key("Serial Port 1", "listen", "0")}
        << 0 << ports << 3 << none << 0 << s("10.0.2.2") << 4444 << true << false;
    QTest::newRow("host port found")
        << Keys{key("Serial Port 1", "SerialTy", "1"),
                key("Serial Port 1", "Serial", "/dev/ttyUSB0")}
        << 0 << ports << 1 << none << 1 << s("0.0.0.0") << 4444 << false << false;
    QTest::newRow("host port gone selects the first")
        << Keys{key("Serial Port 1", "SerialTy", "1"), key("Serial Port 1", "Serial", "COM3")} << 0
        << ports << 1 << none << 0 << s("0.0.0.0") << 4444 << false << false;
    QTest::newRow("no host ports")
        << Keys{key("Serial Port 1", "SerialTy", "1"), key("Serial Port 1", "Serial", "COM3")} << 0
        << QStringList{} << 1 << none << -1 << s("0.0.0.0") << 4444 << false << false;
    QTest::newRow("file") << Keys{key("Serial Port 1", "SerialTy", "2"),
                                  key("Serial Port 1", "Serial", "/tmp/a")}
                          << 3 << ports << 2 << s("/tmp/a") << 0 << s("0.0.0.0") << 4444 << false
                          << false;
    QTest::newRow("no type keeps the shown one and its file")
        << Keys{key("Serial Port 1", "SerialTy", ""), key("Serial Port 1", "Serial", "/tmp/b")} << 2
        << ports << 2 << s("/tmp/b") << 0 << s("0.0.0.0") << 4444 << false << false;
    QTest::newRow("type out of range keeps the shown one")
        << Keys{key("Serial Port 1", "SerialTy", "9")} << 3 << ports << 3 << none << 0
        << s("0.0.0.0") << 4444 << false << false;
    QTest::newRow("type not a number keeps the shown one")
        << Keys{key("Serial Port 1", "SerialTy", "TCP")} << 1 << ports << 1 << none << 0
        << s("0.0.0.0") << 4444 << false << false;
    QTest::newRow("address and port not usable")
        << Keys{key("Serial Port 1", "SerialTy", "3"), key("Serial Port 1", "IP", "localhost"),
                key("Serial Port 1", "Port", "telnet"), key("Serial Port 1", "wait", "yes"),
                key("Serial Port 1", "listen", "1")}
        << 0 << ports << 3 << none << 0 << s("0.0.0.0") << 4444 << false << true;
    QTest::newRow("port out of range")
        << Keys{key("Serial Port 1", "SerialTy", "3"), key("Serial Port 1", "Port", "70000")} << 0
        << ports << 3 << none << 0 << s("0.0.0.0") << 65535 << false << false;
}

void TestHardwareEditing::serialPreset()
{
    QFETCH(Keys, stored);
    QFETCH(int, shownType);
    QFETCH(QStringList, hostPorts);
    QFETCH(int, type);
    QFETCH(QString, fileName);
    QFETCH(int, hostPort);
    QFETCH(QString, ip);
    QFETCH(int, port);
    QFETCH(bool, wait);
    QFETCH(bool, listen);
    start(stored);
    const SerialPortPreset preset = PresetSerialPort(*m_window, s("1"), shownType, hostPorts);
    QCOMPARE(preset.type, type);
    QCOMPARE(preset.fileName.value_or(s("<none>")), fileName);
    QCOMPARE(preset.hostPorts, hostPorts);
    QCOMPARE(preset.hostPort, hostPort);
    QCOMPARE(preset.ip, ip);
    QCOMPARE(preset.port, port);
    QCOMPARE(preset.wait, wait);
    QCOMPARE(preset.listen, listen);
}

void TestHardwareEditing::serialSave_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("hostPort");
    QTest::addColumn<QStringList>("expected"); // Serial, SerialTy, IP, Port, wait, listen

    QTest::newRow("console keeps the TCP keys")
        << int(SerialConsole) << QString()
        << QStringList{s("Console"), s("0"), s("1.2.3.4"), s("4444"), s("1"), s("0")};
    QTest::newRow("host port") << int(SerialPhysical) << s("/dev/ttyS1")
                               << QStringList{s("/dev/ttyS1"), s("1"), s("1.2.3.4"),
                                              s("4444"),       s("1"), s("0")};
    QTest::newRow("host port without ports")
        << int(SerialPhysical) << QString()
        << QStringList{QString(), s("1"), s("1.2.3.4"), s("4444"), s("1"), s("0")};
    QTest::newRow("file")
        << int(SerialFile) << QString()
        << QStringList{s("/tmp/serial.txt"), s("2"), s("1.2.3.4"), s("4444"), s("1"), s("0")};
    QTest::newRow("TCP") << int(SerialTcp) << QString()
                         << QStringList{s("TCP"), s("3"), s("10.0.2.0"), s("23"), s("0"), s("1")};
}

void TestHardwareEditing::serialSave()
{
    QFETCH(int, type);
    QFETCH(QString, hostPort);
    QFETCH(QStringList, expected);
    start({key("Serial Port 2", "SerialTy", "3"), key("Serial Port 2", "Serial", "TCP"),
           key("Serial Port 2", "IP", "1.2.3.4"), key("Serial Port 2", "Port", "4444"),
           key("Serial Port 2", "wait", "1"), key("Serial Port 2", "listen", "0")});
    SerialPortChoice choice;
    choice.type = type;
    choice.hostPort = hostPort;
    choice.fileName = s("/tmp/serial.txt");
    choice.ip = s("10.0.2");
    choice.port = 23;
    choice.wait = false;
    choice.listen = true;
    SaveSerialPort(*m_window, s("2"), choice);
    QCOMPARE((QStringList{read("Serial Port 2", "Serial"), read("Serial Port 2", "SerialTy"),
                          read("Serial Port 2", "IP"), read("Serial Port 2", "Port"),
                          read("Serial Port 2", "wait"), read("Serial Port 2", "listen")}),
             expected);
    // Port 1 of the template is not touched.
    QCOMPARE(read("Serial Port 1", "Serial"), s("Console"));
}

void TestHardwareEditing::parallelPresetAndSave_data()
{
    QTest::addColumn<QString>("storedType");
    QTest::addColumn<int>("shownType");
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("fileName");
    QTest::newRow("console") << s("0") << 1 << 0 << s("<none>");
    QTest::newRow("file") << s("1") << 0 << 1 << s("/tmp/lpt.txt");
    QTest::newRow("no type keeps the shown file") << QString() << 1 << 1 << s("/tmp/lpt.txt");
    QTest::newRow("type 2 keeps the shown console") << s("2") << 0 << 0 << s("<none>");
}

void TestHardwareEditing::parallelPresetAndSave()
{
    QFETCH(QString, storedType);
    QFETCH(int, shownType);
    QFETCH(int, type);
    QFETCH(QString, fileName);
    start({{s("Parallel Port 1"), s("ParallelTy"), storedType},
           key("Parallel Port 1", "Parallel", "/tmp/lpt.txt")});
    const ParallelPortPreset preset = PresetParallelPort(*m_window, s("1"), shownType);
    QCOMPARE(preset.type, type);
    QCOMPARE(preset.fileName.value_or(s("<none>")), fileName);

    SaveParallelPort(*m_window, s("1"), ParallelFile, s("/tmp/other.txt"));
    QCOMPARE(read("Parallel Port 1", "Parallel"), s("/tmp/other.txt"));
    QCOMPARE(read("Parallel Port 1", "ParallelTy"), s("1"));
    SaveParallelPort(*m_window, s("1"), ParallelConsole, s("/tmp/ignored.txt"));
    QCOMPARE(read("Parallel Port 1", "Parallel"), s("Console"));
    QCOMPARE(read("Parallel Port 1", "ParallelTy"), s("0"));
}

void TestHardwareEditing::ipAddress_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("preset");
    QTest::addColumn<QString>("saved");
    QTest::newRow("address") << s("192.168.1.20") << s("192.168.1.20") << s("192.168.1.20");
    QTest::newRow("empty") << QString() << s("0.0.0.0") << s("0.0.0.0");
    QTest::newRow("three fields") << s("10.0.2") << s("0.0.0.0") << s("10.0.2.0");
    QTest::newRow("empty field") << s("10..2.1") << s("0.0.0.0") << s("10.0.2.1");
    QTest::newRow("field above 255") << s("300.1.1.1") << s("0.0.0.0") << s("255.1.1.1");
    QTest::newRow("host name") << s("localhost") << s("0.0.0.0") << s("0.0.0.0");
    QTest::newRow("leading zeros") << s("010.0.0.1") << s("0.0.0.0") << s("10.0.0.1");
}

void TestHardwareEditing::ipAddress()
{
    QFETCH(QString, text);
    QFETCH(QString, preset);
    QFETCH(QString, saved);
    QCOMPARE(IpAddressPreset(text), preset);
    QCOMPARE(NormalisedIpAddress(text), saved);
}

void TestHardwareEditing::defaultExtension_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no extension") << s("/tmp/out") << s("/tmp/out.txt");
    QTest::newRow("own extension") << s("/tmp/out.log") << s("/tmp/out.log");
    QTest::newRow("dot in the folder only") << s("/tmp/a.b/out") << s("/tmp/a.b/out.txt");
    QTest::newRow("windows folder") << s("C:\\a.b\\out") << s("C:\\a.b\\out.txt");
    QTest::newRow("empty") << QString() << QString();
}

void TestHardwareEditing::defaultExtension()
{
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(WithDefaultExtension(path, s("txt")), expected);
}

void TestHardwareEditing::versionsInTableOrder()
{
    addVersions(*m_folder, {{s("b"), s("QEMU B"), s("Yes")},
                            {s("a"), s("QEMU A"), s("No")},
                            {s("b"), s("QEMU B again"), s("No")}});
    start();
    TableHandle& table = m_window->table(VMContext::Table::VRVers);
    const QList<VersionRegistry::Version> versions = ListVersions(table);
    QCOMPARE(versions.size(), 3);
    QCOMPARE(versions.at(0).description, s("QEMU B"));
    QCOMPARE(versions.at(1).id, s("a"));
    QVERIFY(!table.isOpen());
    QCOMPARE(LastVersionRow(versions, s("b")), 2);
    QCOMPARE(LastVersionRow(versions, s("a")), 1);
    QCOMPARE(LastVersionRow(versions, s("A")), -1);
    QCOMPARE(LastVersionRow(versions, QString()), -1);

    SaveVersion(*m_window, versions.at(1));
    QCOMPARE(read("General", "Qemu Version"), s("QEMU A"));
    QCOMPARE(read("General", "Qemu Version ID"), s("a"));
}

void TestHardwareEditing::operatingSystemPreset_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("row");
    const QStringList names = {s("Linux"), s("Windows XP"), s("Linux")};
    QTest::newRow("last equal row") << names << s("Linux") << 2;
    QTest::newRow("typed name kept") << names << s("Plan 9") << -1;
    QTest::newRow("case differs") << names << s("linux") << -1;
    QTest::newRow("empty table") << QStringList{} << s("Linux") << -1;
}

void TestHardwareEditing::operatingSystemPreset()
{
    QFETCH(QStringList, names);
    QFETCH(QString, stored);
    QFETCH(int, row);
    addOperatingSystems(*m_folder, names);
    start({{s("General"), s("Operating System"), stored}});
    const OperatingSystemPreset preset = PresetOperatingSystem(*m_window);
    QCOMPARE(preset.names, names);
    QCOMPARE(preset.row, row);
    QCOMPARE(preset.text, stored);
    SaveOperatingSystem(*m_window, s("BeOS"));
    QCOMPARE(read("General", "Operating System"), s("BeOS"));
}

void TestHardwareEditing::storeFolder()
{
    start();
    const std::optional<QString> folder = VMStoreFolder(*m_window);
    QVERIFY(folder);
    QCOMPARE(QDir(*folder).canonicalPath(), QDir(m_folder->file(s("VMs"))).canonicalPath());
    QVERIFY(!m_window->table(VMContext::Table::VLookup).isOpen());
    QVERIFY(WriteVMFileValue(m_vm, s("General"), s("VM Store ID"), s("deleted")));
    QVERIFY(!VMStoreFolder(*m_window));
    QVERIFY(WriteVMFileValue(m_vm, s("General"), s("VM Store ID"), QString()));
    QVERIFY(!VMStoreFolder(*m_window));
}

QTEST_MAIN(TestHardwareEditing)
#include "tst_hardwareediting.moc"
