#pragma once

#include <QString>

// Carbon modifier bits, the form in which hotkeys are stored; a mask is their sum.
// On Linux command is Ctrl, control is Super, option is Alt (see LinuxKeyMap.h).
namespace CarbonModifier {
constexpr int command = 256;
constexpr int shift = 512;
constexpr int option = 2048;
constexpr int control = 4096;
constexpr int all = command | shift | option | control;
} // namespace CarbonModifier

// "Super+Ctrl+Alt+Shift+" for the set bits, in that order, then the key's name or
// "Key(<code>)": "Super+Shift+T", "Esc", "Ctrl+F13".
QString hotkeyDisplayString(int keyCode, int modifiers);
