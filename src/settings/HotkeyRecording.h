#pragma once

#include <QSet>

#include <optional>

// What the hotkey recorder makes of one key press.
enum class RecordingDecision {
    ignore,           // a modifier key alone: the key that goes with it is still to come
    accept,           //
    rejectBareKey,    // no modifier, and not one of the keys the hotkey allows alone
    rejectUnknownKey, // a key that stored hotkeys have no code for
};

// `keyCode` is the stored code of the pressed key, nothing when the key table has none;
// `modifiers` the Carbon mask held with it.
RecordingDecision decideRecordedKey(std::optional<int> keyCode, int modifiers, bool isModifierKey,
                                    const QSet<int>& allowedSoloKeyCodes);

// Qt keys that only change other keys: Shift, Ctrl, Super, Alt, AltGr and the locks.
bool isModifierKey(int qtKey);
