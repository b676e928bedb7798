#pragma once

#include <QString>

#include <optional>

// The hardware an operating-system profile gives a new VM, kept in the profile's HARDWARE field as
// "key=value" pairs joined with ";" ("arch=64;machine=q35;firmware=uefi;tpm=2.0;cpus=2"). Every
// member left empty keeps what a new VM gets without a profile.
struct HardwarePreset
{
    std::optional<bool> bits64;    // arch=64 / arch=32
    QString machine;               // machine=q35
    QString cpu;                   // cpu=host; a 64-bit preset without one gets "host"
    int cpus = 0;                  // cpus=2
    int minimumRam = 0;            // ram=4096: the memory a new VM gets at least
    QString firmware;              // firmware=bios|uefi|uefi-secure
    QString tpm;                   // tpm=2.0|none
    QString diskBus;               // disk=ide|sata|virtio|virtio-scsi
    QString nic;                   // nic=e1000e: a network card model
    QString video;                 // video=virtio: a video card identifier
    QString sound;                 // sound=hda: a sound card identifier
    QString usb;                   // usb=xhci|uhci
    std::optional<bool> tablet;    // tablet=yes
    std::optional<bool> rng;       // rng=yes
    std::optional<bool> localTime; // localtime=yes
    std::optional<bool> hpet;      // hpet=off
    std::optional<bool> clipboard; // clipboard=yes: "Share Clipboard"

    bool isEmpty() const;
};

namespace HardwarePresets {

// The preset a HARDWARE field holds. Unknown keys, and values a key does not take, are ignored;
// an empty field is the empty preset.
HardwarePreset Parse(const QString& field);

// The stored disk bus ("IDE", "SATA", "VirtIO", "VirtIO SCSI") of a preset's disk value; empty
// for one it does not know.
QString DiskBusText(const QString& value);

} // namespace HardwarePresets
