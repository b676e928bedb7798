#include "media/ui/DriveFormatChoice.h"

#include "media/LaunchDrives.h"
#include "model/ImageFormat.h"
#include "model/VMContext.h"
#include "platform/ui/Interaction.h"

namespace DriveFormatChoice {

QString ForChosenFile(QWidget* parent, const QString& path)
{
    if (!ImageFormat::containerNamedRaw(path))
        return ImageFormat::whenChosen(path);
    const QString found = ImageFormat::ofFile(path);
    const bool container = Interaction::confirm(
        parent, QStringLiteral("\"%1\" is named like a raw disk image, but it holds a %2 image "
                               "(as cloud images do).\n\nUse it as a %2 image? Answer No to use "
                               "its bytes as a raw disk.")
                    .arg(path, found));
    return container ? found : QStringLiteral("raw");
}

bool StoreForValue(VMContext& vm, const QString& section, const QString& key,
                   const QString& previous, const QString& value, bool disk)
{
    const QString formatKey = ImageFormat::KeyFor(key);
    if (value == previous)
        return true;
    QString format;
    if (!value.isEmpty()) {
        const LaunchDrives::Drive drive{section,
                                        key,
                                        {},
                                        value,
                                        disk ? LaunchDrives::DiskPath(vm, value)
                                             : LaunchDrives::MediaPath(value)};
        if (LaunchDrives::isImageFile(drive))
            format = ForChosenFile(vm.dialogParent(), drive.path);
    }
    if (format.isEmpty() && vm.ReadVMValue(section, formatKey).isEmpty())
        return true;
    return vm.WriteVMValue({}, section, formatKey, format);
}

} // namespace DriveFormatChoice
