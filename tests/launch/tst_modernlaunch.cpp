#include "app/ui/TMain.h"
#include "launch/ClipboardChannel.h"
#include "launch/EmbeddedDisplay.h"
#include "launch/LaunchString.h"
#include "launch/ModernOptions.h"
#include "launch/MonitorClient.h"
#include "launch/OwnValuesCheck.h"
#include "launch/Panels.h"
#include "launch/ui/FullScreenDisplay.h"
#include "launch/ui/Launcher.h"
#include "launch/ui/MonitorTerminal.h"
#include "launch/ui/VMControl.h"
#include "launch/ui/VncAccessWindow.h"
#include "library/HardwarePreset.h"
#include "library/NewVM.h"
#include "media/DiskImages.h"
#include "media/ui/DiskCreation.h"
#include "model/ApprovedValues.h"
#include "model/ImageFormat.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/CommandLine.h"
#include "platform/Processes.h"
#include "platform/RuntimeFolder.h"
#include "platform/ui/Interaction.h"
#include "support/InstallerDisc.h"
#include "support/LeftRunning.h"
#include "support/TcpListeners.h"
#include "support/TempProgramFolder.h"
#include "support/TestFiles.h"

#include <QClipboard>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <memory>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

// The generation of today's QEMU, run for real: the host's QEMU 7.2 takes what the VMs ask for.
namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

// The installer's kernel, emulated, brings its console up within a minute here; seven times that
// leaves room for a machine whose cores are mostly taken by its neighbours.
constexpr int GuestBootLimitMs = 420000;

// Real mode: print a line on COM1, then halt.
QByteArray bootSector()
{
    QByteArray code = QByteArray::fromHex("fa31c08ed8be167cbaf803ac84c07403eeebf8f4ebfd");
    code += "VIMOR-BOOT-OK\r\n";
    code += '\0';
    code.resize(510, '\0');
    return code + QByteArray::fromHex("55aa");
}

// Asks a monitor socket for "info status" and returns the answer.
QString monitorStatus(const QString& socketPath)
{
    QLocalSocket monitor;
    // QEMU makes the socket a moment after it starts.
    for (int attempt = 0; attempt < 50 && !monitor.waitForConnected(200); ++attempt)
        QTest::qWait(100), monitor.connectToServer(socketPath);
    monitor.write("info status\n");
    QByteArray answer;
    for (int wait = 0; wait < 50 && !answer.contains("VM status") && monitor.isOpen(); ++wait)
        monitor.waitForReadyRead(200), answer += monitor.readAll();
    return QString::fromUtf8(answer);
}

// Breaks this process's connections to the socket at their end, as a failing link would.
int cutConnections(const QString& socketPath)
{
    int cut = 0;
    const QByteArray wanted = QFile::encodeName(socketPath);
    for (const QString& entry : QDir(s("/proc/self/fd")).entryList(QDir::Files | QDir::System)) {
        const int fd = entry.toInt();
        sockaddr_un peer = {};
        socklen_t length = sizeof peer;
        if (::getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0 &&
            peer.sun_family == AF_UNIX && wanted == peer.sun_path && ::shutdown(fd, SHUT_RDWR) == 0)
            ++cut;
    }
    return cut;
}

} // namespace

class TestModernLaunch final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void conversions();
    void refusedValues_data();
    void refusedValues();
    void wizardDefaultsRun_data();
    void wizardDefaultsRun();
    void bootSectorThroughTheLauncher();
    void everythingAtOnce();
    void embeddedThroughTheLauncher();
    void failedLaunchFreesItsPanel();
    void socketsFollowTheVM();
    void othersReachNothing();
    void survivorOfACrash();
    void encryptedDisk();
    void hostileVMFile();
    void fittedScreenInTheWindow();
    void guestFollowsThePanel();
    void lateDisplayFromASnapshot();

private:
    QString writeVM(const QString& name, const QStringList& keys);
    QProcess* start(const LaunchString& launch);
    void stopSelected(const QString& vm);
    DisplayPanel* panelOf(const QString& vm) const
    {
        return m_window->panel(ReadVMFileValue(vm, s("General"), s("PanelID")).toInt());
    }

    std::unique_ptr<TempProgramFolder> m_folder;
    std::unique_ptr<TMain> m_window;
    ScriptedInteraction* m_ui = nullptr;
    QList<QProcess*> m_processes;
};

void TestModernLaunch::initTestCase()
{
    if (!QFileInfo(s("/usr/bin/qemu-system-x86_64")).isExecutable())
        QSKIP("QEMU is needed");
    auto ui = std::make_unique<ScriptedInteraction>();
    m_ui = ui.get();
    Interaction::install(std::move(ui));
    m_folder = std::make_unique<TempProgramFolder>();
    // The version folder holds the host's emulators, and a wrapper for the PC one that shows no
    // window (there is no display here).
    const QString folder = m_folder->file(s("qemu"));
    QVERIFY(QDir().mkpath(folder));
    const QStringList emulators =
        QDir(s("/usr/bin")).entryList({s("qemu-system-*"), s("qemu-img")});
    for (const QString& name : emulators)
        QVERIFY(QFile::link(s("/usr/bin/") + name, folder + s("/") + name));
    QVERIFY(QFile::link(s("/usr/share/qemu"), folder + s("/pc-bios")));
    QFile::remove(folder + s("/qemu-system-x86_64"));
    QVERIFY(m_folder->write(s("qemu/qemu-system-x86_64"),
                            "#!/bin/sh\nexec /usr/bin/qemu-system-x86_64 \"$@\" -display none\n"));
    QFile(folder + s("/qemu-system-x86_64"))
        .setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
    // "late" stands in for a QEMU that loads a large snapshot before it makes its display socket
    // (13.9 s for a 2 GiB guest; a small one loads at once): the socket is bound under another
    // name and shows at its own 7 s later.
    QVERIFY(m_folder->write(s("late/qemu-system-x86_64"),
                            "#!/bin/sh\nfor arg do\n  shift\n"
                            "  case \"$arg\" in unix:*/display-*.sock)\n"
                            "    late=\"${arg#unix:}\"; arg=\"unix:$late.late\";;\n  esac\n"
                            "  set -- \"$@\" \"$arg\"\ndone\n"
                            "(sleep 7; mv \"$late.late\" \"$late\") &\n"
                            "exec /usr/bin/qemu-system-x86_64 \"$@\" -display none\n"));
    QFile(m_folder->file(s("late/qemu-system-x86_64")))
        .setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
    QVERIFY(QFile::link(s("/usr/share/qemu"), m_folder->file(s("late/pc-bios"))));

    TableHandle versions;
    versions.setFolder(m_folder->path());
    versions.setTableName(TableSchemas::VersionTable);
    QVERIFY(versions.open());
    // "shown" and "late" draw into the main window's panels.
    for (const char* id : {"modern", "shown", "late"}) {
        versions.insert();
        for (const char* field : {"ID", "DESC"})
            versions.setFieldValue(s(field), s(id));
        versions.setFieldValue(s("PATH"),
                               s(id) == QLatin1String("late") ? s("{VR}\\late") : s("{VR}\\qemu"));
        versions.setFieldValue(s("VERID"), s("3"));
        for (const char* flag : {"USB", "CONSOLE"})
            versions.setFieldValue(s(flag), s("Yes"));
        versions.setFieldValue(s("INT"), s(id) == QLatin1String("modern") ? s("No") : s("Yes"));
        QVERIFY(versions.post());
    }
    m_window = std::make_unique<TMain>();
}

