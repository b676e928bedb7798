#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class QCryptographicHash;
class QFile;
class QNetworkAccessManager;
class QNetworkReply;
class TableHandle;

// One package of the package server's list.
struct Package
{
    QString fileName;    // the archive's name on the server, "qemu-0.12.5.zip"
    QString description; // becomes the version's DESC
    QString code;        // generation code, "0", "1" or "2" (VERID)
    QString sha256;      // the archive's SHA-256 in hexadecimal, lower case; empty when not given
};

// The packages of a list file ("/vers.inf"), in list order; nothing when the list has no lines or
// its "items" value is not a whole number greater than 0. Lists announcing more than
// MaxListedPackages packages count as broken rather than being believed. "Item<i>SHA256", when
// present, gives the archive's checksum; lists without it stay readable.
std::optional<QList<Package>> ParsePackageList(const QByteArray& text);
inline constexpr int MaxListedPackages = 1000;
// Lists larger than this are not read.
inline constexpr qint64 MaxPackageListBytes = 1024 * 1024;

// True when the checksum the list gives for a package equals the archive's (hexadecimal); a
// checksum that is not 64 hexadecimal digits matches nothing.
bool MatchesPackageSha256(const Package& package, const QByteArray& archiveSha256Hex);

// A size for messages: "64 KiB", "1 MiB", "4 GiB".
QString ByteSizeText(qint64 bytes);

// A file name from the list that can be used as a name in the program folder: no folder part, no
// "..", no drive, no control characters, and a name left once the extension is cut off.
bool IsSafePackageFileName(const QString& fileName);

// The folder a package installs into: the program folder and the file name without its last four
// characters, as a native absolute path; empty for a name that is not safe.
QString PackageInstallFolder(const QString& fileName);

// The server address of the list file and of a package's archive, below the base address.
QUrl PackageListUrl(const QString& baseUrl);
QUrl PackageArchiveUrl(const QString& baseUrl, const QString& fileName);
// The https:// form of an http:// address: the same host and port, 443 where it names none or 80.
// Other addresses stay as they are.
QUrl HttpsForm(const QUrl& url);

// Appends the version row of an installed package to the version table (opened when closed).
bool AddPackageVersion(TableHandle& versions, const Package& package, const QString& installFolder,
                       QString* error = nullptr);

// Guards against archives that unpack to far more than any QEMU build needs.
struct ExtractLimits
{
    qint64 maxTotalBytes = qint64(4) * 1024 * 1024 * 1024; // all entries' contents together
    int maxEntries = 100000;
};

// Extracts every entry of a ZIP archive into folder, keeping stored folders and overwriting files.
// Entries with an absolute path, a ".." part, a name that is not UTF-8, a path through a symbolic
// link, a link pointing anywhere but below itself, or a kind other than file, folder or link refuse
// the archive, as does an archive growing past the limits; nothing is ever written outside folder.
// progress gets the archive bytes read so far and the archive's size.
bool ExtractPackage(const QString& archive, const QString& folder,
                    const std::function<void(qint64 done, qint64 total)>& progress,
                    QString* error = nullptr, const ExtractLimits& limits = {});

// An HTTP GET into memory or into a file, reporting progress and one result. An HTTP error status,
// a connection failure, a body shorter than announced, a body longer than the cap (stopped as soon
// as it is announced or has arrived that far), a stalled transfer and a file error all count as
// failure.
class HttpGet final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HttpGet)

public:
    explicit HttpGet(QObject* parent = nullptr);
    ~HttpGet() override;

    // Milliseconds without any data after which the transfer is given up.
    void setStallTimeout(int milliseconds) { m_stallTimeout = milliseconds; }
    // Bodies larger than this fail, in memory or into a file.
    void setMaxBytes(qint64 bytes) { m_maxBytes = bytes; }
    // For an http:// address, first try its https:// form (same host and port; port 443 where the
    // address names none or 80) and fall back to the address as given only when that got no HTTP
    // answer at all (nothing listening, no TLS, a certificate not trusted).
    void setPreferHttps(bool prefer) { m_preferHttps = prefer; }

    // sink: the open file the body goes into; null keeps it in memory (data()).
    void start(const QUrl& url, QFile* sink = nullptr);
    void abort();

    bool succeeded() const { return m_ok; }
    bool tooLarge() const { return m_tooLarge; }
    // The address that answered: https:// when the transfer went over TLS.
    const QUrl& url() const { return m_url; }
    bool overHttps() const { return m_url.scheme() == QLatin1String("https"); }
    const QByteArray& data() const { return m_data; }
    // The body's SHA-256 in lower-case hexadecimal, once the transfer has succeeded.
    QByteArray sha256Hex() const;
    const QString& errorText() const { return m_error; }

signals:
    void progress(qint64 received, qint64 total);
    void finished(bool ok);

private:
    void request(const QUrl& url);
    void checkLength();
    void readBody();
    void finish();
    void fail(const QString& why);
    bool exceeds(qint64 bytes);

    std::unique_ptr<QNetworkAccessManager> m_network;
    QNetworkReply* m_reply = nullptr;
    QFile* m_sink = nullptr;
    std::unique_ptr<QCryptographicHash> m_hash;
    QUrl m_url;
    QUrl m_fallback; // the plain address while its https:// form is tried
    QByteArray m_data;
    qint64 m_received = 0;
    qint64 m_maxBytes = MaxPackageListBytes;
    int m_stallTimeout = 60000;
    bool m_preferHttps = false;
    bool m_ok = false;
    bool m_done = false;
    bool m_tooLarge = false;
    QString m_error;
};
