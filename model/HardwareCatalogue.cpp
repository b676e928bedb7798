#include "model/HardwareCatalogue.h"

#include "platform/FileSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QStringView>

#include <initializer_list>
#include <span>

using namespace Qt::StringLiterals;

namespace {

struct Row
{
    QStringView display;
    QStringView id;
};
using Rows = std::span<const Row>;

// One row a line: the tables are easier to check and to diff that way.
// clang-format off
constexpr Row X86Machines32[] = {
    {u"Standard ACPI PCI Based PC", u"pc"},
    {u"Standard ISA Based PC", u"isapc"},
    {u"Standard PC (Q35 + ICH9, 2009)", u"q35"},
};

constexpr Row X86Machines64[] = {
    {u"Standard PCI Based PC", u"pc"},
    {u"Standard ISA Based PC", u"isapc"},
    {u"Standard PC (Q35 + ICH9, 2009)", u"q35"},
};

constexpr Row ArmMachines[] = {
    {u"ARM Integrator/CP (ARM926EJ-S) (default)", u"integratorcp"},
    {u"ARM Versatile/PB (ARM926EJ-S)", u"versatilepb"},
    {u"ARM Versatile/AB (ARM926EJ-S)", u"versatileab"},
    {u"ARM RealView Emulation Baseboard (ARM926EJ-S)", u"realview"},
    {u"Akita PDA (PXA270)", u"akita"},
    {u"Spitz PDA (PXA270)", u"spitz"},
    {u"Borzoi PDA (PXA270)", u"borzoi"},
    {u"Terrier PDA (PXA270)", u"terrier"},
    {u"Siemens SX1 (OMAP310) V1", u"sx1-v1"},
    {u"Siemens SX1 (OMAP310) V2", u"sx1"},
    {u"Palm Tungsten|E aka. Cheetah PDA (OMAP310)", u"cheetah"},
    {u"Nokia N800 tablet aka. RX-34 (OMAP2420)", u"n800"},
    {u"Nokia N810 tablet aka. RX-44 (OMAP2420)", u"n810"},
    {u"Stellaris LM3S811EVB", u"lm3s811evb"},
    {u"Stellaris LM3S6965EVB", u"lm3s6965evb"},
    {u"Gumstix Connex (PXA255)", u"connex"},
    {u"Gumstix Verdex (PXA270)", u"verdex"},
    {u"Mainstone II (PXA27x)", u"mainstone"},
    {u"Marvell 88w8618 / MusicPal (ARM926EJ-S)", u"musicpal"},
    {u"Tosa PDA (PXA255)", u"tosa"},
};

constexpr Row PpcMachines[] = {
    {u"Heathrow based PowerMAC (default)", u"g3beige"},
    {u"Mac99 based PowerMAC", u"mac99"},
    {u"PowerPC PREP platform", u"prep"},
    {u"ref405ep", u"ref405ep"},
    {u"taihu", u"taihu"},
    {u"bamboo", u"bamboo"},
    {u"mpc8544ds", u"mpc8544ds"},
};

constexpr Row MipsMachines[] = {
    {u"MIPS Malta Core LV (default)", u"malta"},
    {u"MIPS Magnum", u"magnum"},
    {u"Acer Pica 61", u"pica61"},
    {u"MIPS MIPSsim platform", u"mipssim"},
    {u"mips r4k platform", u"mips"},
};

constexpr Row SparcMachines32[] = {
    {u"Sun4m platform, SPARCstation 5 (default)", u"SS-5"},
    {u"Sun4m platform, SPARCstation 10", u"SS-10"},
    {u"Sun4m platform, SPARCserver 600MP", u"SS-600MP"},
    {u"Sun4m platform, SPARCstation 20", u"SS-20"},
    {u"Sun4c platform, SPARCstation 2", u"SS-2"},
    {u"Sun4m platform, SPARCstation Voyager", u"Voyager"},
    {u"Sun4m platform, SPARCstation LX", u"LX"},
    {u"Sun4m platform, SPARCstation 4", u"SS-4"},
    {u"Sun4m platform, SPARCClassic", u"SPARCClassic"},
    {u"Sun4m platform, SPARCbook", u"SPARCbook"},
    {u"Sun4d platform, SPARCserver 1000", u"SS-1000"},
    {u"Sun4d platform, SPARCcenter 2000", u"SS-2000"},
};

constexpr Row SparcMachines64[] = {
    {u"Sun4u platform (default)", u"sun4u"},
    {u"Sun4v platform", u"sun4v"},
    {u"Sun4v platform, Niagara", u"Niagara"},
};

constexpr Row CfMachines[] = {
    {u"MCF5206EVB (default)", u"mcf5208evb"},
    {u"Arnewsh 5206", u"an5206"},
    {u"Dummy board", u"dummy"},
};

constexpr Row CrisMachines[] = {
    {u"Bare ETRAX FS board (default)", u"bareetraxfs"},
    {u"AXIS devboard 88", u"axis-dev88"},
};

constexpr Row X86Cpus32[] = {
    {u"Qemu 32 Bit", u"qemu32"},
    {u"Core Duo", u"coreduo"},
    {u"486", u"486"},
    {u"Pentium", u"pentium"},
    {u"Pentium 2", u"pentium2"},
    {u"Pentium 3", u"pentium3"},
    {u"Athlon", u"athlon"},
    {u"n270", u"n270"},
    {u"Host processor", u"host"},
    {u"All emulated features", u"max"},
};

constexpr Row X86Cpus64[] = {
    {u"Qemu 64 Bit", u"qemu64"},
    {u"Phenom", u"phenom"},
    {u"Core 2 Duo", u"core2duo"},
    {u"Core Duo", u"coreduo"},
    {u"486", u"486"},
    {u"Pentium", u"pentium"},
    {u"Pentium 2", u"pentium2"},
    {u"Pentium 3", u"pentium3"},
    {u"Athlon", u"athlon"},
    {u"n270", u"n270"},
    {u"Host processor", u"host"},
    {u"All emulated features", u"max"},
};

constexpr Row ArmCpus[] = {
    {u"Qemu Default", u"Default"},
    {u"any", u"any"},
    {u"arm926", u"arm926"},
    {u"arm946", u"arm946"},
    {u"arm1026", u"arm1026"},
    {u"arm1136", u"arm1136"},
    {u"arm1136-r2", u"arm1136-r2"},
    {u"arm11mpcore", u"arm11mpcore"},
    {u"cortex-m3", u"cortex-m3"},
    {u"cortex-a8", u"cortex-a8"},
    {u"ti925t", u"ti925t"},
    {u"pxa250", u"pxa250"},
    {u"pxa255", u"pxa255"},
    {u"pxa260", u"pxa260"},
    {u"pxa261", u"pxa261"},
    {u"pxa262", u"pxa262"},
    {u"pxa270", u"pxa270"},
    {u"pxa270-a0", u"pxa270-a0"},
    {u"pxa270-a1", u"pxa270-a1"},
    {u"pxa270-b0", u"pxa270-b0"},
    {u"pxa270-b1", u"pxa270-b1"},
    {u"pxa270-c0", u"pxa270-c0"},
    {u"pxa270-c5", u"pxa270-c5"},
};

constexpr Row MipsCpus64[] = {
    {u"Qemu Default", u"Default"},
    {u"MIPS 4KEc", u"4KEc"},
    {u"MIPS 4Kc", u"4Kc"},
    {u"MIPS 4Km", u"4Km"},
    {u"MIPS 4KEcR1", u"4KEcR1"},
    {u"MIPS 4KEmR1", u"4KEmR1"},
    {u"MIPS 4KEm", u"4KEm"},
    {u"MIPS 24Kc", u"24Kc"},
    {u"MIPS 24Kf", u"24Kf"},
    {u"MIPS 34Kf", u"34Kf"},
    {u"MIPS R4000", u"R4000"},
    {u"MIPS VR5432", u"VR5432"},
    {u"MIPS 5Kc", u"5Kc"},
    {u"MIPS 5Kf", u"5Kf"},
    {u"MIPS 20Kc", u"20Kc"},
    {u"MIPS64R2-generic", u"MIPS64R2-generic"},
};

constexpr Row MipselCpus32[] = {
    {u"Qemu Default", u"Default"},
    {u"MIPS 4KEc", u"4KEc"},
    {u"MIPS 4Kc", u"4Kc"},
    {u"MIPS 4Km", u"4Km"},
    {u"MIPS 4KEcR1", u"4KEcR1"},
    {u"MIPS RKEmR1", u"4KEmR1"},
    {u"MIPS 4KEm", u"4KEm"},
    {u"MIPS 24Kc", u"24Kc"},
    {u"MIPS 24Kf", u"24Kf"},
    {u"MIPS 34Kf", u"34Kf"},
};

constexpr Row MipsCpus32[] = {
    {u"MIPS 4KEc", u"4KEc"},
    {u"MIPS 4Kc", u"4Kc"},
    {u"MIPS 4Km", u"4Km"},
    {u"MIPS 4KEcR1", u"4KEcR1"},
    {u"MIPS RKEmR1", u"4KEmR1"},
    {u"MIPS 4KEm", u"4KEm"},
    {u"MIPS 24Kc", u"24Kc"},
    {u"MIPS 24Kf", u"24Kf"},
    {u"MIPS 34Kf", u"34Kf"},
};

constexpr Row SparcCpus32[] = {
    {u"Qemu Default", u"Default"},
    {u"Sparc Fujitsu MB86904", u"Fujitsu MB86904"},
    {u"Sparc Fujitsu MB86907", u"Fujitsu MB86907"},
    {u"Sparc LSI L64811", u"LSI L64811"},
    {u"Sparc Cypress CY7C601", u"Cypress CY7C601"},
    {u"Sparc Cypress CY7C611", u"Cypress CY7C611"},
    {u"Sparc TI MicroSparc I", u"TI MicroSparc I"},
    {u"Sparc TI MicroSparc II", u"TI MicroSparc II"},
    {u"Sparc TI MicroSparc IIep", u"TI MicroSparc IIep"},
    {u"Sparc TI SuperSparc 40", u"TI SuperSparc 40"},
    {u"Sparc TI SuperSparc 50", u"TI SuperSparc 50"},
    {u"Sparc TI SuperSparc 51", u"TI SuperSparc 51"},
    {u"Sparc TI SuperSparc 60", u"TI SuperSparc 60"},
    {u"Sparc TI SuperSparc 61", u"TI SuperSparc 61"},
    {u"Sparc TI SuperSparc II", u"TI SuperSparc II"},
    {u"Sparc Ross RT625", u"Ross RT625"},
    {u"Sparc Ross RT620", u"Ross RT620"},
    {u"Sparc BIT B5010", u"BIT B5010"},
    {u"Sparc Matsushita MN10501", u"Matsushita MN10501"},
    {u"Sparc Weitek W8601", u"Weitek W8601"},
    {u"Sparc LEON2", u"LEON2"},
    {u"Sparc LEON3", u"LEON3"},
};

constexpr Row SparcCpus64[] = {
    {u"Qemu Default", u"Default"},
    {u"Sparc Fujitsu Sparc64", u"Fujitsu Sparc64"},
    {u"Sparc Fujitsu Sparc64 III", u"Fujitsu Sparc64 III"},
    {u"Sparc Fujitsu Sparc64 IV", u"Fujitsu Sparc64 IV"},
    {u"Sparc Fujitsu Sparc64 V", u"Fujitsu Sparc64 V"},
    {u"Sparc TI UltraSparc I", u"TI UltraSparc I"},
    {u"Sparc TI UltraSparc II", u"TI UltraSparc II"},
    {u"Sparc TI UltraSparc IIi", u"TI UltraSparc IIi"},
    {u"Sparc TI UltraSparc IIe", u"TI UltraSparc IIe"},
    {u"Sparc Sun UltraSparc III", u"Sun UltraSparc III"},
    {u"Sparc Sun UltraSparc III", u"Sun UltraSparc III"},
    {u"Sparc Sun UltraSparc IIIi", u"Sun UltraSparc IIIi"},
    {u"Sparc Sun UltraSparc IV", u"Sun UltraSparc IV"},
    {u"Sparc Sun UltraSparc IV+", u"Sun UltraSparc IV+"},
    {u"Sparc Sun UltraSparc IIIi+", u"Sun UltraSparc IIIi+"},
    {u"Sparc Sun UltraSparc T1", u"Sun UltraSparc T1"},
    {u"Sparc Sun UltraSparc T2", u"Sun UltraSparc T2"},
    {u"Sparc NEC UltraSparc I", u"NEC UltraSparc I"},
};

constexpr Row DefaultCpu[] = {
    {u"Default", u"default"},
};

// The 64-bit PowerPC list is the 32-bit one with the 64-bit models put before the generic
// "ppc32" and "ppc" rows, so the two share their head and tail.
constexpr Row PpcCommonCpus[] = {
    {u"Qemu Default", u"Default"},
    {u"PowerPC Default", u"00040103"},
    {u"PowerPC 401", u"00270000"},
    {u"PowerPC 401A1", u"00210000"},
    {u"PowerPC 401B2", u"00220000"},
    {u"PowerPC 401C2", u"00230000"},
    {u"PowerPC 401D2", u"00240000"},
    {u"PowerPC 401E2", u"00250000"},
    {u"PowerPC 401F2", u"00260000"},
    {u"PowerPC 401G2", u"00270000"},
    {u"PowerPC IOP480", u"00220000"},
    {u"PowerPC Cobra", u"10100000"},
    {u"PowerPC 403", u"00200200"},
    {u"PowerPC 403GA", u"00200011"},
    {u"PowerPC 403GB", u"00200100"},
    {u"PowerPC 403GC", u"00200200"},
    {u"PowerPC 403GCX", u"00201400"},
    {u"PowerPC 405", u"41810000"},
    {u"PowerPC 405D2", u"20010000"},
    {u"PowerPC 405D4", u"41810000"},
    {u"PowerPC 405CR", u"40110145"},
    {u"PowerPC 405CRa", u"40110041"},
    {u"PowerPC 405CRb", u"401100c5"},
    {u"PowerPC 405CRc", u"40110145"},
    {u"PowerPC 405EP", u"51210950"},
    {u"PowerPC 405EZ", u"41511460"},
    {u"PowerPC 405GP", u"401100c4"},
    {u"PowerPC 405GPa", u"40110000"},
    {u"PowerPC 405GPb", u"40110040"},
    {u"PowerPC 405GPc", u"40110082"},
    {u"PowerPC 405GPd", u"401100c4"},
    {u"PowerPC 405GPe", u"40110145"},
    {u"PowerPC 405GPR", u"50910951"},
    {u"PowerPC 405LP", u"41f10000"},
    {u"PowerPC Npe405H", u"414100c0"},
    {u"PowerPC Npe405H2", u"41410140"},
    {u"PowerPC Npe405L", u"416100c0"},
    {u"PowerPC Npe4GS3", u"40b10000"},
    {u"PowerPC STB03", u"40310000"},
    {u"PowerPC STB04", u"41810000"},
    {u"PowerPC STB25", u"51510950"},
    {u"PowerPC x2vp4", u"20010820"},
    {u"PowerPC x2vp7", u"20010820"},
    {u"PowerPC x2vp20", u"20010860"},
    {u"PowerPC x2vp50", u"20010860"},
    {u"PowerPC MPC52xx", u"80822011"},
    {u"PowerPC MPC82xx", u"80822013"},
    {u"PowerPC PowerQUICC-II", u"80822013"},
    {u"PowerPC G2", u"00810011"},
    {u"PowerPC G2H4", u"80811010"},
    {u"PowerPC G2GP", u"80821010"},
    {u"PowerPC G2LS", u"90810010"},
    {u"PowerPC G2HiP3", u"00810101"},
    {u"PowerPC G2HiP4", u"80811014"},
    {u"PowerPC MPC603", u"00810100"},
    {u"PowerPC G2le", u"80820010"},
    {u"PowerPC G2leGP", u"80822010"},
    {u"PowerPC G2leLS", u"a0822010"},
    {u"PowerPC G2leGP1", u"80822011"},
    {u"PowerPC G2leGP3", u"80822011"},
    {u"PowerPC MPC8240", u"00810100"},
    {u"PowerPC MPC5200", u"80822011"},
    {u"PowerPC MPC5200_v10", u"80822011"},
    {u"PowerPC MPC5200_v11", u"80822011"},
    {u"PowerPC MPC5200_v12", u"80822011"},
    {u"PowerPC MPC5200B", u"80822011"},
    {u"PowerPC MPC5200B_v20", u"80822011"},
    {u"PowerPC MPC5200B_v21", u"80822011"},
    {u"PowerPC MPC8241", u"80811014"},
    {u"PowerPC MPC8245", u"80811014"},
    {u"PowerPC MPC8247", u"80822013"},
    {u"PowerPC MPC8248", u"80822013"},
    {u"PowerPC MPC8250", u"80811014"},
    {u"PowerPC MPC8250_HiP3", u"00810101"},
    {u"PowerPC MPC8250_HiP4", u"80811014"},
    {u"PowerPC MPC8255", u"80811014"},
    {u"PowerPC MPC8255_HiP3", u"00810101"},
    {u"PowerPC MPC8255_HiP4", u"80811014"},
    {u"PowerPC MPC8260", u"80811014"},
    {u"PowerPC MPC8260_HiP3", u"00810101"},
    {u"PowerPC MPC8260_HiP4", u"80811014"},
    {u"PowerPC MPC8264", u"80811014"},
    {u"PowerPC MPC8264_HiP3", u"00810101"},
    {u"PowerPC MPC8264_HiP4", u"80811014"},
    {u"PowerPC MPC8265", u"80811014"},
    {u"PowerPC MPC8265_HiP3", u"00810101"},
    {u"PowerPC MPC8265_HiP4", u"80811014"},
    {u"PowerPC MPC8266", u"80811014"},
    {u"PowerPC MPC8266_HiP3", u"00810101"},
    {u"PowerPC MPC8266_HiP4", u"80811014"},
    {u"PowerPC MPC8270", u"80822013"},
    {u"PowerPC MPC8271", u"80822013"},
    {u"PowerPC MPC8272", u"80822013"},
    {u"PowerPC MPC8275", u"80822013"},
    {u"PowerPC MPC8280", u"80822013"},
    {u"PowerPC e200", u"81120000"},
    {u"PowerPC e200z5", u"81000000"},
    {u"PowerPC e200z6", u"81120000"},
    {u"PowerPC e300", u"00850010"},
    {u"PowerPC e300c1", u"00830010"},
    {u"PowerPC e300c2", u"00840010"},
    {u"PowerPC e300c3", u"00850010"},
    {u"PowerPC e300c4", u"00860010"},
    {u"PowerPC MPC8343A", u"00830010"},
    {u"PowerPC MPC8343EA", u"00830010"},
    {u"PowerPC MPC8347A", u"00830010"},
    {u"PowerPC MPC8347AT", u"00830010"},
    {u"PowerPC MPC8347AP", u"00830010"},
    {u"PowerPC MPC8347EA", u"00830010"},
    {u"PowerPC MPC8347EAT", u"00830010"},
    {u"PowerPC MPC8347EAP", u"00830010"},
    {u"PowerPC MPC8349", u"00830010"},
    {u"PowerPC MPC8349A", u"00830010"},
    {u"PowerPC MPC8349E", u"00830010"},
    {u"PowerPC MPC8349EA", u"00830010"},
    {u"PowerPC MPC8377", u"00860010"},
    {u"PowerPC MPC8377E", u"00860010"},
    {u"PowerPC MPC8378", u"00860010"},
    {u"PowerPC MPC8378E", u"00860010"},
    {u"PowerPC MPC8379", u"00860010"},
    {u"PowerPC MPC8379E", u"00860010"},
    {u"PowerPC e500", u"80210022"},
    {u"PowerPC e500v1", u"80200020"},
    {u"PowerPC e500_v10", u"80200010"},
    {u"PowerPC e500_v20", u"80200020"},
    {u"PowerPC e500v2", u"80210022"},
    {u"PowerPC e500v2_v10", u"80210010"},
    {u"PowerPC e500v2_v20", u"80210020"},
    {u"PowerPC e500v2_v21", u"80210021"},
    {u"PowerPC e500v2_v22", u"80210022"},
    {u"PowerPC e500v2_v30", u"80210030"},
    {u"PowerPC MPC8533", u"80210022"},
    {u"PowerPC MPC8533_v10", u"80210021"},
    {u"PowerPC MPC8533_v11", u"80210022"},
    {u"PowerPC MPC8533E", u"80210022"},
    {u"PowerPC MPC8533E_v10", u"80210021"},
    {u"PowerPC MPC8533E_v11", u"80210022"},
    {u"PowerPC MPC8540", u"80200020"},
    {u"PowerPC MPC8540_v10", u"80200010"},
    {u"PowerPC MPC8540_v20", u"80200020"},
    {u"PowerPC MPC8540_v21", u"80200020"},
    {u"PowerPC MPC8541", u"80200020"},
    {u"PowerPC MPC8541_v10", u"80200020"},
    {u"PowerPC MPC8541_v11", u"80200020"},
    {u"PowerPC MPC8541E", u"80200020"},
    {u"PowerPC MPC8541E_v10", u"80200020"},
    {u"PowerPC MPC8541E_v11", u"80200020"},
    {u"PowerPC MPC8543", u"80210021"},
    {u"PowerPC MPC8543_v10", u"80210010"},
    {u"PowerPC MPC8543_v11", u"80210011"},
    {u"PowerPC MPC8543_v20", u"80210020"},
    {u"PowerPC MPC8543_v21", u"80210021"},
    {u"PowerPC MPC8543E", u"80210021"},
    {u"PowerPC MPC8543E_v10", u"80210010"},
    {u"PowerPC MPC8543E_v11", u"80210011"},
    {u"PowerPC MPC8543E_v20", u"80210020"},
    {u"PowerPC MPC8543E_v21", u"80210021"},
    {u"PowerPC MPC8544", u"80210022"},
    {u"PowerPC MPC8544_v10", u"80210021"},
    {u"PowerPC MPC8544_v11", u"80210022"},
    {u"PowerPC MPC8544E", u"80210022"},
    {u"PowerPC MPC8544E_v10", u"80210021"},
    {u"PowerPC MPC8544E_v11", u"80210022"},
    {u"PowerPC MPC8545", u"80210021"},
    {u"PowerPC MPC8545_v20", u"80210020"},
    {u"PowerPC MPC8545_v21", u"80210021"},
    {u"PowerPC MPC8545E", u"80210021"},
    {u"PowerPC MPC8545E_v20", u"80210020"},
    {u"PowerPC MPC8545E_v21", u"80210021"},
    {u"PowerPC MPC8547E", u"80210021"},
    {u"PowerPC MPC8547E_v20", u"80210020"},
    {u"PowerPC MPC8547E_v21", u"80210021"},
    {u"PowerPC MPC8548", u"80210021"},
    {u"PowerPC MPC8548_v10", u"80210010"},
    {u"PowerPC MPC8548_v11", u"80210011"},
    {u"PowerPC MPC8548_v20", u"80210020"},
    {u"PowerPC MPC8548_v21", u"80210021"},
    {u"PowerPC MPC8548E", u"80210021"},
    {u"PowerPC MPC8548E_v10", u"80210010"},
    {u"PowerPC MPC8548E_v11", u"80210011"},
    {u"PowerPC MPC8548E_v20", u"80210020"},
    {u"PowerPC MPC8548E_v21", u"80210021"},
    {u"PowerPC MPC8555", u"80210011"},
    {u"PowerPC MPC8555_v10", u"80210010"},
    {u"PowerPC MPC8555_v11", u"80210011"},
    {u"PowerPC MPC8555E", u"80210011"},
    {u"PowerPC MPC8555E_v10", u"80210010"},
    {u"PowerPC MPC8555E_v11", u"80210011"},
    {u"PowerPC MPC8560", u"80210021"},
    {u"PowerPC MPC8560_v10", u"80210010"},
    {u"PowerPC MPC8560_v20", u"80210020"},
    {u"PowerPC MPC8560_v21", u"80210021"},
    {u"PowerPC MPC8567", u"80210022"},
    {u"PowerPC MPC8567E", u"80210022"},
    {u"PowerPC MPC8568", u"80210022"},
    {u"PowerPC MPC8568E", u"80210022"},
    {u"PowerPC MPC8572", u"80210030"},
    {u"PowerPC MPC8572E", u"80210030"},
    {u"PowerPC e600", u"80040010"},
    {u"PowerPC MPC8641", u"80040010"},
    {u"PowerPC MPC8641D", u"80040010"},
    {u"PowerPC 601", u"00010002"},
    {u"PowerPC 601_v0", u"00010001"},
    {u"PowerPC 601_v1", u"00010001"},
    {u"PowerPC 601v", u"00010002"},
    {u"PowerPC 601_v2", u"00010002"},
    {u"PowerPC 602", u"00050100"},
    {u"PowerPC 603", u"00030100"},
    {u"PowerPC Vanilla", u"00030100"},
    {u"PowerPC 603e", u"00060401"},
    {u"PowerPC Stretch", u"00060401"},
    {u"PowerPC 603e_v1.1", u"00060101"},
    {u"PowerPC 603e_v1.2", u"00060102"},
    {u"PowerPC 603e_v1.3", u"00060103"},
    {u"PowerPC 603e_v1.4", u"00060104"},
    {u"PowerPC 603e_v2.2", u"00060202"},
    {u"PowerPC 603e_v3", u"00060300"},
    {u"PowerPC 603e_v4", u"00060400"},
    {u"PowerPC 603e_v4.1", u"00060401"},
    {u"PowerPC 603e7", u"00070200"},
    {u"PowerPC 603e7t", u"00071201"},
    {u"PowerPC 603e7v", u"00070100"},
    {u"PowerPC Vaillant", u"00070100"},
    {u"PowerPC 603e7v1", u"00070101"},
    {u"PowerPC 603e7v2", u"00070201"},
    {u"PowerPC 603p", u"00070000"},
    {u"PowerPC 603r", u"00071201"},
    {u"PowerPC Goldeneye", u"00071201"},
    {u"PowerPC 604", u"00040103"},
    {u"PowerPC 604e", u"00090204"},
    {u"PowerPC Sirocco", u"00090204"},
    {u"PowerPC 604e_v1.0", u"00090100"},
    {u"PowerPC 604e_v2.2", u"00090202"},
    {u"PowerPC 604e_v2.4", u"00090204"},
    {u"PowerPC 604r", u"000a0101"},
    {u"PowerPC Mach5", u"000a0101"},
    {u"PowerPC 740", u"00080301"},
    {u"PowerPC Arthur", u"00080301"},
    {u"PowerPC 750", u"00080301"},
    {u"PowerPC Typhoon", u"00080301"},
    {u"PowerPC G3", u"00080301"},
    {u"PowerPC 740_v1.0", u"00080100"},
    {u"PowerPC 750_v1.0", u"00080100"},
    {u"PowerPC 740_v2.0", u"00080200"},
    {u"PowerPC 750_v2.0", u"00080200"},
    {u"PowerPC 740_v2.1", u"00080201"},
    {u"PowerPC 750_v2.1", u"00080201"},
    {u"PowerPC 740_v2.2", u"00080202"},
    {u"PowerPC 750_v2.2", u"00080202"},
    {u"PowerPC 740_v3.0", u"00080300"},
    {u"PowerPC 750_v3.0", u"00080300"},
    {u"PowerPC 740_v3.1", u"00080301"},
    {u"PowerPC 750_v3.1", u"00080301"},
    {u"PowerPC 740e", u"00080100"},
    {u"PowerPC 750e", u"00080200"},
    {u"PowerPC 740p", u"10080000"},
    {u"PowerPC 750p", u"10080000"},
    {u"PowerPC Conan/Doyle", u"10080000"},
    {u"PowerPC 750cl", u"00087210"},
    {u"PowerPC 750cl_v1.0", u"00087200"},
    {u"PowerPC 750cl_v2.0", u"00087210"},
    {u"PowerPC 750cx", u"00082202"},
    {u"PowerPC 750cx_v1.0", u"00082100"},
    {u"PowerPC 750cx_v2.0", u"00082200"},
    {u"PowerPC 750cx_v2.1", u"00082201"},
    {u"PowerPC 750cx_v2.2", u"00082202"},
    {u"PowerPC 750cxe", u"00083311"},
    {u"PowerPC 750cxe_v2.1", u"00082211"},
    {u"PowerPC 750cxe_v2.2", u"00082212"},
    {u"PowerPC 750cxe_v2.3", u"00082213"},
    {u"PowerPC 750cxe_v2.4", u"00082214"},
    {u"PowerPC 750cxe_v2.4b", u"00083214"},
    {u"PowerPC 750cxe_v3.0", u"00082310"},
    {u"PowerPC 750cxe_v3.1", u"00082311"},
    {u"PowerPC 750cxe_v3.1b", u"00083311"},
    {u"PowerPC 750cxr", u"00083410"},
    {u"PowerPC 750fl", u"70000203"},
    {u"PowerPC 750fx", u"70000203"},
    {u"PowerPC 750fx_v1.0", u"70000100"},
    {u"PowerPC 750fx_v2.0", u"70000200"},
    {u"PowerPC 750fx_v2.1", u"70000201"},
    {u"PowerPC 750fx_v2.2", u"70000202"},
    {u"PowerPC 750fx_v2.3", u"70000203"},
    {u"PowerPC 750gl", u"70020102"},
    {u"PowerPC 750gx", u"70020102"},
    {u"PowerPC 750gx_v1.0", u"70020100"},
    {u"PowerPC 750gx_v1.1", u"70020101"},
    {u"PowerPC 750gx_v1.2", u"70020102"},
    {u"PowerPC 750l", u"00088302"},
    {u"PowerPC LoneStar", u"00088302"},
    {u"PowerPC 750l_v2.0", u"00088200"},
    {u"PowerPC 750l_v2.1", u"00088201"},
    {u"PowerPC 750l_v2.2", u"00088202"},
    {u"PowerPC 750l_v3.0", u"00088300"},
    {u"PowerPC 750l_v3.2", u"00088302"},
    {u"PowerPC 745", u"00083208"},
    {u"PowerPC 755", u"00083208"},
    {u"PowerPC Goldfinger", u"00083208"},
    {u"PowerPC 745_v1.0", u"00083100"},
    {u"PowerPC 755_v1.0", u"00083100"},
    {u"PowerPC 745_v1.1", u"00083101"},
    {u"PowerPC 755_v1.1", u"00083101"},
    {u"PowerPC 745_v2.0", u"00083200"},
    {u"PowerPC 755_v2.0", u"00083200"},
    {u"PowerPC 745_v2.1", u"00083201"},
    {u"PowerPC 755_v2.1", u"00083201"},
    {u"PowerPC 745_v2.2", u"00083202"},
    {u"PowerPC 755_v2.2", u"00083202"},
    {u"PowerPC 745_v2.3", u"00083203"},
    {u"PowerPC 755_v2.3", u"00083203"},
    {u"PowerPC 745_v2.4", u"00083204"},
    {u"PowerPC 755_v2.4", u"00083204"},
    {u"PowerPC 745_v2.5", u"00083205"},
    {u"PowerPC 755_v2.5", u"00083205"},
    {u"PowerPC 745_v2.6", u"00083206"},
    {u"PowerPC 755_v2.6", u"00083206"},
    {u"PowerPC 745_v2.7", u"00083207"},
    {u"PowerPC 755_v2.7", u"00083207"},
    {u"PowerPC 745_v2.8", u"00083208"},
    {u"PowerPC 755_v2.8", u"00083208"},
    {u"PowerPC 7400", u"000c0209"},
    {u"PowerPC Max", u"000c0209"},
    {u"PowerPC G4", u"000c0209"},
    {u"PowerPC 7400_v1.0", u"000c0100"},
    {u"PowerPC 7400_v1.1", u"000c0101"},
    {u"PowerPC 7400_v2.0", u"000c0200"},
    {u"PowerPC 7400_v2.1", u"000c0201"},
    {u"PowerPC 7400_v2.2", u"000c0202"},
    {u"PowerPC 7400_v2.6", u"000c0206"},
    {u"PowerPC 7400_v2.7", u"000c0207"},
    {u"PowerPC 7400_v2.8", u"000c0208"},
    {u"PowerPC 7400_v2.9", u"000c0209"},
    {u"PowerPC 7410", u"800c1104"},
    {u"PowerPC Nitro", u"800c1104"},
    {u"PowerPC 7410_v1.0", u"800c1100"},
    {u"PowerPC 7410_v1.1", u"800c1101"},
    {u"PowerPC 7410_v1.2", u"800c1102"},
    {u"PowerPC 7410_v1.3", u"800c1103"},
    {u"PowerPC 7410_v1.4", u"800c1104"},
    {u"PowerPC 7448", u"80040201"},
    {u"PowerPC 7448_v1.0", u"80040100"},
    {u"PowerPC 7448_v1.1", u"80040101"},
    {u"PowerPC 7448_v2.0", u"80040200"},
    {u"PowerPC 7448_v2.1", u"80040201"},
    {u"PowerPC 7450", u"80000201"},
    {u"PowerPC Vger", u"80000201"},
    {u"PowerPC 7450_v1.0", u"80000100"},
    {u"PowerPC 7450_v1.1", u"80000101"},
    {u"PowerPC 7450_v1.2", u"80000102"},
    {u"PowerPC 7450_v2.0", u"80000200"},
    {u"PowerPC 7450_v2.1", u"80000201"},
    {u"PowerPC 7441", u"80000203"},
    {u"PowerPC 7451", u"80000203"},
    {u"PowerPC 7441_v2.1", u"80000201"},
    {u"PowerPC 7441_v2.3", u"80000203"},
    {u"PowerPC 7451_v2.3", u"80000203"},
    {u"PowerPC 7441_v2.10", u"80000210"},
    {u"PowerPC 7451_v2.10", u"80000210"},
    {u"PowerPC 7445", u"80010302"},
    {u"PowerPC 7455", u"80010302"},
    {u"PowerPC Apollo6", u"80010302"},
    {u"PowerPC 7445_v1.0", u"80010100"},
    {u"PowerPC 7455_v1.0", u"80010100"},
    {u"PowerPC 7445_v2.1", u"80010201"},
    {u"PowerPC 7455_v2.1", u"80010201"},
    {u"PowerPC 7445_v3.2", u"80010302"},
    {u"PowerPC 7455_v3.2", u"80010302"},
    {u"PowerPC 7445_v3.3", u"80010303"},
    {u"PowerPC 7455_v3.3", u"80010303"},
    {u"PowerPC 7445_v3.4", u"80010304"},
    {u"PowerPC 7455_v3.4", u"80010304"},
    {u"PowerPC 7447", u"80020102"},
    {u"PowerPC 7457", u"80020102"},
    {u"PowerPC Apollo7", u"80020102"},
    {u"PowerPC 7447_v1.0", u"80020100"},
    {u"PowerPC 7457_v1.0", u"80020100"},
    {u"PowerPC 7447_v1.1", u"80020101"},
    {u"PowerPC 7457_v1.1", u"80020101"},
    {u"PowerPC 7457_v1.2", u"80020102"},
    {u"PowerPC 7447A", u"80030102"},
    {u"PowerPC 7457A", u"80030102"},
    {u"PowerPC 7447A_v1.0", u"80030100"},
    {u"PowerPC 7457A_v1.0", u"80030100"},
    {u"PowerPC Apollo7PM", u"80030100"},
    {u"PowerPC 7447A_v1.1", u"80030101"},
    {u"PowerPC 7457A_v1.1", u"80030101"},
    {u"PowerPC 7447A_v1.2", u"80030102"},
    {u"PowerPC 7457A_v1.2", u"80030102"},
};

constexpr Row Ppc64OnlyCpus[] = {
    {u"PowerPC 620", u"00140000"},
    {u"PowerPC Trident", u"00140000"},
    {u"PowerPC 970", u"00390202"},
    {u"PowerPC 970fx", u"003c0301"},
    {u"PowerPC 970fx_v1.0", u"00391100"},
    {u"PowerPC 970fx_v2.0", u"003c0200"},
    {u"PowerPC 970fx_v2.1", u"003c0201"},
    {u"PowerPC 970fx_v3.0", u"003c0300"},
    {u"PowerPC 970fx_v3.1", u"003c0301"},
    {u"PowerPC 970gx", u"00450000"},
    {u"PowerPC 970mp", u"00440101"},
    {u"PowerPC 970mp_v1.0", u"00440100"},
    {u"PowerPC 970mp_v1.1", u"00440101"},
    {u"PowerPC ppc64", u"003c0301"},
};

constexpr Row PpcTailCpus[] = {
    {u"PowerPC ppc32", u"00040103"},
    {u"PowerPC ppc", u"00040103"},
};

constexpr Row X86Sound[] = {
    {u"ENSONIQ AudioPCI ES1370", u"es1370"},
    {u"Intel AC97 Audio", u"ac97"},
    {u"Creative Sound Blaster 16", u"sb16"},
    {u"PC Speaker", u"pcspk"},
    {u"Adlib", u"adlib"},
    {u"Use ALL", u"all"},
    {u"Intel HD Audio", u"hda"},
};

constexpr Row ArmSound[] = {
    {u"Use ALL", u"all"},
};

constexpr Row PpcSound[] = {
    {u"Intel 82801AA AC97 Audio", u"ac97"},
    {u"Creative Sound Blaster 16", u"sb16"},
    {u"ENSONIQ AudioPCI ES1370", u"es1370"},
    {u"Use ALL", u"all"},
};

constexpr Row MipsSound[] = {
    {u"Intel 82801AA AC97 Audio", u"ac97"},
    {u"PC speaker", u"pcspk"},
    {u"Creative Sound Blaster 16", u"sb16"},
    {u"ENSONIQ AudioPCI ES1370", u"es1370"},
    {u"Use ALL", u"all"},
};

constexpr Row X86Video[] = {
    {u"Cirrus Logic GD5446", u"cirrus"},
    {u"Standard VGA Card", u"std"},
    {u"VMWare SVGA-II", u"vmware"},
    {u"None", u"none"},
    {u"VirtIO VGA", u"virtio"},
};

constexpr Row OtherVideo[] = {
    {u"Standard VGA Card", u"std"},
    {u"Cirrus Logic GD5446", u"cirrus"},
    {u"VMWare SVGA-II", u"vmware"},
    {u"None", u"none"},
};

constexpr Row X86PciNet[] = {
    {u"Realtek 8139", u"rtl8139"},
    {u"NE2000 PCI", u"ne2k_pci"},
    {u"Intel 82551", u"i82551"},
    {u"Intel 82557b", u"i82557b"},
    {u"Intel 82559e", u"i82559e"},
    {u"Intel E1000", u"e1000"},
    {u"PCNet Lan Card", u"pcnet"},
    {u"Virtio", u"virtio"},
    {u"Intel 82574L", u"e1000e"},
    {u"VirtIO Network", u"virtio-net-pci"},
};

constexpr Row X86IsaNet[] = {
    {u"NE2000 ISA", u"ne2k_isa"},
};

constexpr Row MipsNet[] = {
    {u"PCNet Lan Card", u"pcnet"},
    {u"NE2000 PCI", u"ne2k_pci"},
    {u"Realtek 8139", u"rtl8139"},
    {u"Intel 82551", u"i82551"},
    {u"Intel 82557b", u"i82557b"},
    {u"Intel 82559e", u"i82559e"},
    {u"Intel E1000", u"e1000"},
    {u"Virtio", u"virtio"},
};

constexpr Row LanceNet[] = {
    {u"Lance", u"lance"},
};

constexpr Row PciNet[] = {
    {u"NE2000 PCI", u"ne2k_pci"},
    {u"Realtek 8139", u"rtl8139"},
    {u"Intel 82551", u"i82551"},
    {u"Intel 82557b", u"i82557b"},
    {u"Intel 82559e", u"i82559e"},
    {u"Intel E1000", u"e1000"},
    {u"PCNet Lan Card", u"pcnet"},
    {u"Virtio", u"virtio"},
};

constexpr Row ArmNet[] = {
    {u"SMC 91C111", u"smc91c111"},
};

constexpr Row CfNet[] = {
    {u"MCF_FEC", u"mcf_fec"},
};

constexpr Row CrisNet[] = {
    {u"FSETH", u"fseth"},
};
// clang-format on

ChoiceList toChoices(std::initializer_list<Rows> parts)
{
    ChoiceList list;
    for (const Rows part : parts)
        for (const Row& row : part)
            list.append({row.display.toString(), row.id.toString()});
    return list;
}

constexpr QStringView X86 = u"x86";
constexpr QStringView Ppc = u"ppc";
constexpr QStringView PpcEmb = u"ppcemb";
constexpr QStringView Arm = u"arm";
constexpr QStringView Mips = u"mips";
constexpr QStringView Mipsel = u"mipsel";
constexpr QStringView Sparc = u"sparc";
constexpr QStringView Cf = u"cf";
constexpr QStringView Cris = u"cris";

constexpr QStringView Bits32 = u"32 Bit";
constexpr QStringView Bits64 = u"64 Bit";

// Every list is built once, on first use; lookups hand out shared copies.
struct Catalogue
{
    ChoiceList x86Machines32 = toChoices({X86Machines32});
    ChoiceList x86Machines64 = toChoices({X86Machines64});
    ChoiceList armMachines = toChoices({ArmMachines});
    ChoiceList ppcMachines = toChoices({PpcMachines});
    ChoiceList mipsMachines = toChoices({MipsMachines});
    ChoiceList sparcMachines32 = toChoices({SparcMachines32});
    ChoiceList sparcMachines64 = toChoices({SparcMachines64});
    ChoiceList cfMachines = toChoices({CfMachines});
    ChoiceList crisMachines = toChoices({CrisMachines});

