#include "devices/TapAdapters.h"

#include "model/ProgramFolder.h"

#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include <unistd.h>

namespace {

std::optional<TapCommands>& overridden()
{
    static std::optional<TapCommands> commands;
    return commands;
}

// Lets the event loop paint while waiting, but keeps the user's clicks for later, so no second
// command starts in the middle of this one.
void waitFor(QProcess& process)
{
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(
        &process, &QProcess::errorOccurred, &loop, [&loop, &process](QProcess::ProcessError error) {
            if (error == QProcess::FailedToStart || process.state() == QProcess::NotRunning)
                loop.quit();
        });
    if (process.state() != QProcess::NotRunning)
        loop.exec(QEventLoop::ExcludeUserInputEvents);
}

// Runs the command to its end; its exit code, or nullopt when it did not start or crashed.
std::optional<int> run(const QStringList& command)
{
    if (command.isEmpty() || command.first().isEmpty())
        return std::nullopt;
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(command.first(), command.mid(1));
    waitFor(process);
    if (process.error() == QProcess::FailedToStart || process.exitStatus() != QProcess::NormalExit)
        return std::nullopt;
    return process.exitCode();
}

void pause(int milliseconds)
{
    if (milliseconds <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

QString findIp()
{
    // pkexec wants a full path; the system folders come first so a user's PATH cannot stand in.
    const QStringList system = {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin"),
                                QStringLiteral("/usr/bin"), QStringLiteral("/bin")};
    QString ip = QStandardPaths::findExecutable(QStringLiteral("ip"), system);
    if (ip.isEmpty())
        ip = QStandardPaths::findExecutable(QStringLiteral("ip"));
    return ip.isEmpty() ? QStringLiteral("ip") : ip;
}

} // namespace

QList<TapAdapter> ParseTapList(const QByteArray& text)
{
    QList<TapAdapter> adapters;
    for (QByteArray line : text.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        const QStringList fields =
            QString::fromUtf8(line).split(QLatin1Char('|'), Qt::SkipEmptyParts);
        if (fields.size() != 3)
            continue;
        adapters.append({fields.at(0), fields.at(1), fields.at(2)});
    }
    return adapters;
}

QList<TapAdapter> ReadTapList(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return ParseTapList(file.readAll());
}

TapCommands TapCommands::defaults()
{
    TapCommands commands;
    commands.discoveryProgram = ProgramFolder::path() + QStringLiteral("/tapdiscover");
    commands.listFile = ProgramFolder::path() + QStringLiteral("/tap.dat");
    if (geteuid() != 0)
        commands.elevation = {QStringLiteral("pkexec")};
    commands.ipProgram = findIp();
    return commands;
}

TapCommands TapCommands::current()
{
    return overridden() ? *overridden() : defaults();
}

void TapCommands::replace(std::optional<TapCommands> commands)
{
    overridden() = std::move(commands);
}

bool DiscoverTapAdapters(const TapCommands& commands)
{
    QFile::remove(commands.listFile);
    const std::optional<int> exitCode =
        run(commands.runner +
            QStringList{commands.discoveryProgram, QStringLiteral("TAP"), commands.listFile});
    return exitCode == 1;
}

bool TapDriverDownloadNeeded()
{
    return false;
}

QStringList CreateTapCommandLine(const TapCommands& commands)
{
    // "%d" lets the kernel pick the first free number, so two windows cannot take the same name.
    return commands.runner + commands.elevation +
           QStringList{
               commands.ipProgram,    QStringLiteral("tuntap"),     QStringLiteral("add"),
               QStringLiteral("dev"), QStringLiteral("vimortap%d"), QStringLiteral("mode"),
               QStringLiteral("tap"), QStringLiteral("user"),       QString::number(getuid())};
}

QStringList RenameTapCommandLine(const TapCommands& commands, const QString& oldName,
                                 const QString& newName)
{
    return commands.runner + commands.elevation +
           QStringList{commands.ipProgram,
                       QStringLiteral("link"),
                       QStringLiteral("set"),
                       QStringLiteral("dev"),
                       oldName,
                       QStringLiteral("name"),
                       newName};
}

void CreateTapConnection(const TapCommands& commands)
{
    run(CreateTapCommandLine(commands));
}

void RenameTapConnection(const TapCommands& commands, const QString& oldName,
                         const QString& newName)
{
    // An empty name is refused by ip anyway; asking for a password for it would be pointless.
    if (!oldName.isEmpty() && !newName.isEmpty())
        run(RenameTapCommandLine(commands, oldName, newName));
    pause(commands.renameSettleMs);
}

QString TapDiscoveryFailedMessage()
{
    return QStringLiteral("Could not retrieve TAP Network card information");
}
