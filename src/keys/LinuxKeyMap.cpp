#include "keys/LinuxKeyMap.h"

#include "keys/HotkeyNames.h"
#include "keys/KeyTable.h"

namespace LinuxKeyMap {

namespace {
constexpr quint32 kLatinCapitalA = 0x41;
constexpr quint32 kLatinCapitalZ = 0x5a;
constexpr quint32 kLatinCaseOffset = 0x20;

// keysymdef.h
constexpr quint32 kMetaL = 0xffe7, kMetaR = 0xffe8, kAltL = 0xffe9, kAltR = 0xffea;
constexpr quint32 kSuperL = 0xffeb, kSuperR = 0xffec;
constexpr quint32 kNumLock = 0xff7f, kScrollLock = 0xff14;

constexpr int kFirstModN = 3; // Shift, Lock and Control come first

quint16 lowestBit(quint16 bits) {
    return bits & quint16(-bits);
}
} // namespace

X11ModifierMap X11ModifierMap::fromModifierKeysyms(const std::array<QList<quint32>, 8>& keysymsPerModifier) {
    X11ModifierMap map{0, 0, 0, 0};
    quint16 meta = 0;
    for (int index = kFirstModN; index < 8; ++index) {
        const quint16 bit = quint16(1 << index);
        for (quint32 keysym : keysymsPerModifier[size_t(index)]) {
            if (keysym == kAltL || keysym == kAltR)
                map.alt |= bit;
            else if (keysym == kMetaL || keysym == kMetaR)
                meta |= bit;
            else if (keysym == kSuperL || keysym == kSuperR)
                map.super |= bit;
            else if (keysym == kNumLock)
                map.numLock |= bit;
            else if (keysym == kScrollLock)
                map.scrollLock |= bit;
        }
    }
    // Some layouts put only Meta on the modifier the Alt keys produce.
    if (!map.alt)
        map.alt = meta;
    return map;
}

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

std::optional<int> qtCombinationForHotkey(int keyCode, int modifiers) {
    const std::optional<QtKey> key = qtKeyForKeyCode(keyCode);
    if (!key)
        return std::nullopt;
    int combination = key->key;
    if (modifiers & CarbonModifier::command)
        combination |= Qt::ControlModifier;
    if (modifiers & CarbonModifier::shift)
        combination |= Qt::ShiftModifier;
    if (modifiers & CarbonModifier::option)
        combination |= Qt::AltModifier;
    if (modifiers & CarbonModifier::control)
        combination |= Qt::MetaModifier;
    if (key->keypad)
        combination |= Qt::KeypadModifier;
    return combination;
}

std::optional<Hotkey> hotkeyForQtCombination(int combination) {
    const auto modifiers = Qt::KeyboardModifiers(combination & Qt::KeyboardModifierMask);
    const std::optional<int> keyCode = keyCodeForQtKey(combination & ~Qt::KeyboardModifierMask, modifiers);
    if (!keyCode)
        return std::nullopt;
    return Hotkey{*keyCode, carbonModifiersFromQt(modifiers)};
}

int carbonModifiersFromX11State(quint16 state, const X11ModifierMap& map) {
    int mask = 0;
    if (state & X11Modifier::control)
        mask |= CarbonModifier::command;
    if (state & X11Modifier::shift)
        mask |= CarbonModifier::shift;
    if (state & map.alt)
        mask |= CarbonModifier::option;
    if (state & map.super)
        mask |= CarbonModifier::control;
    return mask;
}

int carbonModifiersFromQt(Qt::KeyboardModifiers modifiers) {
    int mask = 0;
    if (modifiers.testFlag(Qt::ControlModifier))
        mask |= CarbonModifier::command;
    if (modifiers.testFlag(Qt::ShiftModifier))
        mask |= CarbonModifier::shift;
    if (modifiers.testFlag(Qt::AltModifier))
        mask |= CarbonModifier::option;
    // Qt calls the Super key Meta on X11.
    if (modifiers.testFlag(Qt::MetaModifier))
        mask |= CarbonModifier::control;
    return mask;
}

std::optional<quint16> x11StateFromCarbonModifiers(int modifiers, const X11ModifierMap& map) {
    quint16 state = 0;
    if (modifiers & CarbonModifier::command)
        state |= X11Modifier::control;
    if (modifiers & CarbonModifier::shift)
        state |= X11Modifier::shift;
    if (modifiers & CarbonModifier::option) {
        if (!map.alt)
            return std::nullopt;
        state |= lowestBit(map.alt);
    }
    if (modifiers & CarbonModifier::control) {
        if (!map.super)
            return std::nullopt;
        state |= lowestBit(map.super);
    }
    return state;
}

QList<quint16> lockStateVariants(quint16 state, const X11ModifierMap& map) {
    QList<quint16> locks;
    for (quint16 bits : {X11Modifier::lock, map.numLock, map.scrollLock}) {
        if (bits && !(bits & state) && !locks.contains(bits))
            locks.append(bits);
    }
    QList<quint16> variants{0};
    for (quint16 bits : locks) {
        const qsizetype count = variants.size();
        for (qsizetype i = 0; i < count; ++i)
            variants.append(variants[i] | bits);
    }
    return variants;
}

} // namespace LinuxKeyMap
