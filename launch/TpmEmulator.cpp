#include "launch/TpmEmulator.h"

#include "platform/FileSystem.h"
#include "platform/ProcessStart.h"
#include "platform/Processes.h"
#include "platform/RuntimeFolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

namespace TpmEmulator {
namespace {

struct Tool
{
    const char* program;
    const char* package; // the Debian package that brings it
};
const Tool Tools[] = {
    {"swtpm", "swtpm"},
    {"swtpm_setup", "swtpm-tools"},
};

// The file the TPM 2.0 state lives in; swtpm_setup leaves none behind when it fails.
const char* const StateFile = "tpm2-00.permall";
const int SetupTimeoutMs = 120000;
const int StartTimeoutMs = 5000;
const int StopGraceMs = 1000;

QString program(const char* name)
{
    return QStandardPaths::findExecutable(QString::fromLatin1(name));
}

bool hasState(const QString& stateFolder)
{
    return QFileInfo(stateFolder + QLatin1Char('/') + QLatin1String(StateFile)).isFile();
}

// swtpm and swtpm_setup split their options at commas and know no escape for one: a state folder
// with a comma in its path is named relative to the working folder, which is always the state
// folder. An empty name stands for the folder itself.
QString inState(const QString& stateFolder, const QString& name = {})
{
    if (stateFolder.contains(QLatin1Char(',')))
        return name.isEmpty() ? QStringLiteral(".") : name;
    return name.isEmpty() ? stateFolder : stateFolder + QLatin1Char('/') + name;
}

QString controlArgument(const QString& socketPath)
{
    return QStringLiteral("type=unixio,path=%1,mode=0600").arg(socketPath);
}

// Runs swtpm_setup in the state folder; false with what it wrote to stderr when it fails.
bool runSetup(const QString& stateFolder, const QStringList& arguments, QString* diagnostics)
{
    QProcess process;
    process.setProgram(program("swtpm_setup"));
    process.setArguments(arguments);
    process.setWorkingDirectory(stateFolder);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    // swtpm_setup makes the state 0640; the TPM's secrets are the user's alone.
    ProcessStart::apply(process, {.privateFiles = true});
    process.start();
    if (!process.waitForFinished(SetupTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        *diagnostics = QStringLiteral("it did not finish");
        return false;
    }
    *diagnostics = QString::fromLocal8Bit(process.readAllStandardError()).simplified();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool acceptsConnection(const QString& socketPath)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    const bool connected = socket.waitForConnected(100);
    socket.abort();
    return connected;
}

// What swtpm wrote to its log from offset on, as one line.
QString logSince(const QString& logPath, qint64 offset)
{
    QFile log(logPath);
    if (!log.open(QIODevice::ReadOnly) || !log.seek(offset))
        return {};
    return QString::fromLocal8Bit(log.readAll()).simplified();
}

bool isVmSwtpm(qint64 pid, const QString& socketPath)
{
    // The executable, not the command line a process may set for itself, says what runs.
    return QFileInfo(Processes::executable(pid)).fileName() == QLatin1String("swtpm") &&
           ProcessStart::hasArgument(pid, controlArgument(socketPath));
}

} // namespace

bool Available(QString* missing)
{
    for (const Tool& tool : Tools) {
        if (program(tool.program).isEmpty()) {
            if (missing)
                *missing = QString::fromLatin1(tool.package);
            return false;
        }
    }
    return true;
}

bool PrepareState(const QString& stateFolder, QString* error)
{
    QString missing;
    if (!Available(&missing)) {
        if (error)
            *error = QStringLiteral("The TPM emulator needs the %1 package.").arg(missing);
        return false;
    }
    if (!QDir::isAbsolutePath(stateFolder)) {
        if (error)
            *error =
                QStringLiteral("The TPM state folder %1 is not an absolute path.").arg(stateFolder);
        return false;
    }
    QDir().mkpath(QFileInfo(stateFolder).absolutePath());
    if (!RuntimeFolder::ensurePrivateFolder(stateFolder, error))
        return false;
    if (hasState(stateFolder))
        return true;

    QString diagnostics;
    // The user's own configuration gives swtpm_setup a certificate authority it may write to. As
    // root this refuses (the files would shadow /etc's), and /etc's authority serves instead.
    runSetup(stateFolder,
             {QStringLiteral("--create-config-files"), QStringLiteral("skip-if-exist")},
             &diagnostics);
    const QStringList certificates{QStringLiteral("--create-ek-cert"),
                                   QStringLiteral("--create-platform-cert")};
    // Where no authority can be written to, a TPM without certificates still serves the guest.
    for (const bool withCertificates : {true, false}) {
        QStringList arguments{QStringLiteral("--tpm2"), QStringLiteral("--tpmstate"),
                              inState(stateFolder)};
        if (withCertificates)
            arguments += certificates;
        arguments += {QStringLiteral("--lock-nvram"), QStringLiteral("--not-overwrite")};
        runSetup(stateFolder, arguments, &diagnostics);
        if (hasState(stateFolder))
            return true;
    }
    if (error)
        *error = QStringLiteral("swtpm_setup could not make the TPM state in %1: %2")
                     .arg(stateFolder, diagnostics);
    return false;
}

QString SocketPath(const QString& socketFolder, const QString& vmId)
{
    return QStringLiteral("%1/tpm-%2.sock").arg(socketFolder, vmId);
}

QString PidFilePath(const QString& socketFolder, const QString& vmId)
{
    return QStringLiteral("%1/tpm-%2.pid").arg(socketFolder, vmId);
}

qint64 Start(const QString& stateFolder, const QString& socketPath, const QString& pidFile,
             QString* error)
{
    const auto fail = [error](const QString& reason) {
        if (error)
            *error = reason;
        return qint64(0);
    };
    const QString swtpm = program("swtpm");
    if (swtpm.isEmpty())
        return fail(QStringLiteral("The TPM emulator needs the swtpm package."));
    if (!hasState(stateFolder))
        return fail(QStringLiteral("There is no TPM state in %1.").arg(stateFolder));
    for (const QString& path : {socketPath, pidFile}) {
        if (path.contains(QLatin1Char(',')))
            return fail(QStringLiteral("swtpm cannot take the path %1: it has a comma.").arg(path));
    }
    Stop(socketPath, pidFile);

    const QString log = stateFolder + QStringLiteral("/swtpm.log");
    const qint64 logOffset = QFileInfo(log).size();
    // QProcess would make the log 0644 before the child's umask counts.
    QFile(log).open(QIODevice::Append, QFile::ReadOwner | QFile::WriteOwner);
    QProcess process;
    process.setProgram(swtpm);
    process.setArguments(
        {QStringLiteral("socket"), QStringLiteral("--tpm2"), QStringLiteral("--tpmstate"),
         QStringLiteral("dir=") + inState(stateFolder), QStringLiteral("--ctrl"),
         controlArgument(socketPath), QStringLiteral("--terminate"), QStringLiteral("--pid"),
         QStringLiteral("file=") + pidFile, QStringLiteral("--log"),
         QStringLiteral("file=") + inState(stateFolder, QStringLiteral("swtpm.log"))});
    process.setWorkingDirectory(stateFolder);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    // What it says before its log is open (an option it refuses) lands in the log too.
    process.setStandardErrorFile(log, QIODevice::Append);
    // What it writes back into the state, and its log, stay the user's alone.
    ProcessStart::apply(process, {.privateFiles = true});
    qint64 pid = 0;
    if (!process.startDetached(&pid) || pid <= 0)
        return fail(QStringLiteral("swtpm could not be started."));

    QElapsedTimer timer;
    timer.start();
    while (Processes::IsProcessAlive(pid) && timer.elapsed() < StartTimeoutMs) {
        if (acceptsConnection(socketPath))
            return pid;
        QThread::msleep(20);
    }
    const bool ended = !Processes::IsProcessAlive(pid);
    Processes::terminate(pid, StopGraceMs);
    QFile::remove(socketPath);
    QFile::remove(pidFile);
    const QString said = logSince(log, logOffset);
    return fail((ended ? QStringLiteral("swtpm ended at its start")
                       : QStringLiteral("swtpm did not open its socket in time")) +
                (said.isEmpty() ? QStringLiteral(".") : QStringLiteral(": ") + said));
}

QString QemuOptions(const QString& socketPath)
{
    QString path = socketPath;
    path.replace(QLatin1Char(','), QLatin1String(",,"));
    return QStringLiteral(" -chardev \"socket,id=chrtpm,path=%1\""
                          " -tpmdev emulator,id=tpm0,chardev=chrtpm -device tpm-crb,tpmdev=tpm0")
        .arg(path);
}

void Stop(const QString& socketPath, const QString& pidFile)
{
    QByteArray text;
    if (FileSystem::readWholeFile(pidFile, &text) == FileSystem::ReadResult::Read) {
        bool ok = false;
        const qint64 pid = text.trimmed().toLongLong(&ok);
        if (ok && isVmSwtpm(pid, socketPath))
            Processes::terminate(pid, StopGraceMs);
    }
    QFile::remove(socketPath);
    QFile::remove(pidFile);
}

} // namespace TpmEmulator
