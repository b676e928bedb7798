#include "platform/FileSystem.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

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

ReadResult readWholeFile(const QString& path, QByteArray* data)
{
    data->clear();
    if (path.isEmpty())
        return ReadResult::Missing;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    struct stat info = {};
    ReadResult result = ReadResult::Read;
    if (::fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        result = ReadResult::Failed;
    } else {
        // A file of a known size is read up to that size: the files read this way are replaced
        // by renaming, never grown in place. One that reports no size (/proc) is read to its end.
        const qsizetype known = info.st_size > 0 ? qsizetype(info.st_size) : 0;
        qsizetype capacity = known > 0 ? known : 4096;
        qsizetype got = 0;
        data->resize(capacity);
        while (known == 0 || got < known) {
            const ssize_t n = ::read(fd, data->data() + got, size_t(capacity - got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                result = ReadResult::Failed;
                break;
            }
            if (n == 0)
                break;
            got += n;
            if (known == 0 && got == capacity) {
                capacity *= 2;
                data->resize(capacity);
            }
        }
        data->resize(result == ReadResult::Read ? got : 0);
    }
    ::close(fd);
    return result;
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

// Device and inode of every file some process we can see holds open.
QSet<std::pair<quint64, quint64>> openFiles()
{
    QSet<std::pair<quint64, quint64>> files;
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString& pid : processes) {
        if (pid.isEmpty() || !pid.front().isDigit())
            continue;
        const QString fdFolder = QStringLiteral("/proc/") + pid + QStringLiteral("/fd");
        const QStringList fds = QDir(fdFolder).entryList(QDir::Files | QDir::System);
        for (const QString& fd : fds) {
            struct stat status
            {};
            // stat() follows the descriptor's link to the open file itself, even a deleted one.
            const QByteArray link = QFile::encodeName(fdFolder + QLatin1Char('/') + fd);
            if (::stat(link.constData(), &status) == 0 && S_ISREG(status.st_mode))
                files.insert({quint64(status.st_dev), quint64(status.st_ino)});
        }
    }
    return files;
}

// QSaveFile names its temporary copy after the file, a dot and six random letters. A suffix that
// reads like a word ("backup", "BACKUP", "Backup") is taken for the user's own file: such a
// leftover stays, which costs nothing but room.
bool isTemporaryCopy(const QString& name, const QStringList& files)
{
    // Checked by hand: this runs for every file of every store at each start.
    const qsizetype dot = name.size() - 7;
    if (dot < 1 || name.at(dot) != u'.' || name.contains(u'\n'))
        return false;
    const QString suffix = name.sliced(dot + 1);
    for (const QChar c : suffix)
        if (!((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z')))
            return false;
    const QString tail = suffix.mid(1);
    if (suffix == suffix.toLower() || suffix == suffix.toUpper() ||
        (suffix.front().isUpper() && tail == tail.toLower()))
        return false;
    const QString original = name.left(dot);
    for (const QString& file : files) {
        if (QDir::match(file, original))
            return true;
    }
    return false;
}

} // namespace

int removeStaleTemporaries(const QString& folder, const QStringList& files, int minAgeSecs)
{
    if (folder.isEmpty())
        return 0;
    // Listed by hand: a store holds many files and this runs over every store at each start.
    DIR* dir = ::opendir(QFile::encodeName(folder).constData());
    if (!dir)
        return 0;
    const qint64 oldestMsecs = QDateTime::currentMSecsSinceEpoch() - qint64(minAgeSecs) * 1000;
    QStringList stale;
    while (const dirent* entry = ::readdir(dir)) {
        // A copy's name ends in a dot and six letters; most names fail that on their bytes.
        const size_t length = std::strlen(entry->d_name);
        if (length < 8 || entry->d_name[length - 7] != '.' ||
            (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN))
            continue;
        const QString name = QFile::decodeName(entry->d_name);
        if (!isTemporaryCopy(name, files))
            continue;
        const QString path = folder + QLatin1Char('/') + name;
        struct stat status
        {};
        if (::lstat(QFile::encodeName(path).constData(), &status) != 0 || !S_ISREG(status.st_mode))
            continue;
        const qint64 modified =
            qint64(status.st_mtim.tv_sec) * 1000 + status.st_mtim.tv_nsec / 1000000;
        if (modified < oldestMsecs)
            stale.append(path);
    }
    ::closedir(dir);
    if (stale.isEmpty())
        return 0;
    // A copy still being written belongs to a live writer, however old it looks.
    const QSet<std::pair<quint64, quint64>> held = openFiles();
    int removed = 0;
    for (const QString& path : std::as_const(stale)) {
        struct stat status
        {};
        if (::lstat(QFile::encodeName(path).constData(), &status) != 0 ||
            held.contains({quint64(status.st_dev), quint64(status.st_ino)}))
            continue;
        if (QFile::remove(path))
            ++removed;
    }
    return removed;
}

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
