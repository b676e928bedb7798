#pragma once

#include <QString>

// Where this user's private run-time files live: the single-instance lock, the monitor sockets and
// the display sockets. Another local user must never be able to reach, replace or pre-create
// anything in it.
namespace RuntimeFolder {

// The user's runtime folder ($XDG_RUNTIME_DIR), or, without one, "<temp>/vimor-<uid>" created
// 0700. When that name is taken (another user's folder, one others may write to, a link, a file),
// a fresh folder "<temp>/vimor-<uid>-XXXXXX" made with mkdtemp serves instead for the rest of the
// run, and a line on standard error says so. Empty, with the reason, only when none can be made.
QString userFolder(QString* error = nullptr);

// userFolder() + "/vimor", created 0700 and checked the same way; empty, with the reason, when it
// cannot be had.
QString vimorFolder(QString* error = nullptr);

// Makes folder (0700) when missing and checks that it is a real folder owned by this user that no
// one else may write to, taking away what others may still do in it (0755 becomes 0700); false
// with the reason otherwise.
bool ensurePrivateFolder(const QString& folder, QString* error = nullptr);

// Writes bytes as "<vimorFolder()>/<name>", readable and writable by this user alone, replacing
// whatever was there (a link included, which is removed, never followed); the path, or empty with
// the reason.
QString writePrivateFile(const QString& name, const QByteArray& bytes, QString* error = nullptr);

} // namespace RuntimeFolder
