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

// The command that lists a disk's snapshots: the version folder's qemu-img with "snapshot", the
// quoted disk path and " -l", as one string.
QString SnapshotListCommand(const QString& versionFolder, const QString& diskPath);

// The window's rows from the tool's output lines: the first two (title and heading) are dropped,
// the "-" / "None" row comes first, then one row per remaining non-empty line.
QList<SnapshotRow> ParseSnapshotListing(const QStringList& outputLines);
