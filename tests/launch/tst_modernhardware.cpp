#include "app/ProgramFolderLayout.h"
#include "app/ui/TMain.h"
#include "launch/ClipboardChannel.h"
#include "launch/TpmEmulator.h"
#include "launch/VMFirmware.h"
#include "launch/ui/Launcher.h"
#include "launch/ui/MonitorTerminal.h"
#include "library/NewVM.h"
#include "media/DiskImages.h"
#include "model/ApprovedValues.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/Processes.h"
#include "platform/RuntimeFolder.h"
#include "platform/ui/Interaction.h"
#include "support/InstallerDisc.h"
#include "support/LeftRunning.h"
#include "support/TempProgramFolder.h"
#include "support/TestFiles.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

// VMs of the shipped profiles, made by the wizard's rules and started by the real launcher on the
// host's QEMU, boot Debian's own installer from the disc given as their installation medium.
namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

// Under TCG the installer takes up to a minute to its first screen; seven times that leaves room
// for a machine whose cores are mostly taken by its neighbours.
constexpr int BootLimitMs = 420000;

// A swtpm still serving socketPath, by its command line.
bool swtpmServes(const QString& socketPath)
{
    for (const QString& pid : QDir(s("/proc")).entryList(QDir::Dirs)) {
        const QByteArray command = readAll(s("/proc/%1/cmdline").arg(pid));
        const QString program = QFile::decodeName(command.left(command.indexOf('\0')));
        if (QFileInfo(program).fileName() == s("swtpm") &&
            command.contains(QFile::encodeName(socketPath)))
            return true;
    }
    return false;
}

} // namespace

class TestModernHardware final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void debianInstallerFromTheMedium();
    void windows11SecureBootAndTpm();

private:
    QString compose(const QString& name, const QString& profile);
    bool screenShows(const QString& text);
    void stopSelected(const QString& vm);

    std::unique_ptr<TempProgramFolder> m_folder;
    QTemporaryDir m_shipped;
    std::unique_ptr<TMain> m_window;
    ScriptedInteraction* m_ui = nullptr;
    QString m_disc;
};

void TestModernHardware::initTestCase()
{
    if (!QFileInfo(s("/usr/bin/qemu-system-x86_64")).isExecutable())
        QSKIP("QEMU is needed");
    QString error;
    // Made once per build tree and shared by every run after it.
    m_disc = InstallerDisc(QCoreApplication::applicationDirPath(), &error);
    if (m_disc.isEmpty())
        QSKIP(qPrintable(error));
    QVERIFY2(ProgramFolderLayout::layOut(m_shipped.path(), &error), qPrintable(error));
    auto ui = std::make_unique<ScriptedInteraction>();
    m_ui = ui.get();
    Interaction::install(std::move(ui));
    m_folder = std::make_unique<TempProgramFolder>();
    QVERIFY(m_folder->write(s("qemu/qemu-system-x86_64"),
                            "#!/bin/sh\nexec /usr/bin/qemu-system-x86_64 \"$@\" -display none\n"));
    QFile(m_folder->file(s("qemu/qemu-system-x86_64")))
        .setPermissions(QFileDevice::ExeOwner | QFileDevice::ReadOwner);
    QVERIFY(QFile::link(s("/usr/bin/qemu-img"), m_folder->file(s("qemu/qemu-img.exe"))));
    QVERIFY(QFile::link(s("/usr/share/qemu"), m_folder->file(s("qemu/pc-bios"))));
    TableHandle versions;
    versions.setFolder(m_folder->path());
    versions.setTableName(TableSchemas::VersionTable);
    QVERIFY(versions.open());
    versions.insert();
    const std::pair<const char*, const char*> fields[] = {
        {"ID", "v3"},   {"DESC", "QEMU"},   {"PATH", "{VR}\\qemu"}, {"VERID", "3"},
        {"USB", "Yes"}, {"CONSOLE", "Yes"}, {"INT", "No"}};
    for (const auto& [field, value] : fields)
        versions.setFieldValue(s(field), s(value));
    QVERIFY(versions.post());
    m_window = std::make_unique<TMain>();
    // The wrapper shows no window (there is no display here).
    m_window->launcher().hasWindowDisplay = [](const QString&) { return true; };
    // Emulated, as in CI: where KVM runs nested, QEMU 7.2 may abort on the host processor's
    // MSR 0x10a, which is the host's limit, not the VM's.
    m_window->setKvmDevice(m_folder->file(s("no-kvm")));
}

