#pragma once

#include <QString>
#include <QStringList>

// Disk images are made by the program folder's qemu-img ("qemu\qemu-img.exe").

// The image types, by their position in every type list.
namespace DiskImageTypes {
QStringList texts();              // "Qcow (QEMU Image Format)", ...
QString extension(int position);  // ".qcow", ".qcow2", ".raw", ".vmdk"; ".dsk" outside 0-3
QString formatName(int position); // "qcow", "qcow2", "raw", "vmdk"; empty outside 0-3
inline constexpr int Qcow2 = 1;
} // namespace DiskImageTypes

// The arguments qemu-img gets for a create, as one string: "create", " -c", " -e", " -f <format>",
// then the quoted path and the size in KiB.
QString QemuImgCreateArguments(const QString& fullPath, int sizeMB, bool compress, bool encrypt,
                               const QString& formatName);

// Starts executable with the arguments (grouped at double quotes) and waits for it to end, without
// a time limit. Returns the exit code; -1 when it could not be started or crashed.
int RunAndWait(const QString& executable, const QString& arguments);

// Runs the create and reports whether the image exists afterwards (and qemu-img succeeded).
bool RunQemuImgCreate(const QString& fullPath, int sizeMB, bool compress, bool encrypt,
                      const QString& formatName);

// basePath + the type's extension, created with qemu-img; compress and encrypt count for Qcow2
// only. Returns the full path, or empty after the error has been shown.
QString CreateDiskImage(int typePosition, int sizeMB, bool compress, bool encrypt,
                        const QString& basePath);
