#pragma once

#include <QString>

// A VM's TPM 2.0: a swtpm process beside its QEMU, holding the TPM's state in a folder of the VM
// and talking to QEMU over a control socket in the user's private runtime folder.
namespace TpmEmulator {

// Whether swtpm and swtpm_setup are on PATH; *missing names the Debian package to install
// ("swtpm" / "swtpm-tools").
bool Available(QString* missing = nullptr);

// Makes the TPM 2.0 state in stateFolder (an absolute path, 0700, its files 0600) once, with
// endorsement and platform certificates where a local certificate authority can be had and without
// them otherwise. True when the state is there afterwards, also when it was there before; false
// with a sentence in *error.
bool PrepareState(const QString& stateFolder, QString* error = nullptr);

// The control socket of a VM's TPM in the private runtime folder: <socketFolder>/tpm-<vmId>.sock,
// and the pid file of its swtpm: <socketFolder>/tpm-<vmId>.pid.
QString SocketPath(const QString& socketFolder, const QString& vmId);
QString PidFilePath(const QString& socketFolder, const QString& vmId);

// Starts the VM's swtpm detached, so that it outlives this program as the VM's QEMU does; it ends
// by itself when QEMU's connection closes, also when QEMU is killed. What an earlier start left
// at socketPath (a stale socket, a swtpm no QEMU ever reached) is removed first. Waits up to 5 s,
// without running an event loop, until the socket accepts a connection. Returns the process id;
// 0 with *error on failure, and then nothing is left running.
qint64 Start(const QString& stateFolder, const QString& socketPath, const QString& pidFile,
             QString* error = nullptr);

// QEMU's options for the TPM, starting with a blank: a socket chardev to socketPath, an emulator
// TPM on it and a CRB interface for the guest.
QString QemuOptions(const QString& socketPath);

// Ends what is left of a VM's swtpm after its QEMU has gone: only a process that runs swtpm with
// that socket path is ended (SIGTERM, then SIGKILL after a short wait), whatever the pid file
// names. Removes the socket and the pid file. Safe to call when nothing is there.
void Stop(const QString& socketPath, const QString& pidFile);

} // namespace TpmEmulator
