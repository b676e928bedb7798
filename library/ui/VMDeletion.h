#pragma once

class VMContext;

enum class VMDeletion
{
    NoVMSelected, // the root was selected: the error was shown
    Cancelled,    // "No" to the first question
    Deleted       // the definition file (and perhaps the disk) is gone
};

// Deletes the selected VM after the two questions. On Deleted the caller hides the VM pages and
// rebuilds the tree. Nothing checks whether the VM runs.
VMDeletion DeleteVMClick(VMContext& vm);
