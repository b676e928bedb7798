#include "platform/ProcessStart.h"
#include "platform/Processes.h"

#include <QFile>
#include <QProcess>

#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace ProcessStart {
namespace {

// The lowest nice value from target up to (not including) the inherited one that the system
// grants; runs in the child, so only plain system calls.
void lowestNiceFrom(int target, int inherited)
{
    if (::setpriority(PRIO_PROCESS, 0, target) == 0)
        return;
    for (int nice = target + 1; nice < inherited; ++nice) {
        if (::setpriority(PRIO_PROCESS, 0, nice) == 0)
            return;
    }
}

} // namespace

Priority priorityFromText(const QString& text)
{
    if (text == QLatin1String("Idle"))
        return Priority::Idle;
    if (text == QLatin1String("Normal"))
        return Priority::Normal;
    if (text == QLatin1String("High"))
        return Priority::High;
    if (text == QLatin1String("Realtime"))
        return Priority::Realtime;
    return Priority::Unchanged;
}

int processorFromAffinity(const QString& value)
{
    bool ok = false;
    const int k = value.trimmed().toInt(&ok);
    // Bit 31 makes the mask negative as a signed 32-bit number, and such a mask binds nothing.
    if (!ok || k < 1 || k > 31)
        return -1;
    return k - 1;
}

void apply(QProcess& process, const Options& options)
{
    // Everything the child needs is worked out here: between fork and exec only system calls.
    const Options o = options;
    cpu_set_t processors;
    CPU_ZERO(&processors);
    const bool bind = o.processor >= 0 && o.processor < CPU_SETSIZE;
    if (bind)
        CPU_SET(o.processor, &processors);
    const int inherited = ::getpriority(PRIO_PROCESS, 0);
    const int rrPriority = ::sched_get_priority_min(SCHED_RR);

    process.setChildProcessModifier([o, processors, bind, inherited, rrPriority] {
        if (o.newSession)
            ::setsid();
        if (o.privateFiles)
            ::umask(0177);
        sched_param param{};
        switch (o.priority) {
        case Priority::Unchanged:
            break;
        case Priority::Idle:
            param.sched_priority = 0;
            if (::sched_setscheduler(0, SCHED_IDLE, &param) != 0)
                ::setpriority(PRIO_PROCESS, 0, 19);
            break;
        case Priority::Normal:
            ::setpriority(PRIO_PROCESS, 0, 0);
            break;
        case Priority::High:
            lowestNiceFrom(-10, inherited);
            break;
        case Priority::Realtime:
            param.sched_priority = rrPriority;
            if (rrPriority < 0 || ::sched_setscheduler(0, SCHED_RR, &param) != 0)
                lowestNiceFrom(-20, inherited);
            break;
        }
        if (bind)
            ::sched_setaffinity(0, sizeof processors, &processors);
    });
}

bool hasArgument(qint64 pid, const QString& argument)
{
    if (!Processes::IsProcessAlive(pid))
        return false;
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return cmdlineHasArgument(file.readAll(), argument);
}

bool cmdlineHasArgument(const QByteArray& cmdline, const QString& argument)
{
    const QList<QByteArray> arguments = cmdline.split('\0');
    return arguments.contains(argument.toLocal8Bit());
}

} // namespace ProcessStart