    ChoiceList x86Cpus32 = toChoices({X86Cpus32});
    ChoiceList x86Cpus64 = toChoices({X86Cpus64});
    ChoiceList armCpus = toChoices({ArmCpus});
    ChoiceList ppcCpus32 = toChoices({PpcCommonCpus, PpcTailCpus});
    ChoiceList ppcCpus64 = toChoices({PpcCommonCpus, Ppc64OnlyCpus, PpcTailCpus});
    ChoiceList mipsCpus32 = toChoices({MipsCpus32});
    ChoiceList mipselCpus32 = toChoices({MipselCpus32});
    ChoiceList mipsCpus64 = toChoices({MipsCpus64});
    ChoiceList sparcCpus32 = toChoices({SparcCpus32});
    ChoiceList sparcCpus64 = toChoices({SparcCpus64});
    ChoiceList defaultCpu = toChoices({DefaultCpu});

    ChoiceList x86Sound = toChoices({X86Sound});
    ChoiceList armSound = toChoices({ArmSound});
    ChoiceList ppcSound = toChoices({PpcSound});
    ChoiceList mipsSound = toChoices({MipsSound});

    ChoiceList x86Video = toChoices({X86Video});
    ChoiceList otherVideo = toChoices({OtherVideo});

    ChoiceList x86PciNet = toChoices({X86PciNet});
    ChoiceList x86IsaNet = toChoices({X86IsaNet});
    ChoiceList mipsNet = toChoices({MipsNet});
    ChoiceList lanceNet = toChoices({LanceNet});
    ChoiceList pciNet = toChoices({PciNet});
    ChoiceList armNet = toChoices({ArmNet});
    ChoiceList cfNet = toChoices({CfNet});
    ChoiceList crisNet = toChoices({CrisNet});
};

const Catalogue& catalogue()
{
    static const Catalogue instance;
    return instance;
}

} // namespace

