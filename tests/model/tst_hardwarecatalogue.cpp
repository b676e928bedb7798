#include "model/HardwareCatalogue.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(ChoiceRow)

char* toString(const ChoiceRow& row)
{
    return QTest::toString(QString(u'"' + row.display + u"\" / \""_s + row.id + u'"'));
}

namespace {

ChoiceRow row(const QString& display, const QString& id)
{
    return {display, id};
}

// The list an editor fills for one kind of choice, given what it knows of the VM.
ChoiceList listOf(const QString& kind, const QString& arc, int bitness,
                  const QString& machineId = {}, bool lance = false)
{
    if (kind == u"machine"_s)
        return ListMachinesAndCpus(arc, bitness).machines;
    if (kind == u"cpu"_s)
        return ListMachinesAndCpus(arc, bitness).cpus;
    if (kind == u"sound"_s)
        return ListSoundCards(arc).value_or(ChoiceList{});
    if (kind == u"video"_s)
        return ListVideoCards(arc).value_or(ChoiceList{});
    if (kind == u"net"_s)
        return ListNetworkCardModels(arc, machineId, lance).value_or(ChoiceList{});
    qFatal("unknown list kind");
}

const QStringList AllArcs = {u"x86"_s,    u"ppc"_s,   u"ppcemb"_s, u"arm"_s, u"mips"_s,
                             u"mipsel"_s, u"sparc"_s, u"cf"_s,     u"cris"_s};

bool makeFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("#!/bin/sh\n") > 0;
}

} // namespace

class TestHardwareCatalogue final : public QObject
{
    Q_OBJECT

private slots:
    void machinesAndCpus_data();
    void machinesAndCpus();
    void noMachinesOrCpus_data();
    void noMachinesOrCpus();
    void storedBitnessToListsAndExe_data();
    void storedBitnessToListsAndExe();
    void storedChoice_data();
    void storedChoice();
    void everyRowRestoresItself();
    void powerPcLists();
    void mipsLists();
    void armIgnoresBitness_data();
    void armIgnoresBitness();
    void bitnessChoices_data();
    void bitnessChoices();
    void bitnessIndex_data();
    void bitnessIndex();
    void deviceLists_data();
    void deviceLists();
    void qemuExeName_data();
    void qemuExeName();
    void keyboardLayouts();
    void guestPlatforms();
    void findDisplayText_data();
    void findDisplayText();
    void resolveExecutable_data();
    void resolveExecutable();
    void resolveExecutableFolderForms();
    void resolveExecutableInUsrBin_data();
    void resolveExecutableInUsrBin();
};

void TestHardwareCatalogue::machinesAndCpus_data()
{
    QTest::addColumn<QString>("arc");
    QTest::addColumn<int>("bitness");
    QTest::addColumn<int>("machineCount");
    QTest::addColumn<ChoiceRow>("firstMachine");
    QTest::addColumn<ChoiceRow>("lastMachine");
    QTest::addColumn<int>("cpuCount");
    QTest::addColumn<ChoiceRow>("firstCpu");
    QTest::addColumn<ChoiceRow>("lastCpu");

    const ChoiceRow isa = row(u"Standard ISA Based PC"_s, u"isapc"_s);
    const ChoiceRow qemuDefault = row(u"Qemu Default"_s, u"Default"_s);
    const ChoiceRow heathrow = row(u"Heathrow based PowerMAC (default)"_s, u"g3beige"_s);
    const ChoiceRow mpc8544ds = row(u"mpc8544ds"_s, u"mpc8544ds"_s);
    const ChoiceRow ppcLast = row(u"PowerPC ppc"_s, u"00040103"_s);
    const ChoiceRow malta = row(u"MIPS Malta Core LV (default)"_s, u"malta"_s);
    const ChoiceRow r4k = row(u"mips r4k platform"_s, u"mips"_s);
    const ChoiceRow mips34Kf = row(u"MIPS 34Kf"_s, u"34Kf"_s);
    const ChoiceRow mipsGeneric = row(u"MIPS64R2-generic"_s, u"MIPS64R2-generic"_s);
    const ChoiceRow defaultCpu = row(u"Default"_s, u"default"_s);

    // Today's board and processors come last, so stored positions keep their rows.
    const ChoiceRow q35 = row(u"Standard PC (Q35 + ICH9, 2009)"_s, u"q35"_s);
    const ChoiceRow maxCpu = row(u"All emulated features"_s, u"max"_s);
    QTest::newRow("x86 32 Bit") << u"x86"_s << 0 << 3
                                << row(u"Standard ACPI PCI Based PC"_s, u"pc"_s) << q35 << 10
                                << row(u"Qemu 32 Bit"_s, u"qemu32"_s) << maxCpu;
    QTest::newRow("x86 64 Bit") << u"x86"_s << 1 << 3 << row(u"Standard PCI Based PC"_s, u"pc"_s)
                                << q35 << 12 << row(u"Qemu 64 Bit"_s, u"qemu64"_s) << maxCpu;
    QTest::newRow("arm") << u"arm"_s << 0 << 20
                         << row(u"ARM Integrator/CP (ARM926EJ-S) (default)"_s, u"integratorcp"_s)
                         << row(u"Tosa PDA (PXA255)"_s, u"tosa"_s) << 23 << qemuDefault
                         << row(u"pxa270-c5"_s, u"pxa270-c5"_s);
    QTest::newRow("ppc 32 Bit") << u"ppc"_s << 0 << 7 << heathrow << mpc8544ds << 390 << qemuDefault
                                << ppcLast;
    QTest::newRow("ppc 64 Bit") << u"ppc"_s << 1 << 7 << heathrow << mpc8544ds << 404 << qemuDefault
                                << ppcLast;
    QTest::newRow("ppcemb 32 Bit")
        << u"ppcemb"_s << 0 << 7 << heathrow << mpc8544ds << 390 << qemuDefault << ppcLast;
    QTest::newRow("mips 32 Bit") << u"mips"_s << 0 << 5 << malta << r4k << 9
                                 << row(u"MIPS 4KEc"_s, u"4KEc"_s) << mips34Kf;
    QTest::newRow("mips 64 Bit") << u"mips"_s << 1 << 5 << malta << r4k << 16 << qemuDefault
                                 << mipsGeneric;
    QTest::newRow("mipsel 32 Bit")
        << u"mipsel"_s << 0 << 5 << malta << r4k << 10 << qemuDefault << mips34Kf;
    QTest::newRow("mipsel 64 Bit")
        << u"mipsel"_s << 1 << 5 << malta << r4k << 16 << qemuDefault << mipsGeneric;
    QTest::newRow("sparc 32 Bit") << u"sparc"_s << 0 << 12
                                  << row(u"Sun4m platform, SPARCstation 5 (default)"_s, u"SS-5"_s)
                                  << row(u"Sun4d platform, SPARCcenter 2000"_s, u"SS-2000"_s) << 22
                                  << qemuDefault << row(u"Sparc LEON3"_s, u"LEON3"_s);
    QTest::newRow("sparc 64 Bit") << u"sparc"_s << 1 << 3
                                  << row(u"Sun4u platform (default)"_s, u"sun4u"_s)
                                  << row(u"Sun4v platform, Niagara"_s, u"Niagara"_s) << 18
                                  << qemuDefault
                                  << row(u"Sparc NEC UltraSparc I"_s, u"NEC UltraSparc I"_s);
    QTest::newRow("cf") << u"cf"_s << 0 << 3 << row(u"MCF5206EVB (default)"_s, u"mcf5208evb"_s)
                        << row(u"Dummy board"_s, u"dummy"_s) << 1 << defaultCpu << defaultCpu;
    QTest::newRow("cris") << u"cris"_s << 0 << 2
                          << row(u"Bare ETRAX FS board (default)"_s, u"bareetraxfs"_s)
                          << row(u"AXIS devboard 88"_s, u"axis-dev88"_s) << 1 << defaultCpu
                          << defaultCpu;
}

