#include "media/DiskImages.h"

#include "model/ProgramFolder.h"
#include "platform/CommandLine.h"
#include "platform/ProcessStart.h"
#include "platform/RuntimeFolder.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QtEndian>

#include <algorithm>
#include <iterator>

namespace DiskImageTypes {
namespace {

struct ImageType
{
    const char* text;
    const char* extension;
    const char* format;
};

constexpr ImageType Types[] = {
    {"Qcow (QEMU Image Format)", ".qcow", "qcow"},
    {"Qcow2  (Default QEMU Image Format)", ".qcow2", "qcow2"},
    {"Raw (Raw Disk Image File)", ".raw", "raw"},
    {"vmdk (VMWare Image Format)", ".vmdk", "vmdk"},
};
constexpr int TypeCount = int(std::size(Types));

bool known(int position)
{
    return position >= 0 && position < TypeCount;
}

} // namespace

QStringList texts()
{
    QStringList result;
    for (const ImageType& type : Types)
        result.append(QString::fromUtf8(type.text));
    return result;
}

QString extension(int position)
{
    return known(position) ? QString::fromUtf8(Types[position].extension) : QStringLiteral(".dsk");
}

QString formatName(int position)
{
    return known(position) ? QString::fromUtf8(Types[position].format) : QString();
}

} // namespace DiskImageTypes

namespace {

// A disk holds whatever its guest wrote: readable and writable by its user alone.
void makePrivate(const QString& path)
{
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

} // namespace

QString QemuImgCreateArguments(const QString& fullPath, int sizeMB, bool compress, bool encrypt,
                               const QString& formatName)
{
    QString arguments = QStringLiteral("create");
    if (compress)
        arguments += QStringLiteral(" -c");
    if (encrypt)
        arguments += QStringLiteral(" -e");
    // Raw is qemu-img's default and gets no format.
    if (formatName == QLatin1String("qcow2") || formatName == QLatin1String("qcow") ||
        formatName == QLatin1String("vmdk"))
        arguments += QStringLiteral(" -f ") + formatName;
    const qint64 sizeKiB = qint64(sizeMB) * 1024;
    arguments += QStringLiteral(" \"") + fullPath + QStringLiteral("\" ") +
                 QString::number(sizeKiB) + QLatin1Char('K');
    return arguments;
}

int RunAndWait(const QString& executable, const QString& arguments)
{
    QProcess process;
    process.setProgram(executable);
    process.setArguments(CommandLine::SplitCommandLine(arguments));
    process.setWorkingDirectory(QFileInfo(executable).absolutePath());
    // Nobody is there to answer a prompt, and the output is not shown.
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    // What qemu-img creates is the user's alone from its first byte (it asks for 0644).
    ProcessStart::apply(process, {.privateFiles = true});
    process.start();
    if (!process.waitForStarted(-1))
        return -1;
    process.waitForFinished(-1);
    if (process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

bool RunQemuImgCreate(const QString& fullPath, int sizeMB, bool compress, bool encrypt,
                      const QString& formatName)
{
    // A quote in the name would end the path's group and pass the rest to qemu-img as options.
    if (fullPath.isEmpty() || fullPath.contains(QLatin1Char('"')))
        return false;
    const QString arguments =
        QemuImgCreateArguments(fullPath, sizeMB, compress, encrypt, formatName);
    if (RunAndWait(ProgramFolder::file(QStringLiteral("qemu\\qemu-img.exe")), arguments) != 0)
        return false;
    // An image made over an older file keeps that file's mode.
    makePrivate(fullPath);
    QFile image(fullPath);
    return image.open(QIODevice::ReadOnly);
}

QString CreateDiskImage(int typePosition, int sizeMB, bool compress, bool encrypt,
                        const QString& basePath)
{
    const QString fullPath = basePath + DiskImageTypes::extension(typePosition);
    const QString format = DiskImageTypes::formatName(typePosition);
    if (format.isEmpty())
        return {};
    const bool qcow2 = typePosition == DiskImageTypes::Qcow2;
    if (!RunQemuImgCreate(fullPath, sizeMB, qcow2 && compress, qcow2 && encrypt, format))
        return {};
    return fullPath;
}

QString DiskBasePath(const QString& chosenPath)
{
    const qsizetype nameStart = std::max(chosenPath.lastIndexOf(QLatin1Char('/')),
                                         chosenPath.lastIndexOf(QLatin1Char('\\'))) +
                                1;
    const qsizetype dot = chosenPath.indexOf(QLatin1Char('.'), nameStart);
    return dot < 0 ? chosenPath : chosenPath.left(dot);
}

QString DiskSizeLabel(int sizeMB)
{
    return QStringLiteral("MB. (") + QString::number(sizeMB / 1000) + QStringLiteral(" GB)");
}

QString CreateEncryptedDiskImage(int typePosition, int sizeMB, const QString& password,
                                 const QString& basePath, QString* error)
{
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return QString();
    };
    if (DiskImageTypes::formatName(typePosition) != QLatin1String("qcow2"))
        return fail(QStringLiteral("Only Qcow2 images can be encrypted."));
    const QString fullPath = basePath + DiskImageTypes::extension(typePosition);
    const QString secret = RuntimeFolder::writePrivateFile(QStringLiteral("new-disk.secret"),
                                                           password.toUtf8(), error);
    if (secret.isEmpty())
        return {};
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    ProcessStart::apply(process, {.privateFiles = true});
    QByteArray output;
    bool done = false;
    // qemu-img times its key derivation by the processor time it took; where the system counts
    // that coarsely, a first measure of nothing fails with "Unable to get accurate CPU usage".
    for (int attempt = 0; attempt < 5 && !done; ++attempt) {
        process.start(ProgramFolder::file(QStringLiteral("qemu\\qemu-img.exe")),
                      {QStringLiteral("create"), QStringLiteral("-q"), QStringLiteral("-f"),
                       QStringLiteral("qcow2"), QStringLiteral("--object"),
                       QStringLiteral("secret,id=sec0,file=") +
                           QString(secret).replace(QLatin1Char(','), QStringLiteral(",,")),
                       QStringLiteral("-o"),
                       QStringLiteral("encrypt.format=luks,encrypt.key-secret=sec0"), fullPath,
                       QString::number(qint64(sizeMB) * 1024) + QLatin1Char('K')});
        done = process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
               process.exitCode() == 0;
        output = process.readAll();
        if (!output.contains("accurate CPU usage"))
            break;
    }
    QFile::remove(secret);
    if (!done)
        return fail(QStringLiteral("The encrypted disk image could not be created: %1")
                        .arg(QString::fromLocal8Bit(output).trimmed()));
    makePrivate(fullPath);
    return fullPath;
}

DiskEncryption EncryptionOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return DiskEncryption::None;
    const QByteArray head = file.read(40);
    if (head.size() < 40 || !head.startsWith("QFI\xfb"))
        return DiskEncryption::None;
    const auto number = [&head](int at) {
        return qFromBigEndian<quint32>(reinterpret_cast<const uchar*>(head.constData()) + at);
    };
    // The method lies at 32 in version 2 and 3 headers, at 36 in version 1's.
    const quint32 method = number(4) == 1 ? number(36) : number(32);
    if (method == 1)
        return DiskEncryption::Aes;
    return method == 2 ? DiskEncryption::Luks : DiskEncryption::None;
}
