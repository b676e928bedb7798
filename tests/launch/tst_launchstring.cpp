#include "app/ui/TMain.h"
#include "launch/EmbeddedDisplay.h"
#include "launch/LaunchString.h"
#include "model/ProgramFolder.h"
#include "model/Settings.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/CommandLine.h"
#include "platform/HostDrives.h"
#include "platform/ui/Interaction.h"
#include "support/TempProgramFolder.h"
#include "versions/VersionRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <memory>
#include <unistd.h>

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

QStringList list(std::initializer_list<const char*> items)
{
    QStringList result;
    for (const char* item : items)
        result.append(s(item));
    return result;
}

// "Section/Key=Value" as written into the VM file.
struct KeyValue
{
    QString section;
    QString key;
    QString value;
};
KeyValue parseKey(const QString& line)
{
    const qsizetype slash = line.indexOf(QLatin1Char('/'));
    const qsizetype equals = line.indexOf(QLatin1Char('='), slash);
    return {line.left(slash), line.mid(slash + 1, equals - slash - 1), line.mid(equals + 1)};
}

// The versions the rows run on: the identifier names the command-line generation and the flags.
const QStringList VersionIds =
    list({"0-", "1-", "2-", "E-", "1-KQEMU", "2-KQEMU", "0-KQEMU", "0-USB", "0-BT", "0-USB,BT",
          "0-INT", "0-INT,CONSOLE", "3-USB"});

// A fresh template VM on generation "1" as the new-VM wizard leaves it: one user-networking card.
const QStringList BaseKeys = list({
    "General/Arc=x86",
    "General/Qemu Version ID=1-",
    "General/VM Store ID=0",
    "Hardware/CPUArc=32 Bit",
    "Hardware/RAM=256",
    "Hardware/MID=pc",
    "Hardware/CID=Default",
    "Hardware/VID=cirrus",
    "Hardware/OutputID=1",
    "Drives/HDA=disk.img",
    "Audio/SID=es1370",
    "Network/CardCount=1",
    "Network Card 1/LID=ne2k_pci",
    "Network Card 1/MAC=Auto",
    "Network Card 1/VLAN=0",
    "Network Card 1/VLAN Type=User Networking",
});

bool containsSequence(const QStringList& arguments, const QStringList& sequence)
{
    if (sequence.isEmpty())
        return true;
    for (qsizetype at = 0; at + sequence.size() <= arguments.size(); ++at)
        if (arguments.mid(at, sequence.size()) == sequence)
            return true;
    return false;
}

} // namespace

class TestLaunchString final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void templateVM();
    void options_data();
    void options();
    void integratedDisplay_data();
    void integratedDisplay();
    void allPanelsTaken();
    void defaultReservations();
    void unsafeValues_data();
    void unsafeValues();
    void overrideAll();
    void findBiosFolder_data();
    void findBiosFolder();
    void qemuAcceptsTheArguments_data();
    void qemuAcceptsTheArguments();
    void firmwareAndTpm();

private:
    QString expandRow(QString text) const;
    void writeVM(const QStringList& extra);
    LaunchString build(const LaunchEnvironment& env = {});
    QString read(const char* section, const char* key) const
    {
        return ReadVMFileValue(m_vm, s(section), s(key));
    }
    void addVersion(const QString& id, const QString& verid, const QStringList& flags,
                    const QString& path);

    std::unique_ptr<TempProgramFolder> m_folder;
    std::unique_ptr<TMain> m_window;
    QString m_vm;
    QString m_dev;
};

void TestLaunchString::addVersion(const QString& id, const QString& verid, const QStringList& flags,
                                  const QString& path)
{
    TableHandle versions;
    versions.setFolder(m_folder->path());
    versions.setTableName(TableSchemas::VersionTable);
    QVERIFY(versions.open());
    versions.insert();
    versions.setFieldValue(s("ID"), id);
    versions.setFieldValue(s("DESC"), id);
    versions.setFieldValue(s("PATH"), path);
    versions.setFieldValue(s("VERID"), verid);
    for (const QString& flag : flags)
        versions.setFieldValue(flag, s("Yes"));
    QVERIFY(versions.post());
}

void TestLaunchString::initTestCase()
{
    Interaction::install(std::make_unique<ScriptedInteraction>());
    m_folder = std::make_unique<TempProgramFolder>();
    QVERIFY(m_folder->isValid());
    // The sockets and private files in a runtime folder of this test's own.
    QVERIFY(QDir().mkpath(m_folder->file(s("run"))));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_folder->file(s("run"))));
    m_vm = m_folder->file(s("VMs/test.vm2"));

    for (const QString& id : VersionIds) {
        const QString verid = id.startsWith(QLatin1Char('E')) ? QString() : id.left(1);
        addVersion(id, verid, id.mid(2).split(QLatin1Char(','), Qt::SkipEmptyParts),
                   s("{VR}\\qemu"));
    }
    // The BIOS files of the default version, and the media the rows name.
    QVERIFY(m_folder->write(s("qemu/bios.bin"), "x"));
    QVERIFY(m_folder->write(s("Media/x.iso"), "x"));
    QVERIFY(m_folder->write(s("Media/f.img"), "x"));

    // A host with one disk and two optical drives: sr0 is D:, sr1 is E:.
    const QString sys = m_folder->file(s("host/sys"));
    m_dev = m_folder->file(s("host/dev"));
    for (const char* name : {"sda", "sr0", "sr1"})
        QVERIFY(QDir().mkpath(sys + s("/block/") + s(name)));
    QVERIFY(QDir().mkpath(m_dev));
    HostDrives::setRoots({sys, m_dev});

    writeVM({});
    m_window = std::make_unique<TMain>();
    QCOMPARE(m_window->selectedVM(), m_vm);
}

void TestLaunchString::init()
{
    m_window->startSettings().compatDrive = false;
    QFile::remove(m_folder->file(s("panels.dat")));
    QFile::remove(m_folder->file(s("VRPorts.dat")));
}

void TestLaunchString::cleanupTestCase()
{
    m_window.reset();
    HostDrives::setRoots(HostDrives::Roots{});
    m_folder.reset();
    Interaction::install(nullptr);
}

