// Start-up of the main window over a large library, and switching the selected VM.
//   bench_startup [VMS-PER-STORE]   (10 stores; 100 VMs each by default)
//   bench_startup --lay-out FOLDER [VMS-PER-STORE]   adds the stores and VMs to a program folder
//                                                     for bench/startup_window.sh

#include "app/ui/TMain.h"
#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/ui/Interaction.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <cstdio>

namespace {

// A fresh folder gets its tables and ten stores; an existing program folder keeps its tables, and
// its default store "VMs" is the first of the ten.
bool layOut(const QString& folder, int stores, int perStore, bool fresh)
{
    using namespace TableSchemas;
    const QString at = folder + QLatin1Char('/');
    if (fresh && !createProgramTables(folder))
        return false;
    TableHandle table;
    table.setFolder(folder);
    table.setTableName(VMStoreTable);
    if (!table.open())
        return false;
    for (int s = 0; s < stores; ++s) {
        const bool defaultStore = !fresh && s == 0;
        const QString name =
            defaultStore ? QStringLiteral("VMs") : QStringLiteral("Store%1").arg(s);
        QDir(folder).mkpath(name);
        if (!defaultStore) {
            table.insert();
            table.setFieldValue(QStringLiteral("DSNAME"), name);
            table.setFieldValue(QStringLiteral("DSID"),
                                s == 0 ? QStringLiteral("0") : RandomId(20));
            table.setFieldValue(QStringLiteral("PATH"), QStringLiteral("{VR}\\") + name);
            if (!table.post())
                return false;
        }
        for (int v = 0; v < perStore; ++v) {
            const QString vm = at + name + QStringLiteral("/VM %1-%2.vm2").arg(s).arg(v);
            if (!WriteVMTemplate(vm, true))
                return false;
            WriteVMFileValue(vm, QStringLiteral("Hardware"), QStringLiteral("RAM"),
                             QStringLiteral("512"));
            WriteVMFileValue(vm, QStringLiteral("General"), QStringLiteral("Arc"),
                             QStringLiteral("x86"));
        }
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc > 2 && QByteArray(argv[1]) == "--lay-out") {
        QCoreApplication app(argc, argv);
        const QString folder = QString::fromLocal8Bit(argv[2]);
        ProgramFolder::setPath(folder);
        return layOut(folder, 10, argc > 3 ? QByteArray(argv[3]).toInt() : 100, false) ? 0 : 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int perStore = argc > 1 ? QByteArray(argv[1]).toInt() : 100;
    Interaction::install(std::make_unique<ScriptedInteraction>());

    QTemporaryDir dir;
    ProgramFolder::setPath(dir.path());
    if (!layOut(dir.path(), 10, perStore, true)) {
        std::fprintf(stderr, "cannot lay out the library\n");
        return 1;
    }
    dir.setAutoRemove(true);
    QFile::copy(QStringLiteral(VIMOR_IMAGE_LIBRARY), dir.filePath(QStringLiteral("vimordll.dll")));
    QFile ini(dir.filePath(QStringLiteral("vimor.ini")));
    if (ini.open(QIODevice::WriteOnly))
        ini.write("[General]\r\nWizard7Complete=1\r\nRememberTabs=Yes\r\n");
    ini.close();

    QElapsedTimer timer;
    timer.start();
    auto window = std::make_unique<TMain>();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get()))
        return 1;
    const double startMs = double(timer.nsecsElapsed()) / 1e6;
    std::printf("start-up with %d VM files in 10 stores until the window is shown: %.1f ms\n",
                10 * perStore, startMs);

    QTreeWidget* tree = window->tree();
    QTreeWidgetItem* root = tree->topLevelItem(0);
    window->setStartingUp(false);
    const int switches = 1000;
    timer.restart();
    for (int i = 0; i < switches; ++i)
        tree->setCurrentItem(root->child(i % 2));
    const double perSwitchUs = double(timer.nsecsElapsed()) / 1e3 / switches;
    std::printf("switching the selection between two VMs: %.1f us per switch (%d switches)\n",
                perSwitchUs, switches);
    return 0;
}
