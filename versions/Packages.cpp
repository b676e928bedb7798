#include "versions/Packages.h"

#include "model/ProgramFolder.h"
#include "model/TableHandle.h"
#include "model/VMFile.h"
#include "platform/LoadedLibrary.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QRegularExpression>
#include <QStringList>

#include <archive.h>
#include <archive_entry.h>

// ---------------------------------------------------------------------------------------------
// The package list

namespace {

QStringList listLines(const QByteArray& text)
{
    QString all = QString::fromUtf8(text);
    all.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    all.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = all.split(QLatin1Char('\n'));
    // The break after the last line starts no line of its own.
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

// The value of the first line whose name, directly followed by "=", matches in any letter case.
QString listValue(const QStringList& lines, const QString& name)
{
    for (const QString& line : lines) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals >= 0 && QStringView(line).left(equals).compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(equals + 1);
    }
    return {};
}

bool isDigits(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}

} // namespace

std::optional<QList<Package>> ParsePackageList(const QByteArray& text)
{
    const QStringList lines = listLines(text);
    if (lines.isEmpty())
        return std::nullopt;
    const QString items = listValue(lines, QStringLiteral("items")).trimmed();
    bool ok = false;
    const int count = items.toInt(&ok);
    if (!isDigits(items) || !ok || count <= 0 || count > MaxListedPackages)
        return std::nullopt;
    QList<Package> packages;
    packages.reserve(count);
    for (int i = 1; i <= count; ++i) {
        const QString item = QStringLiteral("Item") + QString::number(i);
        packages.append({listValue(lines, item), listValue(lines, item + QStringLiteral("Desc")),
                         listValue(lines, item + QStringLiteral("Ver")),
                         listValue(lines, item + QStringLiteral("SHA256")).trimmed().toLower()});
    }
    return packages;
}

bool MatchesPackageSha256(const Package& package, const QByteArray& archiveSha256Hex)
{
    static const QRegularExpression hex(QStringLiteral("^[0-9a-f]{64}$"));
    return hex.match(package.sha256).hasMatch() &&
           package.sha256 == QString::fromLatin1(archiveSha256Hex).toLower();
}

QString ByteSizeText(qint64 bytes)
{
    return QLocale::c().formattedDataSize(bytes, 0, QLocale::DataSizeIecFormat);
}

