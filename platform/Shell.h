#pragma once

#include <QString>

// The desktop shell: opening documents, folders and addresses with their default handler.
namespace Shell {

// Opens a file, folder or URL with the desktop's default handler, without waiting for it.
// False when no handler could be started.
bool open(const QString& target);

// Makes a font file available to the user's desktop (the user's font folder); false with a reason
// when it cannot be copied there.
bool installUserFont(const QString& fontFile, const QString& installedName, QString* error);

} // namespace Shell
