#pragma once

#include <QtGlobal>

// Facts about the host machine. Tests may fix them to stand for another machine.
namespace Host {

// Processors this program may run on.
int processorCount();
// Physical memory in MB, and the part of it that is free now.
qint64 physicalMemoryMB();
qint64 availableMemoryMB();

// Fixes the answers for a test; 0 (or a negative count) returns to the real host.
void overrideProcessorCount(int count);
void overridePhysicalMemoryMB(qint64 megabytes);

} // namespace Host
