#include "base/SessionType.h"
#include "platform/HotkeyService.h"
#include "platform/PlatformLoader.h"
#include "platform/PlatformServices.h"

#include <QTest>

Q_DECLARE_METATYPE(SessionType)
Q_DECLARE_METATYPE(KeyGrabError)

// Which service a session gets, and what a user reads when keys cannot be grabbed.
class TestHotkeyService : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sessionType_data() {
        QTest::addColumn<QString>("xdgSessionType");
        QTest::addColumn<QString>("waylandDisplay");
        QTest::addColumn<QString>("display");
        QTest::addColumn<SessionType>("expected");
        const auto row = [](const char* name, const char* declared, const char* wayland, const char* display,
                            SessionType expected) {
            QTest::newRow(name) << QString(declared) << QString(wayland) << QString(display) << expected;
        };
        row("x11 session", "x11", "", ":0", SessionType::X11);
        row("wayland session with Xwayland", "wayland", "wayland-0", ":0", SessionType::Wayland);
        row("wayland declared, socket unset", "wayland", "", ":0", SessionType::Wayland);
        row("x11 declared wins over a nested compositor", "x11", "wayland-0", ":0", SessionType::X11);
        row("declared case and spaces", " Wayland ", "", ":0", SessionType::Wayland);
        row("startx from a console", "tty", "", ":0", SessionType::X11);
        row("undeclared with a wayland socket", "", "wayland-0", ":0", SessionType::Wayland);
        row("undeclared, display only", "", "", ":0", SessionType::X11);
        row("x11 declared without a display", "x11", "", "", SessionType::None);
        row("console", "tty", "", "", SessionType::None);
    }
    void sessionType() {
        QFETCH(QString, xdgSessionType);
        QFETCH(QString, waylandDisplay);
        QFETCH(QString, display);
        QFETCH(SessionType, expected);
        QCOMPARE(sessionTypeFor({xdgSessionType, waylandDisplay, display}), expected);
    }

    // Outside X11 nothing can be grabbed, and both kinds of grab say why in terms a
    // user can act on.
    void nullServiceExplains_data() {
        QTest::addColumn<SessionType>("session");
        QTest::addColumn<QStringList>("mentions");
        QTest::newRow("wayland") << SessionType::Wayland
                                 << QStringList{QStringLiteral("Wayland"), QStringLiteral("X11"),
                                                QCoreApplication::applicationFilePath() +
                                                    QStringLiteral(" --selection")};
        QTest::newRow("no session") << SessionType::None << QStringList{QStringLiteral("X11 桌面会话")};
    }
    void nullServiceExplains() {
        QFETCH(SessionType, session);
        QFETCH(QStringList, mentions);
        const std::unique_ptr<PlatformServices> platform = PlatformLoader::load(session);
        HotkeyService* service = platform->hotkeys.get();
        QVERIFY(service->unavailable());
        const KeyGrabResult<HotkeyRegistration> registration = service->registerHotkey(17, 4096);
        const KeyGrabResult<TemporaryKeyGrab> grab = service->grabTemporarily(53, 0);
        QVERIFY(!registration && !grab);
        for (const KeyGrabFailure& failure : {*registration.failure, *grab.failure}) {
            QCOMPARE(failure.error, KeyGrabError::NoX11Session);
            QCOMPARE(failure.message, service->unavailable()->message);
            for (const QString& mention : mentions)
                QVERIFY2(failure.message.contains(mention), qPrintable(failure.message));
            QCOMPARE(hotkeyFailureReason(failure, 17, 256), failure.message);
        }
    }

    void failureReason_data() {
        QTest::addColumn<KeyGrabError>("error");
        QTest::addColumn<int>("keyCode");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<QString>("expected");
        QTest::newRow("known shortcut of another program")
            << KeyGrabError::HeldByAnotherProgram << 49 << 4096
            << QStringLiteral("Super+Space 切换输入源（系统强占）");
        QTest::newRow("unknown shortcut of another program")
            << KeyGrabError::HeldByAnotherProgram << 17 << 4096 << QStringLiteral("该键已被其他程序占用");
    }
    void failureReason() {
        QFETCH(KeyGrabError, error);
        QFETCH(int, keyCode);
        QFETCH(int, modifiers);
        QFETCH(QString, expected);
        QCOMPARE(hotkeyFailureReason({error, QStringLiteral("own words")}, keyCode, modifiers), expected);
    }
};

QTEST_GUILESS_MAIN(TestHotkeyService)
#include "tst_hotkey_service.moc"
