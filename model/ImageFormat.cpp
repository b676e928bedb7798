#include "model/ImageFormat.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QtEndian>

namespace ImageFormat {

namespace {

struct NameFormat
{
    const char* suffix;
    const char* format;
};

constexpr NameFormat kByName[] = {
    {"img", "raw"},     {"raw", "raw"},   {"iso", "raw"}, {"qcow", "qcow"},
    {"qcow2", "qcow2"}, {"vmdk", "vmdk"}, {"vhd", "vpc"}, {"vpc", "vpc"},
    {"vhdx", "vhdx"},   {"vdi", "vdi"},   {"qed", "qed"},
};

// QEMU reads the first 512 bytes of an image to tell its format.
constexpr qint64 headerBytes = 512;
constexpr qsizetype vdiSignatureOffset = 64;
constexpr quint32 vdiSignature = 0xbeda107f;

// A host device is raw; a file below /dev (/dev/shm) is a file like any other.
bool isHostDevice(const QString& path)
{
    return path.startsWith(QLatin1String("/dev/")) && !QFileInfo(path).isFile();
}

} // namespace

QString ofHeader(const QByteArray& head)
{
    const auto startsWith = [&head](const char* magic, qsizetype size) {
        return head.startsWith(QByteArrayView(magic, size));
    };
    // QEMU tells qcow from qcow2 by the whole 32-bit version after the magic; other versions are
    // neither.
    if (startsWith("QFI\xfb", 4) && head.size() >= 8) {
        const quint32 version = qFromBigEndian<quint32>(head.constData() + 4);
        if (version == 1)
            return QStringLiteral("qcow");
        if (version >= 2)
            return QStringLiteral("qcow2");
        return QStringLiteral("raw");
    }
    if (startsWith("KDMV", 4) || startsWith("COWD", 4) || head.startsWith("# Disk DescriptorFile"))
        return QStringLiteral("vmdk");
    if (startsWith("conectix", 8))
        return QStringLiteral("vpc");
    // The magic's last byte is a NUL.
    if (startsWith("QED\0", 4))
        return QStringLiteral("qed");
    if (startsWith("vhdxfile", 8))
        return QStringLiteral("vhdx");
    // QEMU knows a VDI image by the signature after its 64-byte text line, not by the text, which
    // differs between the programs that write one.
    if (head.size() >= vdiSignatureOffset + 4 &&
        qFromLittleEndian<quint32>(head.constData() + vdiSignatureOffset) == vdiSignature)
        return QStringLiteral("vdi");
    return QStringLiteral("raw");
}

QString ofName(const QString& path)
{
    if (isHostDevice(path) || path.startsWith(QLatin1String("fat:")))
        return QStringLiteral("raw");
    const QString suffix = QFileInfo(path).suffix().toLower();
    for (const NameFormat& row : kByName) {
        if (suffix == QLatin1String(row.suffix))
            return QLatin1String(row.format);
    }
    return {};
}

QString ofFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("raw");
    return ofHeader(file.read(headerBytes));
}

bool containerNamedRaw(const QString& path)
{
    return ofName(path) == QLatin1String("raw") && !isHostDevice(path) &&
           !path.startsWith(QLatin1String("fat:")) && ofFile(path) != QLatin1String("raw");
}

QString whenChosen(const QString& path)
{
    const QString named = ofName(path);
    if (!named.isEmpty() && (named != QLatin1String("raw") || isHostDevice(path) ||
                             path.startsWith(QLatin1String("fat:"))))
        return named;
    // A name that says nothing, or says raw: the header, which is raw unless a container's.
    return ofFile(path);
}

QString KeyFor(const QString& valueKey)
{
    return valueKey + QStringLiteral(" Format");
}

bool isKnown(const QString& format)
{
    for (const NameFormat& row : kByName)
        if (format == QLatin1String(row.format))
            return true;
    return false;
}

} // namespace ImageFormat
