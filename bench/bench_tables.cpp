// Times the table layer on a process.dat of 1,000 rows: a full walk reading both fields, and
// a post (append, and edit of one row), each measured over many repetitions.

#include "model/TableHandle.h"
#include "model/TableSchemas.h"

#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int Rows = 1000;
constexpr int Walks = 200;
constexpr int Posts = 1000;

double microsecondsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

bool check(bool ok, const TableHandle& handle, const char* what)
{
    if (!ok)
        std::fprintf(stderr, "%s failed: %s\n", what, qPrintable(handle.lastError()));
    return ok;
}

bool appendRow(TableHandle& handle, int number)
{
    handle.insert();
    handle.setFieldValue(QStringLiteral("PROCESSID"), QString::number(10000 + number));
    handle.setFieldValue(QStringLiteral("VM"),
                         QStringLiteral("/home/user/VMs/Guest %1/Guest %1.vm2").arg(number));
    return check(handle.post(), handle, "post");
}

} // namespace

int main()
{
    QTemporaryDir dir;
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder\n");
        return 1;
    }
    QString error;
    if (!CreateTable(dir.filePath(TableSchemas::ProcessTable), TableSchemas::processFields(),
                     &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    TableHandle handle;
    handle.setFolder(dir.path());
    handle.setTableName(TableSchemas::ProcessTable);
    if (!handle.open(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }

    Clock::time_point start = Clock::now();
    for (int i = 0; i < Rows; ++i) {
        if (!appendRow(handle, i))
            return 1;
    }
    std::printf("fill: %d posts into an empty table: %.1f us per post\n", Rows,
                microsecondsSince(start) / Rows);

    // A second handle walks, as the process poll does beside the handle that appends.
    TableHandle walker;
    walker.setFolder(dir.path());
    walker.setTableName(TableSchemas::ProcessTable);
    if (!walker.open(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    qsizetype checksum = 0;
    int visited = 0;
    start = Clock::now();
    for (int walk = 0; walk < Walks; ++walk) {
        visited = 0;
        walker.first();
        while (!walker.eof()) {
            checksum += walker.fieldValue(QStringLiteral("PROCESSID")).size() +
                        walker.fieldValue(QStringLiteral("VM")).size();
            ++visited;
            walker.next();
        }
    }
    if (visited != Rows) {
        std::fprintf(stderr, "walk visited %d rows, expected %d\n", visited, Rows);
        return 1;
    }
    std::printf("walk: %d rows, both fields read: %.3f ms per walk (%d walks, checksum %lld)\n",
                Rows, microsecondsSince(start) / 1000.0 / Walks, Walks,
                static_cast<long long>(checksum));

    start = Clock::now();
    for (int i = 0; i < Posts; ++i) {
        if (!appendRow(handle, Rows + i))
            return 1;
    }
    std::printf("append: insert + 2 fields + post, table growing from %d to %d rows: %.1f us per "
                "post\n",
                Rows, Rows + Posts, microsecondsSince(start) / Posts);

    // Edit a row in the middle of the table, over and over.
    walker.first();
    for (int i = 0; i < Rows / 2; ++i)
        walker.next();
    start = Clock::now();
    for (int i = 0; i < Posts; ++i) {
        walker.edit();
        walker.setFieldValue(QStringLiteral("VM"),
                             QStringLiteral("/home/user/VMs/edit %1.vm2").arg(i));
        if (!check(walker.post(), walker, "edit post"))
            return 1;
    }
    std::printf("edit: edit + 1 field + post of row %d: %.1f us per post (%d posts)\n",
                walker.recordNumber(), microsecondsSince(start) / Posts, Posts);
    return 0;
}
