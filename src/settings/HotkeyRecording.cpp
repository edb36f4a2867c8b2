#include "settings/HotkeyRecording.h"

#include "keys/HotkeyNames.h"

#include <QtCore/qnamespace.h>

RecordingDecision decideRecordedKey(std::optional<int> keyCode, int modifiers, bool isModifierKey,
                                    const QSet<int>& allowedSoloKeyCodes) {
    if (isModifierKey)
        return RecordingDecision::ignore;
    if (!keyCode)
        return RecordingDecision::rejectUnknownKey;
    if ((modifiers & CarbonModifier::all) == 0 && !allowedSoloKeyCodes.contains(*keyCode))
        return RecordingDecision::rejectBareKey;
    return RecordingDecision::accept;
}

bool isModifierKey(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Meta:
    case Qt::Key_Alt:
    case Qt::Key_AltGr:
    case Qt::Key_Super_L:
    case Qt::Key_Super_R:
    case Qt::Key_Hyper_L:
    case Qt::Key_Hyper_R:
    case Qt::Key_Mode_switch:
    case Qt::Key_CapsLock:
    case Qt::Key_NumLock:
        return true;
    default:
        return false;
    }
}
