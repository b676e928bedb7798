#pragma once

#include <QString>
#include <QStringList>

// Settings that only today's QEMU gives a VM: the firmware, the TPM and the bus of each hard disk.
// Each is stored as the text its editor lists; anything else reads as the first choice.
namespace ModernHardware {

enum class Firmware
{
    Bios,
    Uefi,
    SecureBoot
};

// "BIOS", "UEFI", "UEFI Secure Boot": "Hardware" / "Firmware".
QStringList FirmwareTexts();
QString FirmwareText(Firmware firmware);
Firmware FirmwareOf(const QString& stored);

// "None", "TPM 2.0": "Hardware" / "TPM".
QStringList TpmTexts();
bool HasTpm(const QString& stored);

enum class DiskBus
{
    Ide,
    Sata,
    Virtio,
    VirtioScsi
};

// "IDE", "SATA", "VirtIO", "VirtIO SCSI": "Drives" / "HDA Bus" and the others.
QStringList DiskBusTexts();
QString DiskBusText(DiskBus bus);
DiskBus DiskBusOf(const QString& stored);
// The key of hard disk 0 to 3 ("HDA Bus" ... "HDD Bus").
QString DiskBusKey(int disk);

// "Hardware" / "VNC Socket": "Yes" serves the "VNC Server" display on a socket in the user's
// private folder instead of a TCP port; any other value (older files have none) keeps the port.
QString VncSocketKey();
bool VncOnSocket(const QString& stored);

// "Hardware" / "Share Clipboard": "Yes" lets host and guest copy and paste to each other through
// the guest's SPICE agent; anything else (older files have none) keeps them apart.
QString ShareClipboardKey();
bool SharesClipboard(const QString& stored);

// "Hardware" / "Resize Guest With Window": whether the guest's screen takes the size of the window
// it is shown in. Only a VirtIO VGA card ("Hardware" / "Video Card" "VirtIO VGA") tells the guest
// of a new size, so the others never do; with it, anything but "No" (older files have none) does.
QString ResizeGuestKey();
bool ResizesGuest(const QString& stored, const QString& videoCard);
// Whether the stored "Video Card" is VirtIO VGA, the one card a window can resize at all.
bool CanResizeGuest(const QString& videoCard);

} // namespace ModernHardware
