#include "launch/ui/LaunchConfirmations.h"

#include "launch/DiskFormatCheck.h"
#include "launch/OwnValuesCheck.h"
#include "model/QemuGeneration.h"
#include "model/VMContext.h"
#include "platform/ui/Interaction.h"
#include "versions/VersionRegistry.h"

namespace LaunchConfirmations {

bool ConfirmOwnValues(VMContext& vm)
{
    const QList<OwnValuesCheck::Value> values = OwnValuesCheck::Unapproved(vm);
    if (values.isEmpty())
        return true;
    if (!Interaction::confirm(vm.dialogParent(), OwnValuesCheck::Question(values)))
        return false;
    if (OwnValuesCheck::Approve(vm, values))
        return true;
    Interaction::error(vm.dialogParent(),
                       QStringLiteral("The approval could not be saved in your own folder, so the "
                                      "virtual machine was not launched."));
    return false;
}

bool ConfirmDiskFormats(VMContext& vm)
{
    const QString version =
        vm.ReadVMValue(QStringLiteral("General"), QStringLiteral("Qemu Version ID"));
    if (!QemuGeneration::isModern(vm.versions().VersionCode(version)))
        return true;
    for (const DiskFormatCheck::Pending& pending : DiskFormatCheck::Unrecorded(vm)) {
        QString format = pending.found;
        if (!pending.question.isEmpty() && format == QLatin1String("raw")) {
            if (!Interaction::confirm(vm.dialogParent(), pending.question))
                return false;
        } else if (!pending.question.isEmpty()) {
            const Interaction::Answer answer =
                Interaction::choose(vm.dialogParent(), pending.question);
            if (answer == Interaction::Answer::Cancel)
                return false;
            if (answer == Interaction::Answer::No)
                format = QStringLiteral("raw");
        }
        if (!DiskFormatCheck::Record(vm, pending.drive, format))
            return false;
    }
    return true;
}

} // namespace LaunchConfirmations
