#include "model/ApprovedValues.h"

#include "model/VMFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace ApprovedValues {

namespace {

// One line per approval: the hex SHA-256 of the VM's identity, the key and the value.
QByteArray recordOf(const QString& vmFile, const QString& section, const QString& key,
                    const QString& value)
{
    QString identity = ReadVMFileValue(vmFile, QStringLiteral("General"), QStringLiteral("VMID"));
    if (identity.isEmpty())
        identity = QFileInfo(vmFile).absoluteFilePath();
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const QString& part : {identity, section, key, value}) {
        const QByteArray bytes = part.toUtf8();
        // Lengths first, so that no two different lists of parts hash alike.
        hash.addData(QByteArray(QByteArray::number(bytes.size()) + ':'));
        hash.addData(bytes);
    }
    return hash.result().toHex();
}

QByteArray readStore()
{
    QFile file(storePath());
    // A store damaged or grown beyond reason approves nothing; writing it again starts afresh.
    if (!file.open(QIODevice::ReadOnly) || file.size() > 16 * 1024 * 1024)
        return {};
    return file.readAll();
}

} // namespace

bool isWatched(const QString& section, const QString& key)
{
    if (section == QLatin1String("Advanced"))
        return key == QLatin1String("OptionalString");
    if (section == QLatin1String("Drives")) {
        static const QStringList drives = {QStringLiteral("HDA"),    QStringLiteral("HDB"),
                                           QStringLiteral("HDC"),    QStringLiteral("HDD"),
                                           QStringLiteral("CDROM"),  QStringLiteral("FloppyA"),
                                           QStringLiteral("FloppyB")};
        return drives.contains(key);
    }
    if (section.startsWith(QLatin1String("USB Device ")))
        return key == QLatin1String("DrivePath");
    if (section.startsWith(QLatin1String("Serial Port ")))
        return key == QLatin1String("Serial");
    if (section.startsWith(QLatin1String("Parallel Port ")))
        return key == QLatin1String("Parallel");
    return false;
}

QString storePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/vimor/approved-values");
}

bool isApproved(const QString& vmFile, const QString& section, const QString& key,
                const QString& value)
{
    const QByteArray record = recordOf(vmFile, section, key, value);
    const QByteArray store = readStore();
    return store.split('\n').contains(record);
}

bool approve(const QString& vmFile, const QString& section, const QString& key,
             const QString& value)
{
    if (value.isEmpty() || isApproved(vmFile, section, key, value))
        return true;
    const QString path = storePath();
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder))
        return false;
    QFile::setPermissions(folder,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QByteArray store = readStore();
    if (!store.isEmpty() && !store.endsWith('\n'))
        store += '\n';
    store += recordOf(vmFile, section, key, value) + '\n';
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return file.write(store) == store.size() && file.commit();
}

} // namespace ApprovedValues
