#include "launch/MonitorArgument.h"

namespace MonitorArgument {

std::optional<QString> quoted(const QString& value)
{
    QString out;
    out.reserve(value.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : value) {
        if (c.category() == QChar::Other_Control || c == QChar::LineSeparator ||
            c == QChar::ParagraphSeparator)
            return std::nullopt;
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        out += c;
    }
    out += QLatin1Char('"');
    return out;
}

QString refusal(const QString& value)
{
    QString shown = value;
    for (QChar& c : shown)
        if (c.category() == QChar::Other_Control)
            c = QChar(0xfffd);
    return QStringLiteral("This name contains a line break or another control character, which "
                          "cannot be sent to the QEMU monitor:\n\n") +
           shown;
}

} // namespace MonitorArgument
