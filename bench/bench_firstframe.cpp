// From "Launch Selected VM" to the guest's first frame in the main window's panel, for a VM shown
// inside the main window on today's QEMU, beside QEMU's own time from its start to a display socket
// that accepts a viewer.
//   bench_firstframe [RUNS]   (10 by default; needs QEMU)

#include "app/ui/TMain.h"
#include "bench/BenchLibrary.h"
#include "launch/ui/DisplayPanel.h"
#include "launch/ui/Launcher.h"
#include "model/ProgramFolder.h"
#include "platform/CommandLine.h"
#include "platform/Processes.h"
#include "platform/ui/Interaction.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

double median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.at(values.size() / 2);
}

bool accepts(const QString& socket)
{
    QLocalSocket probe;
    probe.connectToServer(socket);
    return probe.waitForConnected(10);
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 10;
    Interaction::install(std::make_unique<ScriptedInteraction>());

    QTemporaryDir dir;
    const QString folder = dir.path();
    ProgramFolder::setPath(folder);
    const BenchLibrary::Fields version = {{"ID", "v3"},   {"DESC", "QEMU"}, {"PATH", "{VR}\\qemu"},
                                          {"VERID", "3"}, {"USB", "Yes"},   {"CONSOLE", "Yes"},
                                          {"INT", "Yes"}};
    const QString vm = dir.filePath(s("VMs/bench.vm2"));
    const BenchLibrary::Keys keys = {
        {"General", "Arc", "x86"},        {"General", "Qemu Version ID", "v3"},
        {"Hardware", "CPUArc", "64 Bit"}, {"Hardware", "RAM", "64"},
        {"Hardware", "MID", "pc"},        {"Hardware", "VID", "std"},
        {"Hardware", "CID", "qemu64"},    {"Hardware", "OutputID", "0"},
        {"Hardware", "Network", "No"},    {"Audio", "Enable Sound", "No"},
        {"Advanced", "Start Time", ""},
    };
    if (!BenchLibrary::layOutTables(folder, version) || !BenchLibrary::layOutHostQemu(folder) ||
        !BenchLibrary::writeVM(vm, keys)) {
        std::fprintf(stderr, "bench_firstframe: cannot lay out the program folder\n");
        return 1;
    }
    auto window = std::make_unique<TMain>();
    window->show();
    if (window->selectedVM() != vm) {
        std::fprintf(stderr, "bench_firstframe: the VM is not selected\n");
        return 1;
    }

    QList<double> vimor;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        window->PlayClick();
        DisplayPanel* panel = nullptr;
        const bool shown = QTest::qWaitFor(
            [&] {
                panel = window->panel(ReadVMFileValue(vm, s("General"), s("PanelID")).toInt());
                return panel && !panel->image().isNull();
            },
            20000);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (!shown) {
            std::fprintf(stderr, "bench_firstframe: no frame came (%s)\n%s\n",
                         qPrintable(ReadVMFileValue(vm, s("General"), s("Status"))),
                         qPrintable(window->logText()));
            return 1;
        }
        vimor.append(ms);
        // The confirmation records the run; then the VM ends and the sweep frees its panel.
        (void)QTest::qWaitFor(
            [&] { return ReadVMFileValue(vm, s("General"), s("Status")) == s("Running"); }, 5000);
        Processes::terminate(ReadVMFileValue(vm, s("General"), s("StatusID")).toLongLong());
        if (!QTest::qWaitFor(
                [&] { return ReadVMFileValue(vm, s("General"), s("Status")) == s("Stopped"); },
                10000)) {
            std::fprintf(stderr, "bench_firstframe: the end of QEMU was not recorded\n");
            return 1;
        }
    }

    // QEMU alone, with the arguments of the last launch: its start to a socket that accepts.
    const QString arguments = window->launcher().lastLaunchString();
    const QString socket = arguments.section(s("unix:"), 1).section(QLatin1Char('"'), 0, 0);
    QList<double> qemu;
    for (int run = 0; run < runs; ++run) {
        QFile::remove(socket);
        QProcess process;
        QElapsedTimer timer;
        timer.start();
        process.start(window->versions().VMExecutable(vm),
                      CommandLine::SplitCommandLine(arguments));
        while (!accepts(socket) && timer.elapsed() < 10000)
            QThread::usleep(500);
        qemu.append(double(timer.nsecsElapsed()) / 1e6);
        process.kill();
        process.waitForFinished();
    }
    std::printf(
        "launch to first frame in the panel: median of %d %.0f ms; QEMU start to its display "
        "socket: median %.0f ms\n",
        runs, median(vimor), median(qemu));
    Interaction::install(nullptr);
    return 0;
}
