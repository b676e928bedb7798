#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The host's disks and drives as the stored drive values name them. A whole disk is
// "\\.\PhysicalDrive" followed by its number; a floppy, optical or removable drive is a letter and
// a colon. On Linux these map onto block devices:
// - physical disk N is the N-th whole-disk block device in /sys/block, in name order, leaving out
//   loop, ram, zram, nbd, device-mapper, md, floppy and optical devices;
// - A: and B: are the floppy drives fd0 and fd1; D:, E:, ... the optical drives (sr*) in name
// order;
//   the removable whole disks (USB sticks, card readers) take the letters after them.
namespace HostDrives {

enum class DriveType
{
    Floppy, // removable drives: floppies and removable disks
    CD      // optical drives
};

// Where the host's devices are looked for; tests point both at folders of their own, with
// regular files standing in for the devices.
struct Roots
{
    QString sys = QStringLiteral("/sys");
    QString dev = QStringLiteral("/dev");
    QString mountInfo = QStringLiteral("/proc/self/mountinfo");
};
void setRoots(const Roots& roots);
Roots roots();

// The numbers of the physical disks that open for reading and writing, in increasing order.
QList<int> ListPhysicalDisks();

// The drive letters (letter and colon) of that type, in alphabetical order; never A: or B: for CD.
QStringList ListHostDrives(DriveType type);

// The device of physical disk N, or of a drive letter ("D:"); empty when the host has none.
QString physicalDiskDevice(int number);
QString driveLetterDevice(const QString& letterAndColon);

// True for "\\.\PhysicalDrive" followed by digits and for a letter and colon: the values that
// name a device of the host.
bool isDeviceValue(const QString& value);

// A block device of the host as it describes itself.
struct Device
{
    QString name;     // kernel name, "sda"
    QStringList ids;  // its names in /dev/disk/by-id, sorted
    QString model;    // vendor and model as the device reports them; may be empty
    qint64 size = -1; // bytes, -1 when unknown

    // What tells it apart across re-plugging and restarts: its first by-id name, or its kernel
    // name when it has none.
    QString identity() const { return ids.isEmpty() ? name : ids.first(); }
    bool hasIdentity(const QString& identity) const
    {
        return !identity.isEmpty() && (ids.contains(identity) || identity == name);
    }
};

// The device a drive value names now; nothing for other values and for numbers or letters the
// host does not have.
std::optional<Device> deviceOf(const QString& value);
// The device that has that identity now, wherever its number or letter went.
std::optional<Device> deviceWithIdentity(const QString& identity);

enum class DiskUse
{
    Free,
    InUse, // a file system on it (a partition, or a device built on it) is mounted
    System // the root file system is on it
};
DiskUse diskUse(int number);

// A stored drive or media value as the path a program opens: "\\.\PhysicalDriveN" and "X:" become
// their device (empty when the host has no such device); every other value is returned unchanged.
QString devicePathOf(const QString& value);

// The size in bytes of a device or image file: a block device of the dev root counts its sectors
// as the sys tree gives them; anything else the size reported at its end. -1 when unreadable.
qint64 deviceSize(const QString& devicePath);

} // namespace HostDrives
