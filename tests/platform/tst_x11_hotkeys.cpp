#include "keys/HotkeyNames.h"
#include "platform/HotkeyService.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11HotkeyService.h"
#include "support/KeyWindow.h"
#include "support/TestEnvironment.h"
#include "support/X11Desktop.h"

#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <X11/X.h>

#include <csignal>

namespace {

constexpr int kT = 17, kD = 2, kEscape = 53;
constexpr int kSuper = CarbonModifier::control, kCtrl = CarbonModifier::command;

void xdotool(const QStringList& arguments) {
    QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), arguments), 0);
}

void xmodmap(const QStringList& expressions) {
    QStringList arguments;
    for (const QString& expression : expressions)
        arguments << QStringLiteral("-e") << expression;
    QCOMPARE(QProcess::execute(QStringLiteral("xmodmap"), arguments), 0);
}

} // namespace

// Declares `name`, the handle of a grab that must succeed.
#define HOLD(name, call)                                                                                     \
    auto name##Result = (call);                                                                              \
    QVERIFY2(name##Result, name##Result.failure ? qPrintable(name##Result.failure->message) : "");           \
    auto name = std::move(name##Result.handle)

class TestX11Hotkeys : public QObject {
    Q_OBJECT
    TestEnvironment env;
    std::unique_ptr<X11Connection> connection;
    std::unique_ptr<X11HotkeyService> service;
    KeyWindow window;
    bool superMoved = false;

    KeyWindow::Keys pressAndMark(const QStringList& keys) {
        if (!window.isActive()) {
            window.requestActivate();
            [&] { QVERIFY(QTest::qWaitForWindowActive(&window)); }();
        }
        return window.pressAndMark(keys);
    }
    static bool contains(const KeyWindow::Keys& keys, int key) { return KeyWindow::contains(keys, key); }

private Q_SLOTS:
    void initTestCase() {
        connection = std::make_unique<X11Connection>();
        QVERIFY2(connection->isOpen(), qPrintable(connection->error()));
        service = std::make_unique<X11HotkeyService>(*connection);
        window.resize(300, 200);
        window.show();
        window.requestActivate();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        // The precondition of every negative below: keys reach the window.
        QVERIFY(contains(pressAndMark({QStringLiteral("t")}), Qt::Key_T));
    }

    void cleanup() {
        if (superMoved) {
            xmodmap({QStringLiteral("remove mod3 = Super_L Super_R"),
                     QStringLiteral("add mod4 = Super_L Super_R")});
            QTRY_COMPARE(service->modifierMap().super, quint16(Mod4Mask));
            superMoved = false;
        }
    }

    void registeredHotkeyReachesHandlerNotWindow() {
        HOLD(registration, service->registerHotkey(kT, kSuper));
        QSignalSpy pressed(registration.get(), &HotkeyRegistration::pressed);
        QVERIFY(!contains(pressAndMark({QStringLiteral("super+t")}), Qt::Key_T));
        QTRY_COMPARE(pressed.count(), 1);
        QVERIFY(pressed.first().first().toUInt() != 0); // the server's time stamp

        // Ctrl+T, Super+Shift+T and plain T stay with the application.
        const auto others = pressAndMark({QStringLiteral("ctrl+t"), QStringLiteral("super+shift+t")});
        QCOMPARE(others.count({Qt::Key_T, Qt::ControlModifier}), 1);
        QCOMPARE(others.count({Qt::Key_T, Qt::MetaModifier | Qt::ShiftModifier}), 1);
        QCOMPARE(pressed.count(), 1);

        registration.reset();
        QVERIFY(pressAndMark({QStringLiteral("super+t")}).contains({Qt::Key_T, Qt::MetaModifier}));
    }

    // Once the other program is killed, the server has freed its grab.
    void otherProgramsGrabAndItsDeath() {
        DesktopProgram holder(QStringLiteral(HOTKEY_HOLDER), {QString::number(kT), QString::number(kCtrl)});
        QVERIFY(holder.waitForLine("held"));

        const KeyGrabResult<HotkeyRegistration> refused = service->registerHotkey(kT, kCtrl);
        QVERIFY(!refused);
        QCOMPARE(refused.failure->error, KeyGrabError::HeldByAnotherProgram);
        const KeyGrabResult<TemporaryKeyGrab> refusedToo = service->grabTemporarily(kT, kCtrl);
        QCOMPARE(refusedToo.failure->error, KeyGrabError::HeldByAnotherProgram);

        ::kill(pid_t(holder.pid()), SIGKILL);
        // The server notices the closed connection on its own schedule.
        KeyGrabResult<HotkeyRegistration> freed;
        QTRY_VERIFY((freed = service->registerHotkey(kT, kCtrl)));
        QVERIFY(!contains(pressAndMark({QStringLiteral("ctrl+t")}), Qt::Key_T));
    }

    void keyMissingFromLayout() {
        // The default evdev layout puts XF86Tools where F13 would be.
        const KeyGrabResult<HotkeyRegistration> missing = service->registerHotkey(105, kCtrl);
        QCOMPARE(missing.failure->error, KeyGrabError::KeyNotOnKeyboard);
        const KeyGrabResult<HotkeyRegistration> unnamed = service->registerHotkey(55, kSuper);
        QCOMPARE(unnamed.failure->error, KeyGrabError::KeyNotOnKeyboard);
    }

    void temporaryGrabMatchesExactModifiers_data() {
        QTest::addColumn<QStringList>("keys");
        QTest::addColumn<bool>("grabbed");
        // Lock keys are no modifiers of the combination.
        for (const char* keys : {"Escape", "Caps_Lock Escape Caps_Lock", "Num_Lock Escape Num_Lock"})
            QTest::newRow(keys) << QString(keys).split(' ') << true;
        for (const char* keys : {"shift+Escape", "ctrl+Escape", "super+Escape"})
            QTest::newRow(keys) << QStringList{keys} << false;
    }
    void temporaryGrabMatchesExactModifiers() {
        QFETCH(QStringList, keys);
        QFETCH(bool, grabbed);
        HOLD(grab, service->grabTemporarily(kEscape, 0));
        QSignalSpy triggered(grab.get(), &TemporaryKeyGrab::triggered);
        const bool reachedWindow = contains(pressAndMark(keys), Qt::Key_Escape);
        QCOMPARE(reachedWindow, !grabbed);
        // A key event goes to exactly one client: the window's copy proves the grab never saw it.
        if (grabbed)
            QTRY_COMPARE(triggered.count(), 1);
        else
            QCOMPARE(triggered.count(), 0);
    }

    // The loading panel's Esc hands over to the result panel's: the newest holder
    // gets the key, and it is let go only when the last holder goes.
    void holdersAreCounted() {
        HOLD(loading, service->grabTemporarily(kEscape, 0));
        HOLD(result, service->grabTemporarily(kEscape, 0));
        QSignalSpy loadingSpy(loading.get(), &TemporaryKeyGrab::triggered);
        QSignalSpy resultSpy(result.get(), &TemporaryKeyGrab::triggered);
        QVERIFY(!contains(pressAndMark({QStringLiteral("Escape")}), Qt::Key_Escape));
        QTRY_COMPARE(resultSpy.count(), 1);

        result.reset();
        QVERIFY(!contains(pressAndMark({QStringLiteral("Escape")}), Qt::Key_Escape));
        QTRY_COMPARE(loadingSpy.count(), 1);
        QCOMPARE(resultSpy.count(), 1);

        loading.reset();
        QVERIFY(contains(pressAndMark({QStringLiteral("Escape")}), Qt::Key_Escape));
    }

    void globalHotkeyWinsOverPanelKey() {
        HOLD(split, service->registerHotkey(kD, kSuper));
        const KeyGrabResult<TemporaryKeyGrab> refused = service->grabTemporarily(kD, kSuper);
        QCOMPARE(refused.failure->error, KeyGrabError::HeldByVyrn);

        // Registered while a panel holds the key: the hotkey takes the presses, and
        // the key stays grabbed when the panel lets go.
        HOLD(panel, service->grabTemporarily(kEscape, 0));
        HOLD(global, service->registerHotkey(kEscape, 0));
        QSignalSpy pressed(global.get(), &HotkeyRegistration::pressed);
        QSignalSpy triggered(panel.get(), &TemporaryKeyGrab::triggered);
        panel.reset();
        QVERIFY(!contains(pressAndMark({QStringLiteral("Escape")}), Qt::Key_Escape));
        QTRY_COMPARE(pressed.count(), 1);
        QCOMPARE(triggered.count(), 0);
    }

    void heldKeyFiresOnce() {
        HOLD(registration, service->registerHotkey(kT, kSuper));
        QSignalSpy pressed(registration.get(), &HotkeyRegistration::pressed);
        int serverPresses = 0;
        const QMetaObject::Connection counter = connect(
            connection.get(), &X11Connection::eventReceived, this, [&](const xcb_generic_event_t* event) {
                serverPresses += (event->response_type & 0x7f) == XCB_KEY_PRESS;
            });
        xdotool({QStringLiteral("keydown"), QStringLiteral("super+t")});
        // The precondition: the server really auto-repeats the held key.
        QTRY_VERIFY_WITH_TIMEOUT(serverPresses >= 4, 10000);
        xdotool({QStringLiteral("keyup"), QStringLiteral("super+t")});
        disconnect(counter);
        QCOMPARE(pressed.count(), 1);
    }

    void superMovedToAnotherModifier() {
        HOLD(registration, service->registerHotkey(kT, kSuper));
        QSignalSpy pressed(registration.get(), &HotkeyRegistration::pressed);
        superMoved = true;
        xmodmap(
            {QStringLiteral("remove mod4 = Super_L Super_R"), QStringLiteral("add mod3 = Super_L Super_R")});
        QTRY_COMPARE(service->modifierMap().super, quint16(Mod3Mask));
        QVERIFY(!contains(pressAndMark({QStringLiteral("super+t")}), Qt::Key_T));
        QTRY_COMPARE(pressed.count(), 1);
    }
};

QTEST_MAIN(TestX11Hotkeys)
#include "tst_x11_hotkeys.moc"