bool IsSafePackageFileName(const QString& fileName)
{
    if (fileName.size() <= 4 || fileName.contains(QStringLiteral("..")))
        return false;
    for (const QChar c : fileName) {
        if (c == QLatin1Char('/') || c == QLatin1Char('\\') || c == QLatin1Char(':') ||
            c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    }
    // Without a name left the package would unpack over the program folder itself.
    const QString stem = fileName.left(fileName.size() - 4).trimmed();
    return !stem.isEmpty() && stem != QStringLiteral(".");
}

QString PackageInstallFolder(const QString& fileName)
{
    if (!IsSafePackageFileName(fileName))
        return {};
    return QDir::toNativeSeparators(ProgramFolder::path() + QLatin1Char('/') +
                                    fileName.left(fileName.size() - 4));
}

QUrl PackageListUrl(const QString& baseUrl)
{
    return QUrl(baseUrl + QStringLiteral("/vers.inf"));
}

QUrl PackageArchiveUrl(const QString& baseUrl, const QString& fileName)
{
    QUrl url(baseUrl + QLatin1Char('/'));
    // Decoded mode escapes what a file name may hold but a path may not ("#", "?", blanks).
    url.setPath(url.path(QUrl::FullyDecoded) + fileName, QUrl::DecodedMode);
    return url;
}

QUrl HttpsForm(const QUrl& url)
{
    if (url.scheme() != QLatin1String("http"))
        return url;
    QUrl secure = url;
    secure.setScheme(QStringLiteral("https"));
    if (url.port() == 80)
        secure.setPort(-1);
    return secure;
}

bool AddPackageVersion(TableHandle& versions, const Package& package, const QString& installFolder,
                       QString* error)
{
    if (!versions.isOpen() && !versions.open(error))
        return false;
    const QString yes = QStringLiteral("Yes");
    const QString no = QStringLiteral("No");
    versions.insert();
    versions.setFieldValue(QStringLiteral("ID"), RandomId(50));
    versions.setFieldValue(QStringLiteral("DESC"), package.description);
    versions.setFieldValue(QStringLiteral("PATH"), installFolder);
    static const QStringList generations = {QStringLiteral("QEMU 0.12 and above"),
                                            QStringLiteral("QEMU 0.11.x"),
                                            QStringLiteral("QEMU 0.10.x")};
    // Only the three known codes fill the flags; any other leaves the row bare.
    const int generation = static_cast<int>(
        QStringList{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2")}.indexOf(
            package.code));
    if (generation >= 0) {
        const bool newest = generation == 0;
        versions.setFieldValue(QStringLiteral("VERSION"), generations.at(generation));
        versions.setFieldValue(QStringLiteral("VERID"), package.code);
        versions.setFieldValue(QStringLiteral("KQEMU"), newest ? no : yes);
        versions.setFieldValue(QStringLiteral("USB"), yes);
        versions.setFieldValue(QStringLiteral("INT"), yes);
        versions.setFieldValue(QStringLiteral("FMOD"), no);
        versions.setFieldValue(QStringLiteral("CONSOLE"), newest ? no : yes);
        versions.setFieldValue(QStringLiteral("BT"), yes);
        versions.setFieldValue(QStringLiteral("DEFAULT"), no);
    }
    return versions.post(error);
}

// ---------------------------------------------------------------------------------------------
// Extraction

namespace {

bool refuse(QString* error, const QString& why)
{
    if (error)
        *error = why;
    return false;
}

QString entryName(const QByteArray& path)
{
    return QFile::decodeName(path);
}

// A path that can only name something below the folder it is taken from: relative, no drive, no
// ".." part. Both separators count, as packages are made on a desktop that takes either.
bool staysBelow(const QByteArray& path)
{
    if (path.isEmpty() || path.startsWith('/') || path.startsWith('\\'))
        return false;
    if (path.size() >= 2 && path.at(1) == ':')
        return false;
    QByteArray parts = path;
    parts.replace('\\', '/');
    for (const QByteArray& part : parts.split('/'))
        if (part == "..")
            return false;
    return true;
}

// True when a folder on the way to the entry (not the entry itself, which is replaced) is a
// symbolic link: writing through it could land anywhere.
bool passesThroughLink(const QString& folder, const QByteArray& path)
{
    const QList<QByteArray> parts = path.split('/');
    QString current = folder;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        if (parts.at(i).isEmpty() || parts.at(i) == ".")
            continue;
        current += QLatin1Char('/') + QFile::decodeName(parts.at(i));
        const QFileInfo info(current);
        if (info.isSymLink())
            return true;
        if (!info.exists())
            return false;
    }
    return false;
}

// libarchive, with the XML and compression libraries it brings, is loaded when the first package
// is installed: linked into the program they would be mapped and relocated at each of its starts.
struct ArchiveLibrary
{
    decltype(&::archive_read_new) archive_read_new = nullptr;
    decltype(&::archive_read_free) archive_read_free = nullptr;
    decltype(&::archive_write_disk_new) archive_write_disk_new = nullptr;
    decltype(&::archive_write_free) archive_write_free = nullptr;
    decltype(&::archive_error_string) archive_error_string = nullptr;
    decltype(&::archive_read_support_format_zip) archive_read_support_format_zip = nullptr;
    decltype(&::archive_read_open_filename) archive_read_open_filename = nullptr;
    decltype(&::archive_write_disk_set_options) archive_write_disk_set_options = nullptr;
    decltype(&::archive_read_next_header) archive_read_next_header = nullptr;
    decltype(&::archive_entry_pathname) archive_entry_pathname = nullptr;
    decltype(&::archive_entry_set_pathname) archive_entry_set_pathname = nullptr;
    decltype(&::archive_entry_hardlink) archive_entry_hardlink = nullptr;
    decltype(&::archive_entry_filetype) archive_entry_filetype = nullptr;
    decltype(&::archive_entry_symlink) archive_entry_symlink = nullptr;
    decltype(&::archive_entry_size_is_set) archive_entry_size_is_set = nullptr;
    decltype(&::archive_entry_size) archive_entry_size = nullptr;
    decltype(&::archive_write_header) archive_write_header = nullptr;
    decltype(&::archive_read_data_block) archive_read_data_block = nullptr;
    decltype(&::archive_write_data_block) archive_write_data_block = nullptr;
    decltype(&::archive_filter_bytes) archive_filter_bytes = nullptr;
    decltype(&::archive_write_finish_entry) archive_write_finish_entry = nullptr;
    decltype(&::archive_write_close) archive_write_close = nullptr;
    QString error; // why it could not be loaded; empty when it was

    // Loaded once for the life of the program; never unloaded.
    static const ArchiveLibrary& get();
};

const ArchiveLibrary& ArchiveLibrary::get()
{
    static const ArchiveLibrary loaded = [] {
        ArchiveLibrary archive;
        QLibrary library(QStringLiteral("archive"), 13);
        const bool all =
            library.load() &&
            LoadedLibrary::resolve(library, "archive_read_new", archive.archive_read_new) &&
            LoadedLibrary::resolve(library, "archive_read_free", archive.archive_read_free) &&
            LoadedLibrary::resolve(library, "archive_write_disk_new",
                                   archive.archive_write_disk_new) &&
            LoadedLibrary::resolve(library, "archive_write_free", archive.archive_write_free) &&
            LoadedLibrary::resolve(library, "archive_error_string", archive.archive_error_string) &&
            LoadedLibrary::resolve(library, "archive_read_support_format_zip",
                                   archive.archive_read_support_format_zip) &&
            LoadedLibrary::resolve(library, "archive_read_open_filename",
                                   archive.archive_read_open_filename) &&
            LoadedLibrary::resolve(library, "archive_write_disk_set_options",
                                   archive.archive_write_disk_set_options) &&
            LoadedLibrary::resolve(library, "archive_read_next_header",
                                   archive.archive_read_next_header) &&
            LoadedLibrary::resolve(library, "archive_entry_pathname",
                                   archive.archive_entry_pathname) &&
            LoadedLibrary::resolve(library, "archive_entry_set_pathname",
                                   archive.archive_entry_set_pathname) &&
            LoadedLibrary::resolve(library, "archive_entry_hardlink",
                                   archive.archive_entry_hardlink) &&
            LoadedLibrary::resolve(library, "archive_entry_filetype",
                                   archive.archive_entry_filetype) &&
            LoadedLibrary::resolve(library, "archive_entry_symlink",
                                   archive.archive_entry_symlink) &&
            LoadedLibrary::resolve(library, "archive_entry_size_is_set",
                                   archive.archive_entry_size_is_set) &&
            LoadedLibrary::resolve(library, "archive_entry_size", archive.archive_entry_size) &&
            LoadedLibrary::resolve(library, "archive_write_header", archive.archive_write_header) &&
            LoadedLibrary::resolve(library, "archive_read_data_block",
                                   archive.archive_read_data_block) &&
            LoadedLibrary::resolve(library, "archive_write_data_block",
                                   archive.archive_write_data_block) &&
            LoadedLibrary::resolve(library, "archive_filter_bytes", archive.archive_filter_bytes) &&
            LoadedLibrary::resolve(library, "archive_write_finish_entry",
                                   archive.archive_write_finish_entry) &&
            LoadedLibrary::resolve(library, "archive_write_close", archive.archive_write_close);
        if (!all)
            archive.error = library.errorString();
        return archive;
    }();
    return loaded;
}

struct ReadArchive
{
    explicit ReadArchive(const ArchiveLibrary& library) : lib(library) {}
    ~ReadArchive() { lib.archive_read_free(a); }
    const ArchiveLibrary& lib;
    archive* a = lib.archive_read_new();
};

struct WriteDisk
{
    explicit WriteDisk(const ArchiveLibrary& library) : lib(library) {}
    ~WriteDisk() { lib.archive_write_free(a); }
    const ArchiveLibrary& lib;
    archive* a = lib.archive_write_disk_new();
};

// The writer resolves entry paths against the current folder; it is the install folder while the
// archive unpacks and is put back afterwards.
struct CurrentFolder
{
    QString previous = QDir::currentPath();
    ~CurrentFolder() { QDir::setCurrent(previous); }
};

QString archiveError(const ArchiveLibrary& lib, archive* a)
{
    const char* text = lib.archive_error_string(a);
    return text ? QString::fromLocal8Bit(text) : QStringLiteral("archive error");
}

} // namespace

