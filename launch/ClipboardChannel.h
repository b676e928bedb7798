#pragma once

#include <QString>
#include <QStringList>

// The shared clipboard's way into a guest of today's QEMU: QEMU's own SPICE agent (a
// "qemu-vdagent" chardev) behind a virtio serial port, which the guest's spice-vdagent opens.
// QEMU cannot save that agent's state, so snapshots are saved and loaded with the agent unplugged
// from its port. The port itself stays, so that the machine still matches its snapshots.
namespace ClipboardChannel {

// The options that give a VM the channel.
QString LaunchOptions();

// Whether the QEMU of a running VM has the channel: the launch string it was started with (the
// VM file's "LaunchString") holds it. This follows the QEMU that runs, not "Share Clipboard",
// which may have been changed since.
bool IsOpen(const QString& vmFile);
bool InLaunchString(const QString& arguments);

// The monitor lines that run a "savevm" or "loadvm" line with the agent unplugged and plug it back
// afterwards, which after "loadvm" also gives the guest's agent a fresh session.
QStringList AroundSnapshot(const QString& line);

} // namespace ClipboardChannel
