#include "keys/HotkeyNames.h"
#include "platform/kde/KGlobalAccelHotkeyService.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

// Runs in a headless KWin session (scripts/wayland/kde-session.sh): KDE's real shortcut
// service, keys pressed through the compositor's own input.
namespace {
constexpr int kSuper = CarbonModifier::control, kShift = CarbonModifier::shift,
              kCtrl = CarbonModifier::command, kAlt = CarbonModifier::option;
constexpr int kT = 17, kY = 16, kU = 32, kI = 34, kO = 31, kF4 = 118;
// Linux input key codes, as kinput takes them.
const QString kSuperShiftT = QStringLiteral("125+42+20"), kSuperY = QStringLiteral("125+21"),
              kSuperI = QStringLiteral("125+23"), kCtrlAltU = QStringLiteral("29+56+22");

void press(const QString& keys) {
    QProcess kinput;
    kinput.start(qEnvironmentVariable("VYRN_KINPUT"), {QStringLiteral("key:") + keys});
    QVERIFY(kinput.waitForFinished() && kinput.exitCode() == 0);
}
} // namespace

class TestKdeHotkeys : public QObject {
    Q_OBJECT
    int m_components = 0;

    // Each test its own component, so nothing one leaves in the service meets another.
    std::unique_ptr<KGlobalAccelHotkeyService> newService() {
        return std::make_unique<KGlobalAccelHotkeyService>(
            QDBusConnection::sessionBus(), QStringLiteral("vyrn-test-%1").arg(++m_components));
    }

private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("VYRN_KINPUT"))
            QSKIP("needs the KDE session of scripts/wayland/kde-session.sh");
    }

    // The service keeps what a test registered; the session's next test may want the keys.
    void cleanupTestCase() {
        for (int component = 1; component <= m_components; ++component) {
            for (const char* action : {"shot", "sel", "a", "b"}) {
                QDBusMessage forget = QDBusMessage::createMethodCall(
                    QStringLiteral("org.kde.kglobalaccel"), QStringLiteral("/kglobalaccel"),
                    QStringLiteral("org.kde.KGlobalAccel"), QStringLiteral("unregister"));
                forget << QStringLiteral("vyrn-test-%1").arg(component) << QString::fromLatin1(action);
                QDBusConnection::sessionBus().call(forget);
            }
        }
    }

    void pressReachesItsHotkeyOnly() {
        auto service = newService();
        auto screenshot =
            service->registerNamedHotkey(kY, kSuper, {QStringLiteral("shot"), QStringLiteral("截图翻译")});
        auto selection = service->registerNamedHotkey(kT, kSuper | kShift,
                                                      {QStringLiteral("sel"), QStringLiteral("划词翻译")});
        QVERIFY2(screenshot && selection, qPrintable((screenshot ? selection : screenshot).failure->message));
        QSignalSpy shots(screenshot.handle.get(), &HotkeyRegistration::pressed);
        QSignalSpy selections(selection.handle.get(), &HotkeyRegistration::pressed);
        press(kSuperShiftT);
        QTRY_COMPARE(selections.count(), 1);
        press(kSuperY);
        QTRY_COMPARE(shots.count(), 1);
        QCOMPARE(selections.count(), 1);
        // While a combination is recorded nothing fires; after, at once again.
        service->blockShortcuts(true);
        press(kSuperY);
        service->blockShortcuts(false);
        press(kSuperY);
        QTRY_COMPARE(shots.count(), 2);
        QTest::qWait(200);
        QCOMPARE(shots.count(), 2);
        // A combination VYRN holds, and one KWin holds (Alt+F4 closes windows).
        const auto again = service->registerNamedHotkey(kY, kSuper, {QStringLiteral("other"), QString()});
        QCOMPARE(again.failure->error, KeyGrabError::HeldByVyrn);
        const auto taken = service->registerNamedHotkey(kF4, kAlt, {QStringLiteral("other"), QString()});
        QCOMPARE(taken.failure->error, KeyGrabError::HeldByDesktopShortcut);
        QVERIFY2(taken.failure->message.contains(QStringLiteral("KWin")), qPrintable(taken.failure->message));
        QVERIFY(hotkeyFailureReason(*taken.failure, kF4, kAlt).contains(QStringLiteral("KWin")));
    }

    // The service keeps a released hotkey's combination (for the next run, and in System
    // Settings); VYRN's other hotkey may take it. Each test uses combinations of its own.
    void twoHotkeysSwapCombinations() {
        auto service = newService();
        const HotkeyService::Action a{QStringLiteral("a"), QStringLiteral("a")},
            b{QStringLiteral("b"), QStringLiteral("b")};
        auto first = service->registerNamedHotkey(kU, kSuper, a);
        auto second = service->registerNamedHotkey(kI, kSuper, b);
        QVERIFY(first && second);
        first.handle.reset();
        second.handle.reset();
        first = service->registerNamedHotkey(kI, kSuper, a);
        second = service->registerNamedHotkey(kU, kSuper, b);
        QVERIFY2(first && second, qPrintable((first.failure ? first.failure : second.failure)->message));
        QSignalSpy pressed(first.handle.get(), &HotkeyRegistration::pressed);
        press(kSuperI);
        QTRY_COMPARE(pressed.count(), 1);
    }

    // A change in System Settings (which writes it as below) reaches the handle at once, and
    // the next run's first registration takes it.
    void changeInSystemSettings() {
        auto service = newService();
        const HotkeyService::Action action{QStringLiteral("shot"), QStringLiteral("截图翻译")};
        auto registration = service->registerNamedHotkey(kO, kSuper, action);
        QVERIFY(registration);
        QSignalSpy rebound(registration.handle.get(), &HotkeyRegistration::rebound);
        QSignalSpy pressed(registration.handle.get(), &HotkeyRegistration::pressed);
        QDBusMessage set = QDBusMessage::createMethodCall(
            QStringLiteral("org.kde.kglobalaccel"), QStringLiteral("/kglobalaccel"),
            QStringLiteral("org.kde.KGlobalAccel"), QStringLiteral("setForeignShortcut"));
        const QString component = QStringLiteral("vyrn-test-%1").arg(m_components);
        set << QStringList{component, action.id, QStringLiteral("VYRN"), action.label}
            << QVariant::fromValue(QList<int>{(Qt::CTRL | Qt::ALT | Qt::Key_U).toCombined()});
        QCOMPARE(QDBusConnection::sessionBus().call(set).type(), QDBusMessage::ReplyMessage);
        QTRY_COMPARE(rebound.count(), 1);
        QCOMPARE(registration.handle->keyCode(), kU);
        QCOMPARE(registration.handle->modifiers(), kCtrl | kAlt);
        press(kCtrlAltU);
        QTRY_COMPARE(pressed.count(), 1);

        registration.handle.reset();
        service.reset();
        KGlobalAccelHotkeyService nextRun(QDBusConnection::sessionBus(), component);
        registration = nextRun.registerNamedHotkey(kO, kSuper, action);
        QVERIFY(registration);
        QCOMPARE(registration.handle->keyCode(), kU);
    }
};

QTEST_GUILESS_MAIN(TestKdeHotkeys)
#include "tst_kde_hotkeys.moc"
