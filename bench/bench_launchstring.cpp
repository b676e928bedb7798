// Building the QEMU arguments of a VM with four disks, four network cards and four USB devices.
//   bench_launchstring [ITERATIONS]   (2000 by default)

#include "app/ui/TMain.h"
#include "launch/LaunchString.h"
#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/ui/Interaction.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

bool layOut(const QString& folder, const QString& vm)
{
    using namespace TableSchemas;
    if (!createProgramTables(folder) || !QDir(folder).mkpath(s("VMs")) ||
        !QDir(folder).mkpath(s("qemu/pc-bios")))
        return false;
    // The firmware and the VM's drives are there, as they are for a VM that starts.
    QDir(folder).mkpath(s("disks"));
    QDir(folder).mkpath(s("media"));
    for (const char* file : {"qemu/pc-bios/bios.bin", "VMs/a.qcow2", "VMs/c.qcow2", "VMs/stick.img",
                             "disks/b.img", "media/f.img"}) {
        QFile made(folder + QLatin1Char('/') + s(file));
        if (!made.open(QIODevice::WriteOnly))
            return false;
    }

    TableHandle stores;
    stores.setFolder(folder);
    stores.setTableName(VMStoreTable);
    if (!stores.open())
        return false;
    stores.insert();
    stores.setFieldValue(s("DSNAME"), s("Default VM Store"));
    stores.setFieldValue(s("DSID"), s("0"));
    stores.setFieldValue(s("PATH"), s("{VR}\\VMs"));
    if (!stores.post())
        return false;

    TableHandle versions;
    versions.setFolder(folder);
    versions.setTableName(VersionTable);
    if (!versions.open())
        return false;
    // One version for each command-line generation, its code as its identifier.
    for (const char* code : {"0", "1", "2", "3"}) {
        versions.insert();
        versions.setFieldValue(s("ID"), s(code));
        versions.setFieldValue(s("DESC"), s("QEMU"));
        versions.setFieldValue(s("PATH"), s("{VR}\\qemu"));
        versions.setFieldValue(s("VERID"), s(code));
        for (const char* flag : {"INT", "USB", "CONSOLE"})
            versions.setFieldValue(s(flag), s("Yes"));
        if (!versions.post())
            return false;
    }

    if (!WriteVMTemplate(vm, true))
        return false;
    const QList<std::array<const char*, 3>> keys = {
        {"General", "Arc", "x86"},
        {"General", "Qemu Version ID", "0"},
        {"General", "VM Store ID", "0"},
        {"Hardware", "CPUArc", "64 Bit"},
        {"Hardware", "RAM", "512"},
        {"Hardware", "MID", "pc"},
        {"Hardware", "CID", "qemu64"},
        {"Hardware", "VID", "std"},
        {"Hardware", "OutputID", "1"},
        {"Hardware", "Enable USB", "Yes"},
        {"Drives", "HDA", "a.qcow2"},
        {"Drives", "HDB", "{VR}\\disks\\b.img"},
        {"Drives", "HDC", "c.qcow2"},
        {"Drives", "HDD", "fat:/srv/share"},
        {"Drives", "FloppyA", "{VR}\\media\\f.img"},
        {"Audio", "SID", "ac97"},
        {"Network", "CardCount", "4"},
        {"USB Devices", "Count", "4"},
        {"USB Device 1", "Type", "HW"},
        {"USB Device 1", "VendID", "046d"},
        {"USB Device 1", "ProdID", "c52b"},
        {"USB Device 2", "Type", "DRIVE"},
        {"USB Device 2", "DrivePath", "stick.img"},
        {"USB Device 3", "Type", "MOUSE"},
        {"USB Device 4", "Type", "TABLET"},
    };
    for (const auto& [section, key, value] : keys)
        if (!WriteVMFileValue(vm, s(section), s(key), s(value)))
            return false;
    for (int card = 1; card <= 4; ++card) {
        const QString section = s("Network Card ") + QString::number(card);
        WriteVMFileValue(vm, section, s("LID"), s("e1000"));
        WriteVMFileValue(vm, section, s("MAC"), s("52-54-00-12-34-5") + QString::number(card));
        WriteVMFileValue(vm, section, s("VLAN"), QString::number(card - 1));
        WriteVMFileValue(vm, section, s("VLAN Type"), s("User Networking"));
        WriteVMFileValue(vm, section, s("Redirectors"), s("tcp:2222::22|udp:5353::53"));
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int iterations = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 2000;
    Interaction::install(std::make_unique<ScriptedInteraction>());

    QTemporaryDir dir;
    ProgramFolder::setPath(dir.path());
    const QString vm = dir.filePath(s("VMs/bench.vm2"));
    if (!layOut(dir.path(), vm)) {
        std::fprintf(stderr, "cannot lay out the program folder\n");
        return 1;
    }
    QFile ini(dir.filePath(s("vimor.ini")));
    if (ini.open(QIODevice::WriteOnly))
        ini.write("[General]\r\nWizard7Complete=1\r\n");
    ini.close();

    auto window = std::make_unique<TMain>();
    if (window->selectedVM() != vm) {
        std::fprintf(stderr, "the VM is not selected\n");
        return 1;
    }

    // Display mode "1" reserves no panel; today's QEMU gives the VM a monitor all the same, so
    // its port is fixed here to keep every build the same work.
    LaunchEnvironment env;
    env.allocateMonitorPort = [] { return 60001; };
    env.socketFolder = dir.filePath(s("run"));
    bool same = true;
    for (const char* code : {"0", "1", "2", "3"}) {
        WriteVMFileValue(vm, s("General"), s("Qemu Version ID"), s(code));
        const LaunchString first = BuildLaunchString(*window, env);
        QElapsedTimer timer;
        timer.start();
        qsizetype length = 0;
        for (int i = 0; i < iterations; ++i)
            length += BuildLaunchString(*window, env).arguments.size();
        const qint64 nanoseconds = timer.nsecsElapsed();
        std::printf("generation %s: %d builds of %lld characters: %.1f us per build\n", code,
                    iterations, static_cast<long long>(first.arguments.size()),
                    static_cast<double>(nanoseconds) / 1000.0 / iterations);
        same = same && length == static_cast<qsizetype>(iterations) * first.arguments.size();
    }
    return same ? 0 : 1;
}
