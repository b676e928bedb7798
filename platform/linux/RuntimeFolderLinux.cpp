#include "platform/RuntimeFolder.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace RuntimeFolder {

bool ensurePrivateFolder(const QString& folder, QString* error)
{
    const QByteArray path = QFile::encodeName(folder);
    if (::mkdir(path.constData(), 0700) != 0 && errno != EEXIST) {
        if (error)
            *error = QStringLiteral("Cannot create %1: %2")
                         .arg(folder, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    // lstat, so that a link planted in place of the folder is refused rather than followed.
    struct stat info = {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        if (error)
            *error = QStringLiteral("%1 is not a folder").arg(folder);
        return false;
    }
    if (info.st_uid != ::getuid()) {
        if (error)
            *error = QStringLiteral("%1 belongs to another user").arg(folder);
        return false;
    }
    if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        if (error)
            *error = QStringLiteral("%1 may be written by other users").arg(folder);
        return false;
    }
    return true;
}

QString userFolder(QString* error)
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime;
    const QString fallback =
        QDir::tempPath() + QStringLiteral("/vimor-") + QString::number(::getuid());
    return ensurePrivateFolder(fallback, error) ? fallback : QString();
}

QString vimorFolder(QString* error)
{
    const QString user = userFolder(error);
    if (user.isEmpty())
        return {};
    const QString folder = user + QStringLiteral("/vimor");
    return ensurePrivateFolder(folder, error) ? folder : QString();
}

QString writePrivateFile(const QString& name, const QByteArray& bytes, QString* error)
{
    const QString folder = vimorFolder(error);
    if (folder.isEmpty())
        return {};
    const QString path = folder + QLatin1Char('/') + name;
    const QByteArray native = QFile::encodeName(path);
    ::unlink(native.constData());
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                          S_IRUSR | S_IWUSR);
    bool written = fd >= 0;
    for (qsizetype done = 0; written && done < bytes.size();) {
        const ssize_t put = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        written = put > 0;
        done += written ? put : 0;
    }
    if (fd >= 0)
        ::close(fd);
    if (!written) {
        ::unlink(native.constData());
        if (error)
            *error = QStringLiteral("%1 cannot be written").arg(path);
        return {};
    }
    return path;
}

} // namespace RuntimeFolder
