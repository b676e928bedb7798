#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

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
};

// The packages of a list file ("/vers.inf"), in list order; nothing when the list has no lines or
// its "items" value is not a whole number greater than 0. Lists announcing more than
// MaxListedPackages packages count as broken rather than being believed.
std::optional<QList<Package>> ParsePackageList(const QByteArray& text);
inline constexpr int MaxListedPackages = 1000;

// A file name from the list that can be used as a name in the program folder: no folder part, no
// "..", no drive, no control characters, and a name left once the extension is cut off.
bool IsSafePackageFileName(const QString& fileName);

// The folder a package installs into: the program folder and the file name without its last four
// characters, as a native absolute path; empty for a name that is not safe.
QString PackageInstallFolder(const QString& fileName);

// The server address of the list file and of a package's archive, below the base address.
QUrl PackageListUrl(const QString& baseUrl);
QUrl PackageArchiveUrl(const QString& baseUrl, const QString& fileName);

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
// a connection failure, a body shorter than announced, a stalled transfer and a file error all
// count as failure.
class HttpGet final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(HttpGet)

public:
    explicit HttpGet(QObject* parent = nullptr);
    ~HttpGet() override;

    // Milliseconds without any data after which the transfer is given up.
    void setStallTimeout(int milliseconds) { m_stallTimeout = milliseconds; }
    // Bodies kept in memory larger than this fail.
    void setMaxMemoryBytes(qint64 bytes) { m_maxMemory = bytes; }

    // sink: the open file the body goes into; null keeps it in memory (data()).
    void start(const QUrl& url, QFile* sink = nullptr);
    void abort();

    bool succeeded() const { return m_ok; }
    const QByteArray& data() const { return m_data; }
    const QString& errorText() const { return m_error; }

signals:
    void progress(qint64 received, qint64 total);
    void finished(bool ok);

private:
    void readBody();
    void finish();
    void fail(const QString& why);

    std::unique_ptr<QNetworkAccessManager> m_network;
    QNetworkReply* m_reply = nullptr;
    QFile* m_sink = nullptr;
    QByteArray m_data;
    qint64 m_received = 0;
    qint64 m_maxMemory = 1024 * 1024;
    int m_stallTimeout = 60000;
    bool m_ok = false;
    bool m_done = false;
    QString m_error;
};
