// Takes a picture of the main window over a small sample library, without a display:
//   vimor-screenshot OUT.png IMAGE-LIBRARY

#include "app/ui/TMain.h"
#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/TableSchemas.h"
#include "model/VMFile.h"
#include "platform/ui/Interaction.h"

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

struct SampleVM
{
    const char* name;
    const char* os;
    const char* ram;
    const char* arc;
    bool running;
};

bool layOut(const QString& folder)
{
    using namespace TableSchemas;
    const QString at = folder + QLatin1Char('/');
    if (!createProgramTables(folder))
        return false;
    TableHandle stores;
    stores.setFolder(folder);
    stores.setTableName(VMStoreTable);
    if (!stores.open())
        return false;
    stores.insert();
    stores.setFieldValue(QStringLiteral("DSNAME"), QStringLiteral("Default VM Store"));
    stores.setFieldValue(QStringLiteral("DSID"), QStringLiteral("0"));
    stores.setFieldValue(QStringLiteral("PATH"), QStringLiteral("{VR}\\VMs"));
    if (!stores.post())
        return false;
    QDir(folder).mkpath(QStringLiteral("VMs"));
    const SampleVM vms[] = {{"Debian 12 Server", "Debian 12", "2048", "x86", false},
                            {"Windows XP", "Windows XP", "512", "x86", false},
                            {"FreeBSD 14", "FreeBSD 14", "1024", "x86", true},
                            {"Alpine Router", "Alpine Linux", "256", "x86", false},
                            {"ReactOS", "ReactOS", "512", "x86", false}};
    for (const SampleVM& vm : vms) {
        const QString file = at + QStringLiteral("VMs/%1.vm2").arg(QString::fromUtf8(vm.name));
        if (!WriteVMTemplate(file, true))
            return false;
        const auto s = [](const char* text) { return QString::fromUtf8(text); };
        WriteVMFileValue(file, s("General"), s("Operating System"), s(vm.os));
        WriteVMFileValue(file, s("General"), s("Arc"), s(vm.arc));
        WriteVMFileValue(file, s("Hardware"), s("RAM"), s(vm.ram));
        WriteVMFileValue(file, s("Hardware"), s("OutputID"), s("1"));
        if (vm.running)
            WriteVMFileValue(file, s("General"), s("Status"), s("Running"));
    }
    QFile ini(at + QStringLiteral("vimor.ini"));
    return ini.open(QIODevice::WriteOnly) && ini.write("[General]\r\nWizard7Complete=1\r\n") > 0;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: vimor-screenshot OUT.png IMAGE-LIBRARY\n");
        return 2;
    }
    Interaction::install(std::make_unique<ScriptedInteraction>());
    QTemporaryDir dir;
    ProgramFolder::setPath(dir.path());
    if (!layOut(dir.path()) || !QFile::copy(QString::fromLocal8Bit(argv[2]),
                                            dir.filePath(QStringLiteral("vimordll.dll")))) {
        std::fprintf(stderr, "cannot lay out the sample library\n");
        return 1;
    }
    TMain window;
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    QTest::qWait(100);
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
