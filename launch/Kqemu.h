#pragma once

#include <QString>

// The KQEMU accelerator service. It is a driver of another operating system: on this host no
// service manager knows it, so its state reads as 0 (not installed) and it never starts or stops.
// The menu logic around it stays as it is, so a host that has the driver only needs these four.

// 1 stopped, 2 start pending, 3 stop pending, 4 running, 5 continue pending, 6 pause pending,
// 7 paused; 0 when the service (or the service manager) cannot be opened.
int KqemuServiceState();
// True when the service ended up running.
bool StartKqemuService();
// True when the service ended up stopped.
bool StopKqemuService();

// Runs the driver's installer "<program folder>/qemu/kqemu/inskqemu.exe" with the argument
// ("/INSTALL" or "/REMOVE") in its own folder and waits for it to end. A missing installer, or
// one that cannot be started, does nothing and is not reported.
void RunInstaller(const QString& argument);
