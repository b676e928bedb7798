#pragma once

#include <QString>

#include <functional>
#include <optional>

class TableHandle;

// The forms of the stored drive values: a bare file name (an image in the VM's store folder), a
// full path, "\\.\PhysicalDrive" and a number, "fat:" or "fat::rw:" and a folder; media values add
// "{VR}\media\" and a file name, and a drive letter with its colon.

// The path to hand to QEMU (or to delete) for a hard-disk value: a value with a folder part (text
// before its last backslash, slash or drive colon) is returned unchanged; a bare name is joined to
// the folder of the store whose DSID is storeId, with "{VR}" expanded; empty when that store is not
// found. The lookup handle is left unfiltered.
QString ResolveDrivePath(const QString& value, TableHandle& storeLookup, const QString& storeId);
// The same with the store's folder from storeFolder, asked only for a bare name: a caller resolving
// several drives of one VM looks the store up once.
QString ResolveDrivePath(const QString& value,
                         const std::function<std::optional<QString>()>& storeFolder);

// True when the value has a folder part in the sense above.
bool HasFolderPart(const QString& value);

// The program's Media folder, native.
QString MediaFolder();

// The media value to store for a chosen file: "{VR}\media\" and the file name when the file lies
// directly in the Media folder (compared without regard to case), else the full path.
QString MediaValueFor(const QString& chosenFile);

// The value to store for a chosen file relative to a starting folder: the bare file name when the
// file's folder equals startFolder (compared without regard to case), else the full path.
QString StoredPathFor(const QString& chosenFile, const QString& startFolder);