void TestHardwareCatalogue::machinesAndCpus()
{
    QFETCH(QString, arc);
    QFETCH(int, bitness);
    QFETCH(int, machineCount);
    QFETCH(ChoiceRow, firstMachine);
    QFETCH(ChoiceRow, lastMachine);
    QFETCH(int, cpuCount);
    QFETCH(ChoiceRow, firstCpu);
    QFETCH(ChoiceRow, lastCpu);

    const MachinesAndCpus lists = ListMachinesAndCpus(arc, bitness);
    QCOMPARE(lists.machines.size(), machineCount);
    QCOMPARE(lists.machines.first(), firstMachine);
    QCOMPARE(lists.machines.last(), lastMachine);
    QCOMPARE(lists.cpus.size(), cpuCount);
    QCOMPARE(lists.cpus.first(), firstCpu);
    QCOMPARE(lists.cpus.last(), lastCpu);
}

void TestHardwareCatalogue::noMachinesOrCpus_data()
{
    QTest::addColumn<QString>("arc");
    QTest::addColumn<int>("bitness");

    QTest::newRow("x86 without bitness") << u"x86"_s << -1;
    QTest::newRow("x86 index 2") << u"x86"_s << 2;
    QTest::newRow("ppc without bitness") << u"ppc"_s << -1;
    QTest::newRow("sparc without bitness") << u"sparc"_s << -1;
    QTest::newRow("mipsel without bitness") << u"mipsel"_s << -1;
    QTest::newRow("ppcemb 64 Bit") << u"ppcemb"_s << 1;
    QTest::newRow("cf 64 Bit") << u"cf"_s << 1;
    QTest::newRow("cris 64 Bit") << u"cris"_s << 1;
    QTest::newRow("code in other case") << u"X86"_s << 0;
    QTest::newRow("arm in other case") << u"ARM"_s << 0;
    QTest::newRow("unknown code") << u"m68k"_s << 0;
    QTest::newRow("empty code") << QString() << 0;
}

void TestHardwareCatalogue::noMachinesOrCpus()
{
    QFETCH(QString, arc);
    QFETCH(int, bitness);

    const MachinesAndCpus lists = ListMachinesAndCpus(arc, bitness);
    QVERIFY(lists.machines.isEmpty());
    QVERIFY(lists.cpus.isEmpty());
}

// The road from a stored "CPUArc" to what the editor offers and what the launcher starts.
void TestHardwareCatalogue::storedBitnessToListsAndExe_data()
{
    QTest::addColumn<QString>("arc");
    QTest::addColumn<QString>("cpuArc");
    QTest::addColumn<int>("machineCount");
    QTest::addColumn<int>("cpuCount");
    QTest::addColumn<QString>("exe");

    QTest::newRow("x86, empty CPUArc") << u"x86"_s << QString() << 0 << 0 << QString();
    QTest::newRow("x86, 64 Bit") << u"x86"_s << u"64 Bit"_s << 3 << 12
                                 << u"qemu-system-x86_64.exe"_s;
    QTest::newRow("x86, lower-case bit") << u"x86"_s << u"32 bit"_s << 0 << 0 << QString();
    QTest::newRow("arm, empty CPUArc") << u"arm"_s << QString() << 20 << 23 << QString();
    QTest::newRow("arm, 64 Bit") << u"arm"_s << u"64 Bit"_s << 20 << 23 << u"qemu-system-arm.exe"_s;
    QTest::newRow("cf, 32 Bit") << u"cf"_s << u"32 Bit"_s << 3 << 1 << u"qemu-system-m68k.exe"_s;
    QTest::newRow("cf, 64 Bit not offered") << u"cf"_s << u"64 Bit"_s << 0 << 0 << QString();
    QTest::newRow("ppcemb, 64 Bit not offered")
        << u"ppcemb"_s << u"64 Bit"_s << 0 << 0 << QString();
    QTest::newRow("sparc, 64 Bit in the editor")
        << u"sparc"_s << u"64 Bit"_s << 3 << 18 << u"qemu-system-sparc64.exe"_s;
}

void TestHardwareCatalogue::storedBitnessToListsAndExe()
{
    QFETCH(QString, arc);
    QFETCH(QString, cpuArc);
    QFETCH(int, machineCount);
    QFETCH(int, cpuCount);
    QFETCH(QString, exe);

    const int index = BitnessIndex(cpuArc, arc, false);
    const MachinesAndCpus lists = ListMachinesAndCpus(arc, index);
    QCOMPARE(lists.machines.size(), machineCount);
    QCOMPARE(lists.cpus.size(), cpuCount);
    QCOMPARE(QemuExeName(index, arc), exe);
}

