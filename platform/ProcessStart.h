#pragma once

#include <QByteArray>
#include <QString>

class QProcess;

// How a program is started beyond its command line: its scheduling priority, the processor it is
// bound to, and whether it leaves the terminal's session. Applied in the child between fork and
// exec, so the program never runs a moment with other settings.
namespace ProcessStart {

// The priority classes a VM can ask for; Unchanged keeps what the child inherits.
//   Idle     - SCHED_IDLE, or nice 19 where that policy is refused
//   Normal   - nice 0
//   High     - nice -10, or the lowest nice above it the system allows
//   Realtime - SCHED_RR at its lowest real-time priority, or the lowest nice the system allows
// A request the system refuses leaves the child as it was; nothing is reported.
enum class Priority
{
    Unchanged,
    Idle,
    Normal,
    High,
    Realtime
};

// "Idle", "Normal", "High", "Realtime" (exact); anything else is Unchanged.
Priority priorityFromText(const QString& text);

// The processor (from 0) an "AffinityCPU" value k binds to: k - 1 for k from 1 to 31. Empty text,
// other numbers and non-numbers bind nothing (-1); 32 sets the sign bit of the 32-bit mask the
// value stands for and binds nothing either.
int processorFromAffinity(const QString& value);

struct Options
{
    Priority priority = Priority::Unchanged;
    int processor = -1;        // -1: no binding; a processor the host lacks binds nothing
    bool newSession = false;   // setsid(): no controlling terminal, no terminal's signals
    bool privateFiles = false; // umask 0177: what the program creates is 0600, the user's alone
};

// Installs the settings as the process's child modifier; call before start().
void apply(QProcess& process, const Options& options);

// True when the process is alive and one of its command-line arguments equals argument, so a
// recorded identifier that the system has since given to another program is not taken for ours.
bool hasArgument(qint64 pid, const QString& argument);

// True when one of the NUL-separated arguments of the text of /proc/PID/cmdline equals argument.
bool cmdlineHasArgument(const QByteArray& cmdline, const QString& argument);

} // namespace ProcessStart
