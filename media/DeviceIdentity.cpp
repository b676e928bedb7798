#include "media/DeviceIdentity.h"

#include "media/LaunchDrives.h"
#include "model/VMContext.h"

#include <QLocale>

namespace DeviceIdentity {

namespace {

// The recorded device as it is found now, or its identity alone when it is not connected.
QString describeRecorded(const QString& identity)
{
    if (const auto device = HostDrives::deviceWithIdentity(identity))
        return Describe(*device);
    return identity + QStringLiteral(" (not connected)");
}

} // namespace

QString KeyFor(const QString& valueKey)
{
    return valueKey + QStringLiteral(" Device");
}

QString Describe(const HostDrives::Device& device)
{
    QString details;
    if (device.size >= 0)
        details = QLocale::c().formattedDataSize(device.size, 1, QLocale::DataSizeSIFormat) +
                  QStringLiteral(", ");
    details += QStringLiteral("/dev/") + device.name;
    return device.model.isEmpty()
               ? details
               : device.model + QStringLiteral(" (") + details + QLatin1Char(')');
}

Check CheckDevice(const QString& what, const QString& value, const QString& recorded)
{
    Check check;
    const auto device = HostDrives::deviceOf(value);
    if (!device)
        return check;
    check.identity = device->identity();
    if (recorded.isEmpty()) {
        check.result = Check::Result::Unrecorded;
        check.message = QStringLiteral("%1 is set to %2, which is now the device %3. Give the "
                                       "virtual machine direct access to this device?\n\nVimor "
                                       "remembers the device and refuses to use %2 should it "
                                       "ever name another one.")
                            .arg(what, value, Describe(*device));
    } else if (device->hasIdentity(recorded)) {
        check.result = Check::Result::Same;
    } else {
        check.result = Check::Result::Moved;
        check.message =
            QStringLiteral("%1 is set to %2, which was the device %3 when it was chosen, but is "
                           "now the device %4: a device has been added or removed since. Nothing "
                           "was done. Please choose the device again.")
                .arg(what, value, describeRecorded(recorded), Describe(*device));
    }
    return check;
}

QStringList IdentitiesOf(const QStringList& values)
{
    QStringList identities;
    for (const QString& value : values) {
        const auto device = HostDrives::deviceOf(value);
        identities.append(device ? device->identity() : QString());
    }
    return identities;
}

QString MovedSinceListed(const QString& value, const QStringList& values,
                         const QStringList& identities)
{
    const Check check = CheckDevice(QStringLiteral("The drive you chose"), value,
                                    identities.value(values.indexOf(value)));
    return check.result == Check::Result::Moved ? check.message : QString();
}

QString IdentityToStore(const VMContext& vm, const QString& section, const QString& key,
                        const QString& value, const QString& pickedValue,
                        const QString& pickedIdentity)
{
    if (!HostDrives::isDeviceValue(value))
        return {};
    if (value == pickedValue)
        return pickedIdentity;
    // Saving the same value again must not accept whatever device has taken its place since.
    if (value == vm.ReadVMValue(section, key))
        return vm.ReadVMValue(section, KeyFor(key));
    const auto device = HostDrives::deviceOf(value);
    return device ? device->identity() : QString();
}

bool StoreIdentity(VMContext& vm, const QString& section, const QString& key,
                   const QString& identity)
{
    if (identity.isEmpty() && vm.ReadVMValue(section, KeyFor(key)).isEmpty())
        return true;
    return vm.WriteVMValue({}, section, KeyFor(key), identity);
}

QList<DeviceUse> LaunchDevices(VMContext& vm)
{
    QList<DeviceUse> uses;
    for (const LaunchDrives::Drive& drive : LaunchDrives::Of(vm))
        if (HostDrives::isDeviceValue(drive.value))
            uses.append({drive.section, drive.key, drive.what});
    return uses;
}

} // namespace DeviceIdentity
