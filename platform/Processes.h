#pragma once

#include <QByteArrayView>
#include <QString>

// The host's processes, as the launcher and the session bookkeeping need them.
namespace Processes {

// True while the process exists and has not ended; a zombie (ended, not yet reaped) counts as
// ended.
bool IsProcessAlive(qint64 pid);

// The state letter of the text of /proc/PID/stat ('R', 'S', 'Z', ...), or 0 when the text has
// none.
char stateFromStat(QByteArrayView statText);

// The program the process runs (its executable's full path); empty when it cannot be read.
QString executable(qint64 pid);

// True when the process is alive and runs a QEMU emulator, so an identifier the system has since
// given to another program is never mistaken for the VM's.
bool isQemu(qint64 pid);

// Asks the process to end, then ends it by force when it has not within graceMs. True when the
// process has ended.
bool terminate(qint64 pid, int graceMs = 3000);

} // namespace Processes