// Restoring a stored display text selects a row, and the identifier stored with it is that row's.
void TestHardwareCatalogue::storedChoice_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("arc");
    QTest::addColumn<int>("bitness");
    QTest::addColumn<QString>("machineId");
    QTest::addColumn<bool>("lance");
    QTest::addColumn<QString>("display");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("id");

    const QString none;
    auto add = [](const char* name, const QString& kind, const QString& arc, int bitness,
                  const QString& display, int position, const QString& id) {
        QTest::newRow(name) << kind << arc << bitness << QString() << false << display << position
                            << id;
    };
    const QString cpu = u"cpu"_s;
    const QString machine = u"machine"_s;

    add("x86 64: Core Duo", cpu, u"x86"_s, 1, u"Core Duo"_s, 3, u"coreduo"_s);
    add("x86 64: n270", cpu, u"x86"_s, 1, u"n270"_s, 9, u"n270"_s);
    add("x86 32: n270", cpu, u"x86"_s, 0, u"n270"_s, 7, u"n270"_s);
    add("x86 32: no 64-bit CPU", cpu, u"x86"_s, 0, u"Qemu 64 Bit"_s, -1, none);
    add("x86: no Default row", cpu, u"x86"_s, 0, u"Qemu Default"_s, -1, none);
    add("x86: differs in case only", cpu, u"x86"_s, 0, u"pentium"_s, -1, none);
    add("x86: trailing blank", cpu, u"x86"_s, 0, u"Pentium "_s, -1, none);
    add("x86: identifier is not a display text", cpu, u"x86"_s, 0, u"pentium2"_s, -1, none);
    add("x86 64: PCI machine", machine, u"x86"_s, 1, u"Standard PCI Based PC"_s, 0, u"pc"_s);
    add("x86 32: 64-bit machine name", machine, u"x86"_s, 0, u"Standard PCI Based PC"_s, -1, none);

    add("ppc 64: Qemu Default", cpu, u"ppc"_s, 1, u"Qemu Default"_s, 0, u"Default"_s);
    add("ppc 64: PowerPC Default", cpu, u"ppc"_s, 1, u"PowerPC Default"_s, 1, u"00040103"_s);
    add("ppc 64: 970fx", cpu, u"ppc"_s, 1, u"PowerPC 970fx"_s, 391, u"003c0301"_s);
    add("ppc 64: first inserted row", cpu, u"ppc"_s, 1, u"PowerPC 620"_s, 388, u"00140000"_s);
    add("ppc 64: ppc64", cpu, u"ppc"_s, 1, u"PowerPC ppc64"_s, 401, u"003c0301"_s);
    add("ppc 64: ppc32 after the inserted rows", cpu, u"ppc"_s, 1, u"PowerPC ppc32"_s, 402,
        u"00040103"_s);
    add("ppc 32: no 970fx", cpu, u"ppc"_s, 0, u"PowerPC 970fx"_s, -1, none);
    add("ppc 32: ppc32", cpu, u"ppc"_s, 0, u"PowerPC ppc32"_s, 388, u"00040103"_s);
    add("ppc 32: 405CRb", cpu, u"ppc"_s, 0, u"PowerPC 405CRb"_s, 22, u"401100c5"_s);
    add("ppc 32: G2leLS", cpu, u"ppc"_s, 0, u"PowerPC G2leLS"_s, 57, u"a0822010"_s);
    add("ppc 32: e500v2_v22", cpu, u"ppc"_s, 0, u"PowerPC e500v2_v22"_s, 129, u"80210022"_s);
    add("ppc 32: 603e_v1.1", cpu, u"ppc"_s, 0, u"PowerPC 603e_v1.1"_s, 211, u"00060101"_s);
    add("ppc 32: Conan/Doyle", cpu, u"ppc"_s, 0, u"PowerPC Conan/Doyle"_s, 257, u"10080000"_s);
    add("ppc 32: 750cxe_v2.4b", cpu, u"ppc"_s, 0, u"PowerPC 750cxe_v2.4b"_s, 271, u"00083214"_s);
    add("ppc 32: 7441_v2.10", cpu, u"ppc"_s, 0, u"PowerPC 7441_v2.10"_s, 356, u"80000210"_s);
    add("ppcemb: 7457A_v1.2", cpu, u"ppcemb"_s, 0, u"PowerPC 7457A_v1.2"_s, 387, u"80030102"_s);
    add("ppc: machine bamboo", machine, u"ppc"_s, 0, u"bamboo"_s, 5, u"bamboo"_s);
    add("ppc: machine taihu", machine, u"ppc"_s, 1, u"taihu"_s, 4, u"taihu"_s);
    add("ppcemb: machine PREP", machine, u"ppcemb"_s, 0, u"PowerPC PREP platform"_s, 2, u"prep"_s);

    add("mipsel 32: MIPS RKEmR1", cpu, u"mipsel"_s, 0, u"MIPS RKEmR1"_s, 5, u"4KEmR1"_s);
    add("mipsel 32: no MIPS 4KEmR1", cpu, u"mipsel"_s, 0, u"MIPS 4KEmR1"_s, -1, none);
    add("mips 32: row 0", cpu, u"mips"_s, 0, u"MIPS 4KEc"_s, 0, u"4KEc"_s);
    add("mips 32: no Qemu Default", cpu, u"mips"_s, 0, u"Qemu Default"_s, -1, none);
    add("mips 32: MIPS RKEmR1", cpu, u"mips"_s, 0, u"MIPS RKEmR1"_s, 4, u"4KEmR1"_s);
    add("mips 64: MIPS 4KEmR1", cpu, u"mips"_s, 1, u"MIPS 4KEmR1"_s, 5, u"4KEmR1"_s);
    add("mipsel 64: no MIPS RKEmR1", cpu, u"mipsel"_s, 1, u"MIPS RKEmR1"_s, -1, none);

    add("sparc 64: doubled row gives the first", cpu, u"sparc"_s, 1, u"Sparc Sun UltraSparc III"_s,
        9, u"Sun UltraSparc III"_s);
    add("sparc 64: row after the doubled one", cpu, u"sparc"_s, 1, u"Sparc Sun UltraSparc IIIi"_s,
        11, u"Sun UltraSparc IIIi"_s);
    add("sparc 32: LEON2", cpu, u"sparc"_s, 0, u"Sparc LEON2"_s, 20, u"LEON2"_s);
    add("sparc 32: machine SPARCbook", machine, u"sparc"_s, 0, u"Sun4m platform, SPARCbook"_s, 9,
        u"SPARCbook"_s);

    add("cf: machine MCF5206EVB", machine, u"cf"_s, 0, u"MCF5206EVB (default)"_s, 0,
        u"mcf5208evb"_s);
    add("cf: cpu Default", cpu, u"cf"_s, 0, u"Default"_s, 0, u"default"_s);
    add("cris: machine AXIS", machine, u"cris"_s, 0, u"AXIS devboard 88"_s, 1, u"axis-dev88"_s);

    add("arm: Palm Tungsten with bar", machine, u"arm"_s, 0,
        u"Palm Tungsten|E aka. Cheetah PDA (OMAP310)"_s, 10, u"cheetah"_s);
    add("arm: MusicPal with slash", machine, u"arm"_s, 0,
        u"Marvell 88w8618 / MusicPal (ARM926EJ-S)"_s, 18, u"musicpal"_s);
    add("arm: Siemens SX1 V2", machine, u"arm"_s, 0, u"Siemens SX1 (OMAP310) V2"_s, 9, u"sx1"_s);
    add("arm without bitness: cortex-a8", cpu, u"arm"_s, -1, u"cortex-a8"_s, 9, u"cortex-a8"_s);

    add("x86 sound: PC Speaker", u"sound"_s, u"x86"_s, 0, u"PC Speaker"_s, 3, u"pcspk"_s);
    add("x86 sound: Use ALL", u"sound"_s, u"x86"_s, 0, u"Use ALL"_s, 5, u"all"_s);
    add("x86 sound: mips spelling", u"sound"_s, u"x86"_s, 0, u"PC speaker"_s, -1, none);
    add("mips sound: PC speaker", u"sound"_s, u"mips"_s, 0, u"PC speaker"_s, 1, u"pcspk"_s);
    add("ppc sound: AC97", u"sound"_s, u"ppc"_s, 0, u"Intel 82801AA AC97 Audio"_s, 0, u"ac97"_s);
    add("x86 video: std", u"video"_s, u"x86"_s, 0, u"Standard VGA Card"_s, 1, u"std"_s);
    add("sparc video: std", u"video"_s, u"sparc"_s, 0, u"Standard VGA Card"_s, 0, u"std"_s);

    QTest::newRow("x86 isapc net: NE2000 ISA") << u"net"_s << u"x86"_s << 0 << u"isapc"_s << false
                                               << u"NE2000 ISA"_s << 0 << u"ne2k_isa"_s;
    QTest::newRow("x86 pc net: no NE2000 ISA")
        << u"net"_s << u"x86"_s << 0 << u"pc"_s << false << u"NE2000 ISA"_s << -1 << none;
    QTest::newRow("x86 pc net: E1000")
        << u"net"_s << u"x86"_s << 0 << u"pc"_s << false << u"Intel E1000"_s << 5 << u"e1000"_s;
    QTest::newRow("sparc lance net")
        << u"net"_s << u"sparc"_s << 0 << QString() << true << u"Lance"_s << 0 << u"lance"_s;
    QTest::newRow("sparc 64 net: no Lance")
        << u"net"_s << u"sparc"_s << 1 << QString() << false << u"Lance"_s << -1 << none;
    QTest::newRow("mips net: Virtio")
        << u"net"_s << u"mips"_s << 0 << QString() << false << u"Virtio"_s << 7 << u"virtio"_s;
}

