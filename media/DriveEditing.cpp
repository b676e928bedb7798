#include "media/DriveEditing.h"

#include "model/QemuGeneration.h"
#include "model/VMContext.h"

#include <QRegularExpression>

#include <algorithm>

namespace DriveEditing {

namespace {

const QString Drives = QStringLiteral("Drives");
const QString Yes = QStringLiteral("Yes");
const QString No = QStringLiteral("No");

QString yesNo(bool on)
{
    return on ? Yes : No;
}

QString read(const VMContext& vm, const QString& key)
{
    return vm.ReadVMValue(Drives, key);
}

bool write(VMContext& vm, const QString& key, const QString& value)
{
    return vm.WriteVMValue(QString(), Drives, key, value);
}

} // namespace

// ---- Hard disks -----------------------------------------------------------------------------

std::optional<DiskKeys> DiskKeysOf(int icon)
{
    const auto keys = [](int drive, QChar letter, const QString& label) {
        const QString value = QStringLiteral("HD") + letter;
        return DiskKeys{drive, value, value + QStringLiteral("Enc"), value + QStringLiteral("SCSI"),
                        label};
    };
    switch (icon) {
    case HardDisk0Icon:
        return keys(0, u'A', QStringLiteral("Specify Hard Disk 0 Path"));
    case HardDisk1Icon:
        return keys(1, u'B', QStringLiteral("Specify Hard Disk 1 Path"));
    case HardDisk2Icon:
        return keys(2, u'C', QStringLiteral("Specify Hard Disk 2 Image"));
    case HardDisk3Icon:
        return keys(3, u'D', QStringLiteral("Specify Hard Disk 3 Image"));
    default:
        return std::nullopt;
    }
}

DiskPreset ReadDisk(const VMContext& vm, const DiskKeys& keys)
{
    return {read(vm, keys.value), read(vm, keys.encrypted) == Yes, read(vm, keys.scsi) == Yes};
}

bool SaveDisk(VMContext& vm, const DiskKeys& keys, const QString& value, bool encrypted, bool scsi)
{
    return write(vm, keys.value, value) && write(vm, keys.encrypted, yesNo(encrypted)) &&
           write(vm, keys.scsi, yesNo(scsi));
}

bool DiskEncrypted(const VMContext& vm, const DiskKeys& keys)
{
    return read(vm, keys.encrypted) == Yes;
}

QString CdromInUseQuestion()
{
    return QStringLiteral("You have a CDROM image/drive configured, if you wish to continue this "
                          "must be removed - continue ?");
}

QString HardDisk2InUseQuestion()
{
    return QStringLiteral(
        "You have Hard Disk 2 drive configured, if you wish to continue this must "
        "be removed - continue ?");
}

bool CdromInUse(const VMContext& vm)
{
    return !read(vm, QStringLiteral("CDROM")).isEmpty() ||
           read(vm, QStringLiteral("Use System CD")) == Yes;
}

bool RemoveCdrom(VMContext& vm)
{
    return write(vm, QStringLiteral("Use System CD"), No) &&
           write(vm, QStringLiteral("CDROM"), QString());
}

bool HardDisk2InUse(const VMContext& vm)
{
    return !read(vm, QStringLiteral("HDC")).isEmpty();
}

bool RemoveHardDisk2(VMContext& vm)
{
    return write(vm, QStringLiteral("HDC"), QString()) && write(vm, QStringLiteral("HDCEnc"), No) &&
           write(vm, QStringLiteral("HDCSCSI"), No);
}

// ---- Floppies and CD-ROM ---------------------------------------------------------------------

namespace {

const QString FloppyLabel = QStringLiteral("Specify Floppy Disk Image");

} // namespace

std::optional<MediaRow> MediaRowOf(int icon)
{
    const QString floppyFilter =
        QStringLiteral("Floppy Image|*.img|CD/DVD Image|*.Iso|All Files|*.*");
    switch (icon) {
    case Floppy0Icon:
        return MediaRow{QStringLiteral("FloppyA"), FloppyLabel, floppyFilter};
    case Floppy1Icon:
        return MediaRow{QStringLiteral("FloppyB"), FloppyLabel, floppyFilter};
    case CdromIcon:
        return MediaRow{QStringLiteral("CDROM"), QStringLiteral("Specify CD/DVD Image"),
                        QStringLiteral("CD/DVD Image|*.Iso|Floppy Image|*.img|All Files|*.*")};
    default:
        return std::nullopt;
    }
}

QString ReadMedia(const VMContext& vm, const MediaRow& row)
{
    return read(vm, row.key);
}

bool SaveMedia(VMContext& vm, const MediaRow& row, const QString& value)
{
    // Only the first floppy and the CD had a host-drive switch in older files.
    QString oldSwitch;
    if (row.key == QLatin1String("FloppyA"))
        oldSwitch = QStringLiteral("USePCFloppy");
    else if (row.key == QLatin1String("CDROM"))
        oldSwitch = QStringLiteral("Use System CD");
    if (!oldSwitch.isEmpty() && !value.isEmpty() && read(vm, oldSwitch) == Yes) {
        if (!write(vm, oldSwitch, No))
            return false;
    }
    return write(vm, row.key, value);
}

bool WantsFloppyDrives(const QString& label)
{
    return label == FloppyLabel;
}

// ---- Boot order ------------------------------------------------------------------------------

QString TooManyBootItemsWarning()
{
    return QStringLiteral("You can only specify 3 boot order items");
}

QStringList BootOrderNames()
{
    return {QStringLiteral("CD/DVD Drive"), QStringLiteral("Floppy Drive"),
            QStringLiteral("Hard Drive"), QStringLiteral("Network")};
}

bool UsesBootOrder(const QString& versionCode)
{
    return QemuGeneration::takesBootOrder(versionCode);
}

QStringList SplitBootOrder(const QString& stored)
{
    return stored.split(u'|', Qt::SkipEmptyParts);
}

QStringList AvailableDrives(const QStringList& order)
{
    QStringList available;
    for (const QString& name : BootOrderNames()) {
        if (!order.contains(name))
            available.append(name);
    }
    SortDrives(available);
    return available;
}

void SortDrives(QStringList& drives)
{
    std::stable_sort(drives.begin(), drives.end(), [](const QString& a, const QString& b) {
        return a.compare(b, Qt::CaseInsensitive) < 0;
    });
}

QString JoinBootOrder(const QStringList& order)
{
    return order.join(u'|');
}

bool CanAddBootItem(const QStringList& order)
{
    return order.size() < MaxBootItems;
}

int MoveUp(QStringList& order, int row)
{
    if (row <= 0 || row >= order.size())
        return row;
    order.swapItemsAt(row, row - 1);
    return row - 1;
}

int MoveDown(QStringList& order, int row)
{
    if (row < 0 || row >= order.size() - 1)
        return row;
    order.swapItemsAt(row, row + 1);
    return row + 1;
}

BootOrderPreset ReadBootOrder(const VMContext& vm)
{
    BootOrderPreset preset;
    preset.order = SplitBootOrder(read(vm, QStringLiteral("BootOrder")));
    preset.available = AvailableDrives(preset.order);
    preset.bootMenu = read(vm, QStringLiteral("Boot Menu")) == Yes;
    return preset;
}

bool SaveBootOrder(VMContext& vm, const QStringList& order, bool bootMenu)
{
    return write(vm, QStringLiteral("BootOrder"), JoinBootOrder(order)) &&
           write(vm, QStringLiteral("Boot Menu"), yesNo(bootMenu));
}

// ---- Boot drive ------------------------------------------------------------------------------

QStringList BootDrives()
{
    return {QStringLiteral("Hard Disk"), QStringLiteral("Floppy Disk"), QStringLiteral("CD-ROM"),
            QStringLiteral("Network"), QStringLiteral("None")};
}

int BootDrivePreset(const VMContext& vm)
{
    bool ok = false;
    const int position = read(vm, QStringLiteral("Boot Drive ID")).trimmed().toInt(&ok);
    return ok && position >= 0 && position < BootDrives().size() ? position : 0;
}

bool SaveBootDrive(VMContext& vm, int position)
{
    const QStringList drives = BootDrives();
    if (position < 0 || position >= drives.size())
        return false;
    return write(vm, QStringLiteral("Boot Menu"), No) &&
           write(vm, QStringLiteral("Boot Drive"), drives.at(position)) &&
           write(vm, QStringLiteral("Boot Drive ID"), QString::number(position)) &&
           write(vm, QStringLiteral("BootOrder"), QString());
}

// ---- Physical disks and shared folders -------------------------------------------------------

QString PhysicalDiskEntry(int number, HostDrives::DiskUse use)
{
    QString entry = QStringLiteral("Disk ") + QString::number(number);
    if (use == HostDrives::DiskUse::System)
        entry += QStringLiteral(" (System Drive (CAUTION))");
    else if (use == HostDrives::DiskUse::InUse)
        entry += QStringLiteral(" (In Use)");
    return entry;
}

QStringList PhysicalDiskEntries(const QList<int>& numbers)
{
    QStringList entries;
    for (int number : numbers)
        entries.append(PhysicalDiskEntry(number, HostDrives::diskUse(number)));
    return entries;
}

QString PhysicalDiskValue(const QString& entry)
{
    static const QRegularExpression number(QStringLiteral("^Disk (\\d+)(\\s|$)"));
    const QRegularExpressionMatch match = number.match(entry);
    if (!match.hasMatch())
        return {};
    return QStringLiteral("\\\\.\\PhysicalDrive") + match.captured(1);
}

QString SharedFolderValue(const QString& folder, bool writable)
{
    return (writable ? QStringLiteral("fat::rw:") : QStringLiteral("fat:")) + folder;
}

QString WritableFolderQuestion()
{
    return QStringLiteral("Do you wish to make this folder writable (Caution) ?");
}

} // namespace DriveEditing