void TestModernHardware::cleanupTestCase()
{
    // A VM ended here takes its swtpm along.
    if (m_folder)
        EndVMsLeftRunning(m_folder->file(s("VMs")));
    m_window.reset();
    m_folder.reset();
    Interaction::install(nullptr);
}

// A VM as the wizard makes it for a shipped profile, with the disc as its installation medium and
// its first serial port written to "<name>.serial".
QString TestModernHardware::compose(const QString& name, const QString& profile)
{
    TableHandle opsys;
    opsys.setFolder(m_shipped.path());
    opsys.setTableName(TableSchemas::OpSysTable);
    const NewVM::MemoryAndDisk preset =
        NewVM::PresetFor(opsys, true, profile, NewVM::HostMemoryMB());
    NewVM::Plan plan;
    plan.name = name;
    plan.storeFolder = m_folder->file(s("VMs"));
    plan.storeId = s("0");
    plan.versionId = s("v3");
    plan.operatingSystem = profile;
    plan.platform = NewVM::DefaultsFor(plan.arc);
    plan.ram = preset.ram;
    plan.diskSize = preset.diskSize;
    plan.hardware = preset.hardware;
    plan.installMedium = m_disc;
    plan.output = NewVM::Output::QemuWindow;
    const QString vm = NewVM::ComposeVM(plan, m_window->versions(), &CreateDiskImage);
    if (vm.isEmpty())
        return {};
    WriteVMFileValue(vm, s("Ports"), s("SerialCount"), s("1"));
    WriteVMFileValue(vm, s("Serial Port 1"), s("SerialTy"), s("2"));
    WriteVMFileValue(vm, s("Serial Port 1"), s("Serial"), m_folder->file(name + s(".serial")));
    // As the editor would have written it.
    ApprovedValues::approve(vm, s("Serial Port 1"), s("Serial"),
                            m_folder->file(name + s(".serial")));
    // Sound depends on the host's sound system; nothing here needs it.
    WriteVMFileValue(vm, s("Audio"), s("Enable Sound"), s("No"));
    m_window->BuildVMTree();
    return m_window->selectVM(vm) ? vm : QString();
}

bool TestModernHardware::screenShows(const QString& text)
{
    return QTest::qWaitFor([&] { return m_window->monitorTerminal()->screenText().contains(text); },
                           30000);
}

void TestModernHardware::stopSelected(const QString& vm)
{
    const qint64 pid = ReadVMFileValue(vm, s("General"), s("StatusID")).toLongLong();
    m_ui->answerMessage(Interaction::Answer::Yes);
    m_window->StopClick();
    QTRY_VERIFY_WITH_TIMEOUT(!Processes::IsProcessAlive(pid), 15000);
    QTRY_COMPARE_WITH_TIMEOUT(ReadVMFileValue(vm, s("General"), s("Status")), s("Stopped"), 15000);
}

// "Debian 12" as the wizard gives it (a 64-bit CPU, Q35, VirtIO) boots the installer to its
// first screen; the wizard's defaults of before stopped at "This kernel requires an x86-64 CPU".
void TestModernHardware::debianInstallerFromTheMedium()
{
    const QString vm = compose(s("Debian"), s("Debian 12"));
    QVERIFY(!vm.isEmpty());
    m_ui->clear();
    m_window->PlayClick();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->isEnabled(), 10000);
    QVERIFY2(ReadVMFileValue(vm, s("General"), s("Status")) == s("Running"),
             qPrintable(m_ui->shownTexts().join(s("\n"))));
    const QString serial = m_folder->file(s("Debian.serial"));
    // Bounded by hand rather than by QTRY, which on failure waits twice as long again.
    QVERIFY2(QTest::qWaitFor([&] { return readAll(serial).contains(InstallerFirstScreen); },
                             BootLimitMs),
             readAll(serial).right(2000).constData());
    stopSelected(vm);
}

