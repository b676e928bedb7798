#include "devices/CardModels.h"

#include "model/VMContext.h"

void ResetCardModels(VMContext&) {}
