#pragma once

#include <QString>

#include <limits>

// The reservations an embedded VM needs before QEMU starts: one of the twenty display panels and a
// monitor port. Both live in run-time files of the program folder ("panels.dat", "VRPorts.dat"),
// one decimal number per line, so a crash leaves nothing in memory to lose.
namespace Panels {

inline constexpr int PanelCount = 20;
inline constexpr int FirstMonitorPort = 60001;
// The highest TCP port: the ports above it that older releases counted up to do not exist.
inline constexpr int LastMonitorPort = 65535;
static_assert(LastMonitorPort <= std::numeric_limits<quint16>::max());

// The first free panel in text order ("1", "10", "11", ..., "19", "2", "20", "3", ...), recorded
// as taken; "ERR" when all twenty are in use.
QString AllocatePanel();

// Frees a panel; a number that is not listed changes nothing.
void RemovePanel(const QString& number);

// True when "panels.dat" lists at least one panel.
bool PanelsInUse();

// The lowest port from 60001 up that has not been handed out during this run, recorded as taken;
// 0 when every port up to 65535 is taken (the VM then runs without a monitor).
int AllocateMonitorPort();

// The name a VM's run-time files go by: its VMID when that is a plain word of letters, digits, "-"
// and "_" (up to 64), else a digest of it, so that no VM file can name a path.
QString SocketKey(const QString& vmId);

// Where today's QEMU keeps a VM's monitor and display: sockets in the user's private run-time
// folder (folder), named after the VM (its SocketKey), not after the port or panel, whose numbers
// start again with every run of the program while a VM may outlive it.
QString MonitorSocketPath(const QString& folder, const QString& vmKey);
QString DisplaySocketPath(const QString& folder, const QString& vmKey);
// The socket of a "VNC Server" display the user chose to have on a socket, not a TCP port.
QString VncSocketPath(const QString& folder, const QString& vmKey);
// The name, within the private folder, of the file that hands a run's VNC password to QEMU.
QString VncSecretName(const QString& vmKey);

// True when something listens on the socket: a QEMU still running for the VM.
bool SocketAnswers(const QString& path);

} // namespace Panels
