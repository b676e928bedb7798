#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The emulated hardware a VM may be given, per guest architecture code ("x86", "ppc", "ppcemb",
// "arm", "mips", "mipsel", "sparc", "cf", "cris"). Everything is compiled in; the lists are built
// once and handed out as implicitly shared copies.

// One row of a choice list: what the user sees and what QEMU understands.
struct ChoiceRow
{
    QString display;
    QString id;

    friend bool operator==(const ChoiceRow&, const ChoiceRow&) = default;
};
using ChoiceList = QList<ChoiceRow>;

struct MachinesAndCpus
{
    ChoiceList machines;
    ChoiceList cpus;
};

// A platform of the new-VM wizard: its caption and the architecture code it stands for.
struct Platform
{
    QString name;
    QString arc;
};

// The wizard's platforms, in the order it shows them ("ppcemb" is not among them).
QList<Platform> GuestPlatforms();

// Machine types and CPU models for an architecture and a bitness index (0 "32 Bit", 1 "64 Bit",
// -1 none). "arm" ignores the bitness; any combination without lists gives two empty lists.
MachinesAndCpus ListMachinesAndCpus(const QString& arc, int bitnessIndex);

// "32 Bit" alone for "cf", "ppcemb", "cris" (and, for the wizard, "sparc"), else "32 Bit" and
// "64 Bit".
QStringList BitnessChoices(const QString& arc, bool forWizard);

// The position of a stored "CPUArc" among BitnessChoices(arc, forWizard); -1 when it is not
// offered there (anything but "32 Bit" / "64 Bit", or "64 Bit" where only "32 Bit" is offered).
int BitnessIndex(const QString& cpuArc, const QString& arc, bool forWizard);

// Sound cards of an architecture; none for "sparc", "cf", "cris" and unknown codes.
std::optional<ChoiceList> ListSoundCards(const QString& arc);

// Video cards of an architecture; none for an unknown code.
std::optional<ChoiceList> ListVideoCards(const QString& arc);

// Network card models. "x86" depends on the machine identifier ("isapc" has only an ISA card);
// "ppc", "ppcemb" and "sparc" offer only "Lance" when lance is set (callers set it for a 32-bit
// "sparc" VM). None for an unknown code.
std::optional<ChoiceList> ListNetworkCardModels(const QString& arc, const QString& machineId,
                                                bool lance);

// The file name of the QEMU system emulator, as the Windows packages name it ("qemu.exe",
// "qemu-system-ppc64.exe"); empty when the architecture has none for that bitness index.
QString QemuExeName(int bitnessIndex, const QString& arc);

// The 33 keymap codes of the VNC display, sorted; "de-ch " keeps its trailing blank because VM
// files store it that way.
QStringList KeyboardLayouts();

// The position of the first row whose display text equals text exactly (case-sensitive), or -1.
int FindDisplayText(const ChoiceList& list, const QString& text);

// The full native path of a catalogue executable in a version's folder. A name that is not there
// is also tried without ".exe", and "qemu.exe" also as "qemu-system-i386", so that a Linux
// installation such as /usr/bin serves as a version folder; when none exists the path keeps the
// catalogue's name. Empty when exeName is empty.
QString ResolveQemuExecutable(const QString& versionFolder, const QString& exeName);
