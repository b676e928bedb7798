#pragma once

#include <QString>

#include <optional>

class VMContext;

// Lets the user pick one of the host's TAP adapters for a network card and gives the connection
// name of the adapter chosen; nullopt when none was chosen. For now no adapter list is offered, so
// there is never a choice.
std::optional<QString> SelectTapAdapter(VMContext& vm);
