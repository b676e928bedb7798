#pragma once

#include <QDir>
#include <QFile>
#include <QStringList>

// The TCP addresses a process listens on, as /proc/net/tcp and tcp6 write them (127.0.0.1:5901 is
// "0100007F:170D"): the listening rows whose inode is one of the process's sockets.
inline QStringList tcpListeners(qint64 pid)
{
    QStringList sockets, found;
    const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
    for (const QFileInfo& fd : fds.entryInfoList(QDir::System | QDir::NoDotAndDotDot))
        sockets.append(fd.symLinkTarget().section(QLatin1Char('/'), -1)); // "socket:[inode]"
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file(QString::fromLatin1(table));
        for (const QByteArray& row :
             file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>()) {
            const QList<QByteArray> fields = row.simplified().split(' ');
            if (fields.size() > 9 && fields.at(3) == "0A" &&
                sockets.contains(QStringLiteral("socket:[%1]").arg(QLatin1String(fields.at(9)))))
                found.append(QString::fromLatin1(fields.at(1)));
        }
    }
    found.sort();
    return found;
}
