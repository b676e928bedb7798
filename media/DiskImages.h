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

// Runs the create and reports whether it worked: qemu-img ended normally with exit code 0 and the
// image can be opened for reading. A file left from before does not count when qemu-img failed.
bool RunQemuImgCreate(const QString& fullPath, int sizeMB, bool compress, bool encrypt,
                      const QString& formatName);

// basePath + the type's extension, created with qemu-img; compress and encrypt count for Qcow2
// only. Returns the full path, or empty when nothing was created; showing the error is the
// caller's (DiskCreation::CreateDiskImage does it with the busy cursor).
QString CreateDiskImage(int typePosition, int sizeMB, bool compress, bool encrypt,
                        const QString& basePath);

// A qcow2 image (typePosition must be qcow2's) encrypted with LUKS under password, as today's
// qemu-img makes them; the secret reaches qemu-img through a private file, never its command line.
// Its full path, or empty with the reason.
QString CreateEncryptedDiskImage(int typePosition, int sizeMB, const QString& password,
                                 const QString& basePath, QString* error = nullptr);

// How a disk image is encrypted, by its header: QEMU's old AES scheme (which QEMU 7.2 no longer
// opens) or LUKS (which needs its secret at launch).
enum class DiskEncryption
{
    None,
    Aes,
    Luks
};
DiskEncryption EncryptionOf(const QString& path);

// The chosen save path with its file name cut at the file name's first dot; the folder part stays
// whole ("/d/my.disk.qcow2" -> "/d/my", "/My.Folder/web" unchanged).
QString DiskBasePath(const QString& chosenPath);

// The text beside the size box: "MB. (" + whole gigabytes (size / 1000) + " GB)".
QString DiskSizeLabel(int sizeMB);
