#pragma once

#include "pipeline/SourceWindowProbe.h"
#include "platform/x11/X11SelectionConnection.h"

#include <memory>

// The active window as the window manager reports it (_NET_ACTIVE_WINDOW), else the
// window with the input focus; its program from _NET_WM_PID, else from X-Resource.
class X11SourceWindow : public SourceWindowProbe {
public:
    explicit X11SourceWindow(std::shared_ptr<X11SelectionConnection> connection);
    std::optional<SelectionSource> capture() override;

private:
    xcb_window_t activeWindow();
    xcb_window_t clientWindowOf(xcb_window_t window);

    std::shared_ptr<X11SelectionConnection> m_connection;
};
