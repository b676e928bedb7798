#include "platform/HostDrives.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace HostDrives {
namespace {

Roots& currentRoots()
{
    static Roots value;
    return value;
}

const QString PhysicalDrivePrefix = QStringLiteral("\\\\.\\PhysicalDrive");

// Windows numbers no more physical disks than this.
constexpr int MaxPhysicalDisks = 256;

enum class Kind
{
    Floppy,
    Optical,
    Disk
};

struct BlockDevice
{
    QString name;
    Kind kind = Kind::Disk;
    int diskNumber = -1; // whole disks only
    QChar letter;        // null when the device has no drive letter
    bool removable = false;
};

QString sysBlockFolder()
{
    return currentRoots().sys + QStringLiteral("/block");
}

QString devicePath(const QString& name)
{
    return currentRoots().dev + QLatin1Char('/') + name;
}

bool readsOne(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.read(16).trimmed() == "1";
}

// Every block device of the sys tree with its disk number and drive letter, in name order.
QList<BlockDevice> blockDevices()
{
    const QDir block(sysBlockFolder());
    QStringList names =
        block.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden);
    std::sort(names.begin(), names.end());

    QList<BlockDevice> devices;
    int diskCount = 0;
    for (const QString& name : std::as_const(names)) {
        // Loop and memory devices are no drives of the host.
        if (name.startsWith(QLatin1String("loop")) || name.startsWith(QLatin1String("ram")) ||
            name.startsWith(QLatin1String("zram")))
            continue;
        BlockDevice device;
        device.name = name;
        if (name.startsWith(QLatin1String("fd"))) {
            device.kind = Kind::Floppy;
            if (name == QLatin1String("fd0"))
                device.letter = QLatin1Char('A');
            else if (name == QLatin1String("fd1"))
                device.letter = QLatin1Char('B');
        } else if (name.startsWith(QLatin1String("sr"))) {
            device.kind = Kind::Optical;
        } else {
            device.kind = Kind::Disk;
            device.diskNumber = diskCount++;
            device.removable = readsOne(block.filePath(name) + QStringLiteral("/removable"));
        }
        devices.append(device);
    }

    // Optical drives take the letters from D: on, removable disks the ones after them.
    char next = 'D';
    for (BlockDevice& device : devices) {
        if (device.kind == Kind::Optical && next <= 'Z')
            device.letter = QLatin1Char(next++);
    }
    for (BlockDevice& device : devices) {
        if (device.kind == Kind::Disk && device.removable && next <= 'Z')
            device.letter = QLatin1Char(next++);
    }
    return devices;
}

bool opensForReadingAndWriting(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace

void setRoots(const Roots& roots)
{
    currentRoots() = roots;
}

Roots roots()
{
    return currentRoots();
}

QList<int> ListPhysicalDisks()
{
    QList<int> numbers;
    for (const BlockDevice& device : blockDevices()) {
        if (device.kind != Kind::Disk || device.diskNumber >= MaxPhysicalDisks)
            continue;
        if (opensForReadingAndWriting(devicePath(device.name)))
            numbers.append(device.diskNumber);
    }
    return numbers;
}

QStringList ListHostDrives(DriveType type)
{
    QList<QChar> letters;
    for (const BlockDevice& device : blockDevices()) {
        if (device.letter.isNull())
            continue;
        const bool wanted =
            type == DriveType::CD ? device.kind == Kind::Optical : device.kind != Kind::Optical;
        if (wanted)
            letters.append(device.letter);
    }
    std::sort(letters.begin(), letters.end());
    QStringList drives;
    for (const QChar letter : std::as_const(letters)) {
        // A: and B: are floppy letters, whatever is found.
        if (type == DriveType::CD && (letter == QLatin1Char('A') || letter == QLatin1Char('B')))
            continue;
        drives.append(QString(letter) + QLatin1Char(':'));
    }
    return drives;
}

QString physicalDiskDevice(int number)
{
    if (number < 0)
        return {};
    for (const BlockDevice& device : blockDevices()) {
        if (device.diskNumber == number)
            return devicePath(device.name);
    }
    return {};
}

QString driveLetterDevice(const QString& letterAndColon)
{
    if (letterAndColon.size() != 2 || letterAndColon.at(1) != QLatin1Char(':'))
        return {};
    const QChar letter = letterAndColon.at(0).toUpper();
    if (letter < QLatin1Char('A') || letter > QLatin1Char('Z'))
        return {};
    for (const BlockDevice& device : blockDevices()) {
        if (device.letter == letter)
            return devicePath(device.name);
    }
    return {};
}

QString devicePathOf(const QString& value)
{
    if (value.startsWith(PhysicalDrivePrefix, Qt::CaseInsensitive)) {
        const QString digits = value.mid(PhysicalDrivePrefix.size());
        const bool allDigits =
            !digits.isEmpty() && std::all_of(digits.cbegin(), digits.cend(), [](QChar c) {
                return c >= QLatin1Char('0') && c <= QLatin1Char('9');
            });
        if (allDigits) {
            bool ok = false;
            const int number = digits.toInt(&ok);
            return ok ? physicalDiskDevice(number) : QString();
        }
        return value;
    }
    if (value.size() == 2 && value.at(1) == QLatin1Char(':') && value.at(0).isLetter() &&
        value.at(0).unicode() < 128)
        return driveLetterDevice(value);
    return value;
}

qint64 deviceSize(const QString& path)
{
    const QFileInfo info(path);
    if (!path.isEmpty() && QDir::cleanPath(info.absolutePath()) ==
                               QDir::cleanPath(QFileInfo(currentRoots().dev).absoluteFilePath())) {
        QFile sizeFile(sysBlockFolder() + QLatin1Char('/') + info.fileName() +
                       QStringLiteral("/size"));
        if (sizeFile.open(QIODevice::ReadOnly)) {
            bool ok = false;
            const qint64 sectors = sizeFile.read(32).trimmed().toLongLong(&ok);
            if (ok && sectors >= 0)
                return sectors * 512;
        }
    }

    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    qint64 size = -1;
    struct stat status
    {};
    // A folder opens too, but has no size to copy.
    if (::fstat(fd, &status) == 0 && (S_ISREG(status.st_mode) || S_ISBLK(status.st_mode))) {
        const off_t end = ::lseek(fd, 0, SEEK_END);
        if (end >= 0)
            size = end;
    }
    ::close(fd);
    return size;
}

} // namespace HostDrives
