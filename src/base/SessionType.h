#pragma once

#include <QString>

// Which kind of desktop session VYRN runs in. A Wayland session also sets DISPLAY
// for its X11 compatibility server, whose grabs and captures see only X11
// programs, so DISPLAY alone never makes a session X11.
enum class SessionType {
    X11,
    Wayland,
    None, // no graphical session (a console, ssh without forwarding)
};

struct SessionEnvironment {
    QString xdgSessionType; // XDG_SESSION_TYPE
    QString waylandDisplay; // WAYLAND_DISPLAY
    QString display;        // DISPLAY

    static SessionEnvironment fromProcess();
};

// XDG_SESSION_TYPE decides when it names x11 or wayland; otherwise (unset, "tty"
// under startx, "unspecified") a Wayland socket wins over DISPLAY. X11 needs DISPLAY.
SessionType sessionTypeFor(const SessionEnvironment& environment);
SessionType currentSessionType();