QString TestLaunchString::expandRow(QString text) const
{
    text.replace(s("{P}"), m_folder->path());
    text.replace(s("{RUN}"), m_folder->file(s("run/vimor")));
    text.replace(s("{KEY}"), EmbeddedDisplay::socketKey(m_vm));
    text.replace(s("{DEV}"), m_dev);
    return text;
}

void TestLaunchString::writeVM(const QStringList& extra)
{
    QVERIFY(WriteVMTemplate(m_vm, true));
    for (const QString& line : BaseKeys + extra) {
        const KeyValue kv = parseKey(expandRow(line));
        QVERIFY(WriteVMFileValue(m_vm, kv.section, kv.key, kv.value));
    }
}

LaunchString TestLaunchString::build(const LaunchEnvironment& env)
{
    return BuildLaunchString(*m_window, env);
}

void TestLaunchString::templateVM()
{
    writeVM({});
    bool hidden = false;
    LaunchEnvironment env;
    env.hideRunTabs = [&hidden] { hidden = true; };
    const LaunchString result = build(env);
    const QString p = m_folder->path();
    const QString expected = s("-L \"") + p + s("/qemu\" -M \"pc\" -m 256 -vga cirrus -serial vc") +
                             s(" -parallel vc -name \"test\" -drive \"file=") + p +
                             s("/VMs/disk.img,index=0,media=disk\" -boot order=dc,menu=off") +
                             s(" -soundhw es1370 -net nic,vlan=0,model=ne2k_pci -net user,vlan=0") +
                             s(" -localtime");
    QCOMPARE(result.arguments, expected);
    QVERIFY(result.unsafeValue.isEmpty());
    QCOMPARE(CommandLine::SplitCommandLine(result.arguments),
             QStringList({s("-L"),        p + s("/qemu"),
                          s("-M"),        s("pc"),
                          s("-m"),        s("256"),
                          s("-vga"),      s("cirrus"),
                          s("-serial"),   s("vc"),
                          s("-parallel"), s("vc"),
                          s("-name"),     s("test"),
                          s("-drive"),    s("file=") + p + s("/VMs/disk.img,index=0,media=disk"),
                          s("-boot"),     s("order=dc,menu=off"),
                          s("-soundhw"),  s("es1370"),
                          s("-net"),      s("nic,vlan=0,model=ne2k_pci"),
                          s("-net"),      s("user,vlan=0"),
                          s("-localtime")}));
    QCOMPARE(read("General", "LaunchString"), expected);
    QVERIFY(read("General", "PanelID").isEmpty());
    QVERIFY(read("General", "PortID").isEmpty());
    // The version cannot draw into a panel.
    QVERIFY(hidden);

    // Keys without an option of their own change nothing.
    writeVM(list({"Advanced/NoReboot=Yes", "Hardware/semihosting=Yes"}));
    QCOMPARE(build().arguments, expected);
}

