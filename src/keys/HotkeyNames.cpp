#include "keys/HotkeyNames.h"

#include "keys/KeyTable.h"

QString hotkeyDisplayString(int keyCode, int modifiers) {
    QString display;
    if (modifiers & CarbonModifier::control)
        display += QStringLiteral("Super+");
    if (modifiers & CarbonModifier::command)
        display += QStringLiteral("Ctrl+");
    if (modifiers & CarbonModifier::option)
        display += QStringLiteral("Alt+");
    if (modifiers & CarbonModifier::shift)
        display += QStringLiteral("Shift+");
    if (const KeyTableEntry* entry = KeyTable::find(keyCode))
        display += entry->name;
    else
        display += QStringLiteral("Key(") + QString::number(keyCode) + QLatin1Char(')');
    return display;
}
