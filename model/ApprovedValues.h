#pragma once

#include <QString>

// Some values of a VM file make QEMU run programs or open files of the user's: the additional
// parameters, drive values, serial and parallel ports. A VM file may come from anyone (a store
// added from a shared folder, a download), so such a value is used only once this user has
// written it with the program's editors or approved it at a launch. Approvals are kept outside
// the VM files, in the per-user folder, by the VM's identity and a hash of the exact value.
namespace ApprovedValues {

// True for the keys whose values need an approval.
bool isWatched(const QString& section, const QString& key);

// The file approvals are kept in ("<XDG data home>/vimor/approved-values").
QString storePath();

bool isApproved(const QString& vmFile, const QString& section, const QString& key,
                const QString& value);
// Records the value as this user's; false when the record could not be written.
bool approve(const QString& vmFile, const QString& section, const QString& key,
             const QString& value);

} // namespace ApprovedValues