bool ExtractPackage(const QString& archivePath, const QString& folder,
                    const std::function<void(qint64 done, qint64 total)>& progress, QString* error,
                    const ExtractLimits& limits)
{
    const QString root = QFileInfo(folder).absoluteFilePath();
    if (!QFileInfo(root).isDir())
        return refuse(error, QStringLiteral("no folder %1").arg(root));
    const qint64 archiveSize = QFileInfo(archivePath).size();

    const ArchiveLibrary& lib = ArchiveLibrary::get();
    if (!lib.error.isEmpty())
        return refuse(error, lib.error);
    ReadArchive in(lib);
    lib.archive_read_support_format_zip(in.a);
    if (lib.archive_read_open_filename(in.a, QFile::encodeName(archivePath).constData(), 65536) !=
        ARCHIVE_OK)
        return refuse(error, archiveError(lib, in.a));

    WriteDisk out(lib);
    lib.archive_write_disk_set_options(
        out.a, ARCHIVE_EXTRACT_TIME | ARCHIVE_EXTRACT_SECURE_SYMLINKS |
                   ARCHIVE_EXTRACT_SECURE_NODOTDOT | ARCHIVE_EXTRACT_SECURE_NOABSOLUTEPATHS);
    CurrentFolder restore;
    if (!QDir::setCurrent(root))
        return refuse(error, QStringLiteral("cannot enter %1").arg(root));

    qint64 written = 0;
    int entries = 0;
    if (progress)
        progress(0, archiveSize);
    for (;;) {
        archive_entry* entry = nullptr;
        const int header = lib.archive_read_next_header(in.a, &entry);
        if (header == ARCHIVE_EOF)
            break;
        if (header < ARCHIVE_WARN)
            return refuse(error, archiveError(lib, in.a));
        if (++entries > limits.maxEntries)
            return refuse(error, QStringLiteral("more than %1 entries").arg(limits.maxEntries));

        const char* rawName = lib.archive_entry_pathname(entry);
        QByteArray path = rawName ? QByteArray(rawName) : QByteArray();
        if (!staysBelow(path))
            return refuse(error, QStringLiteral("unsafe entry %1").arg(entryName(path)));
        // A name that does not read back as the same bytes (not UTF-8) could not be named again:
        // the folder would stay behind when the version is removed.
        if (QFile::encodeName(entryName(path)) != path)
            return refuse(error, QStringLiteral("unreadable entry name %1").arg(entryName(path)));
        path.replace('\\', '/');
        lib.archive_entry_set_pathname(entry, path.constData());
        if (passesThroughLink(root, path))
            return refuse(error, QStringLiteral("entry through a link %1").arg(entryName(path)));
        if (lib.archive_entry_hardlink(entry))
            return refuse(error, QStringLiteral("hard link %1").arg(entryName(path)));
        const auto type = lib.archive_entry_filetype(entry);
        if (type == AE_IFLNK) {
            const char* target = lib.archive_entry_symlink(entry);
            // Only links that point down from where they stand keep every path inside the folder.
            if (!target || !staysBelow(QByteArray(target)))
                return refuse(error, QStringLiteral("unsafe link %1").arg(entryName(path)));
        } else if (type != AE_IFREG && type != AE_IFDIR) {
            return refuse(error, QStringLiteral("unsupported entry %1").arg(entryName(path)));
        }
        if (lib.archive_entry_size_is_set(entry) &&
            lib.archive_entry_size(entry) > limits.maxTotalBytes - written)
            return refuse(error, QStringLiteral("package too large"));

        if (lib.archive_write_header(out.a, entry) < ARCHIVE_WARN)
            return refuse(error, archiveError(lib, out.a));
        for (;;) {
            const void* block = nullptr;
            size_t size = 0;
            la_int64_t offset = 0;
            const int read = lib.archive_read_data_block(in.a, &block, &size, &offset);
            if (read == ARCHIVE_EOF)
                break;
            if (read != ARCHIVE_OK)
                return refuse(error, archiveError(lib, in.a));
            // Counted as it unpacks: the sizes an archive announces need not be true.
            written += qint64(size);
            if (written > limits.maxTotalBytes)
                return refuse(error, QStringLiteral("package too large"));
            if (lib.archive_write_data_block(out.a, block, size, offset) != ARCHIVE_OK)
                return refuse(error, archiveError(lib, out.a));
            if (progress)
                progress(lib.archive_filter_bytes(in.a, -1), archiveSize);
        }
        if (lib.archive_write_finish_entry(out.a) < ARCHIVE_WARN)
            return refuse(error, archiveError(lib, out.a));
    }
    if (lib.archive_write_close(out.a) < ARCHIVE_WARN)
        return refuse(error, archiveError(lib, out.a));
    if (progress)
        progress(archiveSize, archiveSize);
    return true;
}

