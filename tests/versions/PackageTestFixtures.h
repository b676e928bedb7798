#pragma once

// A package server on 127.0.0.1 answering HTTP/1.1 by hand, and ZIP archives made with
// libarchive's writer, for the package tests.

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryFile>

#include <archive.h>
#include <archive_entry.h>
#include <memory>

struct ServedFile
{
    enum Mode
    {
        Whole,
        CloseHalfway, // sends half the announced body, then hangs up
        StallHalfway, // sends half the announced body, then goes quiet
        NoLength      // sends the whole body without announcing its length
    };
    int status = 200;
    QByteArray body;
    Mode mode = Whole;
};

class PackageServer final
{
public:
    PackageServer()
    {
        m_server.listen(QHostAddress::LocalHost);
        QObject::connect(&m_server, &QTcpServer::newConnection, &m_server, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                serve(socket);
        });
    }

    QString baseUrl() const
    {
        return QStringLiteral("http://127.0.0.1:%1").arg(m_server.serverPort());
    }
    void put(const QByteArray& path, const ServedFile& file) { m_files.insert(path, file); }
    int requests(const QByteArray& path) const { return m_requests.value(path); }

private:
    void serve(QTcpSocket* socket)
    {
        auto request = std::make_shared<QByteArray>();
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, request] {
            *request += socket->readAll();
            // Not HTTP (the TLS hello of an https:// attempt): hang up, as a plain server does.
            if (!QByteArray("GET ").startsWith(request->left(4))) {
                socket->abort();
                return;
            }
            if (!request->contains("\r\n\r\n"))
                return;
            const QList<QByteArray> words = request->left(request->indexOf("\r\n")).split(' ');
            const QByteArray path = words.size() > 1 ? words.at(1) : QByteArray();
            request->clear();
            ++m_requests[path];
            const ServedFile file =
                m_files.value(path, ServedFile{404, "not here", ServedFile::Whole});
            const QByteArray reason = file.status == 200 ? "OK" : "Not Found";
            QByteArray head = "HTTP/1.1 " + QByteArray::number(file.status) + ' ' + reason +
                              "\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                              QByteArray::number(file.body.size()) +
                              "\r\nConnection: close\r\n\r\n";
            if (file.mode == ServedFile::NoLength)
                head = "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n";
            if (file.mode == ServedFile::Whole || file.mode == ServedFile::NoLength) {
                socket->write(head + file.body);
                socket->disconnectFromHost();
                return;
            }
            socket->write(head + file.body.left(file.body.size() / 2));
            socket->flush();
            if (file.mode == ServedFile::CloseHalfway)
                socket->disconnectFromHost();
        });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }

    QTcpServer m_server;
    QHash<QByteArray, ServedFile> m_files;
    QHash<QByteArray, int> m_requests;
};

struct ZipEntry
{
    enum Kind
    {
        File,
        Folder,
        Link
    };
    QByteArray path;
    QByteArray content;
    Kind kind = File;
    QByteArray target;    // of a link
    qint64 zeroBytes = 0; // a file of that many zero bytes instead of content
};

// A ZIP archive holding the entries, in order; empty when libarchive refused to write it.
inline QByteArray MakeZip(const QList<ZipEntry>& entries)
{
    QTemporaryFile file;
    if (!file.open())
        return {};
    archive* zip = archive_write_new();
    archive_write_set_format_zip(zip);
    if (archive_write_open_filename(zip, QFile::encodeName(file.fileName()).constData()) !=
        ARCHIVE_OK) {
        archive_write_free(zip);
        return {};
    }
    bool ok = true;
    for (const ZipEntry& item : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, item.path.constData());
        if (item.kind == ZipEntry::Folder) {
            archive_entry_set_filetype(entry, AE_IFDIR);
            archive_entry_set_perm(entry, 0755);
        } else if (item.kind == ZipEntry::Link) {
            archive_entry_set_filetype(entry, AE_IFLNK);
            archive_entry_set_perm(entry, 0777);
            archive_entry_set_symlink(entry, item.target.constData());
        } else {
            archive_entry_set_filetype(entry, AE_IFREG);
            archive_entry_set_perm(entry, 0644);
            archive_entry_set_size(entry, item.zeroBytes ? item.zeroBytes : item.content.size());
        }
        ok = ok && archive_write_header(zip, entry) == ARCHIVE_OK;
        if (item.kind == ZipEntry::File && ok) {
            if (item.zeroBytes) {
                const QByteArray zeros(1024 * 1024, '\0');
                for (qint64 left = item.zeroBytes; left > 0 && ok; left -= zeros.size())
                    ok = archive_write_data(zip, zeros.constData(),
                                            size_t(qMin<qint64>(left, zeros.size()))) > 0;
            } else if (!item.content.isEmpty()) {
                ok = archive_write_data(zip, item.content.constData(),
                                        size_t(item.content.size())) == item.content.size();
            }
        }
        archive_entry_free(entry);
    }
    ok = archive_write_close(zip) == ARCHIVE_OK && ok;
    archive_write_free(zip);
    if (!ok)
        return {};
    file.seek(0);
    return file.readAll();
}
