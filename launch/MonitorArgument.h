#pragma once

#include <QString>

#include <optional>

// A file or snapshot name sent to the QEMU monitor goes as one quoted argument: unquoted, a blank
// splits it and a line break starts a second command.
namespace MonitorArgument {

// value in double quotes with '"' and '\' escaped; nothing when it holds a line break or another
// control character, which no quoting makes safe on every QEMU.
std::optional<QString> quoted(const QString& value);

// Why such a name was not sent, for the user.
QString refusal(const QString& value);

} // namespace MonitorArgument
