#include "platform/Host.h"

#include <sched.h>
#include <sys/sysinfo.h>
#include <unistd.h>

namespace Host {
namespace {

int g_processorOverride = 0;
qint64 g_memoryOverride = 0;

} // namespace

int processorCount()
{
    if (g_processorOverride > 0)
        return g_processorOverride;
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        const int count = CPU_COUNT(&set);
        if (count > 0)
            return count;
    }
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? int(online) : 1;
}

qint64 physicalMemoryMB()
{
    if (g_memoryOverride > 0)
        return g_memoryOverride;
    struct sysinfo info
    {};
    if (sysinfo(&info) != 0)
        return 0;
    return qint64(info.totalram) * info.mem_unit / (1024 * 1024);
}

qint64 availableMemoryMB()
{
    if (g_memoryOverride > 0)
        return g_memoryOverride;
    const long pages = sysconf(_SC_AVPHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return qint64(pages) * pageSize / (1024 * 1024);
}

void overrideProcessorCount(int count)
{
    g_processorOverride = count > 0 ? count : 0;
}

void overridePhysicalMemoryMB(qint64 megabytes)
{
    g_memoryOverride = megabytes > 0 ? megabytes : 0;
}

} // namespace Host
