#include "launch/Kqemu.h"

int KqemuServiceState()
{
    return 0;
}

bool StartKqemuService()
{
    return false;
}

bool StopKqemuService()
{
    return false;
}