void TestLaunchString::options_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<bool>("compat");
    QTest::addColumn<QStringList>("arguments"); // a run of the split arguments
    QTest::addColumn<QString>("text");          // a piece of the string itself
    QTest::addColumn<QStringList>("absent");    // pieces the string must not hold

    auto row = [](const char* name, const QStringList& keys, bool compat,
                  const QStringList& arguments, const char* text, const QStringList& absent = {}) {
        QTest::newRow(name) << keys << compat << arguments << s(text) << absent;
    };

    // Hard disks and the CD-ROM.
    row("SCSI disks 0 and 2 take units 1 and 2",
        list({"Drives/HDASCSI=Yes", "Drives/HDB=b.img", "Drives/HDBSCSI=No", "Drives/HDC=c.img",
              "Drives/HDCSCSI=Yes"}),
        false,
        list({"-drive", "file={P}/VMs/disk.img,if=scsi,bus=0,unit=1", "-drive",
              "file={P}/VMs/b.img,index=1,media=disk", "-drive",
              "file={P}/VMs/c.img,if=scsi,bus=0,unit=2"}),
        "");
    row("empty SCSI disk 1 still uses unit 1",
        list({"Drives/HDBSCSI=Yes", "Drives/HDC=c.img", "Drives/HDCSCSI=Yes"}), false,
        list({"-drive", "file={P}/VMs/disk.img,index=0,media=disk", "-drive",
              "file={P}/VMs/c.img,if=scsi,bus=0,unit=2"}),
        "", list({"unit=1"}));
    row("SCSI suffix wins over the old options", list({"Drives/HDASCSI=Yes"}), true,
        list({"-drive", "file={P}/VMs/disk.img,if=scsi,bus=0,unit=1"}), "", list({"-hda"}));
    row("old disk options", list({"Drives/HDD=/vm/d.img"}), true,
        list({"-hda", "{P}/VMs/disk.img", "-hdd", "/vm/d.img"}), " -hda \"{P}/VMs/disk.img\"");
    row("disk 2 set leaves the CD-ROM out",
        list({"Drives/HDC=c.img", "Drives/CDROM={VR}\\media\\x.iso"}), false,
        list({"-drive", "file={P}/VMs/c.img,index=2,media=disk", "-boot"}), "",
        list({"cdrom", "x.iso"}));
    row("CD image in the Media folder", list({"Drives/CDROM={VR}\\media\\x.iso"}), false,
        list({"-drive", "file={P}/Media/x.iso,index=2,media=cdrom"}), "");
    row("CD image, old option", list({"Drives/CDROM={VR}\\media\\x.iso"}), true,
        list({"-cdrom", "{P}/Media/x.iso"}), " -cdrom \"{P}/Media/x.iso\"");
    row("host CD drive E:", list({"Drives/CDROM=E:"}), false, list({"-cdrom", "{DEV}/sr1"}),
        " -cdrom \"{DEV}/sr1\"");
    row("host CD drive E:, old option", list({"Drives/CDROM=E:"}), true,
        list({"-cdrom", "{DEV}/sr1"}), " -cdrom {DEV}/sr1 ");
    row("host CD drive D: is the first optical drive", list({"Drives/CDROM=D:"}), false,
        list({"-cdrom", "{DEV}/sr0"}), "");
    row("unknown drive letter stays one empty argument", list({"Drives/CDROM=Q:"}), true,
        list({"-cdrom", "", "-boot"}), " -cdrom \"\"");
    row("physical disk", list({"Drives/HDB=\\\\.\\PhysicalDrive0"}), false,
        list({"-drive", "file={DEV}/sda,index=1,media=disk"}), "");
    row("physical disk the host lacks", list({"Drives/HDB=\\\\.\\PhysicalDrive7"}), false,
        list({"-drive", "file=,index=1,media=disk"}), "");
    row("fat folder", list({"Drives/HDB=fat:/srv/share"}), false,
        list({"-drive", "file=fat:/srv/share,index=1,media=disk"}), "");
    row("comma in a path is doubled", list({"Drives/HDA=/vm/a,format=raw.img"}), false,
        list({"-drive", "file=/vm/a,,format=raw.img,index=0,media=disk"}), "");
    row("comma in a fat folder is doubled", list({"Drives/HDB=fat::rw:/srv/a,b"}), false,
        list({"-drive", "file=fat::rw:/srv/a,,b,index=1,media=disk"}), "");
    row("old option keeps the comma", list({"Drives/HDA=/vm/a,b.img"}), true,
        list({"-hda", "/vm/a,b.img"}), "");
    row("path with blanks stays one argument", list({"Drives/HDA=/my vms/disk one.img"}), false,
        list({"-drive", "file=/my vms/disk one.img,index=0,media=disk", "-boot"}), "");
    row("floppies", list({"Drives/FloppyA={VR}\\media\\f.img", "Drives/FloppyB=/fl/b.img"}), false,
        list({"-drive", "file={P}/Media/f.img,index=0,if=floppy", "-drive",
              "file=/fl/b.img,index=1,if=floppy", "-boot"}),
        "");
    row("floppies, old options",
        list({"Drives/FloppyA={VR}\\media\\f.img", "Drives/FloppyB=/fl/b.img"}), true,
        list({"-fda", "{P}/Media/f.img", "-fdb", "/fl/b.img"}), "");

    // Ports.
    row("SerialCount 0", list({"Ports/SerialCount=0"}), false,
        list({"-serial", "none", "-parallel", "vc"}), "");
    row("SerialCount empty", list({"Ports/SerialCount="}), false,
        list({"-vga", "cirrus", "-parallel"}), "", list({"-serial"}));
    row("SerialCount not a number counts as 0", list({"Ports/SerialCount=two"}), false,
        list({"-serial", "none"}), "");
    row("serial tcp server",
        list({"Serial Port 1/SerialTy=3", "Serial Port 1/listen=1", "Serial Port 1/wait=1"}), false,
        list({"-serial", "tcp:0.0.0.0:4444,server", "-parallel"}), "", list({"nowait"}));
    row("serial tcp client without waiting", list({"Serial Port 1/SerialTy=3"}), false,
        list({"-serial", "tcp:0.0.0.0:4444,nowait"}), "");
    row("serial host port and file",
        list({"Ports/SerialCount=2", "Serial Port 1/SerialTy=1", "Serial Port 1/Serial=/dev/ttyS0",
              "Serial Port 2/SerialTy=2", "Serial Port 2/Serial=/tmp/serial log.txt"}),
        false, list({"-serial", "/dev/ttyS0", "-serial", "file:/tmp/serial log.txt"}), "");
    row("unknown serial type adds nothing", list({"Serial Port 1/SerialTy=9"}), false,
        list({"-vga", "cirrus", "-parallel"}), "", list({"-serial"}));
    row("ParallelCount 0 and a file", list({"Ports/ParallelCount=0"}), false,
        list({"-parallel", "none", "-name"}), "");
    row("parallel file", list({"Parallel Port 1/ParallelTy=1", "Parallel Port 1/Parallel=/tmp/lp"}),
        false, list({"-parallel", "file:/tmp/lp"}), "");

    // Network.
    row("redirectors", list({"Network Card 1/Redirectors=tcp:2222::22|udp:5353::53"}), false,
        list({"-net", "user,vlan=0", "-redir", "tcp:2222::22", "-redir", "udp:5353::53"}), "");
    row("redirector naming its host address, which -redir cannot take",
        list({"Network Card 1/Redirectors=tcp:192.168.1.5:2222::22|udp:5353:10.0.2.15:53"}), false,
        list({"-redir", "tcp:2222::22", "-redir", "udp:5353:10.0.2.15:53"}), "");
    row("empty listener item keeps its option", list({"Network Card 1/Listeners=1234|"}), false,
        list(
            {"-net", "socket,vlan=0,listen=:1234", "-net", "socket,vlan=0,listen=:", "-localtime"}),
        "");
    row("connectors", list({"Network Card 1/Connectors=10.0.0.1:1234"}), false,
        list({"-net", "socket,vlan=0,connect=10.0.0.1:1234"}), "");
    row("TAP card with an address",
        list({"Network Card 1/VLAN Type=TAP Networking", "Network Card 1/TapID=tap 0",
              "Network Card 1/VLAN=2", "Network Card 1/MAC=52-54-00-12-34-56"}),
        false,
        list({"-net", "nic,vlan=2,macaddr=52-54-00-12-34-56,model=ne2k_pci", "-net",
              "tap,vlan=2,ifname=tap 0"}),
        "", list({"user,"}));
    row("VLAN not a number counts as 0", list({"Network Card 1/VLAN=x"}), false,
        list({"-net", "nic,vlan=0,model=ne2k_pci"}), "");
    row("CardCount not a number gives no card", list({"Network/CardCount=x"}), false, {}, "",
        list({"-net"}));
    row("networking off", list({"Hardware/Network=No"}), false, list({"-net", "none"}), "",
        list({"nic,"}));

    // Machine, processor, kernel, BIOS.
    row("CPU model", list({"Hardware/CID=qemu64"}), false, list({"-m", "256", "-cpu", "qemu64"}),
        " -cpu \"qemu64\"");
    row("no CPU option for cf", list({"General/Arc=cf", "Hardware/CID=cfv4e"}), false, {}, "",
        list({"-cpu"}));
    row("two processors", list({"Hardware/Processors=2"}), false, list({"-smp", "2", "-vga"}), "");
    row("processors not a number", list({"Hardware/Processors=many"}), false, {}, "",
        list({"-smp"}));
    row("kernel, initrd and command line",
        list({"Hardware/Kernel={VR}\\linux\\vmlinuz", "Hardware/initrd={VR}\\linux\\initrd",
              "Hardware/Append=console=ttyS0 root=/dev/sda"}),
        false,
        list({"-kernel", "{P}/linux/vmlinuz", "-initrd", "{P}/linux/initrd", "-append",
              "console=ttyS0 root=/dev/sda", "-vga"}),
        "");
    row("own BIOS file", list({"Advanced/Bios={VR}\\bios\\my.bin"}), false,
        list({"-L", "{P}/bios", "-bios", "my.bin", "-M"}), "");
    row("empty video card leaves -vga bare", list({"Hardware/VID="}), false, {}, " -vga  -serial");
    row("own window title", list({"General/Window Title=My VM"}), false, list({"-name", "My VM"}),
        "");
    row("empty window title", list({"General/Window Title="}), false, list({"-name", ""}), "");

    // Boot order and generations.
    row("boot order with menu",
        list(
            {"Drives/BootOrder=Floppy Drive|Network|Nonsense||Hard Drive", "Drives/Boot Menu=Yes"}),
        false, list({"-boot", "order=anc,menu=on"}), "");
    row("empty boot order", list({"Drives/BootOrder=", "General/Qemu Version ID=0-"}), false,
        list({"-boot", "order=c,menu=off"}), "");
    row("generation 2 boot drive", list({"General/Qemu Version ID=2-", "Drives/Boot Drive ID=2"}),
        false, list({"-boot", "d"}), "", list({"order="}));
    row("unknown generation without boot drive", list({"General/Qemu Version ID=E-"}), false, {},
        "", list({"-boot"}));

    // Sound, accelerator, hacks.
    row("no sound for sparc", list({"General/Arc=sparc"}), false, {}, "", list({"-soundhw"}));
    row("sound off", list({"Audio/Enable Sound=No"}), false, {}, "", list({"-soundhw"}));
    row("kqemu on generation 1", list({"General/Qemu Version ID=1-KQEMU", "Advanced/KQEMUID=1"}),
        false, list({"-soundhw", "es1370", "-enable-kqemu", "-net"}), "");
    row("kernel kqemu on generation 1",
        list({"General/Qemu Version ID=1-KQEMU", "Advanced/KQEMUID=2"}), false,
        list({"-kernel-kqemu"}), "");
    row("no kqemu on generation 2", list({"General/Qemu Version ID=2-KQEMU", "Advanced/KQEMUID=0"}),
        false, list({"-no-kqemu"}), "");
    row("kqemu ignored on generation 0",
        list({"General/Qemu Version ID=0-KQEMU", "Advanced/KQEMUID=2"}), false, {}, "",
        list({"kqemu"}));
    row("kqemu needs the flag", list({"Advanced/KQEMUID=1"}), false, {}, "", list({"kqemu"}));
    row("x86 switches",
        list({"Hardware/Enable WIN2K Hack=Yes", "Advanced/Enable HAL Hack=Yes",
              "Advanced/Disable HPET=Yes", "Advanced/ACPI=Yes",
              "Advanced/Disable Boot Signature=Yes", "Hardware/Do Not Start CPU=Yes"}),
        false,
        list({"-S", "-net", "nic,vlan=0,model=ne2k_pci", "-net", "user,vlan=0", "-win2k-hack",
              "-rtc-td-hack", "-no-hpet", "-no-acpi", "-no-fd-bootchk", "-localtime"}),
        "");
    row("x86 switches ignored for arm",
        list({"General/Arc=arm", "Hardware/Enable WIN2K Hack=Yes", "Advanced/ACPI=Yes"}), false, {},
        "", list({"hack", "acpi"}));

    // Snapshots, USB, Bluetooth, display.
    row("snapshot and temporary changes",
        list({"Advanced/Snapshot=before update", "Hardware/Do Not Apply=Yes"}), false,
        list({"-loadvm", "before update", "-snapshot", "-localtime"}), "");
    row("USB devices",
        list({"General/Qemu Version ID=0-USB", "Hardware/Enable USB=Yes", "USB Devices/Count=6",
              "USB Device 1/Type=HW", "USB Device 1/VendID=046d", "USB Device 1/ProdID=c52b",
              "USB Device 2/Type=DRIVE", "USB Device 2/DrivePath=stick.img",
              "USB Device 3/Type=USBDISK", "USB Device 3/DrivePath=/my disks/u.img",
              "USB Device 4/Type=MOUSE", "USB Device 5/Type=KEYBOARD", "USB Device 6/Type=TABLET"}),
        false,
        list({"-usb", "-usbdevice", "host:046d:c52b", "-usbdevice", "disk:{P}/VMs/stick.img",
              "-usbdevice", "disk:/my disks/u.img", "-usbdevice", "mouse", "-usbdevice", "keyboard",
              "-usbdevice", "tablet", "-localtime"}),
        " -usbdevice disk:{P}/VMs/stick.img ");
    row("USB needs the version's flag",
        list({"Hardware/Enable USB=Yes", "USB Devices/Count=1", "USB Device 1/Type=MOUSE"}), false,
        {}, "", list({"-usb"}));
    row("USB count not a number",
        list({"General/Qemu Version ID=0-USB", "Hardware/Enable USB=Yes", "USB Devices/Count=x"}),
        false, list({"-usb", "-localtime"}), "");
    row("bluetooth without USB",
        list({"General/Qemu Version ID=0-BT", "Hardware/Enable Bluetooth=Yes",
              "Hardware/BTKeyboard=Yes"}),
        false, list({"-usb", "-usbdevice", "bt:hci,vlan=0", "-bt", "device:keyboard,vlan=0"}), "");
    row("bluetooth after USB",
        list({"General/Qemu Version ID=0-USB,BT", "Hardware/Enable USB=Yes",
              "Hardware/Enable Bluetooth=Yes", "Hardware/USB Tablet=Yes"}),
        false, list({"-usb", "-usbdevice", "bt:hci,vlan=0", "-usbdevice", "tablet", "-localtime"}),
        " -usb -usbdevice bt:hci,vlan=0 -usbdevice tablet -localtime");
    row("full screen", list({"Hardware/OutputID=3"}), false, list({"-full-screen"}), "");
    row("tablet without USB enabled",
        list({"General/Qemu Version ID=0-USB", "Hardware/USB Tablet=Yes"}), false,
        list({"-usb", "-usbdevice", "tablet", "-localtime"}), "");
    row("VNC with a tablet gets one tablet",
        list({"General/Qemu Version ID=0-USB", "Hardware/OutputID=2", "Hardware/USB Tablet=Yes",
              "Hardware/Keyboard="}),
        false,
        list({"-usb", "-usbdevice", "tablet", "-vnc", "127.0.0.1:1", "-k", "en-us", "-localtime"}),
        " -usb -usbdevice tablet  -vnc 127.0.0.1:1 -k en-us -localtime");
    row("VNC adds the tablet itself",
        list({"Hardware/OutputID=2", "Hardware/VNC Number=3", "Hardware/Keyboard=de-ch "}), false,
        list({"-usbdevice", "tablet", "-vnc", "127.0.0.1:3", "-k", "de-ch", "-localtime"}),
        "  -usbdevice tablet -vnc 127.0.0.1:3 -k de-ch  -localtime");
    row("VNC on a socket instead of a port",
        list({"Hardware/OutputID=2", "Hardware/VNC Socket=Yes", "Hardware/VNC Number=3"}), false,
        list({"-usbdevice", "tablet", "-vnc", "unix:{RUN}/vnc-{KEY}.sock", "-k"}), "",
        list({"127.0.0.1"}));
    row("VNC without a display number", list({"Hardware/OutputID=2", "Hardware/VNC Number="}),
        false, {}, "", list({"-vnc"}));
    row("PROM environment", list({"Hardware/PromEnv=auto-boot?=false||boot-device=hd 0"}), false,
        list({"-prom-env", "auto-boot?=false", "-prom-env", "boot-device=hd 0", "-localtime"}), "");

    // Additional parameters and the clock.
    row("additional parameters",
        list({"Advanced/OptionalString=-no-reboot -drive \"file=/a b.img\""}), false,
        list({"-no-reboot", "-drive", "file=/a b.img", "-localtime"}), "");
    row("override with nothing to override with",
        list({"Advanced/OverrideAll=Yes", "Advanced/OptionalString="}), false,
        list({"-M", "pc", "-m", "256"}), "");
    row("start date", list({"Advanced/Start Time=2010-01-01"}), false,
        list({"-startdate", "2010-01-01"}), "", list({"-localtime"}));
    row("no clock option", list({"Advanced/Start Time="}), false, {}, "",
        list({"-localtime", "-startdate"}));
    row("UTC clock", list({"Hardware/Use Local Time=No"}), false, {}, "", list({"-localtime"}));

    // Today's hardware, on a host without KVM: the host's processor is emulated as "max".
    const QStringList modern = list({"General/Qemu Version ID=3-USB", "Drives/HDA=x.qcow2"});
    row("q35, host processor, one socket of cores",
        modern + list({"Hardware/MID=q35", "Hardware/CID=host", "Hardware/Processors=4"}), false,
        list({"-M", "q35", "-accel", "tcg", "-m", "256", "-cpu", "max", "-smp",
              "4,sockets=1,cores=4,threads=1"}),
        "");
    row("VirtIO disk and video, RNG",
        modern + list({"Drives/HDA Bus=VirtIO", "Hardware/VID=virtio", "Hardware/VirtIO RNG=Yes"}),
        false,
        list({"-drive", "file={P}/VMs/x.qcow2,format=qcow2,if=none,id=disk0", "-device",
              "virtio-blk-pci,drive=disk0"}),
        " -vga \"virtio\"", list({"index=0,media=disk"}));
    row("SATA on the Q35 board",
        modern + list({"Hardware/MID=q35", "Drives/HDB=x.qcow2", "Drives/HDB Bus=SATA"}), false,
        list({"-device", "ide-hd,bus=ide.1,drive=disk1"}), "", list({"ahci"}));
    row("SATA on a PC", modern + list({"Drives/HDA Bus=SATA"}), false,
        list({"-device", "ahci,id=ahci0", "-drive",
              "file={P}/VMs/x.qcow2,format=qcow2,if=none,id=disk0", "-device",
              "ide-hd,bus=ahci0.0,drive=disk0"}),
        "");
    row("VirtIO SCSI", modern + list({"Drives/HDA Bus=VirtIO SCSI"}), false,
        list({"-device", "virtio-scsi-pci,id=vscsi0"}), " -device scsi-hd,bus=vscsi0.0,lun=0");
    row("USB 3 carries the tablet",
        modern + list({"Hardware/Enable USB=Yes", "Hardware/USB Tablet=Yes"}), false,
        list({"-device", "qemu-xhci,id=xhci", "-device", "usb-tablet"}), "", list({" -usb"}));
    row("USB 1.1 where the VM says so",
        modern + list({"Hardware/Enable USB=Yes", "Hardware/USB3=No", "Hardware/USB Tablet=Yes"}),
        false, list({"-usb", "-device", "usb-tablet"}), "", list({"xhci"}));
    row("shared clipboard", modern + list({"Hardware/Share Clipboard=Yes"}), false, {},
        " -device virtserialport,bus=vimor-serial.0,chardev=vimor-vdagent,name=com.redhat.spice.0");
    row("older generations leave today's values out",
        list({"Hardware/MID=q35", "Hardware/CID=host", "Hardware/VID=virtio",
              "Network Card 1/LID=e1000e", "Hardware/Firmware=UEFI", "Hardware/TPM=TPM 2.0",
              "Drives/HDA Bus=VirtIO", "Hardware/VirtIO RNG=Yes", "Hardware/Share Clipboard=Yes"}),
        false, list({"-net", "nic,vlan=0"}), "",
        list({"-M", "-cpu", "-vga", "model=", "pflash", "tpm", "virtio", "vdagent"}));
}

