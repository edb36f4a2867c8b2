#include "base/DesktopSession.h"

#include <QTest>

Q_DECLARE_METATYPE(Desktop)
Q_DECLARE_METATYPE(SessionType)

// Which desktop's services VYRN picks, from the session's environment and what owns a name on
// the bus. Bus rows: "k" kglobalaccel, "w" KWin, "g" GNOME Shell, "m" GNOME's media keys.
class TestDesktopSession : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void detect_data() {
        QTest::addColumn<SessionType>("session");
        QTest::addColumn<QString>("currentDesktop");
        QTest::addColumn<QString>("kdeVersion");
        QTest::addColumn<QString>("desktopSession");
        QTest::addColumn<QString>("bus");
        QTest::addColumn<Desktop>("expected");
        const auto row = [](const char* name, SessionType session, const char* current, const char* version,
                            const char* desktopSession, const char* bus, Desktop expected) {
            QTest::newRow(name) << session << QString(current) << QString(version) << QString(desktopSession)
                                << QString(bus) << expected;
        };
        const SessionType x11 = SessionType::X11, wayland = SessionType::Wayland;
        row("plasma 5", wayland, "KDE", "5", "plasmawayland", "kw", Desktop::Plasma5Wayland);
        row("plasma 6", wayland, "KDE", "6", "plasma", "kw", Desktop::Plasma6Wayland);
        row("plasma without a version", wayland, "KDE", "", "", "kw", Desktop::Plasma5Wayland);
        row("KDE named, its shortcut service gone", wayland, "KDE", "5", "", "w", Desktop::OtherWayland);
        row("GNOME", wayland, "GNOME", "", "gnome", "gm", Desktop::GnomeWayland);
        row("Ubuntu's GNOME", wayland, "ubuntu:GNOME", "", "ubuntu", "gm", Desktop::GnomeWayland);
        // KDE programs on GNOME start kglobalaccel; the portal's KDE back end offers its
        // shortcuts there too. Neither makes the desktop KDE.
        row("GNOME with kglobalaccel running", wayland, "GNOME", "", "", "gmk", Desktop::GnomeWayland);
        row("GNOME named, no shell: a GNOME-based desktop", wayland, "Budgie:GNOME", "", "", "m",
            Desktop::OtherWayland);
        row("sway", wayland, "sway", "", "sway", "k", Desktop::OtherWayland);
        row("nothing named, KWin answers", wayland, "", "", "", "kw", Desktop::Plasma5Wayland);
        row("nothing named, kglobalaccel alone", wayland, "", "", "", "k", Desktop::OtherWayland);
        row("nothing named, the shell answers", wayland, "", "", "", "g", Desktop::GnomeWayland);
        row("only the session file names plasma", wayland, "", "",
            "/usr/share/wayland-sessions/plasmawayland", "k", Desktop::Plasma5Wayland);
        row("nothing at all", wayland, "", "", "", "", Desktop::OtherWayland);
        // An X11 session keeps its X11 services, whatever the desktop and the bus say.
        row("X11 Plasma", x11, "KDE", "5", "plasma", "kw", Desktop::X11);
        row("X11 GNOME with KDE installed", x11, "GNOME", "", "gnome-xorg", "gmkw", Desktop::X11);
        row("no session", SessionType::None, "KDE", "5", "", "kw", Desktop::None);
    }
    void detect() {
        QFETCH(SessionType, session);
        QFETCH(QString, currentDesktop);
        QFETCH(QString, kdeVersion);
        QFETCH(QString, desktopSession);
        QFETCH(QString, bus);
        QFETCH(Desktop, expected);
        const DesktopBusNames names{bus.contains(QLatin1Char('k')), bus.contains(QLatin1Char('w')),
                                    bus.contains(QLatin1Char('g')), bus.contains(QLatin1Char('m'))};
        const DesktopVerdict verdict =
            detectDesktop(session, {currentDesktop, kdeVersion, desktopSession}, names);
        QCOMPARE(verdict.desktop, expected);
        QVERIFY(!verdict.reason.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDesktopSession)
#include "tst_desktop_session.moc"
