#pragma once

#include <QtGlobal>

class QWindow;

// Giving the keyboard to one of VYRN's windows where the desktop, not VYRN, saw the user's
// action (a hotkey of the desktop's own, under Wayland). Nothing outside X11.
namespace WindowActivation {

// The X server's time now, the stamp of a user action VYRN answers at once; 0 outside X11.
quint32 serverTime();

// Asks the window manager to give the keyboard to the shown `window` for the user's action
// at `userTime` (X server time). One that prevents focus stealing refuses when the user has
// gone on to work elsewhere since then.
void request(QWindow* window, quint32 userTime);

// The same, now and with no time, as a pager asks: the managers take it as the user's own
// request, which it is, and do not weigh it against the time of the last key the desktop kept.
// Returns at once; whether the manager agrees shows in the window's activation later.
void activateNow(QWindow* window);

} // namespace WindowActivation
