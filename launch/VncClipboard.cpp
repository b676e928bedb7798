#include "launch/VncClipboard.h"

#include <QtEndian>

#include <zlib.h>

namespace VncClipboard {
namespace {

// QEMU drops a viewer whose message is larger, and inflates no more than this.
constexpr qsizetype ServerLimit = 1 << 20;

void appendU32(QByteArray& bytes, quint32 value)
{
    char word[4];
    qToBigEndian(value, word);
    bytes.append(word, sizeof word);
}

QByteArray deflated(const QByteArray& data)
{
    uLongf size = compressBound(uLong(data.size()));
    QByteArray out(qsizetype(size), Qt::Uninitialized);
    if (compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                  reinterpret_cast<const Bytef*>(data.constData()), uLong(data.size()),
                  Z_DEFAULT_COMPRESSION) != Z_OK)
        return {};
    out.truncate(qsizetype(size));
    return out;
}

// The zlib stream inflated, or nothing when it is broken or inflates beyond the limit.
std::optional<QByteArray> inflated(const QByteArray& data, qsizetype limit, QString* error)
{
    z_stream stream = {};
    if (inflateInit(&stream) != Z_OK) {
        *error = QStringLiteral("no memory to inflate clipboard data");
        return std::nullopt;
    }
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.constData()));
    stream.avail_in = uInt(data.size());
    QByteArray out;
    int result = Z_OK;
    while (result == Z_OK) {
        constexpr qsizetype Chunk = 64 << 10;
        if (out.size() > limit) {
            *error = QStringLiteral("the server's clipboard text is larger than %1 MiB")
                         .arg(limit >> 20);
            break;
        }
        const qsizetype used = out.size();
        out.resize(used + Chunk);
        stream.next_out = reinterpret_cast<Bytef*>(out.data() + used);
        stream.avail_out = uInt(Chunk);
        result = inflate(&stream, Z_NO_FLUSH);
        out.truncate(used + Chunk - qsizetype(stream.avail_out));
        if (result == Z_BUF_ERROR && stream.avail_in == 0)
            result = Z_DATA_ERROR; // ends before the stream does
    }
    inflateEnd(&stream);
    if (result == Z_STREAM_END && out.size() <= limit)
        return out;
    if (error->isEmpty())
        *error = QStringLiteral("the server's clipboard data is not valid");
    return std::nullopt;
}

} // namespace

QByteArray clientMessage(quint32 flags, const QByteArray& payload)
{
    // ClientCutText, three bytes of padding, and the length negated for the extended form.
    QByteArray message("\x06\0\0\0", 4);
    appendU32(message, quint32(-qint64(payload.size() + 4)));
    appendU32(message, flags);
    return message + payload;
}

QByteArray capsMessage()
{
    QByteArray sizes;
    appendU32(sizes, quint32(MaxText));
    return clientMessage(Caps | Request | Notify | Provide | Text, sizes);
}

QByteArray provideMessage(const QString& text)
{
    QByteArray record;
    const QByteArray utf8 = text.toUtf8();
    appendU32(record, quint32(utf8.size() + 1));
    record += utf8;
    record += '\0';
    if (!text.isEmpty() && record.size() <= ServerLimit) {
        const QByteArray payload = deflated(record);
        if (!payload.isEmpty() && payload.size() + 4 <= ServerLimit)
            return clientMessage(Provide | Text, payload);
    }
    return clientMessage(Provide, deflated({}));
}

std::optional<QString> providedText(quint32 flags, const QByteArray& payload, QString* error)
{
    error->clear();
    if (!(flags & Text))
        return std::nullopt;
    const std::optional<QByteArray> records = inflated(payload, MaxText + 4, error);
    if (!records)
        return std::nullopt;
    // Text is the lowest format, so its record comes first.
    if (records->size() < 4 ||
        qFromBigEndian<quint32>(records->constData()) > records->size() - 4) {
        *error = QStringLiteral("the server's clipboard data is not valid");
        return std::nullopt;
    }
    QByteArray text = records->mid(4, qFromBigEndian<quint32>(records->constData()));
    const qsizetype end = text.indexOf('\0');
    if (end >= 0)
        text.truncate(end);
    return QString::fromUtf8(text);
}

} // namespace VncClipboard
