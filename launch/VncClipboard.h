#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <optional>

// The VNC extended clipboard, for UTF-8 text: the messages a viewer sends and the text in what a
// server provides. Only the coding; the connection reads and writes them.
namespace VncClipboard {

// The pseudo-encoding a viewer lists to say it speaks the extended clipboard.
constexpr quint32 Encoding = 0xc0a1e5ce;

// A message's flags: the formats it is about in the low bits, its action in the high byte.
enum Flag : quint32
{
    Text = 1u << 0,
    Caps = 1u << 24,
    Request = 1u << 25,
    Peek = 1u << 26,
    Notify = 1u << 27,
    Provide = 1u << 28,
};

// A server's message (its flags and payload) beyond this is refused: no clipboard needs more, and a
// bad server would have the viewer allocate without end.
constexpr quint32 MaxPayload = 8u << 20;
// Nor does its text, once inflated.
constexpr qsizetype MaxText = 8 << 20;

// A ClientCutText message in the extended form.
QByteArray clientMessage(quint32 flags, const QByteArray& payload = {});
// What this viewer can do: notify, request and provide text, and take up to MaxText unasked.
QByteArray capsMessage();
// The text for the server: UTF-8 with a closing NUL, its length first, compressed. No text, or
// text too large for a server to take (QEMU takes 1 MiB), goes as a provide without text.
QByteArray provideMessage(const QString& text);
// The text in a provide's payload; none and an empty error when it has no text, none and the
// reason when it is not valid or too large.
std::optional<QString> providedText(quint32 flags, const QByteArray& payload, QString* error);

} // namespace VncClipboard