QList<Platform> GuestPlatforms()
{
    static const QList<Platform> platforms = {
        {u"Standard x86/x64 PC"_s, u"x86"_s}, {u"PowerPC Emulation"_s, u"ppc"_s},
        {u"ARM Emulation"_s, u"arm"_s},       {u"Mips Emulation"_s, u"mips"_s},
        {u"Mipsel Emulation"_s, u"mipsel"_s}, {u"Sparc Emulation"_s, u"sparc"_s},
        {u"Coldfire Emulation"_s, u"cf"_s},   {u"Cris Emulation"_s, u"cris"_s},
    };
    return platforms;
}

MachinesAndCpus ListMachinesAndCpus(const QString& arc, int bitnessIndex)
{
    const Catalogue& c = catalogue();
    // An ARM VM may predate the bitness setting; its lists never depended on it.
    if (arc == Arm)
        return {c.armMachines, c.armCpus};
    if (bitnessIndex == 0) {
        if (arc == X86)
            return {c.x86Machines32, c.x86Cpus32};
        if (arc == Ppc || arc == PpcEmb)
            return {c.ppcMachines, c.ppcCpus32};
        if (arc == Mips)
            return {c.mipsMachines, c.mipsCpus32};
        if (arc == Mipsel)
            return {c.mipsMachines, c.mipselCpus32};
        if (arc == Sparc)
            return {c.sparcMachines32, c.sparcCpus32};
        if (arc == Cf)
            return {c.cfMachines, c.defaultCpu};
        if (arc == Cris)
            return {c.crisMachines, c.defaultCpu};
    } else if (bitnessIndex == 1) {
        if (arc == X86)
            return {c.x86Machines64, c.x86Cpus64};
        if (arc == Ppc)
            return {c.ppcMachines, c.ppcCpus64};
        if (arc == Mips || arc == Mipsel)
            return {c.mipsMachines, c.mipsCpus64};
        if (arc == Sparc)
            return {c.sparcMachines64, c.sparcCpus64};
    }
    return {};
}

