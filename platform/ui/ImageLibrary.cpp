#include "platform/ui/ImageLibrary.h"

#include "platform/ui/Interaction.h"

#include <QImage>
#include <QResource>

namespace {

// Where the library's pictures are mounted while a strip is being read.
const QString MountPoint = QStringLiteral("/vimordll");

QPixmap withMagentaTransparent(const QImage& image)
{
    QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb magenta = qRgb(255, 0, 255);
    for (int y = 0; y < argb.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(argb.scanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if ((line[x] | 0xff000000u) == magenta && qAlpha(line[x]) > 0)
                line[x] = 0;
    }
    return QPixmap::fromImage(argb);
}

} // namespace

QPixmap ImageStrip::image(int index) const
{
    if (index < 0 || index >= m_images.size())
        return {};
    return m_images.at(index);
}

bool LoadImageStrip(const QString& libraryFile, const QString& prefix, int count, ImageStrip& strip)
{
    if (!QResource::registerResource(libraryFile, MountPoint))
        return false;
    for (int number = 1; number <= count; ++number) {
        // Bitmaps read without decoding; a library of an earlier build holds PNG pictures.
        const QString name = QStringLiteral(":%1/%2%3").arg(MountPoint, prefix).arg(number);
        QImage image(name + QStringLiteral(".bmp"), "BMP");
        if (image.isNull())
            image = QImage(name + QStringLiteral(".png"), "PNG");
        // A picture missing from the library keeps its place, so later positions stay right.
        strip.add(image.isNull() ? QPixmap() : withMagentaTransparent(image));
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
