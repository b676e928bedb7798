#include "platform/FileSystem.h"

#include <QDir>
#include <QFileDevice>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileSystem {

bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error)
{
    QSaveFile file(path);
    // A rename over the old file keeps it whole; writing straight into it could leave half a file.
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = file.errorString();
        return false;
    }
    // A small file may still sit in the write buffer, and commit() does not notice when writing
    // it out fails (a full disk): flush first and check.
    if (file.write(data) != data.size() || !file.flush()) {
        const int cause = errno;
        if (error)
            *error = writeErrorText(file, cause);
        file.cancelWriting();
        return false;
    }
    // commit() flushes the new file to disk before renaming it over the old one.
    if (!file.commit()) {
        if (error)
            *error = file.errorString();
        return false;
    }
    syncFolder(QFileInfo(path).absolutePath());
    return true;
}

QString writeErrorText(const QFileDevice& file, int cause)
{
    // "Unknown error" is what Qt says when it recorded no reason of its own.
    if (file.error() != QFileDevice::NoError &&
        file.errorString() != QLatin1String("Unknown error"))
        return file.errorString();
    return cause != 0 ? qt_error_string(cause) : file.errorString();
}

bool syncFolder(const QString& folder)
{
    const int fd =
        ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

QString nativePath(const QString& storedPath)
{
    QString path = storedPath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QDir::toNativeSeparators(path);
}

namespace {

bool exists(const QString& path)
{
    struct stat status
    {};
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0;
}

// The first entry of the folder, in name order, whose name equals name without regard to case.
QString entryMatching(const QString& folder, const QString& name)
{
    QStringList entries =
        QDir(folder.isEmpty() ? QStringLiteral(".") : folder)
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    std::sort(entries.begin(), entries.end());
    for (const QString& entry : std::as_const(entries)) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return entry;
    }
    return {};
}

} // namespace

QString matchCase(const QString& path)
{
    if (path.isEmpty() || QFileInfo::exists(path))
        return path;

    const QStringList components = path.split(QLatin1Char('/'));
    QString result;
    for (qsizetype i = 0; i < components.size(); ++i) {
        QString component = components.at(i);
        const QString folder =
            i == 0 ? QString() : (result.isEmpty() ? QStringLiteral("/") : result);
        const QString joined = i == 0 ? component : result + QLatin1Char('/') + component;
        const bool special = component.isEmpty() || component == QLatin1String(".") ||
                             component == QLatin1String("..");
        if (!special && !exists(joined)) {
            const QString match = entryMatching(folder, component);
            if (match.isEmpty()) {
                // Nothing further can exist below a missing component: keep the rest as given.
                QStringList rest = components.mid(i);
                return (i == 0 ? QString() : result + QLatin1Char('/')) +
                       rest.join(QLatin1Char('/'));
            }
            component = match;
        }
        result = i == 0 ? component : result + QLatin1Char('/') + component;
    }
    return result;
}

} // namespace FileSystem
