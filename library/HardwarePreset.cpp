#include "library/HardwarePreset.h"

#include "model/ModernHardware.h"

#include <QStringList>

namespace {

using Member = QString HardwarePreset::*;
using Flag = std::optional<bool> HardwarePreset::*;

// Keys whose value is taken as it stands, and the values each one takes.
struct TextKey
{
    const char* key;
    Member member;
    const char* values; // "|"-joined; empty for any value without blanks
};
constexpr TextKey TextKeys[] = {
    {"machine", &HardwarePreset::machine, ""},
    {"cpu", &HardwarePreset::cpu, ""},
    {"firmware", &HardwarePreset::firmware, "bios|uefi|uefi-secure"},
    {"tpm", &HardwarePreset::tpm, "2.0|none"},
    {"disk", &HardwarePreset::diskBus, "ide|sata|virtio|virtio-scsi"},
    {"nic", &HardwarePreset::nic, ""},
    {"video", &HardwarePreset::video, ""},
    {"sound", &HardwarePreset::sound, ""},
    {"usb", &HardwarePreset::usb, "xhci|uhci"},
};

// Keys that switch something on or off, and the words for each.
struct FlagKey
{
    const char* key;
    Flag member;
    const char* on;
    const char* off;
};
constexpr FlagKey FlagKeys[] = {
    {"arch", &HardwarePreset::bits64, "64", "32"},
    {"tablet", &HardwarePreset::tablet, "yes", "no"},
    {"rng", &HardwarePreset::rng, "yes", "no"},
    {"localtime", &HardwarePreset::localTime, "yes", "no"},
    {"hpet", &HardwarePreset::hpet, "on", "off"},
    {"clipboard", &HardwarePreset::clipboard, "yes", "no"},
};

struct Bus
{
    const char* value;
    ModernHardware::DiskBus bus;
};
constexpr Bus Buses[] = {
    {"ide", ModernHardware::DiskBus::Ide},
    {"sata", ModernHardware::DiskBus::Sata},
    {"virtio", ModernHardware::DiskBus::Virtio},
    {"virtio-scsi", ModernHardware::DiskBus::VirtioScsi},
};

int wholeNumber(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    return ok && value > 0 ? value : 0;
}

} // namespace

bool HardwarePreset::isEmpty() const
{
    return !bits64 && machine.isEmpty() && cpu.isEmpty() && cpus == 0 && minimumRam == 0 &&
           firmware.isEmpty() && tpm.isEmpty() && diskBus.isEmpty() && nic.isEmpty() &&
           video.isEmpty() && sound.isEmpty() && usb.isEmpty() && !tablet && !rng && !localTime &&
           !hpet && !clipboard;
}

namespace HardwarePresets {

HardwarePreset Parse(const QString& field)
{
    HardwarePreset preset;
    for (const QString& pair : field.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype equals = pair.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        const QString key = pair.left(equals).trimmed().toLower();
        const QString value = pair.mid(equals + 1).trimmed();
        if (value.isEmpty() || value.contains(QLatin1Char(' ')))
            continue;
        if (key == QLatin1String("cpus")) {
            preset.cpus = wholeNumber(value);
            continue;
        }
        if (key == QLatin1String("ram")) {
            preset.minimumRam = wholeNumber(value);
            continue;
        }
        for (const TextKey& text : TextKeys) {
            if (key != QLatin1String(text.key))
                continue;
            const QStringList allowed =
                QString::fromLatin1(text.values).split(QLatin1Char('|'), Qt::SkipEmptyParts);
            const QString lower = value.toLower();
            if (allowed.isEmpty())
                preset.*text.member = value;
            else if (allowed.contains(lower))
                preset.*text.member = lower;
        }
        for (const FlagKey& flag : FlagKeys) {
            if (key != QLatin1String(flag.key))
                continue;
            if (value.compare(QLatin1String(flag.on), Qt::CaseInsensitive) == 0)
                preset.*flag.member = true;
            else if (value.compare(QLatin1String(flag.off), Qt::CaseInsensitive) == 0)
                preset.*flag.member = false;
        }
    }
    if (preset.bits64.value_or(false) && preset.cpu.isEmpty())
        preset.cpu = QStringLiteral("host");
    return preset;
}

QString DiskBusText(const QString& value)
{
    for (const Bus& bus : Buses) {
        if (value == QLatin1String(bus.value))
            return ModernHardware::DiskBusText(bus.bus);
    }
    return {};
}

} // namespace HardwarePresets
