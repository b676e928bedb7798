#include "launch/Snapshots.h"

#include "model/ProgramFolder.h"

#include <QRegularExpression>

namespace {

// A row of the listing printed by newer image tools: ID, tag (blanks allowed), the size with its
// byte unit, date and time, the VM clock, and an optional instruction count that is not shown.
// Anchored at both ends so that a tag ending in something size-like still splits right.
const QRegularExpression& unitLayoutRow()
{
    // The columns are printed at fixed widths with no blank of their own before the clock or the
    // count: a clock of 100 hours or more touches the date, a long count touches the clock.
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*(\S+)\s+(.*?)\s+(\d+(?:\.\d+)?(?:e[+-]?\d+)?\s*[KMGTPE]?i?B))"
                       R"(\s+(\d{4}-\d{2}-\d{2}\s+\d{2}:\d{2}:\d{2}))"
                       R"(\s*(\d+:\d{2}:\d{2}\.\d{3})(?:\s*\d+)?\s*$)"));
    return pattern;
}

// A size as printed, with the blanks inside it reduced to one ("1.5 MiB").
QString singleBlanks(const QString& text)
{
    return text.simplified();
}

bool splitUnitLayout(const QString& line, SnapshotRow& row)
{
    const QRegularExpressionMatch match = unitLayoutRow().match(line);
    if (!match.hasMatch())
        return false;
    row.id = match.captured(1);
    row.tag = match.captured(2).trimmed();
    row.vmSize = singleBlanks(match.captured(3));
    row.date = singleBlanks(match.captured(4));
    row.vmClock = match.captured(5);
    row.columns = 5;
    return true;
}

// The column layout: ID before the first blank, the tag before three blanks, the size up to the
// "M", the date from its first "-" on for 19 characters, the clock after it. A missing separator
// keeps the previous line's value for that column and leaves the text for the next split as it
// was (after a missing "-", from its fifteenth character on).
SnapshotRow splitColumnLayout(const QString& line, const SnapshotRow& previous)
{
    SnapshotRow row;
    const qsizetype blank = line.indexOf(QLatin1Char(' '));
    row.id = blank < 0 ? QStringLiteral("?") : line.left(blank).trimmed();
    QString rest = (blank < 0 ? line : line.mid(blank)).trimmed();
    row.columns = 1;

    if (rest.isEmpty())
        return row;
    const qsizetype gap = rest.indexOf(QLatin1String("   "));
    if (gap < 0) {
        row.tag = previous.tag;
    } else {
        row.tag = rest.left(gap).trimmed();
        rest = rest.mid(gap).trimmed();
    }
    row.columns = 2;

    if (rest.isEmpty())
        return row;
    const qsizetype megabytes = rest.indexOf(QLatin1Char('M'));
    if (megabytes < 0) {
        row.vmSize = previous.vmSize;
    } else {
        row.vmSize = rest.left(megabytes + 1).trimmed();
        rest = rest.mid(megabytes + 1).trimmed();
    }
    row.columns = 3;

    if (rest.isEmpty())
        return row;
    const qsizetype dash = rest.indexOf(QLatin1Char('-'));
    // Year-month-day and a time take 19 characters from the year on: the dash's position
    // counted from 1, plus 14.
    const qsizetype dateLength = dash < 0 ? 14 : dash + 1 + 14;
    row.date = dash < 0 ? previous.date : rest.left(dateLength).trimmed();
    row.vmClock = rest.mid(dateLength).trimmed();
    row.columns = 5;
    return row;
}

} // namespace

QString SnapshotListCommand(const QString& versionFolder, const QString& diskPath)
{
    return QLatin1Char('"') + ProgramFolder::expand(versionFolder) +
           QStringLiteral("\\qemu-img.exe\" snapshot \"") + diskPath + QStringLiteral("\" -l");
}

QList<SnapshotRow> ParseSnapshotListing(const QStringList& outputLines)
{
    QList<SnapshotRow> rows;
    rows.append({QStringLiteral("-"), QStringLiteral("None"), QStringLiteral("-"),
                 QStringLiteral("-"), QStringLiteral("-"), 5});
    SnapshotRow previous;
    previous.columns = 0;
    for (qsizetype index = 2; index < outputLines.size(); ++index) {
        QString line = outputLines.at(index);
        while (line.endsWith(QLatin1Char('\r')) || line.endsWith(QLatin1Char('\n')))
            line.chop(1);
        // A line of blanks would only give a row with an empty ID.
        if (line.trimmed().isEmpty())
            continue;
        SnapshotRow row;
        if (!splitUnitLayout(line, row))
            row = splitColumnLayout(line, previous);
        rows.append(row);
        // Only the columns the line reached carry over to the next one.
        if (row.columns >= 2)
            previous.tag = row.tag;
        if (row.columns >= 3)
            previous.vmSize = row.vmSize;
        if (row.columns >= 5)
            previous.date = row.date;
    }
    return rows;
}
