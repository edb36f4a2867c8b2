#include "platform/gnome/GnomeSession.h"

#include <QStringList>

bool isGnomeWaylandSession(SessionType session) {
    if (session != SessionType::Wayland)
        return false;
    // "GNOME", "ubuntu:GNOME", "GNOME-Classic:GNOME"
    const QStringList desktops = qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':'));
    return desktops.contains(QStringLiteral("GNOME"), Qt::CaseInsensitive);
}
