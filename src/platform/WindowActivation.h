#pragma once

class QWindow;

namespace WindowActivation {

// Asks the window manager to give the keyboard to the shown `window` now, for a user action
// just made (a hotkey the desktop handled, so none of our windows saw its time). Returns at
// once; whether the manager agrees shows in the window's activation later. Nothing outside X11.
void activateNow(QWindow* window);

} // namespace WindowActivation
