// Time from "Launch Selected VM" to the QEMU process existing, the one-second confirmation left
// out: PlayClick is timed until /proc lists a qemu-system child of this program.
//   bench_launch [RUNS]   (5 by default; needs /usr/bin/qemu-system-x86_64 and qemu-img)

#include "app/ui/TMain.h"
#include "bench/BenchLibrary.h"
#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/Processes.h"
#include "platform/ui/Interaction.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <array>
#include <cstdio>

namespace {

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

// The QEMU child of this program, or 0 while there is none.
qint64 qemuChild()
{
    const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
    const QStringList entries = QDir(s("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        QFile stat(s("/proc/") + entry + s("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const qsizetype close = text.lastIndexOf(')');
        const QList<QByteArray> fields = text.mid(close + 2).split(' ');
        if (fields.value(1) == self && text.contains("(qemu-system"))
            return entry.toLongLong();
    }
    return 0;
}

bool layOut(const QString& folder, const QString& vm)
{
    const BenchLibrary::Fields version = {
        {"ID", "v1"}, {"DESC", "QEMU"}, {"PATH", "{VR}\\qemu"}, {"VERID", "0"}};
    if (!BenchLibrary::layOutTables(folder, version) || !BenchLibrary::layOutHostQemu(folder))
        return false;
    QProcess create;
    create.start(s("qemu-img"), {s("create"), s("-q"), s("-f"), s("qcow2"),
                                 folder + s("/VMs/disk.qcow2"), s("1M")});
    if (!create.waitForFinished(30000) || create.exitCode() != 0)
        return false;

    const BenchLibrary::Keys keys = {
        {"General", "Arc", "x86"},        {"General", "Qemu Version ID", "v1"},
        {"Hardware", "CPUArc", "64 Bit"}, {"Hardware", "RAM", "32"},
        {"Hardware", "MID", "pc"},        {"Hardware", "VID", "std"},
        {"Hardware", "OutputID", "1"},    {"Hardware", "Network", "No"},
        {"Audio", "Enable Sound", "No"},  {"Advanced", "Start Time", ""},
        {"Drives", "HDA", "disk.qcow2"},
    };
    return BenchLibrary::writeVM(vm, keys);
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 5;
    Interaction::install(std::make_unique<ScriptedInteraction>());

    QTemporaryDir dir;
    ProgramFolder::setPath(dir.path());
    const QString vm = dir.filePath(s("VMs/bench.vm2"));
    if (!layOut(dir.path(), vm)) {
        std::fprintf(stderr, "cannot lay out the program folder (is QEMU installed?)\n");
        return 1;
    }
    auto window = std::make_unique<TMain>();
    if (window->selectedVM() != vm) {
        std::fprintf(stderr, "the VM is not selected\n");
        return 1;
    }

    QList<double> times;
    for (int run = 0; run < runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        window->PlayClick();
        qint64 pid = 0;
        while ((pid = qemuChild()) == 0 && timer.elapsed() < 10000)
            QCoreApplication::processEvents();
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (pid == 0) {
            std::fprintf(stderr, "QEMU did not start\n");
            return 1;
        }
        times.append(ms);
        // Let the confirmation run, end QEMU and let the sweep record it.
        QTest::qWait(1200);
        Processes::terminate(pid);
        const bool stopped = QTest::qWaitFor(
            [&vm] { return ReadVMFileValue(vm, s("General"), s("Status")) == s("Stopped"); }, 5000);
        if (!stopped) {
            std::fprintf(stderr, "the end of QEMU was not recorded\n");
            return 1;
        }
    }
    std::sort(times.begin(), times.end());
    std::printf("launch to QEMU process: %d runs, median %.2f ms, min %.2f ms, max %.2f ms\n", runs,
                times.at(times.size() / 2), times.first(), times.last());
    return 0;
}