void TestLaunchString::options()
{
    QFETCH(QStringList, keys);
    QFETCH(bool, compat);
    QFETCH(QStringList, arguments);
    QFETCH(QString, text);
    QFETCH(QStringList, absent);

    writeVM(keys);
    m_window->startSettings().compatDrive = compat;
    // Today's rows are written for a host without KVM.
    LaunchEnvironment env;
    env.kvmDevice = m_folder->file(s("no-kvm"));
    const LaunchString result = build(env);
    const QStringList split = CommandLine::SplitCommandLine(result.arguments);
    QStringList expected;
    for (const QString& argument : std::as_const(arguments))
        expected.append(expandRow(argument));
    QVERIFY2(containsSequence(split, expected),
             qPrintable(result.arguments + s("\n  wanted: ") + expected.join(s(" | "))));
    QVERIFY2(result.arguments.contains(expandRow(text)), qPrintable(result.arguments));
    // Not in the temporary folder's random name either ("-M" would be found in ".../x-M2aB9/").
    const QString withoutFolder = QString(result.arguments).remove(m_folder->path());
    for (const QString& piece : std::as_const(absent))
        QVERIFY2(!withoutFolder.contains(piece), qPrintable(result.arguments));
    QVERIFY2(result.unsafeValue.isEmpty(), qPrintable(result.unsafeValue));
    QCOMPARE(read("General", "LaunchString"), result.arguments);
}

