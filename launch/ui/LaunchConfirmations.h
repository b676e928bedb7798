#pragma once

class VMContext;

// The questions asked before a launch builds anything; each returns false when the launch must
// not happen (the user said no, closed the box, or the answer could not be recorded).
namespace LaunchConfirmations {

// Settings of the VM file that this user has not made or approved (shown exactly).
bool ConfirmOwnValues(VMContext& vm);

// Formats for drives that have none recorded, on the QEMU generation that is told formats.
bool ConfirmDiskFormats(VMContext& vm);

} // namespace LaunchConfirmations
