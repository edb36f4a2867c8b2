#pragma once

#include <QList>
#include <QtCore/qnamespace.h>
#include <QtGlobal>

#include <array>
#include <optional>

// The bridge between stored hotkeys (macOS key codes, Carbon masks) and the X11 and
// Qt views of the keyboard. The modifier bits follow the platforms' conventions, not
// the key caps: command = Ctrl (the shortcut key of every Linux application, as ⌘ is
// on the Mac), control = Super (the rarely used one), option = Alt, shift = Shift.
// Caps Lock, Num Lock and Scroll Lock never change which hotkey was pressed.
namespace LinuxKeyMap {

// X11 key-event state bits (X.h). Shift, Lock and Control are fixed by the core
// protocol; which of Mod1..Mod5 holds Alt, Super or Num Lock is the server's choice.
namespace X11Modifier {
constexpr quint16 shift = 1 << 0;
constexpr quint16 lock = 1 << 1;
constexpr quint16 control = 1 << 2;
constexpr quint16 mod1 = 1 << 3;
constexpr quint16 mod2 = 1 << 4;
constexpr quint16 mod3 = 1 << 5;
constexpr quint16 mod4 = 1 << 6;
constexpr quint16 mod5 = 1 << 7;
constexpr quint16 all = 0xff;
} // namespace X11Modifier

// Which ModN bits the server gave to Alt, Super, Num Lock and Scroll Lock; 0 for a
// key no modifier holds. Keys of one kind spread over several modifiers give
// several bits: any of them reads as the key, a grab uses the lowest. The defaults
// are what a stock Debian server reports.
struct X11ModifierMap {
    quint16 alt = X11Modifier::mod1;
    quint16 super = X11Modifier::mod4;
    quint16 numLock = X11Modifier::mod2;
    quint16 scrollLock = 0;

    // From the keysyms of the keycodes on each of the eight modifiers (Shift, Lock,
    // Control, Mod1..Mod5), as GetModifierMapping and the keyboard mapping give them.
    static X11ModifierMap fromModifierKeysyms(const std::array<QList<quint32>, 8>& keysymsPerModifier);
    bool operator==(const X11ModifierMap&) const = default;
};

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

// One key of a QKeySequence, as KDE's global shortcut service takes and sends it: the Qt key
// with Qt's modifier bits, Qt::KeypadModifier on a keypad key. Empty for a key code Qt has no
// key for.
std::optional<int> qtCombinationForHotkey(int keyCode, int modifiers);
struct Hotkey {
    int keyCode;
    int modifiers; // CarbonModifier
    bool operator==(const Hotkey&) const = default;
};
// Empty for what no stored hotkey can be: no key, a key outside the table, a modifier alone.
std::optional<Hotkey> hotkeyForQtCombination(int combination);

// The one set of modifier converters; every caller goes through these.
int carbonModifiersFromX11State(quint16 state, const X11ModifierMap& map);
int carbonModifiersFromQt(Qt::KeyboardModifiers modifiers);
// Bits without a meaning are dropped. Empty when the mask needs Alt or Super and no
// modifier holds it: no press could ever produce that state.
std::optional<quint16> x11StateFromCarbonModifiers(int modifiers, const X11ModifierMap& map);

// The lock states a grab of `state` must also cover, 0 first: every combination of
// Caps Lock, Num Lock and Scroll Lock whose bits `state` does not already use.
QList<quint16> lockStateVariants(quint16 state, const X11ModifierMap& map);

} // namespace LinuxKeyMap