// ---------------------------------------------------------------------------------------------
// HTTP

HttpGet::HttpGet(QObject* parent)
    : QObject(parent), m_network(std::make_unique<QNetworkAccessManager>())
{}

HttpGet::~HttpGet()
{
    abort();
}

void HttpGet::start(const QUrl& url, QFile* sink)
{
    abort();
    m_sink = sink;
    m_fallback.clear();
    m_ok = false;
    m_done = false;
    m_tooLarge = false;
    m_error.clear();
    if (m_preferHttps && url.scheme() == QLatin1String("http"))
        m_fallback = url;
    request(m_preferHttps ? HttpsForm(url) : url);
}

void HttpGet::request(const QUrl& url)
{
    m_url = url;
    m_data.clear();
    m_received = 0;
    m_hash = std::make_unique<QCryptographicHash>(QCryptographicHash::Sha256);
    QNetworkRequest request(url);
    // A server without TLS is told apart from a slow one sooner than a stalled transfer.
    request.setTransferTimeout(m_fallback.isEmpty() ? m_stallTimeout : qMin(m_stallTimeout, 10000));
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &HttpGet::checkLength);
    connect(m_reply, &QNetworkReply::readyRead, this, &HttpGet::readBody);
    connect(m_reply, &QNetworkReply::downloadProgress, this,
            [this](qint64 received, qint64 total) { emit progress(received, total); });
    connect(m_reply, &QNetworkReply::finished, this, &HttpGet::finish);
}