QStringList BitnessChoices(const QString& arc, bool forWizard)
{
    // The wizard keeps new SPARC VMs 32-bit; the editor may still switch them.
    if (arc == Cf || arc == PpcEmb || arc == Cris || (forWizard && arc == Sparc))
        return {Bits32.toString()};
    return {Bits32.toString(), Bits64.toString()};
}

int BitnessIndex(const QString& cpuArc, const QString& arc, bool forWizard)
{
    return static_cast<int>(BitnessChoices(arc, forWizard).indexOf(cpuArc));
}

std::optional<ChoiceList> ListSoundCards(const QString& arc)
{
    const Catalogue& c = catalogue();
    if (arc == X86)
        return c.x86Sound;
    if (arc == Arm)
        return c.armSound;
    if (arc == Ppc || arc == PpcEmb)
        return c.ppcSound;
    if (arc == Mips || arc == Mipsel)
        return c.mipsSound;
    return std::nullopt;
}

std::optional<ChoiceList> ListVideoCards(const QString& arc)
{
    const Catalogue& c = catalogue();
    if (arc == X86)
        return c.x86Video;
    if (arc == Arm || arc == Ppc || arc == PpcEmb || arc == Mips || arc == Mipsel || arc == Sparc ||
        arc == Cf || arc == Cris)
        return c.otherVideo;
    return std::nullopt;
}