void TestModernLaunch::cleanupTestCase()
{
    for (QProcess* process : std::as_const(m_processes)) {
        process->kill();
        process->waitForFinished(5000);
        delete process;
    }
    if (m_folder)
        EndVMsLeftRunning(m_folder->file(s("VMs")));
    m_window.reset();
    m_folder.reset();
    Interaction::install(nullptr);
}

QString TestModernLaunch::writeVM(const QString& name, const QStringList& keys)
{
    NewVM::Plan plan;
    plan.name = name;
    plan.storeFolder = m_folder->file(s("VMs"));
    plan.storeId = s("0");
    plan.versionId = s("modern");
    plan.platform = NewVM::DefaultsFor(plan.arc);
    plan.disk = NewVM::DiskChoice::None;
    plan.output = NewVM::Output::QemuWindow;
    for (const QString& key : keys) {
        if (key.startsWith(s("arc=")))
            plan.arc = key.mid(4), plan.platform = NewVM::DefaultsFor(plan.arc);
        if (key.startsWith(s("kernel=")))
            plan.kernel = key.mid(7);
        if (key.startsWith(s("hardware=")))
            plan.hardware = HardwarePresets::Parse(key.mid(9)), plan.ram = 1024;
        if (key.startsWith(s("medium=")))
            plan.installMedium = key.mid(7);
    }
    const QString vm = NewVM::ComposeVM(plan, m_window->versions(), &CreateDiskImage);
    for (const QString& key : keys) {
        const qsizetype slash = key.indexOf(QLatin1Char('/'));
        const qsizetype equals = key.indexOf(QLatin1Char('='), slash);
        const QString section = key.left(slash);
        const QString field = key.mid(slash + 1, equals - slash - 1);
        if (slash > 0 && !WriteVMFileValue(vm, section, field, key.mid(equals + 1)))
            return {};
        // As the editors would have written it.
        if (slash > 0 && ApprovedValues::isWatched(section, field))
            ApprovedValues::approve(vm, section, field, key.mid(equals + 1));
    }
    m_window->BuildVMTree();
    return m_window->selectVM(vm) ? vm : QString();
}

// Starts the emulator the selected VM names, as the launcher would, without a window.
QProcess* TestModernLaunch::start(const LaunchString& launch)
{
    auto* process = new QProcess;
    m_processes.append(process);
    process->setProcessChannelMode(QProcess::MergedChannels);
    process->start(m_window->versions().VMExecutable(m_window->selectedVM()),
                   CommandLine::SplitCommandLine(launch.arguments) +
                       QStringList{s("-display"), s("none")});
    return process;
}

void TestModernLaunch::conversions()
{
    using namespace ModernOptions;
    QCOMPARE(*hostForward(s("udp:5353:10.0.2.15:53")), s("udp:127.0.0.1:5353-10.0.2.15:53"));
    QCOMPARE(*hostForward(s("tcp:0.0.0.0:2222::22")), s("tcp:0.0.0.0:2222-:22"));
    // When a file is chosen its name decides, unless it says nothing or says raw over a
    // container's header (a cloud image named .img).
    QVERIFY(m_folder->write(s("Media/plain.img"), QByteArray(512, 'x')));
    QVERIFY(m_folder->write(s("Media/cloud.img"), QByteArray("QFI\xfb\0\0\0\3", 8)));
    QVERIFY(m_folder->write(s("Media/real.dsk"), QByteArray("QFI\xfb\0\0\0\3", 8)));
    QCOMPARE(ImageFormat::whenChosen(m_folder->file(s("Media/plain.img"))), s("raw"));
    QVERIFY(ImageFormat::containerNamedRaw(m_folder->file(s("Media/cloud.img"))));
    QCOMPARE(ImageFormat::whenChosen(m_folder->file(s("Media/cloud.img"))), s("qcow2"));
    QCOMPARE(ImageFormat::whenChosen(m_folder->file(s("Media/real.dsk"))), s("qcow2"));
    QCOMPARE(ImageFormat::whenChosen(s("/no/such.vmdk")), s("vmdk"));
    // KVM exactly when the device is there for the host's own architecture.
    const QString kvm = m_folder->file(s("kvm"));
    QVERIFY(m_folder->write(s("kvm"), {}));
    QCOMPARE(accelerator(hostArchitecture(), kvm), s("kvm"));
    QCOMPARE(accelerator(hostArchitecture(), kvm + s("-gone")), s("tcg"));
    QCOMPARE(accelerator(s("cris"), kvm), s("tcg"));
    // PulseAudio when its socket answers and QEMU has the module (Debian's qemu-system-gui).
    QVERIFY(m_folder->write(s("snd/controlC0"), {}) && m_folder->write(s("run/pulse/native"), {}));
    QVERIFY(m_folder->write(s("modules/audio-alsa.so"), {}));
    const QString run = m_folder->file(s("run"));
    const QString snd = m_folder->file(s("snd"));
    const QStringList modules{m_folder->file(s("modules"))};
    QCOMPARE(hostAudioDriver(run, snd, modules), s("alsa")); // a socket nobody serves
    QFile::remove(run + s("/pulse/native"));
    QLocalServer pulse;
    QVERIFY(pulse.listen(run + s("/pulse/native")));
    QCOMPARE(hostAudioDriver(run, snd, modules), s("alsa"));
    QVERIFY(m_folder->write(s("modules/audio-pa.so"), {}));
    QCOMPARE(hostAudioDriver(run, snd, modules), s("pa"));
    QCOMPARE(hostAudioDriver(s("/nowhere"), snd, {}), s("alsa"));
    QCOMPARE(hostAudioDriver(s("/nowhere"), s("/nowhere"), modules), s("none"));
    // The user's own accelerator and keymaps QEMU has.
    QCOMPARE(ownAccelerator(s("-enable-kvm -usb")).value_or(QString()), s("kvm"));
    QCOMPARE(ownAccelerator(s("-M pc,accel=tcg")).value_or(QString()), s("tcg"));
    QCOMPARE(ownAccelerator(s("-accel whpx")).value_or(QString()), s("whpx"));
    QVERIFY(!ownAccelerator(s("-enable-kvmx -name accel")));
    QVERIFY(hasKeymap(s("de-ch"), {s("/usr/share/qemu")}));
    QVERIFY(!hasKeymap(s("nl-be"), {s("/usr/share/qemu")}));
    QVERIFY(hasKeymap(s("nl-be"), {s("/nowhere")}));
    // KVM only for the emulators that have it.
    QVERIFY(!emulatorAccelerators(s("/nonexistent/qemu")));
    if (QFileInfo::exists(s("/usr/bin/qemu-system-arm")))
        QCOMPARE(emulatorAccelerators(s("/usr/bin/qemu-system-arm")).value_or(QStringList()),
                 QStringList{s("tcg")});
}