QByteArray HttpGet::sha256Hex() const
{
    return m_hash ? m_hash->result().toHex() : QByteArray();
}

bool HttpGet::exceeds(qint64 bytes)
{
    if (bytes <= m_maxBytes)
        return false;
    m_tooLarge = true;
    fail(QStringLiteral("larger than %1").arg(ByteSizeText(m_maxBytes)));
    return true;
}

void HttpGet::checkLength()
{
    // An announced length over the cap is refused before any of the body is taken.
    const QVariant length =
        m_reply ? m_reply->header(QNetworkRequest::ContentLengthHeader) : QVariant();
    if (length.isValid() && m_error.isEmpty())
        exceeds(length.toLongLong());
}

void HttpGet::abort()
{
    if (!m_reply)
        return;
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->disconnect(this);
    reply->abort();
    reply->deleteLater();
}

void HttpGet::readBody()
{
    if (!m_reply || !m_reply->isOpen() || !m_error.isEmpty())
        return;
    const QByteArray chunk = m_reply->readAll();
    m_received += chunk.size();
    if (exceeds(m_received))
        return;
    m_hash->addData(chunk);
    if (m_sink) {
        if (m_sink->write(chunk) != chunk.size())
            fail(QStringLiteral("cannot write %1").arg(m_sink->fileName()));
        return;
    }
    m_data += chunk;
}

void HttpGet::fail(const QString& why)
{
    m_error = why;
    // Aborting finishes the reply, which reports the failure.
    if (m_reply)
        m_reply->abort();
}

void HttpGet::finish()
{
    if (m_done || !m_reply)
        return;
    readBody();
    QNetworkReply* reply = m_reply;
    m_reply = nullptr;
    reply->deleteLater();

    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (!m_fallback.isEmpty() && status == 0 && m_received == 0 && m_error.isEmpty()) {
        // No HTTP answer over TLS: the server offers no HTTPS, so the address as given is used.
        const QUrl plain = m_fallback;
        m_fallback.clear();
        request(plain);
        return;
    }
    m_done = true;
    m_url = reply->url();
    if (m_error.isEmpty() && reply->error() != QNetworkReply::NoError)
        m_error = reply->errorString();
    if (m_error.isEmpty() && (status < 200 || status > 299))
        m_error = QStringLiteral("HTTP status %1").arg(status);
    // A body cut short must not pass for the whole file. Compressed bodies arrive decoded, so
    // their announced length says nothing about what was received.
    const QVariant length = reply->header(QNetworkRequest::ContentLengthHeader);
    if (m_error.isEmpty() && length.isValid() && !reply->hasRawHeader("Content-Encoding") &&
        length.toLongLong() != m_received)
        m_error =
            QStringLiteral("received %1 of %2 bytes").arg(m_received).arg(length.toLongLong());
    if (m_error.isEmpty() && m_sink && !m_sink->flush())
        m_error = QStringLiteral("cannot write %1").arg(m_sink->fileName());
    m_ok = m_error.isEmpty();
    emit finished(m_ok);
}
