#pragma once

#include <QString>

// The program folder: where the executable lives (or the folder given on the command line), without
// a trailing separator. Every file of the program is found relative to it, and the path macro
// "{VR}" stands for it.
namespace ProgramFolder {

QString path();
void setPath(const QString& folder);

// A file of the program folder, given as a stored tail such as "\vimor.ini" or "qemu\qemu-img.exe".
QString file(const QString& storedTail);

// A stored path whose first four characters are exactly "{VR}" gets them replaced by the program
// folder; any other path is returned unchanged. The result keeps the stored separators.
QString expand(const QString& storedPath);

// expand() turned into a native path, for the places where a path is used. Folders and files that
// exist in another case than the stored one are named as they are on disk
// (FileSystem::matchCase), so "{VR}\media\x.iso" finds "<program folder>/Media/x.iso".
QString nativeExpanded(const QString& storedPath);

} // namespace ProgramFolder