void TestHardwareCatalogue::storedChoice()
{
    QFETCH(QString, kind);
    QFETCH(QString, arc);
    QFETCH(int, bitness);
    QFETCH(QString, machineId);
    QFETCH(bool, lance);
    QFETCH(QString, display);
    QFETCH(int, position);
    QFETCH(QString, id);

    const ChoiceList list = listOf(kind, arc, bitness, machineId, lance);
    QVERIFY(!list.isEmpty());
    const int found = FindDisplayText(list, display);
    QCOMPARE(found, position);
    QCOMPARE(found < 0 ? QString() : list.at(found).id, id);
}

// A choice is restored by its display text, so every row must lead back to itself; the one
// doubled SPARC row is the only exception.
void TestHardwareCatalogue::everyRowRestoresItself()
{
    QStringList failures;
    auto check = [&](const QString& what, const ChoiceList& list) {
        for (int i = 0; i < list.size(); ++i) {
            const int found = FindDisplayText(list, list.at(i).display);
            if (found == i)
                continue;
            if (what == u"sparc 1 cpu"_s && i == 10 && found == 9)
                continue;
            failures.append(what + u" row "_s + QString::number(i) + u": "_s + list.at(i).display);
        }
    };
    int listsChecked = 0;
    for (const QString& arc : AllArcs) {
        for (int bitness : {0, 1}) {
            const QString what = arc + u' ' + QString::number(bitness);
            const MachinesAndCpus lists = ListMachinesAndCpus(arc, bitness);
            check(what + u" machine"_s, lists.machines);
            check(what + u" cpu"_s, lists.cpus);
            listsChecked += lists.machines.isEmpty() ? 0 : 1;
        }
        check(arc + u" sound"_s, ListSoundCards(arc).value_or(ChoiceList{}));
        check(arc + u" video"_s, ListVideoCards(arc).value_or(ChoiceList{}));
        for (const QString& machine : {u"pc"_s, u"isapc"_s})
            for (bool lance : {false, true})
                check(arc + u" net"_s, *ListNetworkCardModels(arc, machine, lance));
    }
    QCOMPARE(listsChecked, 15);
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join(u"; "_s)));
}

