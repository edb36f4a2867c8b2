#pragma once

#include <QStringView>
#include <QtGlobal>

#include <span>

// One row per named key. Stored hotkeys keep their own key codes, so this
// table is where a stored code meets its display name, the X11 keysym to grab
// and the Qt key the recorder sees.
struct KeyTableEntry {
    int keyCode;
    QStringView name;
    quint32 x11Keysym; // keysymdef.h values; the keysym a grab looks up
    int qtKey;         // Qt::Key as Qt reports the key on X11
    bool keypad;       // Qt adds Qt::KeypadModifier
    // What the same physical key reports in its other state (Num Lock off,
    // Shift, Alt or Ctrl); 0 when it has none.
    quint32 alternateX11Keysym = 0;
    int alternateQtKey = 0;
};

namespace KeyTable {
// Keys outside the stored code range.
constexpr int print = 1000;
constexpr int pause = 1001;

std::span<const KeyTableEntry> entries();
// Null for a code without a name.
const KeyTableEntry* find(int keyCode);
} // namespace KeyTable
