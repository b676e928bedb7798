// Converts the strips' pictures into the bitmaps the image library holds: 32 bits a pixel with
// their alpha channel, which the program reads without decompressing anything at start-up. Qt
// writes bitmaps without alpha, so the header is written here.
//   vimor-bitmaps OUTPUT-FOLDER PICTURE...

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QtEndian>

#include <cstdio>

namespace {

void put16(QByteArray& out, quint16 value)
{
    const quint16 le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&le), 2);
}

void put32(QByteArray& out, quint32 value)
{
    const quint32 le = qToLittleEndian(value);
    out.append(reinterpret_cast<const char*>(&le), 4);
}

// A BITMAPV4HEADER bitmap, bottom-up, with red, green, blue and alpha masks.
QByteArray bitmap(const QImage& picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    const quint32 headerSize = 14 + 108;
    const quint32 pixels = quint32(image.width() * image.height() * 4);
    QByteArray out;
    out.append("BM", 2);
    put32(out, headerSize + pixels);
    put32(out, 0);
    put32(out, headerSize);
    put32(out, 108);
    put32(out, quint32(image.width()));
    put32(out, quint32(image.height()));
    put16(out, 1);
    put16(out, 32);
    put32(out, 3); // BI_BITFIELDS
    put32(out, pixels);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    for (const quint32 mask : {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u})
        put32(out, mask);
    put32(out, 0x73524742);    // "sRGB"
    out.append(36 + 12, '\0'); // end points and gamma, unused for sRGB
    for (int y = image.height() - 1; y >= 0; --y)
        for (int x = 0; x < image.width(); ++x)
            put32(out, image.pixel(x, y));
    return out;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: vimor-bitmaps OUTPUT-FOLDER PICTURE...\n");
        return 2;
    }
    const QDir output(QString::fromLocal8Bit(argv[1]));
    output.mkpath(QStringLiteral("."));
    for (int i = 2; i < argc; ++i) {
        const QString source = QString::fromLocal8Bit(argv[i]);
        const QImage image(source);
        QFile target(
            output.filePath(QFileInfo(source).completeBaseName() + QStringLiteral(".bmp")));
        if (image.isNull() || !target.open(QIODevice::WriteOnly) ||
            target.write(bitmap(image)) < 0 || !target.flush()) {
            std::fprintf(stderr, "vimor-bitmaps: cannot convert %s\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