void TestLaunchString::integratedDisplay_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("outputId");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("tail");
    QTest::addColumn<QString>("panelId");
    QTest::addColumn<QString>("portId");
    QTest::addColumn<bool>("hidden");

    QTest::newRow("panel and monitor")
        << s("0-INT,CONSOLE") << s("0") << 60003
        << s(" -hwnd 4711 -monitor \"unix:{RUN}/monitor-{KEY}.sock,server,nowait\" -localtime")
        << s("7") << s("60003") << false;
    QTest::newRow("panel without a console")
        << s("0-INT") << s("0") << 60003 << s(" -hwnd 4711 -localtime") << s("7") << QString()
        << false;
    QTest::newRow("all ports taken") << s("0-INT,CONSOLE") << s("0") << 0
                                     << s(" -hwnd 4711 -localtime") << s("7") << QString() << false;
    QTest::newRow("own window") << s("0-INT,CONSOLE") << s("1") << 60003
                                << s(" -net user,vlan=0 -localtime") << QString() << QString()
                                << false;
    QTest::newRow("version cannot embed")
        << s("0-") << s("0") << 60003 << s(" -net user,vlan=0 -localtime") << QString() << QString()
        << true;
}

void TestLaunchString::integratedDisplay()
{
    QFETCH(QString, version);
    QFETCH(QString, outputId);
    QFETCH(int, port);
    QFETCH(QString, tail);
    QFETCH(QString, panelId);
    QFETCH(QString, portId);
    QFETCH(bool, hidden);

    writeVM({s("General/Qemu Version ID=") + version, s("Hardware/OutputID=") + outputId});
    int panelsTaken = 0;
    int portsTaken = 0;
    int askedPanel = 0;
    bool tabsHidden = false;
    LaunchEnvironment env;
    env.allocatePanel = [&] {
        ++panelsTaken;
        return s("7");
    };
    env.allocateMonitorPort = [&] {
        ++portsTaken;
        return port;
    };
    env.panelWindowId = [&](int number) {
        askedPanel = number;
        return s("4711");
    };
    env.hideRunTabs = [&] { tabsHidden = true; };

    const LaunchString result = build(env);
    QVERIFY2(result.arguments.endsWith(expandRow(tail)), qPrintable(result.arguments));
    QCOMPARE(read("General", "PanelID"), panelId);
    QCOMPARE(read("General", "PortID"), portId);
    QCOMPARE(tabsHidden, hidden);
    const bool embedded = !panelId.isEmpty();
    QCOMPARE(panelsTaken, embedded ? 1 : 0);
    QCOMPARE(askedPanel, embedded ? 7 : 0);
    QCOMPARE(portsTaken, embedded && version.contains(s("CONSOLE")) ? 1 : 0);
}

