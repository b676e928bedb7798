#include "model/ModernHardware.h"

#include <algorithm>

namespace ModernHardware {

namespace {

int positionOf(const QStringList& texts, const QString& stored)
{
    return std::max<int>(0, int(texts.indexOf(stored)));
}

} // namespace

QStringList FirmwareTexts()
{
    return {QStringLiteral("BIOS"), QStringLiteral("UEFI"), QStringLiteral("UEFI Secure Boot")};
}

QString FirmwareText(Firmware firmware)
{
    return FirmwareTexts().value(int(firmware));
}

Firmware FirmwareOf(const QString& stored)
{
    return Firmware(positionOf(FirmwareTexts(), stored));
}

QStringList TpmTexts()
{
    return {QStringLiteral("None"), QStringLiteral("TPM 2.0")};
}

bool HasTpm(const QString& stored)
{
    return stored == TpmTexts().at(1);
}

QStringList DiskBusTexts()
{
    return {QStringLiteral("IDE"), QStringLiteral("SATA"), QStringLiteral("VirtIO"),
            QStringLiteral("VirtIO SCSI")};
}

QString DiskBusText(DiskBus bus)
{
    return DiskBusTexts().value(int(bus));
}

DiskBus DiskBusOf(const QString& stored)
{
    return DiskBus(positionOf(DiskBusTexts(), stored));
}

QString DiskBusKey(int disk)
{
    return QStringLiteral("HD") + QChar(u'A' + disk) + QStringLiteral(" Bus");
}

QString VncSocketKey()
{
    return QStringLiteral("VNC Socket");
}

bool VncOnSocket(const QString& stored)
{
    return stored == QLatin1String("Yes");
}

} // namespace ModernHardware
