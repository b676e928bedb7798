#include "platform/RuntimeFolder.h"

#include <QDir>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
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
    // Opened without following a link, so that a link planted in place of the folder is refused,
    // and checked and tightened through the one descriptor, so nothing is swapped in between.
    const int fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info = {};
    const bool folderOpened = fd >= 0 && ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode);
    QString refusal;
    if (!folderOpened)
        refusal = QStringLiteral("%1 is not a folder").arg(folder);
    else if (info.st_uid != ::getuid())
        refusal = QStringLiteral("%1 belongs to another user").arg(folder);
    else if ((info.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        refusal = QStringLiteral("%1 may be written by other users").arg(folder);
    // A folder of ours that others may only look into (an older release made them 0755) is
    // closed to them from now on.
    else if ((info.st_mode & 077) != 0 && ::fchmod(fd, 0700) != 0)
        refusal = QStringLiteral("%1 cannot be made private").arg(folder);
    if (fd >= 0)
        ::close(fd);
    if (error && !refusal.isEmpty())
        *error = refusal;
    return refusal.isEmpty();
}

QString userFolder(QString* error)
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime;
    const QString fallback =
        QDir::tempPath() + QStringLiteral("/vimor-") + QString::number(::getuid());
    // Once the usual name was found taken, the fresh folder serves the rest of the run: the
    // sockets of the VMs started in it are found there.
    static QMutex lock;
    static QString taken;
    static QString fresh;
    const QMutexLocker locked(&lock);
    if (fallback == taken && ensurePrivateFolder(fresh))
        return fresh;
    QString why;
    if (ensurePrivateFolder(fallback, &why))
        return fallback;
    // Anyone may make "/tmp/vimor-<uid>" before this user does; a folder under a random name,
    // made here, cannot have been.
    QByteArray pattern = QFile::encodeName(fallback + QStringLiteral("-XXXXXX"));
    if (::mkdtemp(pattern.data()) == nullptr) {
        if (error)
            *error = QStringLiteral("%1, and no private folder can be made beside it: %2")
                         .arg(why, QString::fromLocal8Bit(std::strerror(errno)));
        return {};
    }
    taken = fallback;
    fresh = QFile::decodeName(pattern);
    std::fprintf(stderr, "vimor: %s; using the private folder %s instead\n", qPrintable(why),
                 pattern.constData());
    return fresh;
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
