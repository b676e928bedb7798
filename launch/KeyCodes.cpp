#include "launch/KeyCodes.h"

#include <QList>
#include <Qt>

#include <rfb/keysym.h>

namespace KeyCodes {
namespace {

// Linux input codes 1 (Escape) to 83 (keypad period) are their own scancodes; the rest differ.
constexpr quint32 LastPlainCode = 83;

struct CodePair
{
    quint32 input;
    quint32 scancode;
};

constexpr CodePair OtherCodes[] = {
    {85, 0x76},  {86, 0x56},  {87, 0x57},  {88, 0x58},  {89, 0x73},  {90, 0x78},  {91, 0x77},
    {92, 0x79},  {93, 0x70},  {94, 0x7b},  {95, 0x5c},  {96, 0x9c},  {97, 0x9d},  {98, 0xb5},
    {99, 0xb7},  {100, 0xb8}, {102, 0xc7}, {103, 0xc8}, {104, 0xc9}, {105, 0xcb}, {106, 0xcd},
    {107, 0xcf}, {108, 0xd0}, {109, 0xd1}, {110, 0xd2}, {111, 0xd3}, {113, 0xa0}, {114, 0xae},
    {115, 0xb0}, {116, 0xde}, {117, 0x59}, {119, 0xc6}, {121, 0x7e}, {124, 0x7d}, {125, 0xdb},
    {126, 0xdc}, {127, 0xdd}, {142, 0xdf}, {143, 0xe3}};

struct KeyPair
{
    int key;
    quint32 keysym;
};

constexpr KeyPair SpecialKeys[] = {{Qt::Key_Escape, XK_Escape},
                                   {Qt::Key_Tab, XK_Tab},
                                   {Qt::Key_Backtab, XK_Tab},
                                   {Qt::Key_Backspace, XK_BackSpace},
                                   {Qt::Key_Return, XK_Return},
                                   {Qt::Key_Enter, XK_KP_Enter},
                                   {Qt::Key_Insert, XK_Insert},
                                   {Qt::Key_Delete, XK_Delete},
                                   {Qt::Key_Pause, XK_Pause},
                                   {Qt::Key_Print, XK_Print},
                                   {Qt::Key_SysReq, XK_Sys_Req},
                                   {Qt::Key_Home, XK_Home},
                                   {Qt::Key_End, XK_End},
                                   {Qt::Key_Left, XK_Left},
                                   {Qt::Key_Up, XK_Up},
                                   {Qt::Key_Right, XK_Right},
                                   {Qt::Key_Down, XK_Down},
                                   {Qt::Key_PageUp, XK_Page_Up},
                                   {Qt::Key_PageDown, XK_Page_Down},
                                   {Qt::Key_Shift, XK_Shift_L},
                                   {Qt::Key_Control, XK_Control_L},
                                   {Qt::Key_Meta, XK_Super_L},
                                   {Qt::Key_Alt, XK_Alt_L},
                                   {Qt::Key_AltGr, XK_ISO_Level3_Shift},
                                   {Qt::Key_CapsLock, XK_Caps_Lock},
                                   {Qt::Key_NumLock, XK_Num_Lock},
                                   {Qt::Key_ScrollLock, XK_Scroll_Lock},
                                   {Qt::Key_Super_L, XK_Super_L},
                                   {Qt::Key_Super_R, XK_Super_R},
                                   {Qt::Key_Menu, XK_Menu},
                                   {Qt::Key_Space, XK_space}};

} // namespace

quint32 scancodeFromXkb(quint32 keycode)
{
    if (keycode < 8 + 1)
        return 0;
    const quint32 code = keycode - 8;
    if (code <= LastPlainCode)
        return code;
    for (const CodePair& pair : OtherCodes) {
        if (pair.input == code)
            return pair.scancode;
    }
    return 0;
}

quint32 keysymFromQt(int key, const QString& text)
{
    for (const KeyPair& pair : SpecialKeys) {
        if (pair.key == key)
            return pair.keysym;
    }
    if (key >= Qt::Key_F1 && key <= Qt::Key_F35)
        return XK_F1 + quint32(key - Qt::Key_F1);
    const QList<uint> characters = text.toUcs4();
    if (characters.size() == 1 && characters.first() >= 0x20 && characters.first() != 0x7f) {
        const uint character = characters.first();
        // Latin-1 characters are their own keysyms; the rest of Unicode has its own range.
        return character < 0x100 ? character : 0x01000000 + character;
    }
    // With Ctrl held the text is a control character: the key itself names the letter.
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return XK_a + quint32(key - Qt::Key_A);
    if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde)
        return quint32(key);
    return 0;
}

QList<Keystroke> keystrokesForText(const QString&)
{
    return {};
}

} // namespace KeyCodes
