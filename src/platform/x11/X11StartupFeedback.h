#pragma once

#include <QByteArray>

// The freedesktop startup notification, for a launch that a second `vyrn` handed over:
// the desktop shows launch feedback until the launched program says it is done, and a
// window manager that prevents focus stealing lets a new window take the focus when it
// names the launch the user just made (_NET_STARTUP_ID).
namespace X11StartupFeedback {

// Names the launch on the next top-level window shown while the current event is handled,
// then ends the launch feedback. Nothing outside X11 or for an empty id.
void completeLaunch(const QByteArray& startupId);

// The "remove" message that ends the feedback: remove: ID=<id>, the id quoted when needed.
QByteArray removeMessage(const QByteArray& startupId);

} // namespace X11StartupFeedback
