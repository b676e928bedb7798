#pragma once

#include <QString>
#include <QStringList>

class VMContext;

// The rows of the settings that only today's QEMU has (firmware, TPM, USB 3, random numbers,
// the bus of each hard disk, the shared clipboard, the guest's screen size): their icon numbers,
// their pictures and what their editors offer and write.
namespace ModernHardwareEditing {

enum Icon
{
    FirmwareIcon = 100,
    TpmIcon = 101,
    Usb3Icon = 102,
    RngIcon = 103,
    FirstDiskBusIcon = 104, // hard disk 0; 105 to 107 for disks 1 to 3
    LastDiskBusIcon = 107,
    ClipboardIcon = 108,
    ResizeGuestIcon = 109
};

// The picture of the image strip a row of these icons shows.
int PictureOf(int icon);

// The texts and rows of a choice editor, and the row the stored value selects.
struct Choice
{
    QString title;
    QString label;
    QStringList items;
    int selected = 0;
};

// The editor of a firmware, TPM or disk-bus row (disk from the icon); an empty title for any other
// icon.
Choice PresetChoice(const VMContext& vm, int icon);

// Writes the chosen row. Firmware and TPM also make the files they keep beside the VM (the UEFI
// variable store, the TPM's state); false with the reason when that fails.
bool SaveChoice(VMContext& vm, int icon, int position, QString* error = nullptr);

} // namespace ModernHardwareEditing
