#include "platform/CommandLine.h"

namespace CommandLine {

QStringList SplitCommandLine(const QString& commandLine)
{
    QStringList arguments;
    QString current;
    // A quote makes an argument even when nothing stands between it and its partner ("").
    bool started = false;
    bool quoted = false;
    for (const QChar c : commandLine) {
        if (c == QLatin1Char('"')) {
            quoted = !quoted;
            started = true;
        } else if (!quoted && (c == QLatin1Char(' ') || c == QLatin1Char('\t'))) {
            if (started)
                arguments.append(current);
            current.clear();
            started = false;
        } else {
            current += c;
            started = true;
        }
    }
    if (started)
        arguments.append(current);
    return arguments;
}

} // namespace CommandLine
