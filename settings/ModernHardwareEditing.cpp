#include "settings/ModernHardwareEditing.h"

#include "launch/VMFirmware.h"
#include "model/ModernHardware.h"
#include "model/VMContext.h"

#include <algorithm>

namespace ModernHardwareEditing {

namespace {

const QString Hardware = QStringLiteral("Hardware");
const QString Drives = QStringLiteral("Drives");

struct Picture
{
    int icon;
    int picture;
};
// Rows of their own that look like their nearest older neighbours.
constexpr Picture Pictures[] = {
    {FirmwareIcon, 67},
    {TpmIcon, 13},
    {Usb3Icon, 4},
    {RngIcon, 58},
    {FirstDiskBusIcon, 16},
    {FirstDiskBusIcon + 1, 33},
    {FirstDiskBusIcon + 2, 34},
    {LastDiskBusIcon, 35},
    {ClipboardIcon, 14},
    {ResizeGuestIcon, 60},
};

bool isDiskBus(int icon)
{
    return icon >= FirstDiskBusIcon && icon <= LastDiskBusIcon;
}

} // namespace

int PictureOf(int icon)
{
    for (const Picture& row : Pictures) {
        if (row.icon == icon)
            return row.picture;
    }
    return icon;
}

Choice PresetChoice(const VMContext& vm, int icon)
{
    Choice choice;
    if (icon == FirmwareIcon) {
        choice = {QStringLiteral("Firmware"),
                  QStringLiteral("Please select the firmware the virtual machine starts with:"),
                  ModernHardware::FirmwareTexts(), 0};
        choice.selected =
            int(ModernHardware::FirmwareOf(vm.ReadVMValue(Hardware, QStringLiteral("Firmware"))));
    } else if (icon == TpmIcon) {
        choice = {QStringLiteral("TPM"),
                  QStringLiteral("Please select the Trusted Platform Module of the virtual "
                                 "machine:"),
                  ModernHardware::TpmTexts(), 0};
        choice.selected = ModernHardware::HasTpm(vm.ReadVMValue(Hardware, QStringLiteral("TPM")));
    } else if (isDiskBus(icon)) {
        const int disk = icon - FirstDiskBusIcon;
        choice = {QStringLiteral("Hard Disk Bus"),
                  QStringLiteral("Please select the bus hard disk %1 is attached to:").arg(disk),
                  ModernHardware::DiskBusTexts(), 0};
        choice.selected = int(
            ModernHardware::DiskBusOf(vm.ReadVMValue(Drives, ModernHardware::DiskBusKey(disk))));
    }
    return choice;
}

bool SaveChoice(VMContext& vm, int icon, int position, QString* error)
{
    const QString vmFile = vm.selectedVM();
    if (icon == FirmwareIcon) {
        const int last = int(ModernHardware::Firmware::SecureBoot);
        return VMFirmware::SaveFirmware(
            vmFile, ModernHardware::Firmware(std::clamp(position, 0, last)), error);
    }
    if (icon == TpmIcon)
        return VMFirmware::SaveTpm(vmFile, position == 1, error);
    if (isDiskBus(icon)) {
        const int last = int(ModernHardware::DiskBus::VirtioScsi);
        return vm.WriteVMValue(
            {}, Drives, ModernHardware::DiskBusKey(icon - FirstDiskBusIcon),
            ModernHardware::DiskBusText(ModernHardware::DiskBus(std::clamp(position, 0, last))));
    }
    return true;
}

} // namespace ModernHardwareEditing
