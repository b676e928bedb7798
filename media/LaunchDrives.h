#pragma once

#include <QList>
#include <QString>

class VMContext;

// The drive values a launch hands to QEMU, with the file each opens on this host: what the disk
// format and approval checks before a launch look at.
namespace LaunchDrives {

struct Drive
{
    QString section;
    QString key;
    QString what;  // "Hard Disk 0", "The CD-ROM", "USB Device 2"
    QString value; // as stored
    QString path;  // as QEMU opens it: a file, a host device, or "fat:" and a folder
};

// In the order the launch uses them; none when the additional parameters replace the command
// line. Empty values are left out.
QList<Drive> Of(VMContext& vm);

// A hard-disk value (disks, USB disks) or a media value (CD-ROM, floppies) as the path QEMU opens.
QString DiskPath(VMContext& vm, const QString& value);
QString MediaPath(const QString& value);

// True when QEMU opens a file for the drive (not a host device or a shared folder), so its format
// must be known.
bool isImageFile(const Drive& drive);

// The folder of the VM's store, native; empty when the store is not found.
QString StoreFolder(VMContext& vm);

// True when the path lies inside folder (after resolving links and "..").
bool isInside(const QString& path, const QString& folder);

} // namespace LaunchDrives
