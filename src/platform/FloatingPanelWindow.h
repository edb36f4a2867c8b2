#pragma once

#include <QMargins>

#include <QtGlobal>

#include <optional>

class QWindow;

// What a floating panel needs from the window system beyond Qt, before it is first shown.
namespace FloatingPanelWindow {

// Keeps `window` out of the taskbar and the pager and puts it on every workspace, and
// asks the window manager which frame it will draw around it, so that the outer frame
// can be placed exactly. `window` must be created (winId()) and not yet shown. Gives the
// frame's margins in Qt's pixels when the window manager answered within `timeoutMs`;
// nothing outside X11.
std::optional<QMargins> prepare(QWindow* window, int timeoutMs = 100);

// The X server's time now, the stamp of a user action VYRN answers at once; 0 outside X11.
quint32 serverTime();

// Asks the window manager to give the keyboard to the shown `window` for the user's action
// at `userTime` (X server time). One that prevents focus stealing refuses when the user has
// gone on to work elsewhere since then. Nothing outside X11.
void requestFocus(QWindow* window, quint32 userTime);

} // namespace FloatingPanelWindow