void TestHardwareCatalogue::powerPcLists()
{
    const ChoiceList ppc32 = ListMachinesAndCpus(u"ppc"_s, 0).cpus;
    const ChoiceList ppc64 = ListMachinesAndCpus(u"ppc"_s, 1).cpus;
    QCOMPARE(ppc32.size(), 390);
    QCOMPARE(ppc64.size(), 404);
    QCOMPARE(ListMachinesAndCpus(u"ppcemb"_s, 0).cpus, ppc32);

    // The 64-bit list is the 32-bit one with fourteen rows between 7457A_v1.2 and ppc32.
    QCOMPARE(ppc64.first(388), ppc32.first(388));
    QCOMPARE(ppc64.at(387), row(u"PowerPC 7457A_v1.2"_s, u"80030102"_s));
    QCOMPARE(ppc64.at(388), row(u"PowerPC 620"_s, u"00140000"_s));
    QCOMPARE(ppc64.at(389), row(u"PowerPC Trident"_s, u"00140000"_s));
    QCOMPARE(ppc64.at(400), row(u"PowerPC 970mp_v1.1"_s, u"00440101"_s));
    QCOMPARE(ppc64.at(401), row(u"PowerPC ppc64"_s, u"003c0301"_s));
    QCOMPARE(ppc64.last(2), ppc32.last(2));
    QCOMPARE(ppc32.at(388), row(u"PowerPC ppc32"_s, u"00040103"_s));
    QCOMPARE(ppc32.at(2), row(u"PowerPC 401"_s, u"00270000"_s));

    // Below the default, every row is a model QEMU takes by its processor version register.
    static const QRegularExpression pvr(u"^[0-9a-f]{8}$"_s);
    for (const ChoiceList& list : {ppc32, ppc64}) {
        for (int i = 1; i < list.size(); ++i) {
            QVERIFY2(list.at(i).display.startsWith(u"PowerPC "_s), qPrintable(list.at(i).display));
            QVERIFY2(list.at(i).display.size() > 8, qPrintable(list.at(i).display));
            QVERIFY2(pvr.match(list.at(i).id).hasMatch(), qPrintable(list.at(i).display));
        }
    }
}

void TestHardwareCatalogue::mipsLists()
{
    const ChoiceList mips64 = ListMachinesAndCpus(u"mips"_s, 1).cpus;
    const ChoiceList mipsel64 = ListMachinesAndCpus(u"mipsel"_s, 1).cpus;
    const ChoiceList mipsel32 = ListMachinesAndCpus(u"mipsel"_s, 0).cpus;
    const ChoiceList mips32 = ListMachinesAndCpus(u"mips"_s, 0).cpus;

    QCOMPARE(mipsel64, mips64);
    ChoiceList expected = mips64.first(10);
    expected[5].display = u"MIPS RKEmR1"_s;
    QCOMPARE(mipsel32, expected);
    QCOMPARE(mips32, mipsel32.mid(1));
    QCOMPARE(ListMachinesAndCpus(u"mips"_s, 0).machines,
             ListMachinesAndCpus(u"mipsel"_s, 1).machines);
}

void TestHardwareCatalogue::armIgnoresBitness_data()
{
    QTest::addColumn<int>("bitness");
    QTest::newRow("no bitness") << -1;
    QTest::newRow("64 Bit") << 1;
    QTest::newRow("out of range") << 7;
}

void TestHardwareCatalogue::armIgnoresBitness()
{
    QFETCH(int, bitness);
    const MachinesAndCpus reference = ListMachinesAndCpus(u"arm"_s, 0);
    const MachinesAndCpus lists = ListMachinesAndCpus(u"arm"_s, bitness);
    QCOMPARE(lists.machines, reference.machines);
    QCOMPARE(lists.cpus, reference.cpus);
}

void TestHardwareCatalogue::bitnessChoices_data()
{
    QTest::addColumn<QString>("arc");
    QTest::addColumn<bool>("forWizard");
    QTest::addColumn<QStringList>("expected");

    const QStringList both = {u"32 Bit"_s, u"64 Bit"_s};
    const QStringList only32 = {u"32 Bit"_s};
    QTest::newRow("x86 editor") << u"x86"_s << false << both;
    QTest::newRow("x86 wizard") << u"x86"_s << true << both;
    QTest::newRow("ppc wizard") << u"ppc"_s << true << both;
    QTest::newRow("arm wizard") << u"arm"_s << true << both;
    QTest::newRow("mips wizard") << u"mips"_s << true << both;
    QTest::newRow("mipsel editor") << u"mipsel"_s << false << both;
    QTest::newRow("sparc editor") << u"sparc"_s << false << both;
    QTest::newRow("sparc wizard") << u"sparc"_s << true << only32;
    QTest::newRow("cf editor") << u"cf"_s << false << only32;
    QTest::newRow("cf wizard") << u"cf"_s << true << only32;
    QTest::newRow("ppcemb editor") << u"ppcemb"_s << false << only32;
    QTest::newRow("cris editor") << u"cris"_s << false << only32;
    QTest::newRow("cris wizard") << u"cris"_s << true << only32;
}

void TestHardwareCatalogue::bitnessChoices()
{
    QFETCH(QString, arc);
    QFETCH(bool, forWizard);
    QFETCH(QStringList, expected);
    QCOMPARE(BitnessChoices(arc, forWizard), expected);
}

void TestHardwareCatalogue::bitnessIndex_data()
{
    QTest::addColumn<QString>("cpuArc");
    QTest::addColumn<QString>("arc");
    QTest::addColumn<bool>("forWizard");
    QTest::addColumn<int>("expected");

    QTest::newRow("x86 32 Bit") << u"32 Bit"_s << u"x86"_s << false << 0;
    QTest::newRow("x86 64 Bit") << u"64 Bit"_s << u"x86"_s << false << 1;
    QTest::newRow("cf 32 Bit") << u"32 Bit"_s << u"cf"_s << false << 0;
    QTest::newRow("cf 64 Bit not offered") << u"64 Bit"_s << u"cf"_s << false << -1;
    QTest::newRow("ppcemb 64 Bit not offered") << u"64 Bit"_s << u"ppcemb"_s << false << -1;
    QTest::newRow("cris 64 Bit not offered") << u"64 Bit"_s << u"cris"_s << true << -1;
    QTest::newRow("sparc 64 Bit, editor") << u"64 Bit"_s << u"sparc"_s << false << 1;
    QTest::newRow("sparc 64 Bit, wizard") << u"64 Bit"_s << u"sparc"_s << true << -1;
    QTest::newRow("empty") << QString() << u"x86"_s << false << -1;
    QTest::newRow("lower-case bit") << u"64 bit"_s << u"x86"_s << false << -1;
    QTest::newRow("trailing blank") << u"32 Bit "_s << u"x86"_s << false << -1;
    QTest::newRow("number only") << u"64"_s << u"x86"_s << false << -1;
}

