#include "model/ImageFormat.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

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

} // namespace

QString ofHeader(const QByteArray& head)
{
    if (head.startsWith("QFI\xfb") && head.size() >= 8)
        return head.at(7) == 1 ? QStringLiteral("qcow") : QStringLiteral("qcow2");
    if (head.startsWith("KDMV") || head.startsWith("# Disk DescriptorFile"))
        return QStringLiteral("vmdk");
    if (head.startsWith("conectix"))
        return QStringLiteral("vpc");
    if (head.startsWith("QED\0"))
        return QStringLiteral("qed");
    if (head.startsWith("<<< ") && head.contains("VirtualBox Disk Image"))
        return QStringLiteral("vdi");
    if (head.startsWith("vhdxfile"))
        return QStringLiteral("vhdx");
    return QStringLiteral("raw");
}

QString ofName(const QString& path)
{
    if (path.startsWith(QLatin1String("/dev/")) || path.startsWith(QLatin1String("fat:")))
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
    return ofHeader(file.read(64));
}

bool containerNamedRaw(const QString& path)
{
    return ofName(path) == QLatin1String("raw") && !path.startsWith(QLatin1String("/dev/")) &&
           !path.startsWith(QLatin1String("fat:")) && ofFile(path) != QLatin1String("raw");
}

QString whenChosen(const QString& path)
{
    const QString named = ofName(path);
    if (named.isEmpty() || containerNamedRaw(path))
        return ofFile(path);
    return named;
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
