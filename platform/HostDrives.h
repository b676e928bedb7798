#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The host's disks and drives as the stored drive values name them. A whole disk is
// "\\.\PhysicalDrive" followed by its number; a floppy, optical or removable drive is a letter and
// a colon. On Linux these map onto block devices:
// - physical disk N is the N-th whole-disk block device in /sys/block, in name order, leaving out
//   loop, ram, zram, floppy and optical devices;
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

// A stored drive or media value as the path a program opens: "\\.\PhysicalDriveN" and "X:" become
// their device (empty when the host has no such device); every other value is returned unchanged.
QString devicePathOf(const QString& value);

// The size in bytes of a device or image file: a block device of the dev root counts its sectors
// as the sys tree gives them; anything else the size reported at its end. -1 when unreadable.
qint64 deviceSize(const QString& devicePath);

} // namespace HostDrives
