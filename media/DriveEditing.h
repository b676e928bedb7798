#pragma once

#include "platform/HostDrives.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class VMContext;

// What the editors of the "Drives" list show when they open and what they write on OK, kept apart
// from the dialogs. Saves write the selected VM's keys in a fixed order and stop at the first
// write that fails (the failure has been reported by then); none of them refresh the settings
// view: the caller does that once the dialog has closed.
namespace DriveEditing {

// Icon numbers of the "Drives" list's rows.
enum Icon
{
    HardDisk0Icon = 16,
    HardDisk1Icon = 33,
    HardDisk2Icon = 34,
    HardDisk3Icon = 35,
    Floppy0Icon = 18,
    Floppy1Icon = 36,
    CdromIcon = 39,
    BootIcon = 21,
    SnapshotIcon = 31
};

// ---- Hard disks -----------------------------------------------------------------------------

struct DiskKeys
{
    int drive = 0;     // 0 to 3
    QString value;     // "HDA"
    QString encrypted; // "HDAEnc"
    QString scsi;      // "HDASCSI"
    QString label;     // "Specify Hard Disk 0 Path"
};

// The keys of a hard-disk row (icons 16, 33, 34, 35); nullopt for any other icon.
std::optional<DiskKeys> DiskKeysOf(int icon);

struct DiskPreset
{
    QString value;
    bool encrypted = false;
    bool scsi = false;
};
DiskPreset ReadDisk(const VMContext& vm, const DiskKeys& keys);
// The value, then "Yes"/"No" for encryption and for SCSI.
bool SaveDisk(VMContext& vm, const DiskKeys& keys, const QString& value, bool encrypted, bool scsi);
// True when the drive's encryption key reads "Yes" (set by the new-disk window).
bool DiskEncrypted(const VMContext& vm, const DiskKeys& keys);

// Hard disk 2 and the CD-ROM share one IDE position: editing one empties the other first.
QString CdromInUseQuestion();
QString HardDisk2InUseQuestion();
// "CDROM" holds something or "Use System CD" is "Yes".
bool CdromInUse(const VMContext& vm);
// "Use System CD" = "No", "CDROM" = empty.
bool RemoveCdrom(VMContext& vm);
bool HardDisk2InUse(const VMContext& vm);
// "HDC" = empty, "HDCEnc" = "No", "HDCSCSI" = "No".
bool RemoveHardDisk2(VMContext& vm);

// ---- Floppies and CD-ROM ---------------------------------------------------------------------

struct MediaRow
{
    QString key;    // "FloppyA", "FloppyB", "CDROM"
    QString label;  // "Specify Floppy Disk Image" or "Specify CD/DVD Image"
    QString filter; // in the pipe form, for Interaction::pipeFilter
};

// The row of icons 18, 36 and 39; nullopt for any other icon.
std::optional<MediaRow> MediaRowOf(int icon);
QString ReadMedia(const VMContext& vm, const MediaRow& row);
// Resets the old host-drive switch of floppy 0 ("USePCFloppy") or of the CD ("Use System CD") when
// a value is given and the switch is "Yes", then writes the value.
bool SaveMedia(VMContext& vm, const MediaRow& row, const QString& value);
// Whether "Use Physical Drive" lists floppy drives (else CD drives) for the window's label.
bool WantsFloppyDrives(const QString& label);

// ---- Boot order ------------------------------------------------------------------------------

constexpr int MaxBootItems = 3;
QString TooManyBootItemsWarning();

// "CD/DVD Drive", "Floppy Drive", "Hard Drive", "Network".
QStringList BootOrderNames();
// True when the QEMU version takes a boot order ("VERID" "0", "1" or "3") rather than one boot
// drive.
bool UsesBootOrder(const QString& versionCode);

// The stored list split at "|", without empty pieces, in stored order.
QStringList SplitBootOrder(const QString& stored);
// The names not in the boot order, sorted.
QStringList AvailableDrives(const QStringList& order);
void SortDrives(QStringList& drives);
QString JoinBootOrder(const QStringList& order);
bool CanAddBootItem(const QStringList& order);
// Move the item at row one place; the result is the item's new row (row itself when nothing
// moved: the first row up, the last down, or a row outside the list).
int MoveUp(QStringList& order, int row);
int MoveDown(QStringList& order, int row);

struct BootOrderPreset
{
    QStringList order;
    QStringList available;
    bool bootMenu = false;
};
BootOrderPreset ReadBootOrder(const VMContext& vm);
// "BootOrder", then "Boot Menu".
bool SaveBootOrder(VMContext& vm, const QStringList& order, bool bootMenu);

// ---- Boot drive ------------------------------------------------------------------------------

// "Hard Disk", "Floppy Disk", "CD-ROM", "Network", "None".
QStringList BootDrives();
// The position "Boot Drive ID" names; 0 when it is empty, not a number or out of the list.
int BootDrivePreset(const VMContext& vm);
// "Boot Menu" = "No", "Boot Drive", "Boot Drive ID", "BootOrder" = empty, in this order.
bool SaveBootDrive(VMContext& vm, int position);

// ---- Physical disks and shared folders -------------------------------------------------------

// "Disk N", followed by " (System Drive (CAUTION))" for the disk of the root file system and by
// " (In Use)" for a disk with a mounted file system.
QString PhysicalDiskEntry(int number, HostDrives::DiskUse use);
// The entries of those of the host's disks.
QStringList PhysicalDiskEntries(const QList<int>& numbers);
// "\\.\PhysicalDrive" and the number an entry shows; empty for a text without one.
QString PhysicalDiskValue(const QString& entry);
// "fat::rw:" or "fat:" followed by the folder.
QString SharedFolderValue(const QString& folder, bool writable);
QString WritableFolderQuestion();

} // namespace DriveEditing
