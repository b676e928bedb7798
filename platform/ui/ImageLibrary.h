#pragma once

#include <QByteArrayView>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QString>

class QWidget;

// One image strip of the image library: pictures addressed by position, from 0. A picture is
// kept as its file's bytes and decoded when first asked for: the start shows few of them.
class ImageStrip final
{
public:
    int count() const { return int(m_pictures.size()); }
    // An empty pixmap for a position outside the strip, so a missing library shows no pictures.
    QPixmap image(int index) const;
    void clear() { m_pictures.clear(); }
    // The next position: a picture file's bytes, empty for a missing picture.
    void add(const QByteArray& picture);
    // The next position: a picture already made.
    void add(const QPixmap& picture);

private:
    struct Picture
    {
        QByteArray source;
        QPixmap image;
        bool decoded = false;
    };
    mutable QList<Picture> m_pictures;
};

// The four strips of the image library "vimordll.dll" in the program folder: a resource file whose
// pictures are named by the strip's prefix and a number from 1 ("MI1.png"). Magenta is
// transparent.
struct ImageLibrary
{
    ImageStrip mi; // settings lists and dialogs' lists, 84 pictures
    ImageStrip ni; // tree and toolbars, 20
    ImageStrip ti; // console toolbar, 11
    ImageStrip ta; // tabs of the VM page, 5

    // Loads the four strips from the library file, each opening and closing the library on its
    // own. A library that cannot be loaded shows "Cannot load VIMORDLL.DLL" once per strip and
    // leaves that strip empty; returns false then.
    bool load(const QString& libraryFile, QWidget* parent);
};

// Loads one strip: the pictures prefix1 to prefixN. False when the library cannot be opened.
bool LoadImageStrip(const QString& libraryFile, const QString& prefix, int count,
                    ImageStrip& strip);

// A picture held in memory: the program's own bitmaps are read directly, since Qt's readers look up
// their plugins on first use; any other picture goes to Qt with that format (null: any format).
QImage ReadPicture(QByteArrayView data, const char* format);
// A picture from a resource path (":/..."), read the same way; null when there is none.
QImage ReadResourcePicture(const QString& path, const char* format);