void TestLaunchString::allPanelsTaken()
{
    // A twenty-first embedded VM while twenty panels are in use.
    QByteArray panels;
    for (int n = 20; n >= 1; --n)
        panels += QByteArray::number(n) + "\r\n";
    QVERIFY(m_folder->write(s("panels.dat"), panels));
    writeVM(list({"General/Qemu Version ID=0-INT,CONSOLE", "Hardware/OutputID=0"}));
    LaunchEnvironment env;
    env.panelWindowId = [](int) { return s("4711"); };
    const LaunchString result = build(env);
    QVERIFY(!result.arguments.contains(s("-hwnd")));
    QVERIFY(!result.arguments.contains(s("-monitor")));
    QVERIFY(read("General", "PanelID").isEmpty());
    QVERIFY(read("General", "PortID").isEmpty());
    QVERIFY(!QFile::exists(m_folder->file(s("VRPorts.dat"))));
}

void TestLaunchString::defaultReservations()
{
    // Without stand-ins the reservations land in the program folder's files; the window
    // identifier defaults to an empty one, which still stays one argument.
    writeVM(list({"General/Qemu Version ID=0-INT,CONSOLE", "Hardware/OutputID=0"}));
    const LaunchString first = build();
    QVERIFY2(
        first.arguments.endsWith(expandRow(
            s(" -hwnd \"\" -monitor \"unix:{RUN}/monitor-{KEY}.sock,server,nowait\" -localtime"))),
        qPrintable(first.arguments));
    QCOMPARE(read("General", "PanelID"), s("1"));
    QCOMPARE(read("General", "PortID"), s("60001"));
    const QStringList split = CommandLine::SplitCommandLine(first.arguments);
    QVERIFY(containsSequence(split, list({"-hwnd", "", "-monitor"})));

    const LaunchString second = build();
    QVERIFY(!second.arguments.contains(s("telnet:")));
    QCOMPARE(read("General", "PanelID"), s("10"));
    QCOMPARE(read("General", "PortID"), s("60002"));
}

