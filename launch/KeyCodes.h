#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

// The two ways a VM's display sends a key: as an X keysym, which every VNC server understands, or
// as the PC keyboard's scancode (set 1, with an 0xe0 prefix given as the high bit), which QEMU
// passes to the guest as it is, so that every host keyboard layout works.
namespace KeyCodes {

// The scancode of a key given by its XKB keycode (the Linux input code plus 8, as X11 and Wayland
// report it); 0 when the key has none.
quint32 scancodeFromXkb(quint32 keycode);

// The keysym of a Qt key with its text, for platforms that report none; 0 when unknown.
quint32 keysymFromQt(int key, const QString& text);

struct Keystroke
{
    quint32 keysym;
    quint32 scancode; // 0 when the key has none
    bool down;
};

// The presses and releases that type the text on a US keyboard, Shift held around the characters
// that need it; a line break is Return. A character that keyboard lacks goes by its keysym alone.
QList<Keystroke> keystrokesForText(const QString& text);

} // namespace KeyCodes
