#include "media/RawCopy.h"

#include "model/ProgramFolder.h"
#include "platform/HostDrives.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 ChunkSize = 16384;

// A file descriptor closed when it goes out of scope.
class Descriptor final
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int get() const { return m_fd; }
    // Closes now, so that a failing close (a write the disk refused late) counts.
    bool close()
    {
        const int fd = m_fd;
        m_fd = -1;
        return fd < 0 || ::close(fd) == 0;
    }

private:
    int m_fd;
};

int openSource(const QString& path)
{
    return ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
}

// Opens the destination without truncating it yet: truncating the source itself (the same file
// chosen twice) would destroy it and report an empty copy as a success. A new, empty file is not
// truncated at all: ext4 takes a truncation to nothing for a file being replaced and pushes all
// of it to the disk at close, which made the copy a third slower than dd.
int openDestination(const QString& path, int sourceFd)
{
    // A copied medium is the user's alone, also when it replaces an older file.
    const int fd =
        ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    struct stat source = {};
    struct stat destination = {};
    if (::fstat(sourceFd, &source) != 0 || ::fstat(fd, &destination) != 0 ||
        (source.st_dev == destination.st_dev && source.st_ino == destination.st_ino) ||
        (destination.st_size > 0 && ::ftruncate(fd, 0) != 0)) {
        ::close(fd);
        return -1;
    }
    ::fchmod(fd, 0600);
    return fd;
}

qint64 readChunk(int fd, char* buffer)
{
    for (;;) {
        const ssize_t count = ::read(fd, buffer, ChunkSize);
        if (count >= 0 || errno != EINTR)
            return count;
    }
}

bool writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t count = ::write(fd, data, size_t(size));
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += count;
        size -= count;
    }
    return true;
}

// Copies source to its end into destination; after every chunk but the first, progress gets the
// number of bytes copied so far.
bool copyChunks(int source, int destination, const std::function<void(qint64 copied)>& progress)
{
    char buffer[ChunkSize];
    qint64 copied = 0;
    for (bool first = true;; first = false) {
        const qint64 count = readChunk(source, buffer);
        if (count < 0)
            return false;
        if (count == 0)
            return true;
        if (!writeAll(destination, buffer, count))
            return false;
        copied += count;
        if (!first && progress)
            progress(copied);
    }
}

} // namespace

void CopyEventPacer::afterChunk()
{
    if (m_lastRun.isValid() && m_lastRun.elapsed() < EventPauseMsecs)
        return;
    QCoreApplication::processEvents();
    m_lastRun.start();
}

bool CopyRawDrive(const QString& driveLetter, const QString& destination,
                  const std::function<void(int percent)>& progress)
{
    const QString device = HostDrives::driveLetterDevice(driveLetter);
    if (device.isEmpty())
        return false;
    return CopyRawDevice(device, destination, progress);
}

bool CopyRawDevice(const QString& devicePath, const QString& destination,
                   const std::function<void(int percent)>& progress)
{
    // A drive without a medium does not open.
    Descriptor source(openSource(devicePath));
    if (!source.isOpen())
        return false;
    const qint64 total = HostDrives::deviceSize(devicePath);
    if (total <= 0)
        return false;
    if (progress)
        progress(0);
    Descriptor target(openDestination(destination, source.get()));
    if (!target.isOpen())
        return false;
    const auto report = [&](qint64 copied) {
        if (!progress)
            return;
        // A medium longer than its reported size must not push the bar past its end.
        const double share = std::round(double(copied) * 100.0 / double(total));
        progress(share >= 100.0 ? 100 : int(share));
    };
    if (!copyChunks(source.get(), target.get(), report))
        return false;
    return target.close() && source.close();
}

bool CreateBlankFloppy(const QString& destination)
{
    Descriptor source(openSource(ProgramFolder::file(QStringLiteral("\\resource\\144mb.img"))));
    if (!source.isOpen())
        return false;
    Descriptor target(openDestination(destination, source.get()));
    if (!target.isOpen())
        return false;
    if (!copyChunks(source.get(), target.get(), {}))
        return false;
    return target.close() && source.close();
}