void TestModernLaunch::refusedValues_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::addColumn<QString>("setting");
    QTest::newRow("redirector") << QStringList{s("Network Card 1/Redirectors=tcp:22:22")}
                                << s("Network Card 1 Redirectors");
    QTest::newRow("mac") << QStringList{s("Network Card 1/MAC=52-54-00-12-34")}
                         << s("Network Card 1 MAC");
    QTest::newRow("comma in model")
        << QStringList{s("Network Card 1/LID=e1000,romfile=/x")} << s("Network Card 1");
    QTest::newRow("usb id") << QStringList{s("Hardware/Enable USB=Yes"), s("USB Devices/Count=1"),
                                           s("USB Device 1/Type=HW"), s("USB Device 1/VendID=xyz"),
                                           s("USB Device 1/ProdID=1")}
                            << s("USB Device 1");
    QTest::newRow("memory option") << QStringList{s("Hardware/RAM=256,maxmem=1G")} << s("Memory");
    QTest::newRow("start date") << QStringList{s("Advanced/Start Time=tomorrow")}
                                << s("Start Time");
    QTest::newRow("board QEMU no longer has")
        << QStringList{s("Hardware/MID=SS-1000")} << s("CPU Type");
    QTest::newRow("keymap QEMU lacks")
        << QStringList{s("Hardware/OutputID=2"), s("Hardware/VNC Number=7"),
                       s("Hardware/Keyboard=nl-be")}
        << s("Keyboard");
}

// Nothing a VM file holds adds an option: the launch is refused, naming the setting, before a
// port is reserved or anything is recorded.
void TestModernLaunch::refusedValues()
{
    QFETCH(QStringList, keys);
    QFETCH(QString, setting);
    // VNC without a display number: the refusal does not wait on QEMU's window module.
    const QString vm = writeVM(
        s("refused"), QStringList{s("Hardware/Network=Yes"), s("Hardware/OutputID=2")} + keys);
    QVERIFY(!vm.isEmpty());
    m_ui->clear();
    m_window->PlayClick();
    QCOMPARE(m_ui->shown().size(), 1);
    QVERIFY2(m_ui->shownTexts().first().contains(s("\"") + setting + s("\"")),
             qPrintable(m_ui->shownTexts().first()));
    QVERIFY(m_window->isEnabled());
    QVERIFY(ReadVMFileValue(vm, s("General"), s("PortID")).isEmpty());
    QVERIFY(ReadVMFileValue(vm, s("General"), s("LaunchString")).isEmpty());
    QVERIFY(!QFile::exists(m_folder->file(s("VRPorts.dat"))));
}

void TestModernLaunch::wizardDefaultsRun_data()
{
    QTest::addColumn<QString>("arc");
    QTest::addColumn<bool>("needsKernel"); // boards that start only from a kernel image
    const struct
    {
        const char* arc;
        const char* emulator;
        bool needsKernel;
    } guests[] = {{"x86", "qemu-system-i386", false},      {"ppc", "qemu-system-ppc", false},
                  {"arm", "qemu-system-arm", false},       {"mips", "qemu-system-mips", false},
                  {"mipsel", "qemu-system-mipsel", false}, {"sparc", "qemu-system-sparc", false},
                  {"cf", "qemu-system-m68k", true},        {"cris", "qemu-system-cris", true}};
    for (const auto& guest : guests) {
        if (QFileInfo::exists(s("/usr/bin/") + s(guest.emulator)))
            QTest::newRow(guest.arc) << s(guest.arc) << guest.needsKernel;
    }
}

// A VM as the wizard's Finish writes it, with its defaults, runs and answers on its monitor.
void TestModernLaunch::wizardDefaultsRun()
{
    QFETCH(QString, arc);
    QFETCH(bool, needsKernel);
    // A kernel that loops where it starts (0x60fe is "bra.s ." on ColdFire).
    QVERIFY(m_folder->write(s("kernel.bin"), QByteArray::fromHex("60fe").repeated(2048)));
    const QString kernel = needsKernel ? m_folder->file(s("kernel.bin")) : QString();
    const QString vm = writeVM(s("guest-") + arc, {s("arc=") + arc, s("kernel=") + kernel});
    QVERIFY(!vm.isEmpty());
    const LaunchString launch = BuildLaunchString(*m_window);
    QVERIFY2(launch.refusal.isEmpty(), qPrintable(launch.refusal));
    QProcess* qemu = start(launch);
    const QString port = ReadVMFileValue(vm, s("General"), s("PortID"));
    const QString status = monitorStatus(
        Panels::MonitorSocketPath(RuntimeFolder::vimorFolder(), EmbeddedDisplay::socketKey(vm)));
    QVERIFY2(
        status.contains(s("VM status: running")),
        qPrintable(launch.arguments + s("\n") + status + QString::fromLocal8Bit(qemu->readAll())));
}

// Through the real launcher: the guest's line reaches the serial file, the monitor is a socket
// only this user can reach, and no TCP port is listening.
void TestModernLaunch::bootSectorThroughTheLauncher()
{
    QVERIFY(m_folder->write(s("VMs/boot.img"), bootSector()));
    const QString serial = m_folder->file(s("com1.txt"));
    const QString vm = writeVM(s("boot"), {s("Hardware/CPUArc=64 Bit"), s("Drives/HDA=boot.img"),
                                           s("Ports/SerialCount=1"), s("Serial Port 1/SerialTy=2"),
                                           s("Serial Port 1/Serial=") + serial});
    // A QEMU without its window module (a stand-in answer: this host's has one) is named, not run.
    m_ui->clear();
    m_window->launcher().hasWindowDisplay = [](const QString&) { return false; };
    m_window->PlayClick();
    QVERIFY(m_ui->shownTexts().value(0).contains(s("qemu-system-gui")));
    QVERIFY(ReadVMFileValue(vm, s("General"), s("PortID")).isEmpty());

    m_window->launcher().hasWindowDisplay = [](const QString&) { return true; };
    m_ui->clear();
    m_window->PlayClick();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->isEnabled(), 5000);
    const qint64 pid = ReadVMFileValue(vm, s("General"), s("StatusID")).toLongLong();
    QVERIFY2(pid > 0, qPrintable(m_ui->shownTexts().join(s("\n"))));
    QTRY_VERIFY_WITH_TIMEOUT(m_window->monitorConnected(), 5000);
    m_window->SendMonitorCommand(s("info status"));
    QTRY_VERIFY_WITH_TIMEOUT(
        m_window->monitorTerminal()->screenText().contains(s("VM status: running")), 5000);
    const auto serialText = [&serial] {
        QFile file(serial);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };
    QTRY_VERIFY_WITH_TIMEOUT(serialText().contains("VIMOR-BOOT-OK\r\n"), 20000);
    // How the VM runs is in the status bar, and the launch log shows on request.
    QVERIFY(m_window->statusPanel(1).startsWith(s("Acceleration: ")));
    QVERIFY(!m_window->launchLogShown());
    m_window->launchLogAction()->trigger();
    QVERIFY(m_window->launchLogShown() && m_window->logText().contains(s("Acceleration: ")));
    m_window->launchLogAction()->trigger();

    const QString socket =
        Panels::MonitorSocketPath(RuntimeFolder::vimorFolder(), EmbeddedDisplay::socketKey(vm));
    struct stat info = {};
    QVERIFY(::stat(QFile::encodeName(socket).constData(), &info) == 0);
    QCOMPARE(info.st_mode & 0777, 0600u);
    QVERIFY(::stat(QFile::encodeName(QFileInfo(socket).path()).constData(), &info) == 0);
    QCOMPARE(info.st_mode & 0777, 0700u);
    // No listening TCP socket belongs to the emulator.
    QCOMPARE(tcpListeners(pid), QStringList());
    m_ui->answerMessage(Interaction::Answer::Yes);
    m_window->StopClick();
    QTRY_VERIFY_WITH_TIMEOUT(!Processes::IsProcessAlive(pid), 10000);
}

