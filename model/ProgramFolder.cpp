#include "model/ProgramFolder.h"

#include "platform/FileSystem.h"

namespace ProgramFolder {
namespace {

QString& folder()
{
    static QString value;
    return value;
}

const QString Macro = QStringLiteral("{VR}");

} // namespace

QString path()
{
    return folder();
}

void setPath(const QString& newFolder)
{
    QString value = newFolder;
    while (value.size() > 1 &&
           (value.endsWith(QLatin1Char('/')) || value.endsWith(QLatin1Char('\\'))))
        value.chop(1);
    folder() = value;
}

QString file(const QString& storedTail)
{
    QString tail = storedTail;
    if (!tail.startsWith(QLatin1Char('\\')) && !tail.startsWith(QLatin1Char('/')))
        tail.prepend(QLatin1Char('/'));
    return FileSystem::nativePath(folder() + tail);
}

QString expand(const QString& storedPath)
{
    if (storedPath.startsWith(Macro, Qt::CaseSensitive))
        return folder() + storedPath.mid(Macro.size());
    return storedPath;
}

QString nativeExpanded(const QString& storedPath)
{
    // Stored paths were written for a desktop whose names ignore case ("{VR}\media" for the Media
    // folder): find what they name as it is on disk.
    return FileSystem::matchCase(FileSystem::nativePath(expand(storedPath)));
}

} // namespace ProgramFolder
