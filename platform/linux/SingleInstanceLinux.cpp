#include "platform/SingleInstance.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

SingleInstance::SingleInstance(QString name) : m_name(std::move(name)) {}

SingleInstance::~SingleInstance()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

QString SingleInstance::lockPath() const
{
    // The runtime folder is private to the user, so other users run their own instance.
    QString folder = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (folder.isEmpty() || !QDir(folder).exists())
        folder = QDir::tempPath() + QStringLiteral("/vimor-") + QString::number(::getuid());
    return folder + QLatin1Char('/') + m_name + QStringLiteral(".lock");
}

bool SingleInstance::acquire()
{
    if (m_fd >= 0)
        return true;
    const QString path = lockPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return true; // no registry to be had: do not stop the user from working
    // The kernel drops the lock with the process, however it ends.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}
