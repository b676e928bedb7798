#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

class QFileDevice;

// File operations whose guarantees the rest of the program relies on.
namespace FileSystem {

// Replaces the file at path with data: writes a new file beside it, flushes it to disk, renames
// it over the old one and syncs the folder. On failure the old file stays as it was.
bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error = nullptr);

// Why a write to file failed. Qt names no cause when a write stops part way (a full disk, a file
// size limit); cause, the errno saved right after the failing call, names it then.
QString writeErrorText(const QFileDevice& file, int cause);

enum class ReadResult
{
    Read,
    Missing, // nothing at the path (or a folder on it is missing)
    Failed   // there, but not a readable file (a folder, no permission, an I/O error)
};
// The whole file at path in data. Small files are read often (each VM's definition file at every
// start), so this goes straight to the system: one open, one size query, one read.
ReadResult readWholeFile(const QString& path, QByteArray* data);

// Flushes the folder's entries (a rename into it) to disk.
bool syncFolder(const QString& folder);

// A stored path ("{VR}\media\x.iso", "C:\VMs" written by an older release, "/home/u/VMs") as a
// native path: backslashes become the native separator.
QString nativePath(const QString& storedPath);

// A native path as it is found on disk: an existing path is returned as it is; otherwise each
// missing component is looked up without regard to case in its folder (the first match in name
// order wins), and the components after the first one without a match are kept as given.
// Stored paths name folders in any case ("{VR}\media" for the Media folder).
QString matchCase(const QString& nativePath);

// Removes from folder the temporary copies that writes killed midway left of the files named
// (file names or wildcards, without regard to case): a copy is named after its file, a dot and six
// random letters ("Web.vm2.aBcDeF"). Only copies last changed more than minAgeSecs ago that no
// process holds open go. Returns how many were removed.
int removeStaleTemporaries(const QString& folder, const QStringList& files, int minAgeSecs = 60);

} // namespace FileSystem
