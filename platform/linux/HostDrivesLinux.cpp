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
        // Loop, memory, network and mapped or combined devices are no drives of the host.
        static const QLatin1String virtualPrefixes[] = {QLatin1String("loop"), QLatin1String("ram"),
                                                        QLatin1String("zram"), QLatin1String("nbd"),
                                                        QLatin1String("dm-"),  QLatin1String("md")};
        if (std::any_of(std::begin(virtualPrefixes), std::end(virtualPrefixes),
                        [&name](QLatin1String prefix) { return name.startsWith(prefix); }))
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

QString readText(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.read(4096)).simplified();
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System | QDir::Hidden, QDir::Name);
}

QString modelOf(const QString& name)
{
    const QString folder = sysBlockFolder() + QLatin1Char('/') + name + QStringLiteral("/device/");
    QString vendor = readText(folder + QStringLiteral("vendor"));
    // "ATA" and PCI vendor numbers say nothing a user would recognise.
    if (vendor == QLatin1String("ATA") || vendor.startsWith(QLatin1String("0x")))
        vendor.clear();
    const QString model = vendor + QLatin1Char(' ') + readText(folder + QStringLiteral("model"));
    return model.trimmed();
}

Device describe(const QString& name)
{
    Device device;
    device.name = name;
    const QString path = QFileInfo(devicePath(name)).canonicalFilePath();
    const QString byId = currentRoots().dev + QStringLiteral("/disk/by-id/");
    for (const QString& id : entriesOf(byId)) {
        if (!path.isEmpty() && QFileInfo(byId + id).canonicalFilePath() == path)
            device.ids.append(id);
    }
    device.model = modelOf(name);
    device.size = deviceSize(devicePath(name));
    return device;
}

// The kernel name of the device mounted from majorMinor ("8:1") or source ("/dev/sda1").
QString mountedDevice(const QString& majorMinor, const QString& source)
{
    const QString link = QFileInfo(currentRoots().sys + QStringLiteral("/dev/block/") + majorMinor)
                             .canonicalFilePath();
    if (!link.isEmpty())
        return QFileInfo(link).fileName();
    if (!source.startsWith(QLatin1String("/dev/")))
        return {};
    const QString device = QFileInfo(currentRoots().dev + source.mid(4)).canonicalFilePath();
    return device.isEmpty() ? QString() : QFileInfo(device).fileName();
}

// The whole disks a block device lies on: itself, the disk of a partition, or the disks under a
// mapped or combined device.
QStringList wholeDisksOf(const QString& name, int depth = 0)
{
    const QString block = sysBlockFolder() + QLatin1Char('/');
    if (depth > 8 || name.isEmpty())
        return {};
    if (QFileInfo::exists(block + name)) {
        const QStringList below = entriesOf(block + name + QStringLiteral("/slaves"));
        if (below.isEmpty())
            return {name};
        QStringList disks;
        for (const QString& part : below)
            disks += wholeDisksOf(part, depth + 1);
        return disks;
    }
    for (const QString& disk : entriesOf(block)) {
        if (QFileInfo::exists(block + disk + QLatin1Char('/') + name))
            return wholeDisksOf(disk, depth + 1);
    }
    return {};
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

bool isDeviceValue(const QString& value)
{
    if (value.startsWith(PhysicalDrivePrefix, Qt::CaseInsensitive)) {
        const QString digits = value.mid(PhysicalDrivePrefix.size());
        return !digits.isEmpty() && std::all_of(digits.cbegin(), digits.cend(), [](QChar c) {
            return c >= QLatin1Char('0') && c <= QLatin1Char('9');
        });
    }
    return value.size() == 2 && value.at(1) == QLatin1Char(':') && value.at(0).isLetter() &&
           value.at(0).unicode() < 128;
}

std::optional<Device> deviceOf(const QString& value)
{
    if (!isDeviceValue(value))
        return std::nullopt;
    const QString path = devicePathOf(value);
    if (path.isEmpty())
        return std::nullopt;
    return describe(QFileInfo(path).fileName());
}

std::optional<Device> deviceWithIdentity(const QString& identity)
{
    // A stored identity is a name, never a path.
    if (identity.isEmpty() || identity.contains(QLatin1Char('/')) ||
        identity.startsWith(QLatin1Char('.')))
        return std::nullopt;
    const QString device = QFileInfo(currentRoots().dev + QStringLiteral("/disk/by-id/") + identity)
                               .canonicalFilePath();
    if (!device.isEmpty())
        return describe(QFileInfo(device).fileName());
    if (QFileInfo::exists(sysBlockFolder() + QLatin1Char('/') + identity))
        return describe(identity);
    return std::nullopt;
}

DiskUse diskUse(int number)
{
    const QString disk = QFileInfo(physicalDiskDevice(number)).fileName();
    QFile mounts(currentRoots().mountInfo);
    if (disk.isEmpty() || !mounts.open(QIODevice::ReadOnly))
        return DiskUse::Free;
    DiskUse use = DiskUse::Free;
    // "id parent major:minor root mount-point options [tags] - type source options"
    for (const QByteArray& line : mounts.readAll().split('\n')) {
        const QStringList fields = QString::fromUtf8(line).split(QLatin1Char(' '));
        const qsizetype dash = fields.indexOf(QStringLiteral("-"));
        if (fields.size() < 5 || dash < 0 || dash + 2 >= fields.size())
            continue;
        if (!wholeDisksOf(mountedDevice(fields.at(2), fields.at(dash + 2))).contains(disk))
            continue;
        if (fields.at(4) == QLatin1String("/"))
            return DiskUse::System;
        use = DiskUse::InUse;
    }
    return use;
}

QString devicePathOf(const QString& value)
{
    if (!isDeviceValue(value))
        return value;
    if (value.size() == 2)
        return driveLetterDevice(value);
    bool ok = false;
    const int number = value.mid(PhysicalDrivePrefix.size()).toInt(&ok);
    return ok ? physicalDiskDevice(number) : QString();
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
