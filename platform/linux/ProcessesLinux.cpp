#include "platform/Processes.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <sys/types.h>

namespace Processes {
namespace {

QString procFile(qint64 pid, const char* name)
{
    return QStringLiteral("/proc/%1/%2").arg(pid).arg(QLatin1String(name));
}

// The state letter of /proc/PID/stat, or 0 when the process does not exist.
char processState(qint64 pid)
{
    QFile stat(procFile(pid, "stat"));
    if (!stat.open(QIODevice::ReadOnly))
        return 0;
    return stateFromStat(stat.readAll());
}

} // namespace

char stateFromStat(QByteArrayView statText)
{
    // The command name may hold blanks and parentheses: the state follows the last ')'.
    const qsizetype close = statText.lastIndexOf(')');
    if (close < 0 || close + 2 >= statText.size())
        return 0;
    return statText.at(close + 2);
}

bool IsProcessAlive(qint64 pid)
{
    if (pid <= 0)
        return false;
    const char state = processState(pid);
    return state != 0 && state != 'Z' && state != 'X';
}

QString executable(qint64 pid)
{
    if (pid <= 0)
        return {};
    return QFileInfo(procFile(pid, "exe")).symLinkTarget();
}

bool isQemu(qint64 pid)
{
    if (!IsProcessAlive(pid))
        return false;
    QString program = QFileInfo(executable(pid)).fileName();
    if (program.isEmpty()) {
        // Another user's process hides its executable; its command name still tells.
        QFile comm(procFile(pid, "comm"));
        if (comm.open(QIODevice::ReadOnly))
            program = QString::fromLocal8Bit(comm.readAll()).trimmed();
    }
    return program.startsWith(QStringLiteral("qemu"));
}

bool terminate(qint64 pid, int graceMs)
{
    if (!IsProcessAlive(pid))
        return false;
    // QEMU flushes its disk images on SIGTERM; a forced end could leave them half written.
    if (::kill(pid_t(pid), SIGTERM) != 0)
        return false;
    QElapsedTimer timer;
    timer.start();
    while (IsProcessAlive(pid)) {
        if (timer.elapsed() > graceMs) {
            ::kill(pid_t(pid), SIGKILL);
            QElapsedTimer forced;
            forced.start();
            while (IsProcessAlive(pid) && forced.elapsed() < 2000)
                QThread::msleep(10);
            return !IsProcessAlive(pid);
        }
        QThread::msleep(10);
    }
    return true;
}

} // namespace Processes
