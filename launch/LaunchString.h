#pragma once

#include <QString>

#include <functional>

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
};

struct LaunchString
{
    // The QEMU arguments as one string; grouped by CommandLine::SplitCommandLine.
    QString arguments;
    // The first value that holds a double quote where it would break the grouping of the string
    // (for the additional parameters: an unbalanced quote); empty when the string is safe to start.
    QString unsafeValue;
};

// The QEMU arguments of the selected VM. Records "PanelID" and "PortID" for an embedded display
// (only when the string is safe to start) and the finished string as "LaunchString".
LaunchString BuildLaunchString(VMContext& vm, const LaunchEnvironment& env = {});

// The folder handed to "-L" for the default BIOS: the VM's version folder when it holds a "*.bin"
// file, else the last of its subfolders (by name, ignoring case) that does; empty when none does.
QString FindBiosFolder(VMContext& vm);
