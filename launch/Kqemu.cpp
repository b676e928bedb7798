#include "launch/Kqemu.h"

#include "model/ProgramFolder.h"

#include <QFileInfo>
#include <QProcess>

int KqemuServiceState()
{
    return 0;
}

bool StartKqemuService()
{
    return false;
}

bool StopKqemuService()
{
    return false;
}

void RunInstaller(const QString& argument)
{
    const QFileInfo installer(ProgramFolder::file(QStringLiteral("\\qemu\\kqemu\\inskqemu.exe")));
    if (!installer.isFile())
        return;
    QProcess process;
    process.setProgram(installer.absoluteFilePath());
    process.setArguments({argument});
    process.setWorkingDirectory(installer.absolutePath());
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start();
    if (process.waitForStarted(-1))
        process.waitForFinished(-1);
}
