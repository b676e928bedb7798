#include "devices/UsbDevices.h"

#include "devices/NetworkPorts.h"
#include "media/DriveValues.h"
#include "model/VMContext.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>

namespace {

const QString TypeKey = QStringLiteral("Type");
const QString ProdIdKey = QStringLiteral("ProdID");
const QString VendIdKey = QStringLiteral("VendID");
const QString ProductNameKey = QStringLiteral("ProductName");
const QString DrivePathKey = QStringLiteral("DrivePath");

const QString HostType = QStringLiteral("HW");
const QString DriveType = QStringLiteral("DRIVE");
const QString MouseType = QStringLiteral("MOUSE");
const QString KeyboardType = QStringLiteral("KEYBOARD");
const QString TabletType = QStringLiteral("TABLET");

const QString NoValue = QStringLiteral("----");
const QString PhysicalDrivePrefix = QStringLiteral("\\\\.\\PhysicalDrive");

QString& hostUsbRoot()
{
    static QString root = QStringLiteral("/sys/bus/usb/devices");
    return root;
}

// The first line of a small sysfs attribute, without its line break; empty when unreadable.
QString readAttribute(const QString& folder, const QString& name)
{
    QFile file(folder + QLatin1Char('/') + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readLine(256)).trimmed();
}

// Kernel names in the order a person reads them: "1-2" before "1-10".
bool naturalLess(const QString& a, const QString& b)
{
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < a.size() && j < b.size()) {
        if (a.at(i).isDigit() && b.at(j).isDigit()) {
            qsizetype endA = i;
            qsizetype endB = j;
            while (endA < a.size() && a.at(endA).isDigit())
                ++endA;
            while (endB < b.size() && b.at(endB).isDigit())
                ++endB;
            const QString numberA =
                a.mid(i, endA - i).remove(QRegularExpression(QStringLiteral("^0+")));
            const QString numberB =
                b.mid(j, endB - j).remove(QRegularExpression(QStringLiteral("^0+")));
            if (numberA.size() != numberB.size())
                return numberA.size() < numberB.size();
            if (numberA != numberB)
                return numberA < numberB;
            i = endA;
            j = endB;
            continue;
        }
        if (a.at(i) != b.at(j))
            return a.at(i) < b.at(j);
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

} // namespace

QString UsbDeviceSection(int number)
{
    return UsbDevicePrefix() + QString::number(number);
}

QString UsbDevicesSection()
{
    return QStringLiteral("USB Devices");
}

QString UsbCountKey()
{
    return QStringLiteral("Count");
}

QString UsbDevicePrefix()
{
    return QStringLiteral("USB Device ");
}

UsbDevice HostUsbDevice(const QString& vendorId, const QString& productId, const QString& name)
{
    return {HostType, productId, vendorId, name, {}};
}

UsbDevice DiskImageUsbDevice(const QString& imagePath)
{
    return {DriveType, {}, {}, QStringLiteral("USB Disk Image Drive"), imagePath};
}

UsbDevice PhysicalDriveUsbDevice(const QString& devicePath)
{
    return {DriveType, {}, {}, QStringLiteral("USB Physical Drive"), devicePath};
}

UsbDevice MouseUsbDevice()
{
    return {MouseType, {}, {}, QStringLiteral("USB Mouse"), {}};
}

UsbDevice KeyboardUsbDevice()
{
    return {KeyboardType, {}, {}, QStringLiteral("USB Keyboard"), {}};
}

UsbDevice TabletUsbDevice()
{
    return {TabletType, {}, {}, QStringLiteral("USB Tablet"), {}};
}

int UsbDeviceCount(const VMContext& vm)
{
    return ParseCount(vm.ReadVMValue(UsbDevicesSection(), UsbCountKey())).value_or(0);
}

UsbDevice ReadUsbDevice(const VMContext& vm, int number)
{
    const QString section = UsbDeviceSection(number);
    return {vm.ReadVMValue(section, TypeKey), vm.ReadVMValue(section, ProdIdKey),
            vm.ReadVMValue(section, VendIdKey), vm.ReadVMValue(section, ProductNameKey),
            vm.ReadVMValue(section, DrivePathKey)};
}

bool WriteUsbDevice(VMContext& vm, int number, const UsbDevice& device)
{
    const QString section = UsbDeviceSection(number);
    const QList<std::pair<QString, QString>> keys = {{TypeKey, device.type},
                                                     {ProdIdKey, device.prodId},
                                                     {VendIdKey, device.vendId},
                                                     {ProductNameKey, device.productName},
                                                     {DrivePathKey, device.drivePath}};
    for (const auto& [key, value] : keys) {
        if (!vm.WriteVMValue({}, section, key, value))
            return false;
    }
    return true;
}

int AddUsbDevice(VMContext& vm, const UsbDevice& device)
{
    if (vm.selectedVM().isEmpty())
        return 0;
    const int number = UsbDeviceCount(vm) + 1;
    if (!WriteUsbDevice(vm, number, device))
        return 0;
    if (!vm.WriteVMValue({}, UsbDevicesSection(), UsbCountKey(), QString::number(number)))
        return 0;
    return number;
}

bool DeleteUsbDevice(VMContext& vm, int k, QString* error)
{
    const QString file = vm.selectedVM();
    if (file.isEmpty())
        return true;
    return RenumberSections(file, UsbDevicePrefix(), UsbDevicesSection(), UsbCountKey(), k, error);
}

std::optional<UsbDeviceRow> UsbDeviceRowOf(int number, const UsbDevice& device)
{
    UsbDeviceRow row;
    row.number = number;
    if (device.type == HostType) {
        row.columns = {device.productName, device.prodId, device.vendId, NoValue};
        row.hostDevice = true;
    } else if (device.type == DriveType) {
        row.columns = {device.productName, NoValue, NoValue, device.drivePath};
    } else if (device.type == MouseType || device.type == KeyboardType ||
               device.type == TabletType) {
        row.columns = {device.productName, NoValue, NoValue, NoValue};
    } else {
        return std::nullopt;
    }
    return row;
}

QList<UsbDeviceRow> UsbDeviceRows(const VMContext& vm)
{
    QList<UsbDeviceRow> rows;
    if (vm.selectedVM().isEmpty())
        return rows;
    const int count = UsbDeviceCount(vm);
    for (int number = 1; number <= count; ++number) {
        if (auto row = UsbDeviceRowOf(number, ReadUsbDevice(vm, number)))
            rows.append(*row);
    }
    return rows;
}

QString UsbImageToDelete(VMContext& vm, const UsbDevice& device)
{
    const QString value = device.drivePath.trimmed();
    // A physical drive or a shared folder is the host's own: never a file to remove.
    if (device.type != DriveType || value.isEmpty() ||
        value.startsWith(PhysicalDrivePrefix, Qt::CaseInsensitive) ||
        value.startsWith(QLatin1String("fat:"), Qt::CaseInsensitive))
        return {};
    const QString storeId =
        vm.ReadVMValue(QStringLiteral("General"), QStringLiteral("VM Store ID"));
    return ResolveDrivePath(device.drivePath, vm.table(VMContext::Table::VLookup), storeId);
}

// ---- The host's USB devices ---------------------------------------------------------------

QString HostUsbEntry::name() const
{
    return product.isEmpty() ? manufacturer : product;
}

QString HostUsbEntry::caption() const
{
    QStringList parts = {busPath, vendorId + QLatin1Char(':') + productId};
    const QString maker = manufacturer;
    QString described = product;
    if (!maker.isEmpty() && !product.startsWith(maker))
        described = product.isEmpty() ? maker : maker + QLatin1Char(' ') + product;
    if (!described.isEmpty())
        parts.append(described);
    return parts.join(QStringLiteral("  "));
}

void SetHostUsbRoot(const QString& root)
{
    hostUsbRoot() = root.isEmpty() ? QStringLiteral("/sys/bus/usb/devices") : root;
}

QString HostUsbRoot()
{
    return hostUsbRoot();
}

QList<HostUsbEntry> ListHostUsbDevices()
{
    return ListHostUsbDevices(HostUsbRoot());
}

QList<HostUsbEntry> ListHostUsbDevices(const QString& root)
{
    QList<HostUsbEntry> devices;
    const QDir folder(root);
    // The kernel lists its devices as links; a test tree may use plain folders.
    QStringList names = folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::System);
    std::sort(names.begin(), names.end(), naturalLess);
    for (const QString& name : names) {
        // "usbN" are the host controllers' own hubs; "1-1:1.0" and the like are interfaces.
        if (name.startsWith(QLatin1String("usb")) || name.contains(QLatin1Char(':')))
            continue;
        const QString path = folder.filePath(name);
        HostUsbEntry entry;
        entry.busPath = name;
        entry.vendorId = readAttribute(path, QStringLiteral("idVendor"));
        entry.productId = readAttribute(path, QStringLiteral("idProduct"));
        if (entry.vendorId.isEmpty() || entry.productId.isEmpty())
            continue;
        entry.manufacturer = readAttribute(path, QStringLiteral("manufacturer"));
        entry.product = readAttribute(path, QStringLiteral("product"));
        devices.append(entry);
    }
    return devices;
}