std::optional<ChoiceList> ListNetworkCardModels(const QString& arc, const QString& machineId,
                                                bool lance)
{
    const Catalogue& c = catalogue();
    if (arc == X86)
        return machineId == u"isapc"_s ? c.x86IsaNet : c.x86PciNet;
    if (arc == Mips || arc == Mipsel)
        return c.mipsNet;
    if (arc == Ppc || arc == PpcEmb || arc == Sparc)
        return lance ? c.lanceNet : c.pciNet;
    if (arc == Arm)
        return c.armNet;
    if (arc == Cf)
        return c.cfNet;
    if (arc == Cris)
        return c.crisNet;
    return std::nullopt;
}

QString QemuExeName(int bitnessIndex, const QString& arc)
{
    struct Exe
    {
        QStringView arc;
        QStringView bits32;
        QStringView bits64;
    };
    static constexpr Exe Names[] = {
        {u"x86", u"qemu.exe", u"qemu-system-x86_64.exe"},
        {u"arm", u"qemu-system-arm.exe", u"qemu-system-arm.exe"},
        {u"ppc", u"qemu-system-ppc.exe", u"qemu-system-ppc64.exe"},
        {u"ppcemb", u"qemu-system-ppcemb.exe", {}},
        {u"mips", u"qemu-system-mips.exe", u"qemu-system-mips64.exe"},
        {u"mipsel", u"qemu-system-mipsel.exe", u"qemu-system-mips64el.exe"},
        {u"sparc", u"qemu-system-sparc.exe", u"qemu-system-sparc64.exe"},
        {u"cf", u"qemu-system-m68k.exe", {}},
        {u"cris", u"qemu-system-cris.exe", {}},
    };
    if (bitnessIndex != 0 && bitnessIndex != 1)
        return {};
    for (const Exe& exe : Names) {
        if (exe.arc == arc)
            return (bitnessIndex == 0 ? exe.bits32 : exe.bits64).toString();
    }
    return {};
}

