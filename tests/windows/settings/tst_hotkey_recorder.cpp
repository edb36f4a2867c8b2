#include "keys/HotkeyNames.h"
#include "platform/HotkeyService.h"
#include "platform/PlatformLoader.h"
#include "platform/PlatformServices.h"
#include "settings/KeyStore.h"
#include "settings/SettingsManager.h"
#include "support/FakeKeyStore.h"
#include "support/ScriptedAlerts.h"
#include "support/TestEnvironment.h"
#include "support/TestMain.h"
#include "support/X11Desktop.h"
#include "windows/settings/HotkeyRecorder.h"
#include "windows/settings/SettingsWindow.h"
#include "windows/settings/SettingsWindowController.h"

#include <QApplication>
#include <QTest>

using Hotkey = SettingsWindowController::Hotkey;
Q_DECLARE_METATYPE(Hotkey)
Q_DECLARE_METATYPE(StatusTone)
Q_DECLARE_METATYPE(std::optional<int>)

namespace {

const QString kRecordAgain = QStringLiteral("\n点击「保存并应用」使快捷键生效");
const QString kBareKey =
    QStringLiteral("❌ 单个字母不能作为快捷键\n请同时按住 Ctrl / Alt / Super / Shift 之一再按字母");

} // namespace

// VYRN holds Super+T as its global hotkey meanwhile.
class TestHotkeyRecorder : public QObject {
    Q_OBJECT
    TestEnvironment env;
    std::unique_ptr<PlatformServices> platform;
    std::unique_ptr<SettingsManager> settings;
    ScriptedAlerts alerts;
    std::unique_ptr<SettingsWindowController> m_controller;
    std::unique_ptr<HotkeyRegistration> screenshotHotkey;
    int screenshotPresses = 0;
    bool desktopShortcutsBlocked = false;

    SettingsWindowController& controller() { return *m_controller; }
    SettingsWindow::HotkeySection section(Hotkey hotkey) {
        return controller().window()->hotkeySections[int(hotkey)];
    }
    void openWindow() {
        controller().show();
        QVERIFY(QTest::qWaitForWindowExposed(controller().window()));
        QTRY_VERIFY(X11Desktop::isManaged(controller().window()->winId()));
    }

private Q_SLOTS:
    void initTestCase() {
        platform = PlatformLoader::load(SessionType::X11);
        settings =
            std::make_unique<SettingsManager>(env.newPreferencesPath(), std::make_unique<FakeKeyStore>());
        m_controller = std::make_unique<SettingsWindowController>(*settings, alerts, [] {});
        SettingsWindowController::HotkeyRoute route;
        route.suspend = [this](bool on) { desktopShortcutsBlocked = on; };
        m_controller->setHotkeyRoute(route);
        KeyGrabResult<HotkeyRegistration> registered =
            platform->hotkeys->registerHotkey(17, CarbonModifier::control);
        QVERIFY(registered);
        screenshotHotkey = std::move(registered.handle);
        connect(screenshotHotkey.get(), &HotkeyRegistration::pressed, this, [this] { ++screenshotPresses; });
        openWindow();
    }

    void init() { QTRY_VERIFY(X11Desktop::inputIsFree()); }

    void records_data() {
        QTest::addColumn<Hotkey>("hotkey");
        QTest::addColumn<QStringList>("presses");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("status");
        QTest::addColumn<std::optional<int>>("keyCode");
        QTest::addColumn<int>("modifiers");
        QTest::addColumn<StatusTone>("tone");
        const int super = CarbonModifier::control, shift = CarbonModifier::shift,
                  ctrl = CarbonModifier::command;
        const auto accepted = [](const QString& display) {
            return QStringLiteral("✅ 已录制：") + display + kRecordAgain;
        };
        QTest::newRow("VYRN's own hotkey")
            << Hotkey::screenshot << QStringList{QStringLiteral("super+t")} << QStringLiteral("Super+T")
            << accepted(QStringLiteral("Super+T")) << std::optional<int>(17) << super << StatusTone::success;
        QTest::newRow("Shift+1 is the 1 key")
            << Hotkey::selection << QStringList{QStringLiteral("shift+1")} << QStringLiteral("Shift+1")
            << accepted(QStringLiteral("Shift+1")) << std::optional<int>(18) << shift << StatusTone::success;
        QTest::newRow("a modifier alone waits for its key")
            << Hotkey::split << QStringList{QStringLiteral("shift"), QStringLiteral("super+alt+y")}
            << QStringLiteral("Super+Alt+Y") << accepted(QStringLiteral("Super+Alt+Y"))
            << std::optional<int>(16) << (super | CarbonModifier::option) << StatusTone::success;
        QTest::newRow("a known shortcut warns")
            << Hotkey::screenshot << QStringList{QStringLiteral("ctrl+q")} << QStringLiteral("Ctrl+Q")
            << accepted(QStringLiteral("Ctrl+Q")) +
                   QStringLiteral("\n⚠️ 可能与系统快捷键冲突：Ctrl+Q 退出当前应用")
            << std::optional<int>(12) << ctrl << StatusTone::warning;
        QTest::newRow("a bare letter")
            << Hotkey::screenshot << QStringList{QStringLiteral("a")} << QStringLiteral("Super+T") << kBareKey
            << std::optional<int>() << 0 << StatusTone::failure;
        QTest::newRow("Esc on the close recorder")
            << Hotkey::closePanel << QStringList{QStringLiteral("Escape")} << QStringLiteral("Esc")
            << accepted(QStringLiteral("Esc")) << std::optional<int>(53) << 0 << StatusTone::success;
        QTest::newRow("a key stored hotkeys cannot name")
            << Hotkey::screenshot << QStringList{QStringLiteral("Menu")} << QStringLiteral("Super+T")
            << QStringLiteral("❌ 该键无法用作快捷键") << std::optional<int>() << 0 << StatusTone::failure;
    }
    // Every ending releases the keyboard, and no key pressed for a recorder reaches VYRN's
    // own hotkey.
    void records() {
        QFETCH(Hotkey, hotkey);
        QFETCH(QStringList, presses);
        QFETCH(QString, title);
        QFETCH(QString, status);
        QFETCH(std::optional<int>, keyCode);
        QFETCH(int, modifiers);
        QFETCH(StatusTone, tone);
        HotkeyRecorder& recorder = controller().recorder(hotkey);
        recorder.reset();
        QTest::mouseClick(section(hotkey).button, Qt::LeftButton);
        QVERIFY(recorder.isRecording());
        QVERIFY(!X11Desktop::inputIsFree());
        QVERIFY(section(hotkey).statusLabel->text().startsWith(QStringLiteral("请按下组合键...")));

        for (const QString& keys : presses)
            X11Desktop::key(keys);
        QTRY_VERIFY(!recorder.isRecording());
        QCOMPARE(section(hotkey).button->text(), QStringLiteral("  ") + title + QStringLiteral("  "));
        QCOMPARE(section(hotkey).statusLabel->text(), status);
        QCOMPARE(section(hotkey).button->tone(), tone);
        QCOMPARE(recorder.recordedKeyCode(), keyCode);
        QCOMPARE(recorder.recordedModifiers(), modifiers);
        QTRY_VERIFY(X11Desktop::inputIsFree());
        QCOMPARE(screenshotPresses, 0);
    }

