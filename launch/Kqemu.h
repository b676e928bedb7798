#pragma once

// The KQEMU accelerator service. It is a driver of another operating system: on this host no
// service manager knows it, so its state reads as 0 (not installed) and it never starts or stops.
int KqemuServiceState();
bool StartKqemuService();
bool StopKqemuService();