// One VM with every modern option at once: QEMU 7.2 takes it and runs, also from a snapshot.
void TestModernLaunch::everythingAtOnce()
{
    QProcess create;
    create.start(s("qemu-img"), {s("create"), s("-q"), s("-f"), s("qcow2"),
                                 m_folder->file(s("VMs/all.qcow2")), s("16M")});
    QVERIFY(create.waitForFinished(30000) && create.exitCode() == 0);
    // A snapshot needs every writable disk to take one: the stick is a qcow2 image too.
    create.start(s("qemu-img"), {s("create"), s("-q"), s("-f"), s("qcow2"),
                                 m_folder->file(s("VMs/stick.qcow2")), s("1M")});
    QVERIFY(create.waitForFinished(30000) && create.exitCode() == 0);
    const QString vm = writeVM(s("all"), {s("Hardware/CPUArc=64 Bit"),
                                          s("Drives/HDA=all.qcow2"),
                                          s("Audio/Enable Sound=Yes"),
                                          s("Audio/SID=all"),
                                          s("Hardware/Network=Yes"),
                                          s("Network/CardCount=2"),
                                          s("Network Card 1/VLAN=0"),
                                          s("Network Card 1/Redirectors=tcp:47022::22"),
                                          s("Network Card 2/LID=e1000"),
                                          s("Network Card 2/MAC=52-54-00-12-34-56"),
                                          s("Network Card 2/VLAN=1"),
                                          s("Network Card 2/VLAN Type=User Networking"),
                                          s("Hardware/Enable USB=Yes"),
                                          s("Hardware/USB Tablet=Yes"),
                                          s("USB Devices/Count=1"),
                                          s("USB Device 1/Type=USBDISK"),
                                          s("USB Device 1/DrivePath=stick.qcow2"),
                                          s("Advanced/Start Time=Now"),
                                          s("Hardware/Use Local Time=Yes"),
                                          s("Advanced/Disable HPET=Yes"),
                                          s("Advanced/ACPI=Yes"),
                                          s("Advanced/Enable HAL Hack=Yes"),
                                          s("Hardware/Share Clipboard=Yes")});
    QVERIFY(!vm.isEmpty());
    for (const QString& snapshot : {QString(), s("ready")}) {
        QVERIFY(WriteVMFileValue(vm, s("Advanced"), s("Snapshot"), snapshot));
        const LaunchString launch = BuildLaunchString(*m_window);
        QVERIFY2(launch.refusal.isEmpty(), qPrintable(launch.refusal));
        QProcess* qemu = start(launch);
        const QString monitor =
            Panels::MonitorSocketPath(RuntimeFolder::vimorFolder(), EmbeddedDisplay::socketKey(vm));
        const QString status = monitorStatus(monitor);
        QVERIFY2(status.contains(s("VM status: running")),
                 qPrintable(launch.arguments + s("\n") + QString::fromLocal8Bit(qemu->readAll())));
        if (snapshot.isEmpty()) {
            // VM Control's lines save and load it, which the clipboard's agent alone would refuse.
            MonitorClient client;
            QString said;
            connect(&client, &MonitorClient::dataReceived, this,
                    [&said](const QByteArray& data) { said += QString::fromUtf8(data); });
            client.connectToSocket(monitor);
            QTRY_VERIFY_WITH_TIMEOUT(client.isConnected(), 5000);
            VMControl::Host host = VMControl::clientHost(client);
            host.clipboardChannel = [&vm] { return ClipboardChannel::IsOpen(vm); };
            VMControl control(host);
            for (const char* command : {"CreateSnapshot", "LoadSnapshot"})
                m_ui->answerText(s("ready")), control.run(s(command));
            control.SendMonitorCommand(s("info snapshots"));
            QTRY_VERIFY_WITH_TIMEOUT(said.contains(s("List of")) || said.contains(s("is no snap")),
                                     30000);
            QVERIFY2(!said.contains(s("Error")) && said.contains(s(" ready ")), qPrintable(said));
            control.SendMonitorCommand(s("quit"));
            // Closing first would drop what QEMU has not read yet; "quit" closes its end.
            client.disconnectFromMonitor(nullptr, 30000);
        }
        QVERIFY2(qemu->state() == QProcess::NotRunning || snapshot.size() ||
                     qemu->waitForFinished(30000),
                 qPrintable(QString::fromLocal8Bit(qemu->readAll())));
    }
}

// Display mode "0": QEMU draws into a private socket, and the panel shows what it draws.
void TestModernLaunch::embeddedThroughTheLauncher()
{
    const QString vm = writeVM(s("shown"), {s("General/Qemu Version ID=shown"),
                                            s("Hardware/CPUArc=64 Bit"), s("Hardware/OutputID=0")});
    m_ui->clear();
    m_window->PlayClick();
    // The screen shows while the start is still being confirmed.
    DisplayPanel* early = m_window->panel(ReadVMFileValue(vm, s("General"), s("PanelID")).toInt());
    QVERIFY(early);
    QTRY_VERIFY_WITH_TIMEOUT(early->state() == DisplayConnection::State::Connected, 5000);
    QVERIFY(m_window->launcher().confirmationPending());
    QTRY_VERIFY_WITH_TIMEOUT(m_window->isEnabled(), 5000);
    QVERIFY2(ReadVMFileValue(vm, s("General"), s("Status")) == s("Running"),
             qPrintable(m_ui->shownTexts().join(s("\n"))));
    QVERIFY(m_window->launcher().lastLaunchString().contains(s(" -display none -vnc \"unix:")));
    DisplayPanel* panel = m_window->panel(ReadVMFileValue(vm, s("General"), s("PanelID")).toInt());
    // The panel may greet QEMU again while the BIOS switches modes; it settles connected.
    QTRY_VERIFY_WITH_TIMEOUT(
        panel->state() == DisplayConnection::State::Connected && !panel->image().isNull(), 20000);
    QTRY_VERIFY_WITH_TIMEOUT(m_window->monitorConnected(), 5000);
    m_ui->answerMessage(Interaction::Answer::Yes);
    m_window->StopClick();
    QTRY_COMPARE_WITH_TIMEOUT(ReadVMFileValue(vm, s("General"), s("Status")), s("Stopped"), 15000);
}

// A launch QEMU refuses gives its panel back; with every panel taken, an embedded VM is refused
// rather than left to QEMU's own display.
void TestModernLaunch::failedLaunchFreesItsPanel()
{
    const QString vm =
        writeVM(s("failing"), {s("General/Qemu Version ID=shown"), s("Hardware/OutputID=0"),
                               s("Advanced/OptionalString=-no-such-option")});
    QFile::remove(m_folder->file(s("panels.dat")));
    m_ui->clear();
    m_window->PlayClick();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->isEnabled(), 10000);
    QVERIFY(m_ui->shownTexts().value(0).contains(s("did not launch")));
    QCOMPARE(ReadVMFileValue(vm, s("General"), s("PanelID")), QString());
    QVERIFY(!Panels::PanelsInUse());

    QVERIFY(WriteVMFileValue(vm, s("Advanced"), s("OptionalString"), {}));
    for (int panel = 0; panel < Panels::PanelCount; ++panel)
        QVERIFY(Panels::AllocatePanel() != s("ERR"));
    m_ui->clear();
    m_window->PlayClick();
    QVERIFY(m_ui->shownTexts().value(0).contains(s("display panels")));
    QVERIFY(ReadVMFileValue(vm, s("General"), s("StatusID")).isEmpty());
    QFile::remove(m_folder->file(s("panels.dat")));
}

