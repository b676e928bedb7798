#pragma once

#include <QString>

// Lays out a program folder: the settings file with its defaults, the four tables with the rows
// the program ships, the folders it expects, the blank floppy template and the host's QEMU under
// the names the program starts. Only what is missing is made, so laying out a folder in use again
// changes nothing the user has.
namespace ProgramFolderLayout {

bool layOut(const QString& folder, QString* error);

// What to do with a name that is already in the QEMU folder.
enum class Existing
{
    Replace,
    Keep
};

// Links the host's QEMU emulators, image tool and firmware into `qemuFolder`. With Replace every
// link is made afresh and the names of programs the host lacks are removed.
bool linkHostQemu(const QString& qemuFolder, Existing existing, QString* error);

} // namespace ProgramFolderLayout
