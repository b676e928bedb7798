#include "services/UpdateCheck.h"

#include <QLocale>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QUrl>

#include <cmath>

UpdateFile UpdateFile::parse(const QByteArray& text)
{
    UpdateFile file;
    QString all = QString::fromUtf8(text);
    all.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    all.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    file.m_lines = all.split(QLatin1Char('\n'));
    // A final line break ends the last line; it does not start another one.
    if (!file.m_lines.isEmpty() && file.m_lines.last().isEmpty())
        file.m_lines.removeLast();
    return file;
}

QString UpdateFile::value(const QString& name) const
{
    for (const QString& line : m_lines) {
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        if (line.left(equals).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(equals + 1).trimmed();
    }
    return {};
}

std::optional<double> UpdateFile::version() const
{
    const QString text = value(QStringLiteral("Version"));
    if (text.isEmpty())
        return 0.0;
    QString number = text;
    number.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double result = number.toDouble(&ok);
    // "inf" and "nan" read as numbers but name no release: "inf" would be newer than any.
    if (!ok || !std::isfinite(result))
        return std::nullopt;
    return result;
}

QString UpdateFile::versionLine() const
{
    const QString details = value(QStringLiteral("Details"));
    if (!details.isEmpty())
        return details;
    return QStringLiteral("Version ") + ShortestVersionText(version().value_or(0));
}

bool UpdateFile::isNewerThan(double installedVersion) const
{
    const std::optional<double> published = version();
    return published && *published > installedVersion;
}

std::optional<QUrl> UpdateFile::downloadPage() const
{
    const QUrl page(value(QStringLiteral("URL")), QUrl::StrictMode);
    const QString scheme = page.scheme();
    if (!page.isValid() || page.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return std::nullopt;
    return page;
}

QString ShortestVersionText(double version)
{
    return QString::number(version, 'f', QLocale::FloatingPointShortest);
}

UpdateCheck::UpdateCheck(QObject* parent)
    : QObject(parent), m_network(new QNetworkAccessManager(this))
{}

UpdateCheck::~UpdateCheck()
{
    if (m_reply) {
        disconnect(m_reply, nullptr, this, nullptr);
        m_reply->abort();
    }
}

void UpdateCheck::start(const QString& url, bool manual)
{
    if (url.isEmpty())
        return;
    if (manual)
        m_manual = true;
    if (m_reply)
        return;
    QNetworkRequest request{QUrl(url)};
    request.setTransferTimeout(m_timeout);
    m_body.clear();
    m_tooLarge = false;
    m_reply = m_network->get(request);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, [this] {
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && length.toLongLong() > MaxBytes)
            tooLarge();
    });
    connect(m_reply, &QNetworkReply::readyRead, this, &UpdateCheck::readBody);
    connect(m_reply, &QNetworkReply::finished, this, &UpdateCheck::replyFinished);
}

void UpdateCheck::readBody()
{
    if (!m_reply || m_tooLarge)
        return;
    m_body += m_reply->readAll();
    if (m_body.size() > MaxBytes)
        tooLarge();
}

void UpdateCheck::tooLarge()
{
    m_tooLarge = true;
    m_body.clear();
    // Aborting finishes the reply, which reports the empty file.
    m_reply->abort();
}

void UpdateCheck::replyFinished()
{
    if (m_reply && m_reply->error() == QNetworkReply::NoError)
        readBody();
    QNetworkReply* reply = m_reply;
    m_reply.clear();
    const bool manual = m_manual;
    m_manual = false;
    if (!reply)
        return;
    reply->deleteLater();
    const UpdateFile file = reply->error() == QNetworkReply::NoError && !m_tooLarge
                                ? UpdateFile::parse(m_body)
                                : UpdateFile();
    m_body.clear();
    emit finished(file, manual, m_tooLarge);
}
