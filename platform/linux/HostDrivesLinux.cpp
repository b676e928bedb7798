#include "platform/HostDrives.h"
