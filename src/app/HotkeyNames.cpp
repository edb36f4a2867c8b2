#include "app/HotkeyNames.h"

#include "app/KeyTable.h"

QString hotkeyDisplayString(int keyCode, int modifiers) {
    QString display;
    if (modifiers & CarbonModifier::command)
        display += QStringLiteral("⌘");
    if (modifiers & CarbonModifier::option)
        display += QStringLiteral("⌥");
    if (modifiers & CarbonModifier::control)
        display += QStringLiteral("⌃");
    if (modifiers & CarbonModifier::shift)
        display += QStringLiteral("⇧");
    if (const KeyTableEntry* entry = KeyTable::find(keyCode))
        display += entry->name;
    else
        display += QStringLiteral("Key(") + QString::number(keyCode) + QLatin1Char(')');
    return display;
}

int cocoaToCarbonModifiers(CocoaModifierFlags flags) {
    int mask = 0;
    if (flags.rawValue & CocoaModifierFlags::command)
        mask += CarbonModifier::command;
    if (flags.rawValue & CocoaModifierFlags::option)
        mask += CarbonModifier::option;
    if (flags.rawValue & CocoaModifierFlags::control)
        mask += CarbonModifier::control;
    if (flags.rawValue & CocoaModifierFlags::shift)
        mask += CarbonModifier::shift;
    return mask;
}
