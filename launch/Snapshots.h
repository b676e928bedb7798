#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One row of the "Snapshots" window.
struct SnapshotRow
{
    QString id, tag, vmSize, date, vmClock;
    int columns = 5; // how many of the five columns the line filled
};

// The command that lists a disk's snapshots: the version folder's qemu-img, quoted like the disk
// path so that blanks in either stay inside one argument, with "snapshot", the disk path and " -l",
// as one string. versionFolder is the version's stored PATH; a leading
// "{VR}" is expanded here. The result keeps the stored separators.
QString SnapshotListCommand(const QString& versionFolder, const QString& diskPath);

// The window's rows from the tool's output lines: the first two (title and heading) are dropped,
// the "-" / "None" row comes first, then one row per remaining non-empty line.
// Lines in the column layout with a size ending in "M" are split at three blanks, the "M" and
// the date's first "-"; a separator missing from a line keeps the previous line's value for that
// column. Lines of the newer layout (a size with a byte unit, "0 B" or "1.5 MiB", a date, a
// clock and an instruction count) are recognised by their shape and split by it.
QList<SnapshotRow> ParseSnapshotListing(const QStringList& outputLines);
