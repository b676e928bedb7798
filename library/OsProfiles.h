#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class TableHandle;

// An operating-system profile of "opsys.dat": a guest name with the memory and primary disk size
// (both MB, decimal text) a new VM for it starts with, and its hardware preset (HardwarePreset).
struct OsProfile
{
    QString name;
    QString ram;
    QString disk;
    QString hardware = {};
};

namespace OsProfiles {

// What the editor offers for a new profile.
constexpr int NewRam = 256;
constexpr int NewDisk = 10000;

// The number boxes of the editor have no real bounds; these are the widest an int box can show.
constexpr int LowestSize = 0;
constexpr int HighestSize = 2147483647;

// The editor's number for a stored size: the decimal value (blanks around it ignored) kept within
// LowestSize..HighestSize, or fallback when the text is not a decimal number.
int SizeForEditor(const QString& stored, int fallback);

} // namespace OsProfiles

// The NAME of every row, in record order; nothing for a table without rows or one that cannot be
// opened. The handle is opened when closed and left open.
QStringList ListProfileNames(TableHandle& opsys);

// Every row in record order, as the "Operating Systems" window lists them.
QList<OsProfile> ListProfiles(TableHandle& opsys);

// The first row in record order whose NAME equals name exactly (case counts); none otherwise.
std::optional<OsProfile> FindProfile(TableHandle& opsys, const QString& name);

// Appends a row with NAME, RAM, DISK and HARDWARE of profile; INDEX stays empty.
bool AddProfile(TableHandle& opsys, const OsProfile& profile, QString* error = nullptr);

// Overwrites NAME, RAM and DISK of the first row named name; its HARDWARE stays. False with an
// empty error when there is no such row.
bool UpdateProfile(TableHandle& opsys, const QString& name, const OsProfile& profile,
                   QString* error = nullptr);

// Deletes the first row named name. False with an empty error when there is no such row.
bool DeleteProfile(TableHandle& opsys, const QString& name, QString* error = nullptr);