// A VM in QEMU's own window outlives the program; in the next run another VM gets the same monitor
// port number, yet each QEMU keeps its own sockets and VM Control ends the VM selected.
void TestModernLaunch::socketsFollowTheVM()
{
    const auto started = [this](const QString& vm) {
        m_window->launcher().hasWindowDisplay = [](const QString&) { return true; };
        m_window->BuildVMTree();
        m_window->selectVM(vm);
        m_ui->clear();
        m_window->PlayClick();
        (void)QTest::qWaitFor([this] { return m_window->isEnabled(); }, 10000);
        return ReadVMFileValue(vm, s("General"), s("StatusID")).toLongLong();
    };
    QFile::remove(m_folder->file(s("VRPorts.dat"))); // as at the start of a run
    const QString a = writeVM(s("outliving"), {s("Hardware/CPUArc=64 Bit")});
    const qint64 pidA = started(a);
    QVERIFY2(pidA > 0, qPrintable(m_ui->shownTexts().join(s("\n"))));
    const QString portA = ReadVMFileValue(a, s("General"), s("PortID"));

    // A QEMU that still answers on the VM's socket is not joined by a second one.
    QVERIFY(WriteVMFileValue(a, s("General"), s("Status"), s("Stopped")));
    m_window->BuildVMTree();
    m_window->selectVM(a);
    m_ui->clear();
    m_window->PlayClick();
    QVERIFY2(m_ui->shownTexts().value(0).contains(s("still running and answers")),
             qPrintable(m_ui->shownTexts().join(s("\n"))));
    QVERIFY(WriteVMFileValue(a, s("General"), s("Status"), s("Running")));

    m_window.reset();
    m_window = std::make_unique<TMain>();
    const QString b = writeVM(s("second"), {s("Hardware/CPUArc=64 Bit")});
    const qint64 pidB = started(b);
    QVERIFY(pidB > 0);
    QCOMPARE(ReadVMFileValue(b, s("General"), s("PortID")), portA);

    QVERIFY(m_window->selectVM(a));
    QTRY_VERIFY_WITH_TIMEOUT(m_window->monitorConnected(), 5000);
    m_ui->answerMessage(Interaction::Answer::Yes);
    m_window->VMControlClick(s("Quit"));
    QTRY_VERIFY_WITH_TIMEOUT(!Processes::IsProcessAlive(pidA), 10000);
    QVERIFY(Processes::IsProcessAlive(pidB));
    Processes::terminate(pidB);
}

// What a VM offers is for this user alone: the VNC port asks for the password of the run, which is
// shown to the user and which a second local user cannot read, nor reach the monitor; the VNC port
// and a redirector listen on 127.0.0.1, and nothing else listens.
void TestModernLaunch::othersReachNothing()
{
    int display = 40 + int(QCoreApplication::applicationPid() % 50);
    for (QTcpServer probe; !probe.listen(QHostAddress::LocalHost, quint16(5900 + display));)
        ++display;
    QTcpServer free;
    QVERIFY(free.listen(QHostAddress::LocalHost));
    const int forwarded = free.serverPort();
    free.close();
    const QString vm =
        writeVM(s("guarded"), {s("Hardware/OutputID=2"), s("Hardware/Keyboard="),
                               s("Hardware/VNC Number=%1").arg(display), s("Hardware/Network=Yes"),
                               s("Network Card 1/VLAN Type=User Networking"),
                               s("Network Card 1/Redirectors=tcp:%1::22").arg(forwarded)});
    QProcess* qemu = start(BuildLaunchString(*m_window));
    QStringList expected{QString::asprintf("0100007F:%04X", 5900 + display),
                         QString::asprintf("0100007F:%04X", forwarded)};
    expected.sort();
    QTRY_COMPARE_WITH_TIMEOUT(tcpListeners(qemu->processId()), expected, 10000);
    QTcpSocket viewer;
    viewer.connectToHost(QHostAddress::LocalHost, quint16(5900 + display));
    QVERIFY(viewer.waitForConnected(5000) && viewer.waitForReadyRead(5000));
    QCOMPARE(viewer.readAll(), QByteArray("RFB 003.008\n"));
    viewer.write("RFB 003.008\n");
    QVERIFY(viewer.waitForReadyRead(5000));
    QCOMPARE(viewer.readAll(), QByteArray("\x01\x02", 2)); // one type: 2, VNC authentication

    const QString key = EmbeddedDisplay::socketKey(vm);
    const QString secret = RuntimeFolder::vimorFolder() + s("/") + Panels::VncSecretName(key);
    if (::geteuid() == 0) { // only root becomes a second user here
        const QStringList nobody{s("--reuid=65534"), s("--regid=65534"), s("--clear-groups")};
        QCOMPARE(QProcess::execute(s("setpriv"), nobody + QStringList{s("true")}), 0);
        QVERIFY(QProcess::execute(s("setpriv"), nobody + QStringList{s("cat"), secret}) != 0);
    }
    // The window the launcher shows takes the password from its file, and copies it.
    const QByteArray password = readAll(secret);
    VncAccessWindow shown(s("guarded"), TakeVncAccess(*m_window, vm).value());
    QCOMPARE(shown.password()->text().toUtf8(), password);
    shown.copyPasswordButton()->click();
    QCOMPARE(QGuiApplication::clipboard()->text().toUtf8(), password);
    QVERIFY(!QFile::exists(secret));
    qemu->kill();
}

// The state a run of the main window leaves when it is killed while a VM shows in its panel (a
// stand-in for the crash itself: the VM's QEMU started as the launcher starts it, its run
// recorded): the next start offers the VM again, ends it only when asked, and never ends a
// stranger.
void TestModernLaunch::survivorOfACrash()
{
    QVERIFY(m_folder->write(s("vimor.ini"), "[General]\r\nWizard7Complete=1\r\n"));
    const auto crashed = [this](const QString& vm) -> qint64 {
        m_window->BuildVMTree();
        m_window->selectVM(vm);
        QProcess* qemu = start(BuildLaunchString(*m_window));
        if (!qemu->waitForStarted() ||
            !QTest::qWaitFor([&] { return QFileInfo::exists(EmbeddedDisplay::socketPath(vm)); }))
            return 0;
        WriteVMFileValue(vm, s("General"), s("Status"), s("Running"));
        WriteVMFileValue(vm, s("General"), s("StatusID"), QString::number(qemu->processId()));
        return qemu->processId();
    };
    const auto nextStart = [this](QList<Interaction::Answer> answers) {
        m_window.reset();
        m_ui->clear();
        for (Interaction::Answer answer : answers)
            m_ui->answerMessage(answer);
        m_window = std::make_unique<TMain>();
        m_window->RunFirstRunStep();
    };
    const QString vm =
        writeVM(s("survivor"), {s("General/Qemu Version ID=shown"), s("Hardware/CPUArc=64 Bit"),
                                s("Hardware/OutputID=0")});
    const qint64 pid = crashed(vm);
    QVERIFY(pid > 0);

    nextStart({Interaction::Answer::Yes});
    QCOMPARE(m_ui->shownTexts().size(), 1);
    QCOMPARE(ReadVMFileValue(vm, s("General"), s("Status")), s("Running"));
    DisplayPanel* panel = m_window->panel(ReadVMFileValue(vm, s("General"), s("PanelID")).toInt());
    QVERIFY(panel);
    QTRY_VERIFY_WITH_TIMEOUT(
        panel->state() == DisplayConnection::State::Connected && !panel->image().isNull(), 10000);

    // Not shown again, then ended.
    nextStart({Interaction::Answer::No, Interaction::Answer::Yes});
    QCOMPARE(m_ui->shownTexts().size(), 2);
    QTRY_VERIFY_WITH_TIMEOUT(!Processes::IsProcessAlive(pid), 10000);

    // A number the system has given to another program is not the VM's: nothing is asked.
    QProcess stranger;
    stranger.start(s("sleep"), {s("30")});
    QVERIFY(stranger.waitForStarted());
    WriteVMFileValue(vm, s("General"), s("Status"), s("Running"));
    WriteVMFileValue(vm, s("General"), s("StatusID"), QString::number(stranger.processId()));
    nextStart({});
    QVERIFY(m_ui->shownTexts().isEmpty());
    QCOMPARE(ReadVMFileValue(vm, s("General"), s("Status")), s("Stopped"));
    QVERIFY(stranger.state() == QProcess::Running);
    stranger.kill();
    stranger.waitForFinished();
}

