#include "launch/EmbeddedDisplay.h"

#include "launch/Panels.h"
#include "model/VMFile.h"
#include "platform/RuntimeFolder.h"

#include <QFileInfo>

#include <algorithm>

namespace EmbeddedDisplay {

QString socketKey(const QString& vmFile)
{
    const QString vmId = ReadVMFileValue(vmFile, QStringLiteral("General"), QStringLiteral("VMID"));
    return Panels::SocketKey(vmId.isEmpty() ? QFileInfo(vmFile).absoluteFilePath() : vmId);
}

QString socketPath(const QString& vmFile, QString* error)
{
    const QString folder = RuntimeFolder::vimorFolder(error);
    if (folder.isEmpty())
        return {};
    return Panels::DisplaySocketPath(folder, socketKey(vmFile));
}

bool hasUsbTablet(const QString& vmFile, bool versionHasUsb)
{
    if (!versionHasUsb)
        return false;
    const QString hardware = QStringLiteral("Hardware");
    const QString yes = QStringLiteral("Yes");
    if (ReadVMFileValue(vmFile, hardware, QStringLiteral("VNC Server")) != yes &&
        ReadVMFileValue(vmFile, hardware, QStringLiteral("USB Tablet")) == yes)
        return true;
    if (ReadVMFileValue(vmFile, hardware, QStringLiteral("Enable USB")) != yes)
        return false;
    // As the command line is built: a damaged count reads no further than its thousandth section.
    const int count =
        std::min(ReadVMFileValue(vmFile, QStringLiteral("USB Devices"), QStringLiteral("Count"))
                     .trimmed()
                     .toInt(),
                 1000);
    for (int n = 1; n <= count; ++n) {
        if (ReadVMFileValue(vmFile, QStringLiteral("USB Device %1").arg(n),
                            QStringLiteral("Type")) == QLatin1String("TABLET"))
            return true;
    }
    return false;
}

} // namespace EmbeddedDisplay
