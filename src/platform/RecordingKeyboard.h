#pragma once

#include <QtCore/qnamespace.h>
#include <QtGlobal>

#include <optional>

class QWindow;

// What the hotkey recorder needs from the keyboard.
namespace RecordingKeyboard {

// Every key press of the desktop goes to `window` until release(): global hotkeys (VYRN's
// own included) and the desktop's shortcuts do not act meanwhile. False when another program
// holds the keyboard; keys then reach the window only while it has the focus.
bool hold(QWindow* window);
// Takes effect at once, not at the next event the program happens to receive.
void release(QWindow* window);

// Which key a press came from, named the way stored hotkeys name keys. X11 reports the
// symbol the press produced (Shift+1 gives "!", and on a German layout Shift+7 gives "/"),
// so the key is read from the unshifted symbol of the pressed key in the current layout.
// Where the X server cannot be asked, Qt's key is mapped back as the US layout has it.
std::optional<int> keyCodeOfPress(quint32 nativeScanCode, int qtKey, Qt::KeyboardModifiers modifiers);

} // namespace RecordingKeyboard