// A LUKS disk made by the disk creation, launched with a wrong password (QEMU refuses it) and with
// the right one; the password is never left in a file, the VM file or the command line. An image
// of the old AES scheme is refused before QEMU runs.
void TestModernLaunch::encryptedDisk()
{
    const QByteArray password = "correct horse, battery";
    QFile::link(s("/usr/bin/qemu-img"), m_folder->file(s("qemu/qemu-img.exe")));
    m_ui->clear();
    m_ui->answerText(QString::fromUtf8(password));
    m_ui->answerText(QString::fromUtf8(password));
    const QString image =
        DiskCreation::CreateDiskImage(nullptr, 1, 16, false, true, m_folder->file(s("VMs/secret")));
    QVERIFY2(!image.isEmpty(), qPrintable(m_ui->shownTexts().join(s("\n"))));
    QCOMPARE(EncryptionOf(image), DiskEncryption::Luks);

    const QString vm = writeVM(s("locked"), {s("Hardware/CPUArc=64 Bit"),
                                             s("Drives/HDA=secret.qcow2"), s("Drives/HDAEnc=Yes")});
    m_window->launcher().hasWindowDisplay = [](const QString&) { return true; };
    m_ui->clear();
    m_ui->answerText(s("wrong"));
    m_window->PlayClick();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->isEnabled(), 30000);
    QVERIFY2(ReadVMFileValue(vm, s("General"), s("Status")) != s("Running"),
             qPrintable(m_ui->shownTexts().join(s("\n"))));
    QVERIFY(m_ui->shownTexts().join(s("\n")).contains(s("did not launch")));

    m_ui->clear();
    m_ui->answerText(QString::fromUtf8(password));
    m_window->PlayClick();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->isEnabled(), 30000);
    QCOMPARE(ReadVMFileValue(vm, s("General"), s("Status")), s("Running"));
    QVERIFY(!m_window->launcher().lastLaunchString().contains(QString::fromUtf8(password)));
    for (const QString& folder : {m_folder->path(), RuntimeFolder::vimorFolder()}) {
        QDirIterator files(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            QVERIFY2(!file.open(QIODevice::ReadOnly) || !file.readAll().contains(password),
                     qPrintable(file.fileName()));
        }
    }
    m_ui->answerMessage(Interaction::Answer::Yes);
    m_window->StopClick();
    QTRY_COMPARE_WITH_TIMEOUT(ReadVMFileValue(vm, s("General"), s("Status")), s("Stopped"), 15000);

    // A version 3 header whose method is 1, AES.
    QByteArray aes("QFI\xfb\0\0\0\3", 8);
    aes.resize(104, '\0');
    aes[35] = 1;
    QVERIFY(m_folder->write(s("VMs/old.qcow2"), aes));
    QVERIFY(WriteVMFileValue(vm, s("Drives"), s("HDA"), s("old.qcow2")));
    m_ui->clear();
    m_window->PlayClick();
    QVERIFY(m_ui->shownTexts().value(0).contains(s("AES")));
    QVERIFY(ReadVMFileValue(vm, s("General"), s("StatusID")).isEmpty());
}

// A VM file made elsewhere: its own command-line text runs nothing until this user approves that
// exact text, and a qcow2 header a guest wrote into a raw disk (naming a host file as its backing)
// never becomes format=qcow2 without a question.
void TestModernLaunch::hostileVMFile()
{
    QTemporaryDir work;
    const QString header = work.filePath(s("header.qcow2"));
    QProcess img;
    img.start(s("/usr/bin/qemu-img"), {s("create"), s("-q"), s("-f"), s("qcow2"), s("-F"), s("raw"),
                                       s("-b"), s("/etc/hostname"), header, s("1M")});
    QVERIFY(img.waitForFinished(30000) && img.exitCode() == 0);
    QByteArray disk = readAll(header).left(4096);
    disk.resize(1024 * 1024, '\0');
    QVERIFY(m_folder->write(s("VMs/guest.dsk"), disk));
    const QString vm = writeVM(s("hostile"), {s("Drives/HDA=guest.dsk")});
    const QString marker = work.filePath(s("ran"));
    const QString own = s("-incoming \"exec:touch ") + marker + s("\"");
    QVERIFY(WriteVMFileValue(vm, s("Advanced"), s("OptionalString"), own));
    m_window->launcher().hasWindowDisplay = [](const QString&) { return true; };

    m_ui->clear();
    m_window->PlayClick();
    QCOMPARE(m_ui->shown().size(), 1);
    QVERIFY(m_ui->shownTexts().value(0).contains(own));
    QVERIFY(ReadVMFileValue(vm, s("General"), s("StatusID")).isEmpty());

    // Approved, but the disk's format is not settled: closing the question launches nothing.
    m_ui->clear();
    m_ui->answerMessage(Interaction::Answer::Yes);
    m_ui->answerMessage(Interaction::Answer::Cancel);
    m_window->PlayClick();
    QCOMPARE(m_ui->shown().value(1).kind, s("choice"));
    QVERIFY(m_ui->shownTexts().value(1).contains(s("qcow2")));
    QVERIFY(ReadVMFileValue(vm, s("Drives"), s("HDA Format")).isEmpty());
    QVERIFY(ReadVMFileValue(vm, s("General"), s("StatusID")).isEmpty());
    QVERIFY(!QFile::exists(marker));

    // The approval holds for that text; No keeps the disk raw, and only now the text runs.
    m_ui->clear();
    m_ui->answerMessage(Interaction::Answer::No);
    m_window->PlayClick();
    QCOMPARE(m_ui->shown().size(), 1);
    QCOMPARE(ReadVMFileValue(vm, s("Drives"), s("HDA Format")), s("raw"));
    QVERIFY(m_window->launcher().lastLaunchString().contains(s("guest.dsk,format=raw")));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(marker), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(m_window->isEnabled(), 30000);
    m_ui->answerMessage(Interaction::Answer::Yes);
    m_window->StopClick();
    QTRY_COMPARE_WITH_TIMEOUT(ReadVMFileValue(vm, s("General"), s("Status")), s("Stopped"), 15000);

    // A changed text asks again; one written with the editor does not.
    QFile::remove(marker);
    QVERIFY(WriteVMFileValue(vm, s("Advanced"), s("OptionalString"), own + s(" -S")));
    m_ui->clear();
    m_window->PlayClick();
    QVERIFY2(m_ui->shownTexts().value(0).contains(own + s(" -S")),
             qPrintable(m_ui->shownTexts().join(s("\n"))));
    QVERIFY(m_window->WriteVMValue(vm, s("Advanced"), s("OptionalString"), s("-name edited")));
    QVERIFY(OwnValuesCheck::Unapproved(*m_window).isEmpty());
    QVERIFY(!QFile::exists(marker));
}

