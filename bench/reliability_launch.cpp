// Starts and stops 8 VMs ROUNDS times (100 unless given) through the real main window and
// launcher, each VM embedded in a display panel with its monitor, on the host's QEMU. After every
// round nothing may be left over: no panel in "panels.dat", no live row in "process.dat", no
// zombie child, no more file descriptors than after the first round, no monitor or display
// socket; after the window has gone, no "panels.dat", "VRPorts.dat" or listening monitor port.
//   reliability_launch [ROUNDS]   (needs /usr/bin/qemu-system-x86_64)

#include "app/ProgramFolderLayout.h"
#include "app/ui/TMain.h"
#include "bench/BenchLibrary.h"
#include "launch/Panels.h"
#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/RuntimeFolder.h"
#include "platform/ui/Interaction.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <array>
#include <cstdio>

namespace {

constexpr int VMCount = 8;

QString s(const char* text)
{
    return QString::fromUtf8(text);
}

int fail(const QString& why)
{
    std::fprintf(stderr, "reliability_launch: %s\n", qUtf8Printable(why));
    return 1;
}

bool layOut(const QString& folder, QStringList* vms)
{
    // Today's QEMU, drawing into a panel and with the monitor: every reservation is made.
    const BenchLibrary::Fields version = {
        {"ID", "v1"},   {"DESC", "QEMU"}, {"PATH", "{VR}\\qemu"}, {"VERID", "3"},
        {"INT", "Yes"}, {"USB", "Yes"},   {"CONSOLE", "Yes"},     {"KQEMU", "No"},
        {"FMOD", "No"}, {"BT", "No"},     {"DEFAULT", "Yes"},
    };
    if (!BenchLibrary::layOutTables(folder, version) ||
        !ProgramFolderLayout::linkHostQemu(folder + s("/qemu"),
                                           ProgramFolderLayout::Existing::Replace, nullptr))
        return false;
    for (int i = 1; i <= VMCount; ++i) {
        const QString vm = folder + s("/VMs/vm%1.vm2").arg(i);
        const BenchLibrary::Keys keys = {
            {"General", "Arc", "x86"},        {"General", "Qemu Version ID", "v1"},
            {"Hardware", "CPUArc", "64 Bit"}, {"Hardware", "RAM", "32"},
            {"Hardware", "MID", "pc"},        {"Hardware", "VID", "std"},
            {"Hardware", "CID", "Default"},   {"Hardware", "OutputID", "0"},
            {"Hardware", "Network", "No"},    {"Audio", "Enable Sound", "No"},
            {"Advanced", "Start Time", ""},
        };
        if (!BenchLibrary::writeVM(vm, keys))
            return false;
        vms->append(vm);
    }
    return true;
}

QString status(const QString& vm)
{
    return ReadVMFileValue(vm, s("General"), s("Status"));
}

int openDescriptors()
{
    return int(QDir(s("/proc/self/fd")).entryList(QDir::Files | QDir::System).size());
}

// Children of this program that have ended but were not reaped.
int zombies()
{
    const QByteArray self = QByteArray::number(QCoreApplication::applicationPid());
    int count = 0;
    const QStringList entries = QDir(s("/proc")).entryList(QDir::Dirs);
    for (const QString& entry : entries) {
        QFile stat(s("/proc/") + entry + s("/stat"));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.value(0) == "Z" && fields.value(1) == self)
            ++count;
    }
    return count;
}

int liveProcessRows(const QString& folder)
{
    TableHandle rows;
    rows.setFolder(folder);
    rows.setTableName(TableSchemas::ProcessTable);
    int count = 0;
    if (!rows.open())
        return -1;
    for (rows.first(); !rows.eof(); rows.next())
        count += !rows.fieldValue(s("PROCESSID")).isEmpty();
    return count;
}

QStringList sockets()
{
    return QDir(RuntimeFolder::vimorFolder()).entryList({s("*.sock")}, QDir::System);
}

// Listening TCP ports of the monitor range, from /proc/net/tcp and tcp6 (state 0A).
int listeningMonitorPorts()
{
    int count = 0;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file(s(table));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const QList<QByteArray> lines = file.readAll().split('\n');
        for (const QByteArray& line : lines) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            bool ok = false;
            const int port = fields.value(1).split(':').value(1).toInt(&ok, 16);
            count += ok && fields.value(3) == "0A" && port >= Panels::FirstMonitorPort &&
                     port <= Panels::LastMonitorPort;
        }
    }
    return count;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? std::max(1, QByteArray(argv[1]).toInt()) : 100;
    auto* script = new ScriptedInteraction;
    Interaction::install(std::unique_ptr<Interaction>(script));

    QTemporaryDir dir;
    ProgramFolder::setPath(dir.path());
    QStringList vms;
    if (!layOut(dir.path(), &vms))
        return fail(s("cannot lay out the program folder (is QEMU installed?)"));
    QElapsedTimer clock;
    clock.start();
    int baseline = -1;
    int launches = 0;
    {
        auto window = std::make_unique<TMain>();
        for (int round = 1; round <= rounds; ++round) {
            for (const QString& vm : std::as_const(vms)) {
                if (!window->selectVM(vm))
                    return fail(s("cannot select ") + vm);
                window->PlayClick();
                if (!QTest::qWaitFor([&vm] { return status(vm) == s("Running"); }, 15000))
                    return fail(s("round %1: %2 did not start: %3")
                                    .arg(round)
                                    .arg(vm, script->shownTexts().join(s(" / "))));
                ++launches;
            }
            for (const QString& vm : std::as_const(vms)) {
                window->selectVM(vm);
                script->clear();
                script->answerMessage(Interaction::Answer::Yes);
                window->StopClick();
            }
            const bool stopped = QTest::qWaitFor(
                [&vms] {
                    for (const QString& vm : vms) {
                        if (status(vm) != s("Stopped"))
                            return false;
                    }
                    return true;
                },
                60000);
            // QEMU removes its sockets on the way out, just after the process list no longer
            // shows it.
            const bool socketsGone = QTest::qWaitFor([] { return sockets().isEmpty(); }, 5000);
            script->clear();
            const int descriptors = openDescriptors();
            if (baseline < 0)
                baseline = descriptors;
            const QStringList left = sockets();
            if (!stopped || !socketsGone || Panels::PanelsInUse() ||
                liveProcessRows(dir.path()) != 0 || zombies() != 0 || descriptors > baseline ||
                !left.isEmpty()) {
                return fail(s("round %1: stopped %2, panels in use %3, process rows %4, zombies "
                              "%5, descriptors %6 (first round %7), sockets %8")
                                .arg(round)
                                .arg(stopped)
                                .arg(Panels::PanelsInUse())
                                .arg(liveProcessRows(dir.path()))
                                .arg(zombies())
                                .arg(descriptors)
                                .arg(baseline)
                                .arg(left.join(s(" "))));
            }
            std::printf("round %d: %d VMs started and stopped, %d descriptors\n", round, VMCount,
                        descriptors);
            std::fflush(stdout);
        }
    }
    const bool runFilesGone = !QFile::exists(dir.filePath(s("panels.dat"))) &&
                              !QFile::exists(dir.filePath(s("VRPorts.dat")));
    const int ports = listeningMonitorPorts();
    std::printf("%d rounds, %d launches in %.0f s: no panel, process row, zombie, descriptor or "
                "socket left after any round; run-time files %s, %d monitor ports listening\n",
                rounds, launches, double(clock.elapsed()) / 1000.0,
                runFilesGone ? "removed" : "LEFT", ports);
    return runFilesGone && ports == 0 ? 0 : 1;
}
