#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>
#include <span>

// A shortcut that the system or common applications already use.
struct SystemHotkeyEntry {
    int modifiers; // exact Carbon mask
    int keyCode;
    QStringView description;
};

struct HotkeyCombination {
    std::optional<int> keyCode; // nothing when the hotkey is unset
    int modifiers = 0;
};

struct HotkeyConflict {
    QString display;
    QString reason;
};

std::span<const SystemHotkeyEntry> systemHotkeyCatalogue();

// Matches only when the mask is exactly the entry's mask: an extra bit is a different shortcut.
std::optional<QString> checkSystemHotkeyConflict(int modifiers, int keyCode);

// One entry per hotkey with a known conflict, in input order; unset hotkeys are skipped.
QList<HotkeyConflict> collectHotkeyConflicts(const QList<HotkeyCombination>& hotkeys);