void TestHardwareCatalogue::bitnessIndex()
{
    QFETCH(QString, cpuArc);
    QFETCH(QString, arc);
    QFETCH(bool, forWizard);
    QFETCH(int, expected);
    QCOMPARE(BitnessIndex(cpuArc, arc, forWizard), expected);
}

void TestHardwareCatalogue::deviceLists_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("arc");
    QTest::addColumn<QString>("machineId");
    QTest::addColumn<bool>("lance");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<int>("count");
    QTest::addColumn<ChoiceRow>("first");
    QTest::addColumn<ChoiceRow>("last");

    const ChoiceRow useAll = row(u"Use ALL"_s, u"all"_s);
    const ChoiceRow ac97 = row(u"Intel 82801AA AC97 Audio"_s, u"ac97"_s);
    const ChoiceRow noCard = row(u"None"_s, u"none"_s);
    const ChoiceRow stdVga = row(u"Standard VGA Card"_s, u"std"_s);
    const ChoiceRow virtio = row(u"Virtio"_s, u"virtio"_s);
    const ChoiceRow ne2kPci = row(u"NE2000 PCI"_s, u"ne2k_pci"_s);
    const ChoiceRow rtl = row(u"Realtek 8139"_s, u"rtl8139"_s);
    const ChoiceRow lanceCard = row(u"Lance"_s, u"lance"_s);
    const ChoiceRow isa = row(u"NE2000 ISA"_s, u"ne2k_isa"_s);
    const ChoiceRow empty;
    const QString s = u"sound"_s;
    const QString v = u"video"_s;
    const QString n = u"net"_s;
    const QString pc = u"pc"_s;

    QTest::newRow("sound x86") << s << u"x86"_s << pc << false << true << 7
                               << row(u"ENSONIQ AudioPCI ES1370"_s, u"es1370"_s)
                               << row(u"Intel HD Audio"_s, u"hda"_s);
    QTest::newRow("sound arm") << s << u"arm"_s << pc << false << true << 1 << useAll << useAll;
    QTest::newRow("sound ppc") << s << u"ppc"_s << pc << false << true << 4 << ac97 << useAll;
    QTest::newRow("sound ppcemb") << s << u"ppcemb"_s << pc << false << true << 4 << ac97 << useAll;
    QTest::newRow("sound mips") << s << u"mips"_s << pc << false << true << 5 << ac97 << useAll;
    QTest::newRow("sound mipsel") << s << u"mipsel"_s << pc << false << true << 5 << ac97 << useAll;
    QTest::newRow("sound sparc: none")
        << s << u"sparc"_s << pc << false << false << 0 << empty << empty;
    QTest::newRow("sound cf: none") << s << u"cf"_s << pc << false << false << 0 << empty << empty;
    QTest::newRow("sound cris: none")
        << s << u"cris"_s << pc << false << false << 0 << empty << empty;
    QTest::newRow("sound unknown: none")
        << s << u"alpha"_s << pc << false << false << 0 << empty << empty;

    QTest::newRow("video x86") << v << u"x86"_s << pc << false << true << 5
                               << row(u"Cirrus Logic GD5446"_s, u"cirrus"_s)
                               << row(u"VirtIO VGA"_s, u"virtio"_s);
    for (const QString& arc : AllArcs) {
        if (arc == u"x86"_s)
            continue;
        QTest::addRow("video %s", qPrintable(arc))
            << v << arc << pc << false << true << 4 << stdVga << noCard;
    }
    QTest::newRow("video unknown: none")
        << v << u"X86"_s << pc << false << false << 0 << empty << empty;

    const ChoiceRow virtioNet = row(u"VirtIO Network"_s, u"virtio-net-pci"_s);
    QTest::newRow("net x86 pc") << n << u"x86"_s << pc << false << true << 10 << rtl << virtioNet;
    QTest::newRow("net x86 isapc")
        << n << u"x86"_s << u"isapc"_s << false << true << 1 << isa << isa;
    QTest::newRow("net x86 isapc, lance ignored")
        << n << u"x86"_s << u"isapc"_s << true << true << 1 << isa << isa;
    QTest::newRow("net x86 no machine")
        << n << u"x86"_s << QString() << false << true << 10 << rtl << virtioNet;
    QTest::newRow("net x86 ISAPC in other case")
        << n << u"x86"_s << u"ISAPC"_s << false << true << 10 << rtl << virtioNet;
    QTest::newRow("net mips") << n << u"mips"_s << pc << false << true << 8
                              << row(u"PCNet Lan Card"_s, u"pcnet"_s) << virtio;
    QTest::newRow("net mipsel, isapc ignored")
        << n << u"mipsel"_s << u"isapc"_s << false << true << 8
        << row(u"PCNet Lan Card"_s, u"pcnet"_s) << virtio;
    for (const QString& arc : {u"ppc"_s, u"ppcemb"_s, u"sparc"_s}) {
        QTest::addRow("net %s lance", qPrintable(arc))
            << n << arc << pc << true << true << 1 << lanceCard << lanceCard;
        QTest::addRow("net %s no lance", qPrintable(arc))
            << n << arc << pc << false << true << 8 << ne2kPci << virtio;
    }
    QTest::newRow("net arm") << n << u"arm"_s << pc << false << true << 1
                             << row(u"SMC 91C111"_s, u"smc91c111"_s)
                             << row(u"SMC 91C111"_s, u"smc91c111"_s);
    QTest::newRow("net arm, lance ignored")
        << n << u"arm"_s << pc << true << true << 1 << row(u"SMC 91C111"_s, u"smc91c111"_s)
        << row(u"SMC 91C111"_s, u"smc91c111"_s);
    QTest::newRow("net cf") << n << u"cf"_s << pc << false << true << 1
                            << row(u"MCF_FEC"_s, u"mcf_fec"_s) << row(u"MCF_FEC"_s, u"mcf_fec"_s);
    QTest::newRow("net cris") << n << u"cris"_s << pc << false << true << 1
                              << row(u"FSETH"_s, u"fseth"_s) << row(u"FSETH"_s, u"fseth"_s);
    QTest::newRow("net unknown: none")
        << n << QString() << pc << false << false << 0 << empty << empty;
}

