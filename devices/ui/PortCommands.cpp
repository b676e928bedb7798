#include "devices/ui/PortCommands.h"

#include "devices/NetworkPorts.h"
#include "devices/ui/NetworkCardDialog.h"
#include "model/IniFile.h"
#include "model/VMContext.h"
#include "platform/ui/Interaction.h"

#include <QPointer>

namespace {

void addDevice(VMContext& vm, NumberedDevice device)
{
    const NumberedSections sections = SectionsOf(device);
    const ChoiceList models =
        device == NumberedDevice::NetworkCard ? NetworkCardModels(vm) : ChoiceList();
    const AddPlan plan =
        PlanAdd(device, vm.ReadVMValue(sections.countSection, sections.countKey), models);
    switch (plan.outcome) {
    case AddPlan::Outcome::Nothing:
        return;
    case AddPlan::Outcome::OverLimit:
        Interaction::error(vm.dialogParent(), LimitMessage(device));
        return;
    case AddPlan::Outcome::Write:
        break;
    }
    const QString file = vm.selectedVM();
    // A section left past the count (by hand or by an older release) would lend the new device
    // its other keys.
    QString error;
    if (!IniFile(file).eraseSection(plan.section, &error)) {
        Interaction::error(vm.dialogParent(), error);
        return;
    }
    bool written = true;
    for (const KeyValue& value : plan.values) {
        written = vm.WriteVMValue(file, plan.section, value.key, value.value);
        if (!written)
            break;
    }
    if (written)
        vm.WriteVMValue(file, sections.countSection, sections.countKey, plan.newCount);
    vm.ShowSettings();
}

void deleteDevice(VMContext& vm, NumberedDevice device, int selectedIcon, const QString& number)
{
    switch (CheckDeleteSelection(device, selectedIcon, number)) {
    case DeleteCheck::Ignore:
        return;
    case DeleteCheck::WrongKind:
        Interaction::warning(vm.dialogParent(), WrongKindMessage(device));
        return;
    case DeleteCheck::Delete:
        break;
    }
    const QString file = vm.selectedVM();
    if (file.isEmpty())
        return;
    QString error;
    if (!RenumberSections(file, device, number.trimmed().toInt(), &error))
        Interaction::error(vm.dialogParent(), error);
    vm.ShowSettings();
}

} // namespace

void AddNewNetworkCard1Click(VMContext& vm)
{
    addDevice(vm, NumberedDevice::NetworkCard);
}

void AddNewSerialPort1Click(VMContext& vm)
{
    addDevice(vm, NumberedDevice::SerialPort);
}

void AddNewParallelPort1Click(VMContext& vm)
{
    addDevice(vm, NumberedDevice::ParallelPort);
}

void DeleteSelectedNetworkCard1Click(VMContext& vm, int selectedIcon, const QString& selectedNumber)
{
    deleteDevice(vm, NumberedDevice::NetworkCard, selectedIcon, selectedNumber);
}

void DeleteSelectedSerialPort1Click(VMContext& vm, int selectedIcon, const QString& selectedNumber)
{
    deleteDevice(vm, NumberedDevice::SerialPort, selectedIcon, selectedNumber);
}

void DeleteSelectedParallelPort1Click(VMContext& vm, int selectedIcon,
                                      const QString& selectedNumber)
{
    deleteDevice(vm, NumberedDevice::ParallelPort, selectedIcon, selectedNumber);
}

void EditNetworkCard(VMContext& vm, const QString& number)
{
    // One dialog per main window, made on first use and gone with the window.
    static QPointer<NetworkCardDialog> dialog;
    if (!dialog || dialog->parentWidget() != vm.dialogParent())
        dialog = new NetworkCardDialog(vm.dialogParent());
    EditNetworkCard(vm, *dialog, number);
}

void EditNetworkCard(VMContext& vm, NetworkCardDialog& dialog, const QString& number)
{
    const NumberedSections sections = SectionsOf(NumberedDevice::NetworkCard);
    const std::optional<int> card = ParseCount(number);
    const std::optional<int> count =
        ParseCount(vm.ReadVMValue(sections.countSection, sections.countKey));
    if (vm.selectedVM().isEmpty() || !card || !count || *card < 1 || *card > *count)
        return;
    dialog.load(vm, QString::number(*card));
    if (Interaction::current().execDialog(dialog) != QDialog::Accepted)
        return;
    dialog.save();
    vm.ShowSettings();
}
