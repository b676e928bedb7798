#include "launch/KeyCodes.h"

#include <QList>
#include <Qt>

#include <algorithm>
#include <iterator>
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

// From QEMU's key code table (keycodemapdb), for the keys QEMU names; QEMU 7.2 does not yet know
// F13 to F24 and drops them.
constexpr CodePair OtherCodes[] = {
    {85, 0x76},  {86, 0x56},  {87, 0x57},  {88, 0x58},  {89, 0x73},  {90, 0x78},  {91, 0x77},
    {92, 0x79},  {93, 0x70},  {94, 0x7b},  {95, 0x5c},  {96, 0x9c},  {97, 0x9d},  {98, 0xb5},
    {99, 0xb7},  {100, 0xb8}, {101, 0x5b}, {102, 0xc7}, {103, 0xc8}, {104, 0xc9}, {105, 0xcb},
    {106, 0xcd}, {107, 0xcf}, {108, 0xd0}, {109, 0xd1}, {110, 0xd2}, {111, 0xd3}, {113, 0xa0},
    {114, 0xae}, {115, 0xb0}, {116, 0xde}, {117, 0x59}, {119, 0xc6}, {121, 0x7e}, {122, 0x72},
    {123, 0x71}, {124, 0x7d}, {125, 0xdb}, {126, 0xdc}, {127, 0xdd}, {128, 0xe8}, {129, 0x85},
    {130, 0x86}, {131, 0x87}, {132, 0x8c}, {133, 0xf8}, {134, 0x64}, {135, 0x65}, {136, 0xc1},
    {137, 0xbc}, {138, 0xf5}, {139, 0x9e}, {140, 0xa1}, {142, 0xdf}, {143, 0xe3}, {155, 0xec},
    {156, 0xe6}, {157, 0xeb}, {158, 0xea}, {159, 0xe9}, {163, 0x99}, {164, 0xa2}, {165, 0x90},
    {166, 0xa4}, {172, 0xb2}, {173, 0xe7}, {183, 0x5d}, {184, 0x5e}, {185, 0x5f}, {186, 0x55},
    {187, 0x83}, {188, 0xf7}, {189, 0x84}, {190, 0x5a}, {191, 0x74}, {192, 0xf9}, {193, 0x6d},
    {194, 0x6f}, {226, 0xed}};

// The US keyboard's characters: the key's input code (its scancode) and what it types without
// and with Shift.
struct TypedKey
{
    char plain;
    char shifted;
    quint32 code;
};

constexpr TypedKey UsKeys[] = {
    {'1', '!', 2},  {'2', '@', 3},   {'3', '#', 4},  {'4', '$', 5},  {'5', '%', 6},
    {'6', '^', 7},  {'7', '&', 8},   {'8', '*', 9},  {'9', '(', 10}, {'0', ')', 11},
    {'-', '_', 12}, {'=', '+', 13},  {'q', 'Q', 16}, {'w', 'W', 17}, {'e', 'E', 18},
    {'r', 'R', 19}, {'t', 'T', 20},  {'y', 'Y', 21}, {'u', 'U', 22}, {'i', 'I', 23},
    {'o', 'O', 24}, {'p', 'P', 25},  {'[', '{', 26}, {']', '}', 27}, {'a', 'A', 30},
    {'s', 'S', 31}, {'d', 'D', 32},  {'f', 'F', 33}, {'g', 'G', 34}, {'h', 'H', 35},
    {'j', 'J', 36}, {'k', 'K', 37},  {'l', 'L', 38}, {';', ':', 39}, {'\'', '"', 40},
    {'`', '~', 41}, {'\\', '|', 43}, {'z', 'Z', 44}, {'x', 'X', 45}, {'c', 'C', 46},
    {'v', 'V', 47}, {'b', 'B', 48},  {'n', 'N', 49}, {'m', 'M', 50}, {',', '<', 51},
    {'.', '>', 52}, {'/', '?', 53},  {' ', ' ', 57}};
constexpr quint32 TabCode = 15;
constexpr quint32 ReturnCode = 28;
constexpr quint32 LeftShiftCode = 42;

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

// Latin-1 characters are their own keysyms; the rest of Unicode has its own range.
quint32 characterKeysym(uint character)
{
    return character < 0x100 ? character : 0x01000000 + character;
}

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
        return characterKeysym(characters.first());
    }
    // With Ctrl held the text is a control character: the key itself names the letter.
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return XK_a + quint32(key - Qt::Key_A);
    if (key >= Qt::Key_Space && key <= Qt::Key_AsciiTilde)
        return quint32(key);
    return 0;
}

QList<Keystroke> keystrokesForText(const QString& text)
{
    QList<Keystroke> strokes;
    bool shiftDown = false;
    const auto shift = [&](bool down) {
        if (shiftDown != down)
            strokes.append({XK_Shift_L, LeftShiftCode, down});
        shiftDown = down;
    };
    const auto press = [&](quint32 keysym, quint32 scancode) {
        strokes.append({keysym, scancode, true});
        strokes.append({keysym, scancode, false});
    };
    const QList<uint> characters = text.toUcs4();
    for (qsizetype i = 0; i < characters.size(); ++i) {
        const uint character = characters.at(i);
        const bool lineBreak = character == '\n' || character == '\r';
        // A Windows line break is one Return.
        if (character == '\r' && i + 1 < characters.size() && characters.at(i + 1) == '\n')
            continue;
        if (lineBreak || character == '\t') {
            shift(false);
            press(lineBreak ? XK_Return : XK_Tab, lineBreak ? ReturnCode : TabCode);
            continue;
        }
        const auto key = std::find_if(std::begin(UsKeys), std::end(UsKeys), [&](const TypedKey& k) {
            return uint(uchar(k.plain)) == character || uint(uchar(k.shifted)) == character;
        });
        if (key != std::end(UsKeys)) {
            shift(uint(uchar(key->plain)) != character);
            // Printable ASCII characters are their own keysyms.
            press(character, key->code);
        } else if (character >= 0xa0) {
            shift(false);
            press(characterKeysym(character), 0);
        }
    }
    shift(false);
    return strokes;
}

} // namespace KeyCodes