void TestLaunchString::unsafeValues_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("unsafe");

    QTest::newRow("quote in a quoted value")
        << list({"Hardware/MID=pc\" -hda \"/etc/shadow"}) << s("pc\" -hda \"/etc/shadow");
    QTest::newRow("quote in a disk path")
        << list({"Drives/HDA=/vm/a\"b.img"}) << s("file=/vm/a\"b.img,index=0,media=disk");
    QTest::newRow("quote in a plain value") << list({"Hardware/RAM=256\""}) << s("256\"");
    QTest::newRow("first one is named")
        << list({"Hardware/RAM=1\"", "Hardware/VID=2\""}) << s("1\"");
    QTest::newRow("unbalanced additional parameters")
        << list({"Advanced/OptionalString=-name \"x"}) << s("-name \"x");
    QTest::newRow("quote in the start date") << list({"Advanced/Start Time=\"now"}) << s("\"now");
    QTest::newRow("balanced additional parameters")
        << list({"Advanced/OptionalString=-name \"x y\""}) << QString();
}

void TestLaunchString::unsafeValues()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, unsafe);

    writeVM(keys + list({"General/Qemu Version ID=0-INT,CONSOLE", "Hardware/OutputID=0"}));
    LaunchEnvironment env;
    int reservations = 0;
    env.allocatePanel = [&] {
        ++reservations;
        return s("3");
    };
    env.allocateMonitorPort = [&] {
        ++reservations;
        return 60001;
    };
    env.panelWindowId = [](int) { return s("99"); };
    const LaunchString result = build(env);
    QCOMPARE(result.unsafeValue, unsafe);
    // A string the launcher refuses reserves nothing.
    QCOMPARE(reservations, unsafe.isEmpty() ? 2 : 0);
    QCOMPARE(read("General", "PanelID"), unsafe.isEmpty() ? s("3") : QString());
}

void TestLaunchString::overrideAll()
{
    writeVM(
        list({"Advanced/OverrideAll=Yes", "Advanced/OptionalString=-hda \"/my vms/x.img\" -m 64",
              "General/Qemu Version ID=0-INT,CONSOLE", "Hardware/OutputID=0"}));
    QVERIFY(WriteVMFileValue(m_vm, s("General"), s("LaunchString"), s("old")));
    int reservations = 0;
    LaunchEnvironment env;
    env.allocatePanel = [&] {
        ++reservations;
        return s("3");
    };
    env.allocateMonitorPort = [&] {
        ++reservations;
        return 60001;
    };
    const LaunchString result = build(env);
    QCOMPARE(result.arguments, s("-hda \"/my vms/x.img\" -m 64"));
    QVERIFY(result.unsafeValue.isEmpty());
    QCOMPARE(CommandLine::SplitCommandLine(result.arguments),
             list({"-hda", "/my vms/x.img", "-m", "64"}));
    // Nothing is written and nothing reserved.
    QCOMPARE(reservations, 0);
    QCOMPARE(read("General", "LaunchString"), s("old"));
    QVERIFY(read("General", "PanelID").isEmpty());

    writeVM(list({"Advanced/OverrideAll=Yes", "Advanced/OptionalString=-hda \"x"}));
    QCOMPARE(build().unsafeValue, s("-hda \"x"));
}

void TestLaunchString::findBiosFolder_data()
{
    QTest::addColumn<QString>("versionPath");
    QTest::addColumn<QStringList>("files"); // below the program folder
    QTest::addColumn<QString>("expected");  // below the program folder; "-" for none

    QTest::newRow("bin in the folder")
        << s("{VR}\\qemu\\v1") << list({"qemu/v1/bios.bin", "qemu/v1/pc-bios/vga.bin"})
        << s("qemu/v1");
    QTest::newRow("bin in the folder, any case")
        << s("{VR}\\qemu\\v1") << list({"qemu/v1/BIOS.BIN"}) << s("qemu/v1");
    QTest::newRow("stored in another case")
        << s("{VR}\\QEMU\\V1") << list({"qemu/v1/bios.bin"}) << s("qemu/v1");
    QTest::newRow("one subfolder")
        << s("{VR}\\qemu\\v1")
        << list({"qemu/v1/qemu.exe", "qemu/v1/pc-bios/bios.bin", "qemu/v1/keymaps/de"})
        << s("qemu/v1/pc-bios");
    QTest::newRow("last subfolder wins")
        << s("{VR}\\qemu\\v1")
        << list({"qemu/v1/a/x.bin", "qemu/v1/B/x.bin", "qemu/v1/c/x.rom", "qemu/v1/.hidden/x.bin"})
        << s("qemu/v1/B");
    QTest::newRow("only directly in a subfolder")
        << s("{VR}\\qemu\\v1") << list({"qemu/v1/a/deeper/x.bin"}) << s("-");
    QTest::newRow("none") << s("{VR}\\qemu\\v1") << list({"qemu/v1/qemu.exe"}) << s("-");
    QTest::newRow("version folder missing") << s("{VR}\\qemu\\gone") << QStringList() << s("-");
    QTest::newRow("unknown version") << QString() << QStringList() << s("-");
}

void TestLaunchString::findBiosFolder()
{
    QFETCH(QString, versionPath);
    QFETCH(QStringList, files);
    QFETCH(QString, expected);

    // Each row gets its own version and folder.
    static int rowNumber = 0;
    const QString id = s("bios") + QString::number(++rowNumber);
    const QString root = s("b") + QString::number(rowNumber) + QLatin1Char('/');
    if (!versionPath.isEmpty())
        addVersion(id, s("0"), {},
                   QString(versionPath)
                       .replace(s("{VR}\\"), s("{VR}\\") + root.chopped(1) + QLatin1Char('\\')));
    for (const QString& file : std::as_const(files))
        QVERIFY(m_folder->write(root + file, "x"));
    writeVM({s("General/Qemu Version ID=") + id});
    const QString found = FindBiosFolder(*m_window);
    QCOMPARE(found, expected == s("-") ? QString() : m_folder->file(root + expected));
}

