#include "platform/Bitmap.h"
#include "platform/ui/ImageLibrary.h"

#include <QBuffer>
#include <QDirIterator>
#include <QResource>
#include <QTest>
#include <QtEndian>

namespace {

// A 2 x 2 bitmap in the program's own layout; a negative height stores the top row first.
QByteArray ownBitmap(int height, qsizetype cutPixels = 0)
{
    QByteArray data(14 + 108 + 16, '\0');
    auto put = [&data](int at, quint32 value) { qToLittleEndian(value, data.data() + at); };
    data[0] = 'B';
    data[1] = 'M';
    put(10, 14 + 108);
    put(14, 108);
    put(18, 2);
    put(22, quint32(height));
    qToLittleEndian<quint16>(1, data.data() + 26);
    qToLittleEndian<quint16>(32, data.data() + 28);
    put(30, 3);
    const quint32 masks[] = {0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u};
    for (int i = 0; i < 4; ++i)
        put(54 + 4 * i, masks[i]);
    const quint32 pixels[] = {0xFFFF0000u, 0x8000FF00u, 0x000000FFu, 0xFFFFFFFFu};
    for (int i = 0; i < 4; ++i)
        put(122 + 4 * i, pixels[i]);
    data.chop(cutPixels);
    return data;
}

QByteArray saved(const QImage& image, const char* format)
{
    QByteArray data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return data;
}

} // namespace

class TestPicture : public QObject
{
    Q_OBJECT

private slots:
    // Every picture the build ships is read directly, to the same pixels as Qt's reader gives.
    void shippedPicturesReadAsQtReadsThem()
    {
        QVERIFY(QResource::registerResource(QStringLiteral(VIMOR_IMAGE_LIBRARY),
                                            QStringLiteral("/lib")));
        int pictures = 0;
        for (QDirIterator it(QStringLiteral(":/lib")); it.hasNext(); ++pictures) {
            const QString name = it.next();
            const QResource resource(name);
            QVERIFY2(ParseBitmap(resource.uncompressedData()).has_value(), qPrintable(name));
            QCOMPARE(ReadResourcePicture(name, "BMP"),
                     QImage(name, "BMP").convertToFormat(QImage::Format_ARGB32));
        }
        QCOMPARE(pictures, 84 + 20 + 11 + 5);
        QResource::unregisterResource(QStringLiteral(VIMOR_IMAGE_LIBRARY), QStringLiteral("/lib"));
    }

    void otherPictures()
    {
        // Top row first: the second pixel of the top row is half-transparent green.
        const QImage topDown = ReadPicture(ownBitmap(-2), "BMP");
        QCOMPARE(topDown.pixel(1, 0), 0x8000FF00u);
        QCOMPARE(ReadPicture(ownBitmap(2), "BMP").pixel(1, 1), 0x8000FF00u);
        // Pixels cut short, or sizes no picture of ours has: not read as ours.
        QVERIFY(!ParseBitmap(ownBitmap(2, 1)));
        QVERIFY(!ParseBitmap(ownBitmap(0)));
        QVERIFY(!ParseBitmap(ownBitmap(-2000)));
        QVERIFY(!ParseBitmap(ownBitmap(2).left(40)));
        // Bitmaps of other layouts and other formats go to Qt's readers.
        QImage picture(3, 2, QImage::Format_RGB32);
        picture.fill(qRgb(10, 20, 30));
        for (const char* format : {"BMP", "PNG"}) {
            const QByteArray data = saved(picture, format);
            QVERIFY(!ParseBitmap(data));
            QCOMPARE(ReadPicture(data, format).pixel(2, 1), qRgb(10, 20, 30));
        }
        QVERIFY(ReadPicture("BM garbage", "BMP").isNull());
        QVERIFY(ReadResourcePicture(QStringLiteral(":/nothing.bmp"), "BMP").isNull());
    }
};

QTEST_MAIN(TestPicture)
#include "tst_picture.moc"
