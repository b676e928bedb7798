#include "platform/ui/ImageLibrary.h"

#include "platform/Bitmap.h"
#include "platform/ui/Interaction.h"

#include <QResource>
#include <QtEndian>

namespace {

// Where the library's pictures are mounted while a strip is being read.
const QString MountPoint = QStringLiteral("/vimordll");

QPixmap withMagentaTransparent(QImage image)
{
    QImage argb = std::move(image).convertToFormat(QImage::Format_ARGB32);
    const QRgb magenta = qRgb(255, 0, 255);
    for (int y = 0; y < argb.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(argb.scanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if ((line[x] | 0xff000000u) == magenta && qAlpha(line[x]) > 0)
                line[x] = 0;
    }
    return QPixmap::fromImage(std::move(argb));
}

// A resource's bytes, copied: the library is unmounted once its strip is read.
QByteArray resourceBytes(const QString& path)
{
    const QResource resource(path);
    if (!resource.isValid())
        return {};
    QByteArray bytes = resource.uncompressedData();
    bytes.detach();
    return bytes;
}

} // namespace

QImage ReadPicture(QByteArrayView data, const char* format)
{
    const std::optional<BitmapPixels> pixels = ParseBitmap(data);
    if (!pixels)
        return QImage::fromData(data, format);
    QImage image(pixels->width, pixels->height, QImage::Format_ARGB32);
    if (image.isNull())
        return image;
    for (int y = 0; y < pixels->height; ++y)
        qFromLittleEndian<quint32>(pixels->row(y), pixels->width, image.scanLine(y));
    return image;
}

QImage ReadResourcePicture(const QString& path, const char* format)
{
    const QResource resource(path);
    if (!resource.isValid())
        return {};
    return ReadPicture(resource.uncompressedData(), format);
}

QPixmap ImageStrip::image(int index) const
{
    if (index < 0 || index >= m_pictures.size())
        return {};
    Picture& picture = m_pictures[index];
    if (!picture.decoded) {
        QImage image = picture.source.isEmpty() ? QImage() : ReadPicture(picture.source, nullptr);
        picture.image = image.isNull() ? QPixmap() : withMagentaTransparent(std::move(image));
        picture.source.clear();
        picture.decoded = true;
    }
    return picture.image;
}

void ImageStrip::add(const QByteArray& picture)
{
    m_pictures.append({picture, QPixmap(), false});
}

void ImageStrip::add(const QPixmap& picture)
{
    m_pictures.append({QByteArray(), picture, true});
}

bool LoadImageStrip(const QString& libraryFile, const QString& prefix, int count, ImageStrip& strip)
{
    if (!QResource::registerResource(libraryFile, MountPoint))
        return false;
    for (int number = 1; number <= count; ++number) {
        // Bitmaps; a library of an earlier build holds PNG pictures.
        const QString name = QStringLiteral(":%1/%2%3").arg(MountPoint, prefix).arg(number);
        QByteArray picture = resourceBytes(name + QStringLiteral(".bmp"));
        if (picture.isEmpty())
            picture = resourceBytes(name + QStringLiteral(".png"));
        // A picture missing from the library keeps its place, so later positions stay right.
        strip.add(picture);
    }
    QResource::unregisterResource(libraryFile, MountPoint);
    return true;
}

bool ImageLibrary::load(const QString& libraryFile, QWidget* parent)
{
    struct Strip
    {
        ImageStrip* strip;
        const char* prefix;
        int count;
    };
    const Strip strips[] = {{&mi, "MI", 84}, {&ni, "NI", 20}, {&ti, "TI", 11}, {&ta, "TA", 5}};
    bool loaded = true;
    for (const Strip& s : strips) {
        s.strip->clear();
        if (!LoadImageStrip(libraryFile, QLatin1String(s.prefix), s.count, *s.strip)) {
            Interaction::error(parent, QStringLiteral("Cannot load VIMORDLL.DLL"));
            loaded = false;
        }
    }
    return loaded;
}
