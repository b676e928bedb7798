#include "library/OsProfiles.h"

#include "model/TableHandle.h"

#include <algorithm>

namespace {

const QString NAME = QStringLiteral("NAME");
const QString RAM = QStringLiteral("RAM");
const QString DISK = QStringLiteral("DISK");
const QString HARDWARE = QStringLiteral("HARDWARE");

bool ready(TableHandle& opsys, QString* error)
{
    return opsys.isOpen() || opsys.open(error);
}

OsProfile currentProfile(const TableHandle& opsys)
{
    return {opsys.fieldValue(NAME), opsys.fieldValue(RAM), opsys.fieldValue(DISK),
            opsys.fieldValue(HARDWARE)};
}

// Calls visit for every row in record order until it returns false. A table without rows is not
// visited at all: its "current row" would read as a profile with an empty name.
template <typename Visit>
void walk(TableHandle& opsys, Visit visit)
{
    opsys.first();
    if (opsys.isEmpty())
        return;
    for (; !opsys.eof(); opsys.next()) {
        if (!visit())
            return;
    }
}

// Leaves the handle on the first row named name; false when there is none.
bool seek(TableHandle& opsys, const QString& name)
{
    bool found = false;
    walk(opsys, [&] {
        found = opsys.fieldValue(NAME) == name;
        return !found;
    });
    return found;
}

// A row that is not there is not a failure of the table, unless reading the table failed; false
// either way, with the table's last error.
bool notFound(const TableHandle& opsys, QString* error)
{
    if (error)
        *error = opsys.lastError();
    return false;
}

} // namespace

int OsProfiles::SizeForEditor(const QString& stored, int fallback)
{
    bool ok = false;
    const qlonglong value = stored.trimmed().toLongLong(&ok, 10);
    if (!ok)
        return fallback;
    return int(std::clamp<qlonglong>(value, LowestSize, HighestSize));
}

QStringList ListProfileNames(TableHandle& opsys)
{
    QStringList names;
    if (!ready(opsys, nullptr))
        return names;
    walk(opsys, [&] {
        names.append(opsys.fieldValue(NAME));
        return true;
    });
    return names;
}

QList<OsProfile> ListProfiles(TableHandle& opsys)
{
    QList<OsProfile> profiles;
    if (!ready(opsys, nullptr))
        return profiles;
    walk(opsys, [&] {
        profiles.append(currentProfile(opsys));
        return true;
    });
    return profiles;
}

std::optional<OsProfile> FindProfile(TableHandle& opsys, const QString& name)
{
    if (!ready(opsys, nullptr) || !seek(opsys, name))
        return std::nullopt;
    return currentProfile(opsys);
}

bool AddProfile(TableHandle& opsys, const OsProfile& profile, QString* error)
{
    if (!ready(opsys, error))
        return false;
    opsys.insert();
    opsys.setFieldValue(NAME, profile.name);
    opsys.setFieldValue(RAM, profile.ram);
    opsys.setFieldValue(DISK, profile.disk);
    opsys.setFieldValue(HARDWARE, profile.hardware);
    return opsys.post(error);
}

bool UpdateProfile(TableHandle& opsys, const QString& name, const OsProfile& profile,
                   QString* error)
{
    if (!ready(opsys, error))
        return false;
    if (!seek(opsys, name))
        return notFound(opsys, error);
    opsys.edit();
    if (!opsys.lastError().isEmpty())
        return notFound(opsys, error);
    opsys.setFieldValue(NAME, profile.name);
    opsys.setFieldValue(RAM, profile.ram);
    opsys.setFieldValue(DISK, profile.disk);
    return opsys.post(error);
}

bool DeleteProfile(TableHandle& opsys, const QString& name, QString* error)
{
    if (!ready(opsys, error))
        return false;
    if (!seek(opsys, name))
        return notFound(opsys, error);
    return opsys.deleteRow(error);
}
