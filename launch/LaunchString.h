#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class VMContext;

// What building a launch string needs from the running program besides the VM's file: the
// reservations of an embedded display and the main window's panels. Empty members fall back to
// the defaults named beside them.
struct LaunchEnvironment
{
    // A free display panel ("1" to "20") recorded as taken, or "ERR". Default:
    // Panels::AllocatePanel.
    std::function<QString()> allocatePanel;
    // A free monitor port recorded as taken, or 0 when none is left. Default:
    // Panels::AllocateMonitorPort.
    std::function<int()> allocateMonitorPort;
    // The decimal native window identifier QEMU draws into for a panel number. Default: empty.
    std::function<QString(int panelNumber)> panelWindowId;
    // Hides the "Monitor" and "Console" tabs when the VM's QEMU cannot be embedded. Default:
    // nothing.
    std::function<void()> hideRunTabs;
    // Today's QEMU: the device that offers KVM, the user's private folder for the monitor and
    // display sockets, the runtime folder and the sound devices that tell the host's sound
    // system, and the folders of QEMU's loadable modules. Defaults: "/dev/kvm",
    // RuntimeFolder::vimorFolder(), RuntimeFolder::userFolder(), "/dev/snd",
    // ModernOptions::moduleFolders().
    QString kvmDevice;
    QString socketFolder;
    QString runtimeFolder;
    QString soundDevicesFolder;
    QStringList moduleFolders;
    // For each hard disk (0 to 3) whose image is encrypted with LUKS, the private file that holds
    // its password for the run; empty for the others.
    QStringList diskSecrets;
};

struct LaunchString
{
    // The QEMU arguments as one string; grouped by CommandLine::SplitCommandLine.
    QString arguments;
    // The first value that holds a double quote where it would break the grouping of the string
    // (for the additional parameters: an unbalanced quote); empty when the string is safe to start.
    QString unsafeValue;
    // Today's QEMU: why a value cannot be put into its command line, naming the setting; empty
    // when the string may be started. Nothing is reserved or recorded for a refused string.
    QString refusal;
    // Lines for the log view: the accelerator, the sound system, what has no modern form.
    QStringList notes;
};

// The QEMU arguments of the selected VM. Records "PanelID" and "PortID" for an embedded display
// (only when the string is safe to start) and the finished string as "LaunchString".
LaunchString BuildLaunchString(VMContext& vm, const LaunchEnvironment& env = {});

// True when the VM runs with a monitor Vimor connects to: a version with the monitor capability,
// and either the integrated display or today's QEMU, which gives every such VM its monitor.
bool UsesMonitor(VMContext& vm, const QString& vmFile);

// Where the "VNC Server" display of a VM listens, and the password of its run.
struct VncAccess
{
    QString address;  // "127.0.0.1:5901", or the path of the socket
    QString password; // empty for a socket, which is the user's alone
    bool socket = false;
};

// The VNC server of a VM whose start was just confirmed; nullopt when it has none, or one without
// a password (a port of QEMU before 7.2). The password is read from the private file that handed
// it to QEMU; once QEMU has read it as it started (remove), the file is removed.
std::optional<VncAccess> TakeVncAccess(VMContext& vm, const QString& vmFile, bool remove = true);

// The folder handed to "-L" for the default BIOS: the VM's version folder when it holds a "*.bin"
// file, else the last of its subfolders (by name, ignoring case) that does; empty when none does.
QString FindBiosFolder(VMContext& vm);
