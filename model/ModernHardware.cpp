#include "model/ModernHardware.h"

#include "model/HardwareCatalogue.h"

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

QString ShareClipboardKey()
{
    return QStringLiteral("Share Clipboard");
}

bool SharesClipboard(const QString& stored)
{
    return stored == QLatin1String("Yes");
}

QString ResizeGuestKey()
{
    return QStringLiteral("Resize Guest With Window");
}

bool CanResizeGuest(const QString& videoCard)
{
    // The file keeps the catalogue's display text of the card.
    for (const ChoiceRow& card : ListVideoCards(QStringLiteral("x86")).value_or(ChoiceList()))
        if (card.id == QLatin1String("virtio"))
            return videoCard == card.display;
    return false;
}

bool ResizesGuest(const QString& stored, const QString& videoCard)
{
    return CanResizeGuest(videoCard) && stored != QLatin1String("No");
}

} // namespace ModernHardware
