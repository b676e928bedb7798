#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

class QNetworkAccessManager;
class QNetworkReply;

// The update file the update server publishes: lines of the form name=value.
class UpdateFile final
{
public:
    UpdateFile() = default;
    static UpdateFile parse(const QByteArray& text);

    // True when the file has no lines at all (an empty reply or a failed fetch).
    bool isEmpty() const { return m_lines.isEmpty(); }
    // Everything after the first "=" of the first line whose name matches without regard to case;
    // empty when no line has that name.
    QString value(const QString& name) const;
    // "Version" as a number: 0 when missing, nullopt when it is not a finite number.
    std::optional<double> version() const;
    // The update dialog's version line: "Details", or "Version " and the version number.
    QString versionLine() const;
    // True when "Version" is a number greater than the installed version.
    bool isNewerThan(double installedVersion) const;
    // "URL" when it is a web address (http or https, with a host); nothing otherwise, so that no
    // other handler of the desktop (files, programs) is ever started from the server's reply.
    std::optional<QUrl> downloadPage() const;

private:
    QStringList m_lines;
};

// A version number in its shortest decimal form ("7.1", "7").
QString ShortestVersionText(double version);

// Fetches the update file in the background, one fetch at a time, and reports on the thread that
// started it. A fetch that fails (no answer, an HTTP error, a stalled transfer, a reply larger
// than MaxBytes) reports an empty file.
class UpdateCheck final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(UpdateCheck)

public:
    // An update file is a few lines; a larger reply is stopped as soon as it is announced or has
    // arrived that far.
    static constexpr qint64 MaxBytes = 64 * 1024;

    explicit UpdateCheck(QObject* parent = nullptr);
    ~UpdateCheck() override;

    // Starts fetching url; an empty url does nothing. While a fetch runs no second one starts: a
    // manual request only marks the running one manual, so the user still gets an answer.
    void start(const QString& url, bool manual);
    bool isRunning() const { return !m_reply.isNull(); }
    // Gives up a transfer that has not finished after this long (milliseconds).
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }

signals:
    // The fetch ended; manual tells a menu request from the start-up check, tooLarge a reply
    // stopped at MaxBytes. The manual mark is cleared once this has been delivered.
    void finished(const UpdateFile& file, bool manual, bool tooLarge);

private:
    void readBody();
    void tooLarge();
    void replyFinished();

    QNetworkAccessManager* m_network = nullptr;
    QPointer<QNetworkReply> m_reply;
    QByteArray m_body;
    bool m_manual = false;
    bool m_tooLarge = false;
    int m_timeout = 30000;
};
