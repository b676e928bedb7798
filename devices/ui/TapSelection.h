#pragma once

#include <QString>

#include <optional>

class QWidget;
class VMContext;

// "Configure TAP Network Devices": discovers the host's TAP adapters and shows them for
// management, or says they cannot be discovered.
void ConfigureTapAdapters(QWidget* parent);

// Lets the user pick one of the host's TAP adapters for a network card and gives the connection
// name of the adapter chosen; nullopt when none was chosen.
std::optional<QString> SelectTapAdapter(VMContext& vm);