void TestModernLaunch::stopSelected(const QString& vm)
{
    const qint64 pid = ReadVMFileValue(vm, s("General"), s("StatusID")).toLongLong();
    m_ui->answerMessage(Interaction::Answer::Yes);
    m_window->StopClick();
    QTRY_VERIFY_WITH_TIMEOUT(!Processes::IsProcessAlive(pid), 15000);
}

// The BIOS's 720 x 400 screen in a smaller console: fitted with its aspect, no scroll bars, and a
// click lands on the guest pixel under it (QEMU's own trace of the tablet's position says which).
// Then actual size, full screen, a screenshot, and a connection that breaks and comes back.
void TestModernLaunch::fittedScreenInTheWindow()
{
    m_window->resize(760, 560);
    m_window->show();
    QVERIFY(m_folder->write(s("VMs/boot.img"), bootSector()));
    const QString vm = writeVM(s("fitted"), {s("General/Qemu Version ID=shown"),
                                             s("Hardware/OutputID=0"), s("Hardware/CPUArc=64 Bit"),
                                             s("Drives/HDA=boot.img"), s("Hardware/USB Tablet=Yes"),
                                             s("Advanced/OptionalString=-trace input_event_abs")});
    QVERIFY(!vm.isEmpty());
    m_ui->clear();
    m_window->PlayClick();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->isEnabled(), 10000);
    DisplayPanel* panel = panelOf(vm);
    QVERIFY2(panel, qPrintable(m_ui->shownTexts().join(s("\n"))));
    QTRY_VERIFY_WITH_TIMEOUT(panel->state() == DisplayConnection::State::Connected &&
                                 panel->image().size() == QSize(720, 400),
                             20000);
    auto* area = qobject_cast<QScrollArea*>(panel->parentWidget()->parentWidget()->parentWidget());
    QVERIFY(area);
    QVERIFY(area->viewport()->width() < 720);
    QTRY_COMPARE(panel->size(), area->viewport()->size());
    QVERIFY(!area->horizontalScrollBar()->isVisible() && !area->verticalScrollBar()->isVisible());
    // The panel takes the new resolution from a queued signal, a moment after the frame has it.
    const auto aspect = [](const QRectF& rect) { return rect.width() / rect.height(); };
    QTRY_VERIFY(qAbs(aspect(panel->pictureRect()) - 720.0 / 400.0) < 0.01);
    const QRectF picture = panel->pictureRect();
    QVERIFY(QRectF(panel->rect()).contains(picture));
    QVERIFY(qAbs(picture.width() - panel->width()) < 1 ||
            qAbs(picture.height() - panel->height()) < 1);

    // The BIOS leaves the tablet unused and QEMU's pointer relative; a guest's driver would take
    // it up, as the monitor does here.
    QTRY_VERIFY_WITH_TIMEOUT(m_window->monitorConnected(), 10000);
    m_window->SendMonitorCommand(s("info mice"));
    const QRegularExpression tablet(s("Mouse #(\\d+): QEMU HID Tablet"));
    QTRY_VERIFY_WITH_TIMEOUT(tablet.match(m_window->monitorTerminal()->screenText()).hasMatch(),
                             5000);
    m_window->SendMonitorCommand(
        s("mouse_set ") + tablet.match(m_window->monitorTerminal()->screenText()).captured(1));
    m_window->SendMonitorCommand(s("info mice"));
    QTRY_VERIFY_WITH_TIMEOUT(m_window->monitorTerminal()->screenText().contains(
                                 QRegularExpression(s("\\* Mouse #\\d+: QEMU HID Tablet"))),
                             5000);

    // Three quarters across, a quarter down: the click lands on that guest pixel exactly.
    const QPoint at(
        (picture.topLeft() + QPointF(picture.width() * 0.75, picture.height() * 0.25)).toPoint());
    const int guestX = int(std::floor((at.x() - picture.x()) * 720 / picture.width()));
    const int guestY = int(std::floor((at.y() - picture.y()) * 400 / picture.height()));
    QVERIFY(qAbs(guestX - 540) <= 2 && qAbs(guestY - 100) <= 2);
    QTest::mouseClick(panel, Qt::LeftButton, {}, at);
    QVERIFY(panel->isGrabbed());
    QTest::mouseClick(panel, Qt::LeftButton, {}, at);
    QTest::keyPress(panel, Qt::Key_Control);
    QTest::keyPress(panel, Qt::Key_Alt, Qt::ControlModifier);
    QVERIFY(!panel->isGrabbed());
    QTest::keyRelease(panel, Qt::Key_Alt, Qt::ControlModifier);
    QTest::keyRelease(panel, Qt::Key_Control);

    // Actual size: one to one with scroll bars, kept in the VM's file.
    m_window->actualSizeAction()->trigger();
    QCOMPARE(ReadVMFileValue(vm, s("General"), s("Display Scaling")), s("Actual Size"));
    QCOMPARE(panel->size(), QSize(720, 400));
    QTRY_VERIFY(area->horizontalScrollBar()->isVisible());
    m_window->fitAction()->trigger();
    QCOMPARE(ReadVMFileValue(vm, s("General"), s("Display Scaling")), s("Fit to Window"));
    QTRY_VERIFY(!area->horizontalScrollBar()->isVisible());

    // Full screen: the panel alone, the way back shown for two seconds, then back in the console.
    QCOMPARE(m_window->fullScreenAction()->shortcut(),
             QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Return));
    m_window->fullScreenAction()->trigger();
    FullScreenDisplay& full = m_window->fullScreenDisplay();
    QCOMPARE(panel->window(), &full);
    QVERIFY(full.isVisible() && full.isHintShown());
    QTRY_COMPARE(panel->size(), full.size());
    QTRY_VERIFY_WITH_TIMEOUT(!full.isHintShown(), FullScreenDisplay::HintMs + 2000);
    m_window->fullScreenAction()->trigger();
    QCOMPARE(panel->window(), m_window.get());
    QVERIFY(!full.isVisible());
    QTRY_COMPARE(panel->size(), area->viewport()->size());

    // The screenshot is the guest's own resolution.
    const QString shot = m_folder->file(s("shot.png"));
    m_ui->answerText(shot);
    m_window->SaveScreenshotClick();
    QCOMPARE(QImage(shot).size(), QSize(720, 400));

    // A connection that breaks comes back while QEMU lives.
    QVERIFY(cutConnections(EmbeddedDisplay::socketPath(vm)) > 0);
    QTRY_COMPARE_WITH_TIMEOUT(panel->state(), DisplayConnection::State::Closed, 5000);
    QTRY_VERIFY_WITH_TIMEOUT(
        panel->state() == DisplayConnection::State::Connected && !panel->image().isNull(), 10000);
    stopSelected(vm);
    // QEMU scales the tablet's position to 0..32767 of the screen's width and height.
    const auto traced = [this](const char* axis, int pixel, int side) {
        return m_window->logText().contains(QStringLiteral("axis %1, value 0x%2")
                                                .arg(QLatin1String(axis))
                                                .arg(qint64(pixel) * 0x7fff / side, 0, 16));
    };
    QTRY_VERIFY2_WITH_TIMEOUT(traced("x", guestX, 720) && traced("y", guestY, 400),
                              qPrintable(m_window->logText().right(600)), 10000);
}