// "Windows 11": the Secure Boot firmware with the VM's own variable store and a TPM 2.0. The
// disc's loader is unsigned, so the firmware refuses it, as it would any unsigned installer.
void TestModernHardware::windows11SecureBootAndTpm()
{
    if (!TpmEmulator::Available() ||
        !QFileInfo::exists(s("/usr/share/qemu/firmware/40-edk2-x86_64-secure-enrolled.json")))
        QSKIP("ovmf and swtpm are needed");
    const QString vm = compose(s("Win11"), s("Windows 11"));
    QVERIFY(!vm.isEmpty());
    QCOMPARE(ReadVMFileValue(vm, s("Hardware"), s("RAM")).toInt(), 4096);
    const QString vars = VMFirmware::VariableStoreOf(vm);
    QCOMPARE(vars, m_folder->file(s("VMs/Win11.efivars.qcow2")));
    const QByteArray varsBefore = readAll(vars);
    QVERIFY(!varsBefore.isEmpty());
    const QString socket = TpmEmulator::SocketPath(RuntimeFolder::vimorFolder(),
                                                   ReadVMFileValue(vm, s("General"), s("VMID")));

    // Without swtpm on the path the launch names the package and starts nothing.
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");
    m_ui->clear();
    m_window->PlayClick();
    qputenv("PATH", path);
    QVERIFY(m_ui->shownTexts().value(0).contains(s("swtpm")));
    QVERIFY(ReadVMFileValue(vm, s("General"), s("StatusID")).isEmpty());

    m_ui->clear();
    m_window->PlayClick();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->isEnabled(), 10000);
    QVERIFY2(ReadVMFileValue(vm, s("General"), s("Status")) == s("Running"),
             qPrintable(m_ui->shownTexts().join(s("\n"))));
    const QString arguments = m_window->launcher().lastLaunchString();
    QVERIFY(arguments.contains(s(".ms.fd")) && arguments.contains(vars));
    const QString serial = m_folder->file(s("Win11.serial"));
    // Bounded by hand rather than by QTRY, which on failure waits twice as long again.
    QVERIFY2(QTest::qWaitFor([&] { return readAll(serial).contains(InstallerSecureBootRefusal); },
                             BootLimitMs),
             readAll(serial).right(2000).constData());
    QVERIFY(readAll(vars) != varsBefore);

    QTRY_VERIFY_WITH_TIMEOUT(m_window->monitorConnected(), 10000);
    m_window->SendMonitorCommand(s("info tpm"));
    QVERIFY(screenShows(s("model=tpm-crb")));
    // A snapshot takes the firmware's store and the TPM along, and comes back.
    for (const QString& line : ClipboardChannel::AroundSnapshot(s("savevm refused")))
        m_window->SendMonitorCommand(line);
    m_window->SendMonitorCommand(s("info snapshots"));
    QVERIFY(screenShows(s("refused")));
    for (const QString& line : ClipboardChannel::AroundSnapshot(s("loadvm refused")))
        m_window->SendMonitorCommand(line);
    m_window->SendMonitorCommand(s("info status"));
    QVERIFY(screenShows(s("VM status: running")));
    QVERIFY2(!m_window->monitorTerminal()->screenText().contains(s("Error")),
             qPrintable(m_window->monitorTerminal()->screenText()));

    stopSelected(vm);
    QTRY_VERIFY_WITH_TIMEOUT(!swtpmServes(socket) && !QFileInfo::exists(socket), 15000);

    // QEMU killed outright: its TPM goes with it, and the watcher clears the socket.
    m_ui->clear();
    m_window->PlayClick();
    QTRY_VERIFY_WITH_TIMEOUT(m_window->isEnabled(), 10000);
    const qint64 pid = ReadVMFileValue(vm, s("General"), s("StatusID")).toLongLong();
    QVERIFY(pid > 0 && swtpmServes(socket));
    QCOMPARE(::kill(static_cast<pid_t>(pid), SIGKILL), 0);
    QTRY_COMPARE_WITH_TIMEOUT(ReadVMFileValue(vm, s("General"), s("Status")), s("Stopped"), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(!swtpmServes(socket) && !QFileInfo::exists(socket), 15000);

    // The store and the TPM's state are part of the VM and go with it; the disk stays.
    TableHandle stores;
    stores.setFolder(m_folder->path());
    stores.setTableName(TableSchemas::VMStoreTable);
    NewVM::DeleteVMFiles(vm, false, stores);
    QVERIFY(!QFileInfo::exists(vm) && !QFileInfo::exists(vars));
    QVERIFY(!QFileInfo::exists(m_folder->file(s("VMs/Win11.tpm"))));
    QVERIFY(QFileInfo::exists(m_folder->file(s("VMs/Win11.qcow2"))));
}

QTEST_MAIN(TestModernHardware)
#include "tst_modernhardware.moc"
