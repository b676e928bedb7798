#include "platform/Bitmap.h"

#include <QtEndian>

namespace {

// Pictures larger than this are not ours; they go to Qt's reader, which has its own limits.
constexpr int MaxSide = 1024;

quint32 le32(QByteArrayView data, qsizetype at)
{
    return qFromLittleEndian<quint32>(data.data() + at);
}

} // namespace

std::optional<BitmapPixels> ParseBitmap(QByteArrayView data)
{
    // File header (14 bytes), then an info header of at least the 56 bytes that hold the alpha
    // mask.
    constexpr qsizetype InfoAt = 14;
    if (data.size() < InfoAt + 56 || data[0] != 'B' || data[1] != 'M')
        return std::nullopt;
    const quint32 pixelsAt = le32(data, 10);
    const quint32 infoSize = le32(data, InfoAt);
    if (infoSize < 56 || infoSize > quint32(data.size() - InfoAt))
        return std::nullopt;
    const auto width = qint32(le32(data, InfoAt + 4));
    const auto height = qint32(le32(data, InfoAt + 8));
    const quint16 planes = qFromLittleEndian<quint16>(data.data() + InfoAt + 12);
    const quint16 bits = qFromLittleEndian<quint16>(data.data() + InfoAt + 14);
    const quint32 compression = le32(data, InfoAt + 16);
    constexpr quint32 BitFields = 3;
    if (planes != 1 || bits != 32 || compression != BitFields)
        return std::nullopt;
    if (le32(data, InfoAt + 40) != 0x00FF0000u || le32(data, InfoAt + 44) != 0x0000FF00u ||
        le32(data, InfoAt + 48) != 0x000000FFu || le32(data, InfoAt + 52) != 0xFF000000u)
        return std::nullopt;
    const qint64 rows = height < 0 ? -qint64(height) : qint64(height);
    if (width <= 0 || width > MaxSide || rows == 0 || rows > MaxSide)
        return std::nullopt;
    const qint64 rowBytes = qint64(width) * 4;
    if (pixelsAt < InfoAt + infoSize || qint64(pixelsAt) + rowBytes * rows > data.size())
        return std::nullopt;

    BitmapPixels pixels;
    pixels.width = width;
    pixels.height = int(rows);
    const auto* start = reinterpret_cast<const uchar*>(data.data()) + pixelsAt;
    // A positive height stores the bottom row first.
    pixels.first = height > 0 ? start + (rows - 1) * rowBytes : start;
    pixels.stride = height > 0 ? -rowBytes : rowBytes;
    return pixels;
}
