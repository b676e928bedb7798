#pragma once

#include <QString>

class QWidget;
class VMContext;

namespace DriveFormatChoice {

// The format to store for a file the user has just chosen: the name's, or the header's where the
// name says nothing. A name that says raw over a container's header (a cloud image named .img) is
// offered with the container's format; No keeps it raw.
QString ForChosenFile(QWidget* parent, const QString& path);

// After an editor saved a drive value: a changed value gets the format of the file chosen (an
// empty one for a value that names no file); an unchanged one keeps what was recorded, so that a
// header written since by a guest decides nothing.
bool StoreForValue(VMContext& vm, const QString& section, const QString& key,
                   const QString& previous, const QString& value, bool disk);

} // namespace DriveFormatChoice