void TestHardwareCatalogue::deviceLists()
{
    QFETCH(QString, kind);
    QFETCH(QString, arc);
    QFETCH(QString, machineId);
    QFETCH(bool, lance);
    QFETCH(bool, exists);
    QFETCH(int, count);
    QFETCH(ChoiceRow, first);
    QFETCH(ChoiceRow, last);

    std::optional<ChoiceList> list;
    if (kind == u"sound"_s)
        list = ListSoundCards(arc);
    else if (kind == u"video"_s)
        list = ListVideoCards(arc);
    else
        list = ListNetworkCardModels(arc, machineId, lance);
    QCOMPARE(list.has_value(), exists);
    if (!exists)
        return;
    QCOMPARE(list->size(), count);
    QCOMPARE(list->first(), first);
    QCOMPARE(list->last(), last);
}

void TestHardwareCatalogue::qemuExeName_data()
{
    QTest::addColumn<QString>("arc");
    QTest::addColumn<int>("bitness");
    QTest::addColumn<QString>("expected");

    const struct
    {
        const char* arc;
        const char* bits32;
        const char* bits64;
    } table[] = {
        {"x86", "qemu.exe", "qemu-system-x86_64.exe"},
        {"arm", "qemu-system-arm.exe", "qemu-system-arm.exe"},
        {"ppc", "qemu-system-ppc.exe", "qemu-system-ppc64.exe"},
        {"ppcemb", "qemu-system-ppcemb.exe", ""},
        {"mips", "qemu-system-mips.exe", "qemu-system-mips64.exe"},
        {"mipsel", "qemu-system-mipsel.exe", "qemu-system-mips64el.exe"},
        {"sparc", "qemu-system-sparc.exe", "qemu-system-sparc64.exe"},
        {"cf", "qemu-system-m68k.exe", ""},
        {"cris", "qemu-system-cris.exe", ""},
    };
    for (const auto& entry : table) {
        const QString arc = QString::fromLatin1(entry.arc);
        QTest::addRow("%s 32 Bit", entry.arc) << arc << 0 << QString::fromLatin1(entry.bits32);
        QTest::addRow("%s 64 Bit", entry.arc) << arc << 1 << QString::fromLatin1(entry.bits64);
        QTest::addRow("%s no bitness", entry.arc) << arc << -1 << QString();
    }
    QTest::newRow("x86 index 2") << u"x86"_s << 2 << QString();
    QTest::newRow("code in other case") << u"X86"_s << 0 << QString();
    QTest::newRow("unknown code") << u"alpha"_s << 0 << QString();
    QTest::newRow("empty code") << QString() << 1 << QString();
}

void TestHardwareCatalogue::qemuExeName()
{
    QFETCH(QString, arc);
    QFETCH(int, bitness);
    QFETCH(QString, expected);
    QCOMPARE(QemuExeName(bitness, arc), expected);
}

void TestHardwareCatalogue::keyboardLayouts()
{
    const QStringList layouts = KeyboardLayouts();
    QCOMPARE(layouts.size(), 33);
    QCOMPARE(layouts.first(), u"ar"_s);
    QCOMPARE(layouts.last(), u"tr"_s);
    // Stored positions ("KeyboardIndex") index this list, so order and the odd blank matter.
    QCOMPARE(layouts.at(3), u"de-ch "_s);
    QCOMPARE(layouts.indexOf(u"de-ch"_s), -1);
    QCOMPARE(layouts.indexOf(u"en-us"_s), 5);
    QCOMPARE(layouts.indexOf(u"pt-br"_s), 27);
    QVERIFY(std::is_sorted(layouts.cbegin(), layouts.cend()));
    QCOMPARE(QSet<QString>(layouts.cbegin(), layouts.cend()).size(), layouts.size());
}

void TestHardwareCatalogue::guestPlatforms()
{
    const QList<Platform> platforms = GuestPlatforms();
    const QList<std::pair<QString, QString>> expected = {
        {u"Standard x86/x64 PC"_s, u"x86"_s}, {u"PowerPC Emulation"_s, u"ppc"_s},
        {u"ARM Emulation"_s, u"arm"_s},       {u"Mips Emulation"_s, u"mips"_s},
        {u"Mipsel Emulation"_s, u"mipsel"_s}, {u"Sparc Emulation"_s, u"sparc"_s},
        {u"Coldfire Emulation"_s, u"cf"_s},   {u"Cris Emulation"_s, u"cris"_s},
    };
    QCOMPARE(platforms.size(), expected.size());
    for (qsizetype i = 0; i < platforms.size(); ++i) {
        QCOMPARE(platforms.at(i).name, expected.at(i).first);
        QCOMPARE(platforms.at(i).arc, expected.at(i).second);
    }

    // A new VM of any platform starts at the wizard's first bitness and row 0 of every list, so
    // each must exist there.
    for (const Platform& platform : platforms) {
        const QByteArray what = platform.arc.toUtf8();
        const int bitness =
            BitnessIndex(BitnessChoices(platform.arc, true).first(), platform.arc, true);
        QCOMPARE(bitness, 0);
        const MachinesAndCpus lists = ListMachinesAndCpus(platform.arc, bitness);
        QVERIFY2(!lists.machines.isEmpty() && !lists.cpus.isEmpty(), what.constData());
        QVERIFY2(!QemuExeName(bitness, platform.arc).isEmpty(), what.constData());
        QVERIFY2(ListVideoCards(platform.arc).has_value(), what.constData());
        QVERIFY2(ListNetworkCardModels(platform.arc, lists.machines.first().id, false).has_value(),
                 what.constData());
    }
}

