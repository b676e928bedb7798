#include "library/ui/VMDeletion.h"

#include "library/NewVM.h"
#include "model/VMContext.h"
#include "platform/ui/Interaction.h"

#include <QString>

VMDeletion DeleteVMClick(VMContext& vm)
{
    QWidget* const parent = vm.dialogParent();
    const QString vmFile = vm.selectedVM();
    if (vmFile.isEmpty()) {
        Interaction::error(parent, QStringLiteral("Please select a virtual machine to delete"));
        return VMDeletion::NoVMSelected;
    }
    if (!Interaction::confirm(
            parent, QStringLiteral("Are you Sure you wish to delete this virtual machine ?")))
        return VMDeletion::Cancelled;
    const bool withDisk = Interaction::confirm(
        parent, QStringLiteral("Do you wish to delete the main virtual disk image also ?"));
    NewVM::DeleteVMFiles(vmFile, withDisk, vm.table(VMContext::Table::VLookup));
    return VMDeletion::Deleted;
}
