// Time from "Launch Selected VM" to the first screen of Debian 12's installer ("Select a language"
// on the serial console), under TCG, in rounds that take turns:
//   - the "Debian 12" profile's hardware, launched through Vimor;
//   - the wizard's hardware without a profile, with a 64-bit CPU, launched through Vimor;
//   - bare QEMU started with the first VM's own arguments (Vimor's overhead is the difference).
//   bench_installer [ROUNDS]   (3 by default; needs QEMU, qemu-img, the installer and GRUB
//   packages)

#include "app/ProgramFolderLayout.h"
#include "app/ui/TMain.h"
#include "bench/BenchLibrary.h"
#include "launch/ui/Launcher.h"
#include "library/NewVM.h"
#include "library/OsProfiles.h"
#include "media/DiskImages.h"
#include "model/ApprovedValues.h"
#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/CommandLine.h"
#include "platform/Processes.h"
#include "platform/ui/Interaction.h"
#include "support/InstallerDisc.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

constexpr int BootLimitMs = 600000;

bool firstScreenIn(const QString& serial)
{
    QFile file(serial);
    return file.open(QIODevice::ReadOnly) && file.readAll().contains(InstallerFirstScreen);
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values.at(values.size() / 2);
}

class Bench final
{
public:
    bool setUp(QString* error);
    // Seconds from PlayClick to the first screen; negative when it did not come.
    double throughVimor(const QString& vm);
    double bareQemu();

    QString debian, old;

private:
    QString compose(const QString& name, const QString& hardware, const QString& serial);

    QTemporaryDir m_folder;
    QTemporaryDir m_shipped;
    std::unique_ptr<TMain> m_window;
    QString m_disc;
    QStringList m_debianArguments;
};

bool Bench::setUp(QString* error)
{
    m_disc = InstallerDisc(QDir::tempPath(), error);
    if (m_disc.isEmpty() || !ProgramFolderLayout::layOut(m_shipped.path(), error))
        return false;
    const QString folder = m_folder.path();
    const BenchLibrary::Fields version = {{"ID", "v3"},   {"DESC", "QEMU"}, {"PATH", "{VR}\\qemu"},
                                          {"VERID", "3"}, {"USB", "Yes"},   {"CONSOLE", "Yes"}};
    if (!BenchLibrary::layOutTables(folder, version) || !BenchLibrary::layOutHostQemu(folder))
        return false;
    QFile::link(s("/usr/bin/qemu-img"), folder + s("/qemu/qemu-img.exe"));
    ProgramFolder::setPath(folder);
    m_window = std::make_unique<TMain>();
    m_window->launcher().hasWindowDisplay = [](const QString&) { return true; };
    // Emulated, as on a host without KVM: the figures then compare the hardware, not the host.
    m_window->setKvmDevice(folder + s("/no-kvm"));

    TableHandle shipped;
    shipped.setFolder(m_shipped.path());
    shipped.setTableName(TableSchemas::OpSysTable);
    const std::optional<OsProfile> profile = FindProfile(shipped, s("Debian 12"));
    if (!profile)
        return false;
    debian = compose(s("Debian"), profile->hardware, folder + s("/debian.txt"));
    old = compose(s("Old"), s("arch=64;cpu=qemu64"), folder + s("/old.txt"));
    return !debian.isEmpty() && !old.isEmpty();
}

QString Bench::compose(const QString& name, const QString& hardware, const QString& serial)
{
    NewVM::Plan plan;
    plan.name = name;
    plan.storeFolder = m_folder.filePath(s("VMs"));
    plan.storeId = s("0");
    plan.versionId = s("v3");
    plan.platform = NewVM::DefaultsFor(plan.arc);
    plan.ram = 2048;
    plan.diskSize = 20000;
    plan.output = NewVM::Output::QemuWindow;
    plan.hardware = HardwarePresets::Parse(hardware);
    plan.installMedium = m_disc;
    const QString vm = NewVM::ComposeVM(plan, m_window->versions(), &CreateDiskImage);
    if (vm.isEmpty())
        return {};
    WriteVMFileValue(vm, s("Ports"), s("SerialCount"), s("1"));
    WriteVMFileValue(vm, s("Serial Port 1"), s("SerialTy"), s("2"));
    WriteVMFileValue(vm, s("Serial Port 1"), s("Serial"), serial);
    ApprovedValues::approve(vm, s("Serial Port 1"), s("Serial"), serial);
    // Sound depends on the host's sound system; it is no part of what is measured.
    WriteVMFileValue(vm, s("Audio"), s("Enable Sound"), s("No"));
    return vm;
}

double Bench::throughVimor(const QString& vm)
{
    const QString serial = ReadVMFileValue(vm, s("Serial Port 1"), s("Serial"));
    QFile::remove(serial);
    m_window->BuildVMTree();
    m_window->selectVM(vm);
    QElapsedTimer timer;
    timer.start();
    m_window->PlayClick();
    const bool shown = QTest::qWaitFor([&] { return firstScreenIn(serial); }, BootLimitMs);
    const double seconds = timer.elapsed() / 1000.0;
    const qint64 pid = ReadVMFileValue(vm, s("General"), s("StatusID")).toLongLong();
    if (vm == debian)
        m_debianArguments =
            CommandLine::SplitCommandLine(ReadVMFileValue(vm, s("General"), s("LaunchString")));
    Processes::terminate(pid);
    const bool stopped = QTest::qWaitFor(
        [&] { return ReadVMFileValue(vm, s("General"), s("Status")) == s("Stopped"); }, 30000);
    if (!stopped)
        std::fprintf(stderr, "bench_installer: %s did not stop\n", qPrintable(vm));
    return shown ? seconds : -1;
}

double Bench::bareQemu()
{
    const QString serial = m_folder.filePath(s("debian.txt"));
    QFile::remove(serial);
    QProcess qemu;
    QElapsedTimer timer;
    timer.start();
    qemu.start(s("/usr/bin/qemu-system-x86_64"),
               m_debianArguments + QStringList{s("-display"), s("none")});
    const bool shown = QTest::qWaitFor([&] { return firstScreenIn(serial); }, BootLimitMs);
    const double seconds = timer.elapsed() / 1000.0;
    qemu.kill();
    qemu.waitForFinished(10000);
    return shown ? seconds : -1;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    Interaction::install(std::make_unique<ScriptedInteraction>());
    Bench bench;
    QString error;
    if (!bench.setUp(&error)) {
        std::fprintf(stderr, "bench_installer: %s\n", qPrintable(error));
        return 1;
    }
    QList<double> debian, old, bare;
    for (int round = 0; round < rounds; ++round) {
        debian.append(bench.throughVimor(bench.debian));
        old.append(bench.throughVimor(bench.old));
        bare.append(bench.bareQemu());
        std::printf("round %d: Debian 12 defaults %.1f s, old hardware %.1f s, bare QEMU %.1f s\n",
                    round + 1, debian.last(), old.last(), bare.last());
        std::fflush(stdout);
    }
    std::printf("median of %d: Debian 12 defaults %.1f s, old hardware with a 64-bit CPU %.1f s, "
                "bare QEMU with the same options %.1f s\n",
                rounds, median(debian), median(old), median(bare));
    Interaction::install(nullptr);
    return 0;
}
