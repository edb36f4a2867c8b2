#pragma once

#include <QMargins>

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

} // namespace FloatingPanelWindow
