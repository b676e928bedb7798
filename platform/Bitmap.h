#pragma once

#include <QByteArrayView>

#include <optional>

// The pixels of a bitmap as this program writes them (see tools/bitmaps.cpp): 32 bits a pixel,
// little-endian 0xAARRGGBB, rows bottom-up or top-down.
struct BitmapPixels
{
    int width = 0;
    int height = 0;
    // Row y from the top, width pixels of 4 bytes, all inside the parsed data.
    const uchar* row(int y) const { return first + qptrdiff(y) * stride; }

    const uchar* first = nullptr;
    qptrdiff stride = 0;
};

// Where the pixels of such a bitmap lie in data, read without a decoder. Any other bitmap, or
// one whose sizes do not fit its data, gives nothing: the caller hands those to Qt's reader.
std::optional<BitmapPixels> ParseBitmap(QByteArrayView data);
