#pragma once

#include "base/SessionType.h"

#include <QString>

// Which desktop VYRN runs on, as far as it matters for the desktop services it uses. A
// Wayland desktop decides who may see keys and the screen, so each is told apart; under X11
// every desktop behaves alike.
enum class Desktop {
    X11,
    GnomeWayland,
    Plasma5Wayland,
    Plasma6Wayland,
    OtherWayland,
    None,
};

struct DesktopEnvironment {
    QString currentDesktop;    // XDG_CURRENT_DESKTOP, e.g. "KDE", "ubuntu:GNOME"
    QString kdeSessionVersion; // KDE_SESSION_VERSION
    QString desktopSession;    // DESKTOP_SESSION, a name or a session file's path

    static DesktopEnvironment fromProcess();
};

// Which of the desktops' own services own a name on the session bus now. Being installed
// (activatable) proves nothing: a KDE program on GNOME starts kglobalaccel on demand.
struct DesktopBusNames {
    bool kglobalaccel = false;   // org.kde.kglobalaccel
    bool kwin = false;           // org.kde.KWin
    bool gnomeShell = false;     // org.gnome.Shell
    bool gnomeMediaKeys = false; // org.gnome.SettingsDaemon.MediaKeys
};

struct DesktopVerdict {
    Desktop desktop;
    QString reason; // Chinese, for the start line: what decided
};

// The session type decides X11 and None alone, whatever answers on the bus: an X11 session
// with KDE programs installed stays X11. In a Wayland session the environment names the
// desktop and its own service must answer; with no name, the compositor's service on the bus
// is enough (KWin with kglobalaccel, GNOME Shell).
DesktopVerdict detectDesktop(SessionType session, const DesktopEnvironment& environment,
                             const DesktopBusNames& bus);
QString desktopName(Desktop desktop);