void TestLaunchString::qemuAcceptsTheArguments_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("the wizard's") << QStringList();
    // Values QEMU 7.2 refused as they went out before.
    QTest::newRow("keymap with a blank")
        << list({"General/Qemu Version ID=real3", "Hardware/OutputID=2", "Hardware/VNC Number=57",
                 "Hardware/Keyboard=de-ch "});
    QTest::newRow("read-only shared folders")
        << list({"General/Qemu Version ID=real3", "Drives/HDB=fat:{SHARED}",
                 "Drives/FloppyA=fat:floppy:{SHARED}"});
    QTest::newRow("name with an equals sign")
        << list({"General/Qemu Version ID=real3", "General/Window Title=Web=Server"});
    if (::access("/dev/kvm", R_OK | W_OK) == 0)
        QTest::newRow("the user's own -enable-kvm")
            << list({"General/Qemu Version ID=real3", "Advanced/OptionalString=-enable-kvm"});
}

void TestLaunchString::qemuAcceptsTheArguments()
{
    const QString qemu = QStandardPaths::findExecutable(s("qemu-system-x86_64"));
    const QString qemuImg = QStandardPaths::findExecutable(s("qemu-img"));
    if (qemu.isEmpty() || qemuImg.isEmpty())
        QSKIP("QEMU is not installed");

    // A version folder holding the host's emulator under the catalogue's name, and its BIOS
    // files one folder down.
    const QString folder = m_folder->file(s("qemu72"));
    if (!QFileInfo::exists(folder)) { // made by the first row
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::link(qemu, folder + s("/qemu-system-x86_64")));
        if (QFileInfo::exists(s("/usr/share/qemu")))
            QVERIFY(QFile::link(s("/usr/share/qemu"), folder + s("/pc-bios")));
        addVersion(s("real"), s("0"), {}, s("{VR}\\qemu72"));
        addVersion(s("real3"), s("3"), {}, s("{VR}\\qemu72"));
        QProcess create;
        create.start(qemuImg, {s("create"), s("-q"), s("-f"), s("qcow2"),
                               m_folder->file(s("VMs/real disk.qcow2")), s("1M")});
        QVERIFY(create.waitForFinished(30000) && create.exitCode() == 0);
    }

    QFETCH(QStringList, keys);
    QVERIFY(m_folder->write(s("shared/readme.txt"), "shared"));
    for (QString& key : keys)
        key.replace(s("{SHARED}"), m_folder->file(s("shared")));
    writeVM(list({"General/Qemu Version ID=real", "Hardware/CPUArc=64 Bit", "Audio/Enable Sound=No",
                  "Hardware/Network=No", "Advanced/Start Time=", "Hardware/OutputID=1",
                  "Drives/HDA=real disk.qcow2"}) +
            keys);
    const LaunchString result = build();
    QVERIFY(result.unsafeValue.isEmpty());
    QVERIFY2(result.refusal.isEmpty(), qPrintable(result.refusal));
    const QString executable = m_window->versions().VMExecutable(m_vm);
    QCOMPARE(QFileInfo(executable).canonicalFilePath(), QFileInfo(qemu).canonicalFilePath());

    QStringList arguments = CommandLine::SplitCommandLine(result.arguments);
    arguments << s("-display") << s("none") << s("-S");
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(executable, arguments);
    QVERIFY(process.waitForStarted(10000));
    // Still alive after a second: QEMU took every argument.
    const bool ended = process.waitForFinished(1000);
    const QString output = QString::fromLocal8Bit(process.readAll());
    if (!ended) {
        process.kill();
        process.waitForFinished(10000);
    }
    QVERIFY2(!ended, qPrintable(result.arguments + s("\n") + output));
}

// UEFI takes the VM's own variable store; Secure Boot needs SMM and the Q35 board; the TPM goes
// through its socket.
void TestLaunchString::firmwareAndTpm()
{
    QVERIFY(m_folder->write(s("fw/CODE.secboot.fd"), "x"));
    QVERIFY(m_folder->write(s("VMs/test.efivars.qcow2"), "x"));
    const QStringList uefi =
        list({"General/Qemu Version ID=3-USB", "General/VMID=vm1",
              "Hardware/Firmware Vars=test.efivars.qcow2", "Hardware/TPM=TPM 2.0"}) +
        QStringList{s("Hardware/Firmware Code=") + m_folder->file(s("fw/CODE.secboot.fd"))};
    writeVM(uefi + list({"Hardware/Firmware=UEFI Secure Boot", "Hardware/MID=q35"}));
    LaunchString result = build();
    QVERIFY2(result.refusal.isEmpty(), qPrintable(result.refusal));
    const QStringList split = CommandLine::SplitCommandLine(result.arguments);
    QVERIFY(containsSequence(split, {s("-M"), s("q35,smm=on")}));
    QVERIFY2(
        containsSequence(split, {s("-drive"), s("if=pflash,unit=1,format=qcow2,file=") +
                                                  m_folder->file(s("VMs/test.efivars.qcow2"))}),
        qPrintable(result.arguments));
    QVERIFY(result.arguments.contains(s("driver=cfi.pflash01,property=secure,value=on")));
    QVERIFY(result.arguments.contains(s("-tpmdev emulator,id=tpm0,chardev=chrtpm")));
    QVERIFY(result.arguments.contains(s("tpm-vm1.sock")));

    writeVM(uefi + list({"Hardware/Firmware=UEFI Secure Boot", "Hardware/MID=pc"}));
    QVERIFY(build().refusal.contains(s("Standard PC (Q35 + ICH9, 2009)")));
    writeVM(uefi + list({"Hardware/Firmware=UEFI Secure Boot", "Hardware/MID=q35",
                         "Advanced/OptionalString=-machine smm=off"}));
    QVERIFY(build().refusal.contains(s("SMM")));
    // A store that went missing is named before QEMU would start without its variables.
    QVERIFY(QFile::remove(m_folder->file(s("VMs/test.efivars.qcow2"))));
    writeVM(uefi + list({"Hardware/Firmware=UEFI", "Hardware/MID=q35"}));
    QVERIFY(build().refusal.contains(s("variable store")));
}

QTEST_MAIN(TestLaunchString)
#include "tst_launchstring.moc"
