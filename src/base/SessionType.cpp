#include "base/SessionType.h"

SessionEnvironment SessionEnvironment::fromProcess() {
    return {qEnvironmentVariable("XDG_SESSION_TYPE"), qEnvironmentVariable("WAYLAND_DISPLAY"),
            qEnvironmentVariable("DISPLAY")};
}

SessionType sessionTypeFor(const SessionEnvironment& environment) {
    const QString declared = environment.xdgSessionType.trimmed().toLower();
    const bool hasDisplay = !environment.display.isEmpty();
    if (declared == QLatin1String("wayland"))
        return SessionType::Wayland;
    if (declared == QLatin1String("x11"))
        return hasDisplay ? SessionType::X11 : SessionType::None;
    if (!environment.waylandDisplay.isEmpty())
        return SessionType::Wayland;
    return hasDisplay ? SessionType::X11 : SessionType::None;
}

SessionType currentSessionType() {
    return sessionTypeFor(SessionEnvironment::fromProcess());
}