// The installer's kernel on VirtIO VGA takes the console's size, twice, as QEMU's own picture of
// the screen shows.
void TestModernLaunch::guestFollowsThePanel()
{
    QString error;
    const QString disc = InstallerDisc(QCoreApplication::applicationDirPath(), &error);
    if (disc.isEmpty())
        QSKIP(qPrintable(error));
    m_window->resize(1000, 760);
    m_window->show();
    // Emulated, as in CI: where KVM runs nested, QEMU 7.2 may stop on the host processor's MSRs.
    m_window->setKvmDevice(m_folder->file(s("no-kvm")));
    const QString vm = writeVM(
        s("follows"), {s("hardware=arch=64;machine=q35;cpus=1;video=virtio"), s("medium=") + disc,
                       s("General/Qemu Version ID=shown"), s("Hardware/OutputID=0")});
    QVERIFY(!vm.isEmpty());
    QCOMPARE(ReadVMFileValue(vm, s("Hardware"), s("Video Card")), s("VirtIO VGA"));
    m_ui->clear();
    m_window->PlayClick();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->isEnabled(), 10000);
    DisplayPanel* panel = panelOf(vm);
    QVERIFY2(panel, qPrintable(m_ui->shownTexts().join(s("\n"))));
    QTRY_VERIFY_WITH_TIMEOUT(m_window->monitorConnected(), 10000);
    const QString dump = m_folder->file(s("screen.ppm"));
    const auto screenSize = [&] {
        QFile::remove(dump);
        m_window->SendMonitorCommand(s("screendump ") + dump);
        QImage picture;
        if (!QTest::qWaitFor([&] { return picture.load(dump); }, 3000))
            return QSize();
        return picture.size();
    };
    // The kernel's console comes up at the size asked for when its driver starts. It cannot grow
    // beyond that first size (a desktop's can): the window starts large.
    // Bounded by hand rather than by QTRY, which on failure waits twice as long again.
    QSize shown;
    QVERIFY2(QTest::qWaitFor(
                 [&] {
                     shown = screenSize();
                     return shown == panel->size();
                 },
                 GuestBootLimitMs),
             qPrintable(s("guest %1x%2, panel %3x%4")
                            .arg(shown.width())
                            .arg(shown.height())
                            .arg(panel->width())
                            .arg(panel->height())));
    for (const QSize window : {QSize(860, 640), QSize(700, 540)}) {
        m_window->resize(window);
        QTRY_VERIFY(panel->size().width() > window.width() - 300);
        const QSize wanted = panel->size();
        QTRY_VERIFY_WITH_TIMEOUT(screenSize() == wanted, DisplayPanel::ResizeSettleMs + 5000);
        QTRY_COMPARE_WITH_TIMEOUT(panel->image().size(), wanted, 5000);
    }
    m_window->resize(760, 560);
    stopSelected(vm);
}

// A snapshot made from the VM menu with the clipboard shared, then loaded at the start: QEMU
// makes its display socket only after more than five seconds, and the screen still shows.
void TestModernLaunch::lateDisplayFromASnapshot()
{
    const QString disk = m_folder->file(s("VMs/snap.qcow2"));
    QProcess image;
    image.start(s("/usr/bin/qemu-img"), {s("create"), s("-q"), s("-f"), s("qcow2"), disk, s("8M")});
    QVERIFY(image.waitForFinished(20000) && image.exitCode() == 0);
    const QString vm =
        writeVM(s("late"), {s("General/Qemu Version ID=shown"), s("Hardware/OutputID=0"),
                            s("Hardware/CPUArc=64 Bit"), s("Drives/HDA=snap.qcow2"),
                            s("Hardware/Share Clipboard=Yes")});
    QVERIFY(!vm.isEmpty());
    m_ui->clear();
    m_window->PlayClick();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->isEnabled(), 10000);
    QVERIFY2(m_window->launcher().lastLaunchString().contains(s("qemu-vdagent")),
             qPrintable(m_ui->shownTexts().join(s("\n"))));
    QTRY_VERIFY_WITH_TIMEOUT(m_window->monitorConnected(), 10000);
    m_ui->answerText(s("start"));
    m_window->VMControlClick(s("CreateSnapshot"));
    m_window->SendMonitorCommand(s("info snapshots"));
    QTRY_VERIFY_WITH_TIMEOUT(m_window->monitorTerminal()->screenText().contains(s(" start ")),
                             20000);
    QVERIFY(!m_window->monitorTerminal()->screenText().contains(s("Error")));

    // The host's clipboard and QEMU's, which its agent serves to the guest, meet through the
    // panel: here a second viewer stands for the guest's side, which needs an agent in a desktop.
    DisplayConnection guestSide;
    QSignalSpy fromHost(&guestSide, &DisplayConnection::clipboardTextReceived);
    guestSide.setClipboardSharing(true);
    guestSide.open(EmbeddedDisplay::socketPath(vm));
    QTRY_COMPARE_WITH_TIMEOUT(guestSide.state(), DisplayConnection::State::Connected, 10000);
    QGuiApplication::clipboard()->setText(s("Grüße vom Host ✓"));
    QTRY_VERIFY_WITH_TIMEOUT(!fromHost.isEmpty(), 10000);
    QCOMPARE(fromHost.constLast().first().toString(), s("Grüße vom Host ✓"));
    guestSide.offerClipboardText(s("from the guest"));
    QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::clipboard()->text(), s("from the guest"), 10000);
    guestSide.close();
    stopSelected(vm);
    QTRY_COMPARE_WITH_TIMEOUT(ReadVMFileValue(vm, s("General"), s("Status")), s("Stopped"), 10000);

    WriteVMFileValue(vm, s("General"), s("Qemu Version ID"), s("late"));
    WriteVMFileValue(vm, s("Advanced"), s("Snapshot"), s("start"));
    m_window->BuildVMTree();
    QVERIFY(m_window->selectVM(vm));
    m_ui->clear();
    QElapsedTimer clock;
    clock.start();
    m_window->PlayClick();
    DisplayPanel* panel = panelOf(vm);
    QVERIFY2(panel, qPrintable(m_ui->shownTexts().join(s("\n"))));
    QTRY_VERIFY_WITH_TIMEOUT(
        panel->state() == DisplayConnection::State::Connected && !panel->image().isNull(), 30000);
    QVERIFY(clock.elapsed() > 5000);
    QTRY_VERIFY_WITH_TIMEOUT(m_window->isEnabled() && m_window->monitorConnected(), 10000);
    QCOMPARE(ReadVMFileValue(vm, s("General"), s("Status")), s("Running"));
    stopSelected(vm);
}

QTEST_MAIN(TestModernLaunch)
#include "tst_modernlaunch.moc"
