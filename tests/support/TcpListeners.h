#pragma once

#include <QDir>
#include <QFile>
#include <QSet>
#include <QString>
#include <QStringList>

#include <unistd.h>

// The TCP sockets a process listens on, as /proc/net/tcp and tcp6 write their addresses
// ("0100007F:170D" is 127.0.0.1:5901): the listening entries whose inode is one of the process's
// open sockets.
inline QStringList tcpListeners(qint64 pid)
{
    QSet<QByteArray> inodes;
    const QString fds = QStringLiteral("/proc/%1/fd/").arg(pid);
    for (const QString& fd : QDir(fds).entryList(QDir::System | QDir::NoDotAndDotDot)) {
        char target[64] = {};
        const ssize_t size =
            ::readlink(QFile::encodeName(fds + fd).constData(), target, sizeof target - 1);
        const QByteArray link(target, size > 0 ? int(size) : 0);
        if (link.startsWith("socket:["))
            inodes.insert(link.mid(8, link.size() - 9));
    }
    QStringList listening;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file(QString::fromLatin1(table));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QList<QByteArray> fields = line.simplified().split(' ');
            if (fields.size() > 9 && fields.at(3) == "0A" && inodes.contains(fields.at(9)))
                listening.append(QString::fromLatin1(fields.at(1)));
        }
    }
    return listening;
}

// An address of /proc/net/tcp for 127.0.0.1 and a port.
inline QString loopbackEntry(int port)
{
    return QStringLiteral("0100007F:%1").arg(port, 4, 16, QLatin1Char('0')).toUpper();
}
