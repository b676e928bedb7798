#include "launch/DiskFormatCheck.h"

#include "model/ImageFormat.h"
#include "model/VMContext.h"

namespace DiskFormatCheck {

QList<Pending> Unrecorded(VMContext& vm)
{
    QList<Pending> pending;
    for (const LaunchDrives::Drive& drive : LaunchDrives::Of(vm)) {
        if (!LaunchDrives::isImageFile(drive) ||
            ImageFormat::isKnown(vm.ReadVMValue(drive.section, ImageFormat::KeyFor(drive.key))))
            continue;
        const QString named = ImageFormat::ofName(drive.path);
        if (!named.isEmpty() && !ImageFormat::containerNamedRaw(drive.path)) {
            pending.append({drive, named, {}});
            continue;
        }
        const QString found = ImageFormat::ofFile(drive.path);
        const QString question =
            found == QLatin1String("raw")
                ? QStringLiteral("%1 (\"%2\") has no disk format recorded yet. Its contents read "
                                 "as a raw disk.\n\nUse it as a raw disk from now on?")
                      .arg(drive.what, drive.path)
                : QStringLiteral("%1 (\"%2\") has no disk format recorded yet. Its contents read "
                                 "as a %3 image.\n\nUse it as %3 from now on? Answer Yes if you "
                                 "made or downloaded it as %3. Answer No to use it as a raw disk: "
                                 "a guest that was given it as a raw disk can write a %3 header "
                                 "that names files of yours.")
                      .arg(drive.what, drive.path, found);
        pending.append({drive, found, question});
    }
    return pending;
}

bool Record(VMContext& vm, const LaunchDrives::Drive& drive, const QString& format)
{
    return vm.WriteVMValue({}, drive.section, ImageFormat::KeyFor(drive.key), format);
}

} // namespace DiskFormatCheck