    void oneRecorderAtATime() {
        QTest::mouseClick(section(Hotkey::screenshot).button, Qt::LeftButton);
        const QString before = section(Hotkey::selection).button->text();
        QTest::mouseClick(section(Hotkey::selection).button, Qt::LeftButton);
        QVERIFY(controller().recorder(Hotkey::screenshot).isRecording());
        QVERIFY(!controller().recorder(Hotkey::selection).isRecording());
        QCOMPARE(section(Hotkey::selection).button->text(), before);
        controller().recorder(Hotkey::screenshot).cancel();
        QVERIFY(X11Desktop::inputIsFree()); // at once, not at the next event
    }

    void timeOut() {
        HotkeyRecorder& recorder = controller().recorder(Hotkey::screenshot);
        recorder.setTimeout(std::chrono::milliseconds(200));
        QTest::mouseClick(section(Hotkey::screenshot).button, Qt::LeftButton);
        QVERIFY(!X11Desktop::inputIsFree() && desktopShortcutsBlocked);
        QTRY_COMPARE(section(Hotkey::screenshot).statusLabel->text(), QStringLiteral("录制超时，请重试"));
        QVERIFY(!desktopShortcutsBlocked);
        QCOMPARE(section(Hotkey::screenshot).button->text(), QStringLiteral("  Super+T  "));
        QVERIFY(X11Desktop::inputIsFree());
        recorder.setTimeout(HotkeyRecorder::defaultTimeout);
    }

    // Closing the window abandons the recording; the next window starts with nothing recorded.
    void closingTheWindowEndsRecording() {
        QTest::mouseClick(section(Hotkey::screenshot).button, Qt::LeftButton);
        QVERIFY(!X11Desktop::inputIsFree());
        QVERIFY(desktopShortcutsBlocked);
        controller().window()->close();
        QTRY_VERIFY(!controller().window());
        QVERIFY(X11Desktop::inputIsFree() && !desktopShortcutsBlocked);
        QVERIFY(!controller().recorder(Hotkey::screenshot).isRecording());
        X11Desktop::key(QStringLiteral("super+t"));
        QTRY_COMPARE(screenshotPresses, 1);
        openWindow();
        QCOMPARE(section(Hotkey::screenshot).statusLabel->text(),
                 QStringLiteral("点击上方按钮开始录制新快捷键"));
    }

    // GNOME on Wayland: the route button, and recording suspends VYRN's entries until it ends.
    void desktopRoute() {
        QStringList calls;
        auto record = [&](const char* call) { calls.append(QString::fromLatin1(call)); };
        controller().setHotkeyRoute(
            {{},
             true,
             QStringLiteral("GNOME 键盘快捷键"),
             [&](bool on) { settings->setDesktopKeybindings(on), record(on ? "on" : "off"); },
             [&](bool on) { record(on ? "suspend" : "resume"); },
             QStringLiteral("注意")});
        QPushButton* button = controller().window()->desktopKeybindingsButton;
        QCOMPARE(button->text(), QStringLiteral("添加到 GNOME 键盘快捷键"));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("从 GNOME 键盘快捷键 中移除"));
        QTest::mouseClick(section(Hotkey::screenshot).button, Qt::LeftButton);
        QVERIFY(section(Hotkey::screenshot).statusLabel->text().endsWith(QStringLiteral("\n注意")));
        controller().recorder(Hotkey::screenshot).cancel();
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(calls, (QStringList{"on", "suspend", "resume", "off"}));
        controller().setHotkeyRoute({});
    }

    void cleanupTestCase() {
        if (controller().window())
            controller().window()->close();
        screenshotHotkey.reset();
    }
};

VYRN_TEST_MAIN(QApplication, TestHotkeyRecorder, "xcb")
#include "tst_hotkey_recorder.moc"
