#pragma once

#include "media/LaunchDrives.h"

#include <QList>
#include <QString>

class VMContext;

// Drives of earlier releases have no format stored beside them. Before their first launch the
// format is settled: from the name when it names one (and the header does not contradict it),
// else by asking the user about what the header says.
namespace DiskFormatCheck {

struct Pending
{
    LaunchDrives::Drive drive;
    QString found;    // the format to record, or the one offered
    QString question; // empty: record found without asking
};

// The image files of the VM's launch without a known stored format.
QList<Pending> Unrecorded(VMContext& vm);

// Writes the format beside the drive's value.
bool Record(VMContext& vm, const LaunchDrives::Drive& drive, const QString& format);

} // namespace DiskFormatCheck
