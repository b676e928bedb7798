#include "launch/ClipboardChannel.h"

#include "model/VMFile.h"

namespace ClipboardChannel {

namespace {

const QString Agent = QStringLiteral("qemu-vdagent,id=vimor-vdagent,clipboard=on");
const QString Unplug = QStringLiteral("chardev-change vimor-vdagent null");
const QString Plug = QStringLiteral("chardev-change vimor-vdagent qemu-vdagent,clipboard=on");

} // namespace

// The guest's spice-vdagent opens the port by that name.
QString LaunchOptions()
{
    return QStringLiteral(" -chardev ") + Agent +
           QStringLiteral(" -device virtio-serial-pci,id=vimor-serial"
                          " -device virtserialport,bus=vimor-serial.0,chardev=vimor-vdagent,"
                          "name=com.redhat.spice.0,id=vimor-vdagent-port");
}

bool InLaunchString(const QString& arguments)
{
    return arguments.contains(LaunchOptions());
}

bool IsOpen(const QString& vmFile)
{
    return InLaunchString(
        ReadVMFileValue(vmFile, QStringLiteral("General"), QStringLiteral("LaunchString")));
}

QStringList AroundSnapshot(const QString& line)
{
    return {Unplug, line, Plug};
}

} // namespace ClipboardChannel
