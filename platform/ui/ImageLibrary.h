#pragma once

#include <QList>
#include <QPixmap>
#include <QString>

class QWidget;

// One image strip of the image library: pictures addressed by position, from 0.
class ImageStrip final
{
public:
    int count() const { return int(m_images.size()); }
    // An empty pixmap for a position outside the strip, so a missing library shows no pictures.
    QPixmap image(int index) const;
    void clear() { m_images.clear(); }
    void add(const QPixmap& image) { m_images.append(image); }

private:
    QList<QPixmap> m_images;
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
