#include "app/LinuxKeyMap.h"

#include "app/HotkeyNames.h"
#include "app/KeyTable.h"

namespace LinuxKeyMap {

namespace {
constexpr quint32 kLatinCapitalA = 0x41;
constexpr quint32 kLatinCapitalZ = 0x5a;
constexpr quint32 kLatinCaseOffset = 0x20;
} // namespace

std::optional<quint32> x11KeysymForKeyCode(int keyCode) {
    if (const KeyTableEntry* entry = KeyTable::find(keyCode))
        return entry->x11Keysym;
    return std::nullopt;
}

std::optional<int> keyCodeForX11Keysym(quint32 keysym) {
    if (keysym >= kLatinCapitalA && keysym <= kLatinCapitalZ)
        keysym += kLatinCaseOffset;
    for (const KeyTableEntry& entry : KeyTable::entries()) {
        if (entry.x11Keysym == keysym ||
            (entry.alternateX11Keysym != 0 && entry.alternateX11Keysym == keysym))
            return entry.keyCode;
    }
    return std::nullopt;
}

std::optional<QtKey> qtKeyForKeyCode(int keyCode) {
    if (const KeyTableEntry* entry = KeyTable::find(keyCode))
        return QtKey{entry->qtKey, entry->keypad};
    return std::nullopt;
}

std::optional<int> keyCodeForQtKey(int key, Qt::KeyboardModifiers modifiers) {
    const bool keypad = modifiers.testFlag(Qt::KeypadModifier);
    for (const KeyTableEntry& entry : KeyTable::entries()) {
        if (entry.keypad != keypad)
            continue;
        if (entry.qtKey == key || (entry.alternateQtKey != 0 && entry.alternateQtKey == key))
            return entry.keyCode;
    }
    return std::nullopt;
}

int carbonModifiersFromX11State(quint16 state) {
    int mask = 0;
    if (state & X11Modifier::mod4)
        mask |= CarbonModifier::command;
    if (state & X11Modifier::shift)
        mask |= CarbonModifier::shift;
    if (state & X11Modifier::mod1)
        mask |= CarbonModifier::option;
    if (state & X11Modifier::control)
        mask |= CarbonModifier::control;
    return mask;
}

int carbonModifiersFromQt(Qt::KeyboardModifiers modifiers) {
    int mask = 0;
    if (modifiers.testFlag(Qt::MetaModifier))
        mask |= CarbonModifier::command;
    if (modifiers.testFlag(Qt::ShiftModifier))
        mask |= CarbonModifier::shift;
    if (modifiers.testFlag(Qt::AltModifier))
        mask |= CarbonModifier::option;
    if (modifiers.testFlag(Qt::ControlModifier))
        mask |= CarbonModifier::control;
    return mask;
}

quint16 x11StateFromCarbonModifiers(int modifiers) {
    quint16 state = 0;
    if (modifiers & CarbonModifier::command)
        state |= X11Modifier::mod4;
    if (modifiers & CarbonModifier::shift)
        state |= X11Modifier::shift;
    if (modifiers & CarbonModifier::option)
        state |= X11Modifier::mod1;
    if (modifiers & CarbonModifier::control)
        state |= X11Modifier::control;
    return state;
}

} // namespace LinuxKeyMap
