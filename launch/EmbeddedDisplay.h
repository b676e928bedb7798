#pragma once

#include <QString>

// Where a VM shown inside the main window draws: a private VNC socket per VM, and
// whether its pointer is a USB tablet (absolute) or a mouse (relative).
namespace EmbeddedDisplay {

// The name of a VM's sockets (Panels::SocketKey of its VMID; of its file's path when it has none).
QString socketKey(const QString& vmFile);

// "<runtime folder>/vimor/display-<VM>.sock"; empty, with the reason, when the private folder
// cannot be had.
QString socketPath(const QString& vmFile, QString* error = nullptr);

// True when the VM's QEMU gets a USB tablet: "USB Tablet" on a USB-capable version without QEMU's
// own VNC server, or a "TABLET" among its USB devices.
bool hasUsbTablet(const QString& vmFile, bool versionHasUsb);

} // namespace EmbeddedDisplay
