#pragma once

#include "platform/HostDrives.h"

#include <QList>
#include <QString>

class VMContext;

// A raw device value ("\\.\PhysicalDriveN", "D:") names a device by its place among the host's
// devices, and places move when a device is added or removed. Beside each such value the device's
// identity is kept (key "<value key> Device"); before a device is handed to QEMU or copied, the
// device now in that place is checked against it.
namespace DeviceIdentity {

// "HDA" gives "HDA Device".
QString KeyFor(const QString& valueKey);

// "Samsung SSD 860 (500.1 GB, /dev/sda)".
QString Describe(const HostDrives::Device& device);

struct Check
{
    enum class Result
    {
        Unchecked,  // the value names no device, or none is there now (QEMU reports that)
        Same,       // the recorded device is there
        Unrecorded, // nothing recorded yet (files of earlier releases): ask before first use
        Moved       // another device is there now: refuse
    };
    Result result = Result::Unchecked;
    QString identity; // of the device there now
    QString message;  // the question (Unrecorded) or the refusal (Moved)
};

// Checks the device value names now against the recorded identity; what names the value for the
// user ("Hard Disk 0", "The drive D:").
Check CheckDevice(const QString& what, const QString& value, const QString& recorded);

// For values picked from a list of the host's drives: the identity of the device each names when
// the list is made (empty where none), and, when one of them is used, the refusal to show if
// another device has taken its place since (empty when it may be used).
QStringList IdentitiesOf(const QStringList& values);
QString MovedSinceListed(const QString& value, const QStringList& values,
                         const QStringList& identities);

// The identity to keep beside a value an editor is saving: the one taken when the value was picked
// from the host's list in this edit, the stored one when the value is unchanged, else the identity
// of the device there now; empty for a value that names no device.
QString IdentityToStore(const VMContext& vm, const QString& section, const QString& key,
                        const QString& value, const QString& pickedValue,
                        const QString& pickedIdentity);
// Writes it beside the key; an empty identity only clears one stored before.
bool StoreIdentity(VMContext& vm, const QString& section, const QString& key,
                   const QString& identity);

// One device value of a VM that a launch hands to QEMU.
struct DeviceUse
{
    QString section;
    QString key;
    QString what;
};
// The device values of the selected VM, in the order the launch uses them.
QList<DeviceUse> LaunchDevices(VMContext& vm);

} // namespace DeviceIdentity
