#include "platform/FileSystem.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <fcntl.h>
#include <unistd.h>

namespace FileSystem {

bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error)
{
    QSaveFile file(path);
    // A rename over the old file keeps it whole; writing straight into it could leave half a file.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    if (file.write(data) != data.size()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    // A small file may still sit in the write buffer, and commit() does not notice when writing
    // it out fails (a full disk): flush first and check.
    if (!file.flush()) {
        if (error)
            *error = file.errorString();
        file.cancelWriting();
        return false;
    }
    // commit() flushes the new file to disk before renaming it over the old one.
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    syncFolder(QFileInfo(path).absolutePath());
    return true;
}

bool syncFolder(const QString& folder)
{
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

QString nativePath(const QString& storedPath)
{
    QString path = storedPath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::toNativeSeparators(path);
}

} // namespace FileSystem