QStringList KeyboardLayouts()
{
    static const QStringList layouts = {
        u"ar"_s, u"da"_s, u"de"_s,    u"de-ch "_s, u"en-gb"_s, u"en-us"_s, u"es"_s,
        u"et"_s, u"fi"_s, u"fo"_s,    u"fr"_s,     u"fr-be"_s, u"fr-ca"_s, u"fr-ch"_s,
        u"hr"_s, u"hu"_s, u"is"_s,    u"it"_s,     u"ja"_s,    u"lt"_s,    u"lv"_s,
        u"mk"_s, u"nl"_s, u"nl-be"_s, u"no"_s,     u"pl"_s,    u"pt"_s,    u"pt-br"_s,
        u"ru"_s, u"sl"_s, u"sv"_s,    u"th"_s,     u"tr"_s,
    };
    return layouts;
}

int FindDisplayText(const ChoiceList& list, const QString& text)
{
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list.at(i).display == text)
            return static_cast<int>(i);
    }
    return -1;
}

QString ResolveQemuExecutable(const QString& versionFolder, const QString& exeName)
{
    if (exeName.isEmpty())
        return {};
    const QDir folder(FileSystem::nativePath(versionFolder));
    QStringList candidates{exeName};
    // Linux builds carry no ".exe"; their 32-bit PC emulator is qemu-system-i386, while old
    // builds still call it "qemu".
    const QLatin1String exe(".exe");
    if (exeName.endsWith(exe, Qt::CaseInsensitive)) {
        const QString bare = exeName.chopped(exe.size());
        candidates.append(bare);
        if (bare.compare(u"qemu"_s, Qt::CaseInsensitive) == 0)
            candidates.append(u"qemu-system-i386"_s);
    }
    for (const QString& name : std::as_const(candidates)) {
        const QString path = folder.filePath(name);
        if (QFileInfo(path).isFile())
            return QDir::toNativeSeparators(path);
    }
    return QDir::toNativeSeparators(folder.filePath(exeName));
}
