#include "devices/TapSelection.h"

#include "model/VMContext.h"

std::optional<QString> SelectTapAdapter(VMContext&)
{
    return std::nullopt;
}
