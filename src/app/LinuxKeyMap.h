#pragma once

#include <QtCore/qnamespace.h>
#include <QtGlobal>

#include <array>
#include <optional>

// The bridge between stored hotkeys (macOS key codes, Carbon masks) and the X11 and
// Qt views of the keyboard. Modifier bits name the keys they mean: control = Ctrl,
// option = Alt (Mod1), shift = Shift, command = Super (Mod4). Caps Lock and Num
// Lock never change which hotkey was pressed.
namespace LinuxKeyMap {

// X11 key-event state bits (X.h).
namespace X11Modifier {
constexpr quint16 shift = 1 << 0;
constexpr quint16 lock = 1 << 1;
constexpr quint16 control = 1 << 2;
constexpr quint16 mod1 = 1 << 3; // Alt
constexpr quint16 mod2 = 1 << 4; // Num Lock
constexpr quint16 mod4 = 1 << 6; // Super
} // namespace X11Modifier

// A grab must be made once per lock state, or it would miss presses while Caps
// Lock or Num Lock is on.
constexpr std::array<quint16, 4> kLockStateVariants{0, X11Modifier::lock, X11Modifier::mod2,
                                                    X11Modifier::lock | X11Modifier::mod2};

// Empty for a code with no X11 counterpart: such a hotkey cannot be registered.
std::optional<quint32> x11KeysymForKeyCode(int keyCode);
// Accepts either case of a letter and a key's other-state keysym (KP_End for KP_1).
std::optional<int> keyCodeForX11Keysym(quint32 keysym);

struct QtKey {
    int key; // Qt::Key
    bool keypad;
};
std::optional<QtKey> qtKeyForKeyCode(int keyCode);
// Only Qt::KeypadModifier of `modifiers` is looked at.
std::optional<int> keyCodeForQtKey(int key, Qt::KeyboardModifiers modifiers);

int carbonModifiersFromX11State(quint16 state);
int carbonModifiersFromQt(Qt::KeyboardModifiers modifiers);
// Bits without a meaning are dropped.
quint16 x11StateFromCarbonModifiers(int modifiers);

} // namespace LinuxKeyMap