void TestHardwareCatalogue::findDisplayText_data()
{
    QTest::addColumn<ChoiceList>("list");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("expected");

    const ChoiceList list = {row(u"Alpha"_s, u"a"_s), row(u"Beta"_s, u"b"_s),
                             row(u"Beta"_s, u"b2"_s), row(u"Gamma"_s, u"g"_s)};
    QTest::newRow("first row") << list << u"Alpha"_s << 0;
    QTest::newRow("last row") << list << u"Gamma"_s << 3;
    QTest::newRow("doubled row gives the first") << list << u"Beta"_s << 1;
    QTest::newRow("differs in case") << list << u"gamma"_s << -1;
    QTest::newRow("trailing blank") << list << u"Gamma "_s << -1;
    QTest::newRow("leading blank") << list << u" Gamma"_s << -1;
    QTest::newRow("identifier is not looked up") << list << u"g"_s << -1;
    QTest::newRow("empty text") << list << QString() << -1;
    QTest::newRow("empty list") << ChoiceList{} << u"Alpha"_s << -1;
}

void TestHardwareCatalogue::findDisplayText()
{
    QFETCH(ChoiceList, list);
    QFETCH(QString, text);
    QFETCH(int, expected);
    QCOMPARE(FindDisplayText(list, text), expected);
}

void TestHardwareCatalogue::resolveExecutable_data()
{
    QTest::addColumn<QStringList>("present");
    QTest::addColumn<QString>("exeName");
    QTest::addColumn<QString>("expected");

    QTest::newRow("name as it is") << QStringList{u"qemu-system-arm.exe"_s, u"qemu-system-arm"_s}
                                   << u"qemu-system-arm.exe"_s << u"qemu-system-arm.exe"_s;
    QTest::newRow("without .exe") << QStringList{u"qemu-system-arm"_s} << u"qemu-system-arm.exe"_s
                                  << u"qemu-system-arm"_s;
    QTest::newRow("mips64el without .exe")
        << QStringList{u"qemu-system-mips64el"_s, u"qemu-system-mips64"_s}
        << u"qemu-system-mips64el.exe"_s << u"qemu-system-mips64el"_s;
    QTest::newRow("qemu.exe itself first")
        << QStringList{u"qemu.exe"_s, u"qemu-system-i386"_s} << u"qemu.exe"_s << u"qemu.exe"_s;
    QTest::newRow("qemu before qemu-system-i386")
        << QStringList{u"qemu"_s, u"qemu-system-i386"_s} << u"qemu.exe"_s << u"qemu"_s;
    QTest::newRow("qemu.exe as qemu-system-i386")
        << QStringList{u"qemu-system-i386"_s, u"qemu-system-x86_64"_s} << u"qemu.exe"_s
        << u"qemu-system-i386"_s;
    QTest::newRow("64-bit PC emulator does not stand in for qemu.exe")
        << QStringList{u"qemu-system-x86_64"_s} << u"qemu.exe"_s << u"qemu.exe"_s;
    QTest::newRow("i386 only stands in for qemu.exe")
        << QStringList{u"qemu-system-i386"_s} << u"qemu-system-x86_64.exe"_s
        << u"qemu-system-x86_64.exe"_s;
    QTest::newRow("nothing there")
        << QStringList{} << u"qemu-system-ppc.exe"_s << u"qemu-system-ppc.exe"_s;
    QTest::newRow("a folder is not a program")
        << QStringList{u"qemu-system-sparc/"_s} << u"qemu-system-sparc.exe"_s
        << u"qemu-system-sparc.exe"_s;
    QTest::newRow("name without .exe")
        << QStringList{u"qemu-system-cris"_s} << u"qemu-system-cris"_s << u"qemu-system-cris"_s;
    QTest::newRow("no name") << QStringList{u"qemu-system-i386"_s} << QString() << QString();
}

void TestHardwareCatalogue::resolveExecutable()
{
    QFETCH(QStringList, present);
    QFETCH(QString, exeName);
    QFETCH(QString, expected);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const QString& name : std::as_const(present)) {
        if (name.endsWith(u'/'))
            QVERIFY(QDir(dir.path()).mkpath(name));
        else
            QVERIFY(makeFile(dir.filePath(name)));
    }
    const QString resolved = ResolveQemuExecutable(dir.path(), exeName);
    QCOMPARE(resolved,
             expected.isEmpty() ? QString() : QDir::toNativeSeparators(dir.filePath(expected)));
}

// Version folders come from stored paths, which may end in a separator or use backslashes.
void TestHardwareCatalogue::resolveExecutableFolderForms()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath(u"qemu/0.12"_s));
    QVERIFY(makeFile(dir.filePath(u"qemu/0.12/qemu-system-ppc"_s)));
    const QString expected = dir.filePath(u"qemu/0.12/qemu-system-ppc"_s);

    QCOMPARE(ResolveQemuExecutable(dir.filePath(u"qemu/0.12"_s), u"qemu-system-ppc.exe"_s),
             expected);
    QCOMPARE(ResolveQemuExecutable(dir.filePath(u"qemu/0.12/"_s), u"qemu-system-ppc.exe"_s),
             expected);
    QCOMPARE(ResolveQemuExecutable(dir.path() + u"\\qemu\\0.12"_s, u"qemu-system-ppc.exe"_s),
             expected);
}

void TestHardwareCatalogue::resolveExecutableInUsrBin_data()
{
    QTest::addColumn<QString>("exeName");
    QTest::addColumn<QString>("expected");

    QTest::newRow("x86 32 Bit") << u"qemu.exe"_s << u"/usr/bin/qemu-system-i386"_s;
    QTest::newRow("x86 64 Bit") << u"qemu-system-x86_64.exe"_s << u"/usr/bin/qemu-system-x86_64"_s;
}

void TestHardwareCatalogue::resolveExecutableInUsrBin()
{
    QFETCH(QString, exeName);
    QFETCH(QString, expected);

    if (!QFileInfo(expected).isFile())
        QSKIP("QEMU is not installed in /usr/bin");
    if (QFileInfo::exists(u"/usr/bin/qemu"_s))
        QSKIP("/usr/bin/qemu would be taken first");
    QCOMPARE(ResolveQemuExecutable(u"/usr/bin"_s, exeName), expected);
    // A program the host lacks keeps the catalogue's name, so the start fails with that name.
    if (!QFileInfo::exists(u"/usr/bin/qemu-system-cris"_s))
        QCOMPARE(ResolveQemuExecutable(u"/usr/bin"_s, u"qemu-system-cris.exe"_s),
                 u"/usr/bin/qemu-system-cris.exe"_s);
}

QTEST_GUILESS_MAIN(TestHardwareCatalogue)
#include "tst_hardwarecatalogue.moc"
