#include "base/DesktopSession.h"

#include <QStringList>

DesktopEnvironment DesktopEnvironment::fromProcess() {
    return {qEnvironmentVariable("XDG_CURRENT_DESKTOP"), qEnvironmentVariable("KDE_SESSION_VERSION"),
            qEnvironmentVariable("DESKTOP_SESSION")};
}

namespace {

enum class Named { Nothing, Kde, Gnome, Other };

// XDG_CURRENT_DESKTOP lists names, most specific first ("ubuntu:GNOME", "Budgie:GNOME"); any
// of them counts. DESKTOP_SESSION only when that is unset: it is a session file's name.
Named namedDesktop(const DesktopEnvironment& environment) {
    const QStringList names =
        environment.currentDesktop.toLower().split(QLatin1Char(':'), Qt::SkipEmptyParts);
    if (names.contains(QLatin1String("kde")))
        return Named::Kde;
    if (names.contains(QLatin1String("gnome")))
        return Named::Gnome;
    if (!names.isEmpty())
        return Named::Other;
    const QString session = environment.desktopSession.section(QLatin1Char('/'), -1).toLower();
    if (session.startsWith(QLatin1String("plasma")) || !environment.kdeSessionVersion.isEmpty())
        return Named::Kde;
    if (session.startsWith(QLatin1String("gnome")) || session.startsWith(QLatin1String("ubuntu")))
        return Named::Gnome;
    return session.isEmpty() ? Named::Nothing : Named::Other;
}

Desktop plasma(const DesktopEnvironment& environment) {
    return environment.kdeSessionVersion.trimmed().toInt() >= 6 ? Desktop::Plasma6Wayland
                                                                : Desktop::Plasma5Wayland;
}

} // namespace

DesktopVerdict detectDesktop(SessionType session, const DesktopEnvironment& environment,
                             const DesktopBusNames& bus) {
    if (session == SessionType::X11)
        return {Desktop::X11, QStringLiteral("X11 会话")};
    if (session == SessionType::None)
        return {Desktop::None, QStringLiteral("没有图形会话")};
    const QString named = QStringLiteral("XDG_CURRENT_DESKTOP=") + environment.currentDesktop;
    switch (namedDesktop(environment)) {
    case Named::Kde:
        if (bus.kglobalaccel)
            return {plasma(environment), named + QStringLiteral("，kglobalaccel 已应答")};
        return {Desktop::OtherWayland, named + QStringLiteral("，但 kglobalaccel 未应答")};
    case Named::Gnome:
        if (bus.gnomeShell)
            return {Desktop::GnomeWayland, named + QStringLiteral("，GNOME Shell 已应答")};
        return {Desktop::OtherWayland, named + QStringLiteral("，但 GNOME Shell 未应答")};
    case Named::Other:
        return {Desktop::OtherWayland, named};
    case Named::Nothing:
        break;
    }
    if (bus.kwin && bus.kglobalaccel)
        return {plasma(environment), QStringLiteral("未声明桌面，KWin 与 kglobalaccel 已应答")};
    if (bus.gnomeShell)
        return {Desktop::GnomeWayland, QStringLiteral("未声明桌面，GNOME Shell 已应答")};
    return {Desktop::OtherWayland, QStringLiteral("未声明桌面，总线上没有已知的桌面服务")};
}

QString desktopName(Desktop desktop) {
    switch (desktop) {
    case Desktop::X11:
        return QStringLiteral("X11");
    case Desktop::GnomeWayland:
        return QStringLiteral("Wayland GNOME");
    case Desktop::Plasma5Wayland:
        return QStringLiteral("Wayland KDE Plasma 5");
    case Desktop::Plasma6Wayland:
        return QStringLiteral("Wayland KDE Plasma 6");
    case Desktop::OtherWayland:
        return QStringLiteral("Wayland（其他桌面）");
    case Desktop::None:
        break;
    }
    return QStringLiteral("无图形会话");
}
