#pragma once

#include <QString>

#include <optional>

// An installed copy of the program lives where its user may not write, so each user gets a program
// folder of their own under the XDG data home ("~/.local/share/vimor"), with links to the installed
// read-only parts. A copy is installed when its folder holds the marker file "installed"; any other
// folder (the build's, a portable copy) is its own program folder.
namespace UserProgramFolder {

inline constexpr char InstalledMarker[] = "installed";

bool isInstalled(const QString& executableFolder);

// The per-user program folder.
QString path();

// The program folder for an executable in `executableFolder`. For an installed copy the per-user
// folder is laid out first, 0700: whatever it lacks is made or linked, nothing it holds is
// replaced.
std::optional<QString> choose(const QString& executableFolder, QString* error);

} // namespace UserProgramFolder
