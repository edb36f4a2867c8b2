#pragma once

#include <QString>
#include <QtGlobal>

// Carbon modifier bits, the form in which hotkeys are stored; a mask is their sum.
namespace CarbonModifier {
constexpr int command = 256;
constexpr int shift = 512;
constexpr int option = 2048;
constexpr int control = 4096;
constexpr int all = command | shift | option | control;
} // namespace CarbonModifier

// The modifier flags of a keyboard event in the device-independent layout that
// both high-level key events and low-level event-tap flags use.
struct CocoaModifierFlags {
    static constexpr quint64 capsLock = quint64(1) << 16;
    static constexpr quint64 shift = quint64(1) << 17;
    static constexpr quint64 control = quint64(1) << 18;
    static constexpr quint64 option = quint64(1) << 19;
    static constexpr quint64 command = quint64(1) << 20;
    static constexpr quint64 numericPad = quint64(1) << 21;
    static constexpr quint64 help = quint64(1) << 22;
    static constexpr quint64 function = quint64(1) << 23;

    quint64 rawValue = 0;
};

// "⌘⌥⌃⇧" for the set bits, in that order, then the key's name or "Key(<code>)".
QString hotkeyDisplayString(int keyCode, int modifiers);

// Only shift, control, option and command count; every other flag is ignored.
int cocoaToCarbonModifiers(CocoaModifierFlags flags);
