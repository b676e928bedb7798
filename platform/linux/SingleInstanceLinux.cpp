#include "platform/RuntimeFolder.h"
#include "platform/SingleInstance.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

SingleInstance::SingleInstance(QString name) : m_name(std::move(name)) {}

SingleInstance::~SingleInstance()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString SingleInstance::lockPath(QString* error) const
{
    // The runtime folder is private to the user, so other users run their own instance and
    // cannot take this user's lock.
    const QString folder = RuntimeFolder::userFolder(error);
    return folder.isEmpty() ? QString()
                            : folder + QLatin1Char('/') + m_name + QStringLiteral(".lock");
}

SingleInstance::Result SingleInstance::acquire(QString* error)
{
    if (m_fd >= 0)
        return Result::Registered;
    const QString path = lockPath(error);
    if (path.isEmpty())
        return Result::Refused;
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == ELOOP) {
            if (error)
                *error = QStringLiteral("%1 is a link").arg(path);
            return Result::Refused;
        }
        return Result::Registered; // no registry to be had: do not stop the user from working
    }
    struct stat info = {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::getuid()) {
        ::close(fd);
        if (error)
            *error = QStringLiteral("%1 is not a file of this user").arg(path);
        return Result::Refused;
    }
    // The kernel drops the lock with the process, however it ends.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return Result::AlreadyRunning;
    }
    m_fd = fd;
    return Result::Registered;
}
