#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

class VMContext;

// The USB devices of a VM: numbered sections "USB Device 1" .. "USB Device <Count>" of its
// definition file, counted by "Count" of section "USB Devices". Each section holds the five keys
// "Type", "ProdID", "VendID", "ProductName" and "DrivePath", always written in that order.

struct UsbDevice
{
    QString type; // "HW", "DRIVE", "MOUSE", "KEYBOARD", "TABLET"
    QString prodId;
    QString vendId;
    QString productName;
    QString drivePath;

    friend bool operator==(const UsbDevice&, const UsbDevice&) = default;
};

// "USB Device " followed by the number.
QString UsbDeviceSection(int number);
QString UsbDevicesSection(); // "USB Devices"
QString UsbCountKey();       // "Count"
QString UsbDevicePrefix();   // "USB Device "

// The devices the "Add New USB Device" choices make.
UsbDevice HostUsbDevice(const QString& vendorId, const QString& productId, const QString& name);
UsbDevice DiskImageUsbDevice(const QString& imagePath);
// devicePath: "\\.\PhysicalDrive" followed by the drive number.
UsbDevice PhysicalDriveUsbDevice(const QString& devicePath);
UsbDevice MouseUsbDevice();
UsbDevice KeyboardUsbDevice();
UsbDevice TabletUsbDevice();

// The stored count of the selected VM; 0 when missing, empty or not a number.
int UsbDeviceCount(const VMContext& vm);
UsbDevice ReadUsbDevice(const VMContext& vm, int number);
// Writes the five keys of device number of the selected VM, in order, stopping at the first
// write that fails (the context has reported it).
bool WriteUsbDevice(VMContext& vm, int number, const UsbDevice& device);

// Writes the device as number Count + 1, then the new count, so that a write broken off halfway
// leaves no visible device. Returns the new device's number, or 0 when a write failed.
int AddUsbDevice(VMContext& vm, const UsbDevice& device);

// Erases device k of the selected VM and moves the later ones down one number with all their
// keys; the count drops by one. Nothing happens (and it succeeds) unless 1 <= k <= Count.
bool DeleteUsbDevice(VMContext& vm, int k, QString* error = nullptr);

// One row of the "USB Devices" list. The row keeps its device number: sections of an unknown
// type give no row, so a row's position does not always tell the device.
struct UsbDeviceRow
{
    int number = 0;
    QStringList columns; // "USB Device", "Product ID", "Vendor ID", "Path"
    bool hostDevice = false;

    friend bool operator==(const UsbDeviceRow&, const UsbDeviceRow&) = default;
};
QList<UsbDeviceRow> UsbDeviceRows(const VMContext& vm);
// The row of one device; nullopt for a type the list does not show.
std::optional<UsbDeviceRow> UsbDeviceRowOf(int number, const UsbDevice& device);

// The image file a "DRIVE" device's deletion may remove with it: its "DrivePath" resolved like a
// hard disk's value (a bare name lies in the VM's store folder). Empty when there is no file to
// remove: other types, an empty path, a physical drive or shared folder, or an unknown store.
QString UsbImageToDelete(VMContext& vm, const UsbDevice& device);

// ---- The host's USB devices ---------------------------------------------------------------

// One device plugged into the host, as the kernel lists it under /sys/bus/usb/devices.
struct HostUsbEntry
{
    QString busPath;      // the kernel's name of the device, "1-1.2"
    QString vendorId;     // idVendor, four hexadecimal digits
    QString productId;    // idProduct
    QString manufacturer; // may be empty
    QString product;      // may be empty

    // The name typed into "Product Name:" for it: the product, else the manufacturer.
    QString name() const;
    // What the chooser shows: "1-1.2  046d:c52b  Logitech USB Receiver".
    QString caption() const;

    friend bool operator==(const HostUsbEntry&, const HostUsbEntry&) = default;
};

// Where the host's USB devices are looked for; tests point it at a folder of their own.
void SetHostUsbRoot(const QString& root);
QString HostUsbRoot(); // "/sys/bus/usb/devices" unless set

// The devices below the root that carry a vendor and product identifier, hubs of the host
// controllers left out, in the order of their kernel names.
QList<HostUsbEntry> ListHostUsbDevices();
QList<HostUsbEntry> ListHostUsbDevices(const QString& root);
