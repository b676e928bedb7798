#include "media/LaunchDrives.h"

#include "library/VMStores.h"
#include "media/DriveValues.h"
#include "model/ProgramFolder.h"
#include "model/VMContext.h"
#include "platform/HostDrives.h"

#include <QDir>
#include <QFileInfo>

namespace LaunchDrives {

namespace {

const QString Drives = QStringLiteral("Drives");
const QString FatPrefix = QStringLiteral("fat:");

QString diskPath(const QString& value, VMContext& vm, std::optional<QString>& store)
{
    const QString path = ResolveDrivePath(value, [&] {
        if (!store)
            store = StoreFolder(vm);
        return store->isEmpty() ? std::optional<QString>() : std::optional<QString>(*store);
    });
    return path.startsWith(FatPrefix) ? path : HostDrives::devicePathOf(path);
}

QString mediaPath(const QString& value)
{
    if (value.startsWith(FatPrefix))
        return value;
    if (HostDrives::isDeviceValue(value))
        return HostDrives::devicePathOf(value);
    return ProgramFolder::nativeExpanded(value);
}

} // namespace

QString DiskPath(VMContext& vm, const QString& value)
{
    std::optional<QString> store;
    return diskPath(value, vm, store);
}

QString MediaPath(const QString& value)
{
    return mediaPath(value);
}

QString StoreFolder(VMContext& vm)
{
    return FindVMStore(vm.table(VMContext::Table::VLookup),
                       vm.ReadVMValue(QStringLiteral("General"), QStringLiteral("VM Store ID")))
        .value_or(QString());
}

QList<Drive> Of(VMContext& vm)
{
    QList<Drive> drives;
    if (vm.ReadVMValue(QStringLiteral("Advanced"), QStringLiteral("OverrideAll")) ==
            QLatin1String("Yes") &&
        !vm.ReadVMValue(QStringLiteral("Advanced"), QStringLiteral("OptionalString")).isEmpty())
        return drives;
    std::optional<QString> store;
    const auto add = [&](const QString& section, const QString& key, const QString& what,
                         bool disk) {
        const QString value = vm.ReadVMValue(section, key);
        if (!value.isEmpty())
            drives.append(
                {section, key, what, value, disk ? diskPath(value, vm, store) : mediaPath(value)});
    };
    const char letters[] = {'A', 'B', 'C', 'D'};
    for (int disk = 0; disk < 4; ++disk)
        add(Drives, QStringLiteral("HD") + QLatin1Char(letters[disk]),
            QStringLiteral("Hard Disk %1").arg(disk), true);
    // The CD-ROM takes the place of hard disk 2 only while that is empty.
    if (vm.ReadVMValue(Drives, QStringLiteral("HDC")).isEmpty())
        add(Drives, QStringLiteral("CDROM"), QStringLiteral("The CD-ROM"), false);
    add(Drives, QStringLiteral("FloppyA"), QStringLiteral("Floppy Drive 0"), false);
    add(Drives, QStringLiteral("FloppyB"), QStringLiteral("Floppy Drive 1"), false);
    if (vm.ReadVMValue(QStringLiteral("Hardware"), QStringLiteral("Enable USB")) !=
        QLatin1String("Yes"))
        return drives;
    bool ok = false;
    const int count =
        vm.ReadVMValue(QStringLiteral("USB Devices"), QStringLiteral("Count")).toInt(&ok);
    for (int n = 1; ok && n <= count && n <= 1000; ++n) {
        const QString section = QStringLiteral("USB Device ") + QString::number(n);
        const QString type = vm.ReadVMValue(section, QStringLiteral("Type"));
        if (type == QLatin1String("DRIVE") || type == QLatin1String("USBDISK"))
            add(section, QStringLiteral("DrivePath"), section, true);
    }
    return drives;
}

bool isImageFile(const Drive& drive)
{
    return !drive.path.startsWith(FatPrefix) && !drive.path.startsWith(QLatin1String("/dev/")) &&
           !HostDrives::isDeviceValue(drive.value);
}

bool isInside(const QString& path, const QString& folder)
{
    if (folder.isEmpty() || path.isEmpty())
        return false;
    const auto real = [](const QString& p) {
        const QFileInfo info(p);
        const QString canonical = info.canonicalFilePath();
        return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
    };
    const QString base = real(folder);
    return real(path).startsWith(base.endsWith(QLatin1Char('/')) ? base : base + QLatin1Char('/'));
}

} // namespace LaunchDrives
