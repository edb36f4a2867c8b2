#include "app/GlobalHotkeys.h"
#include "keys/HotkeyNames.h"
#include "platform/PlatformLoader.h"
#include "platform/PlatformServices.h"
#include "settings/SettingsManager.h"
#include "support/ScriptedAlerts.h"
#include "support/TestEnvironment.h"
#include "support/TestMain.h"
#include "support/X11Desktop.h"

#include <QApplication>
#include <QTest>

namespace {
constexpr int kT = 17;
constexpr int kSuper = CarbonModifier::control, kCtrl = CarbonModifier::command,
              kShift = CarbonModifier::shift;

struct Hotkey {
    int keyCode = 0;
    int modifiers = 0;
};
} // namespace

Q_DECLARE_METATYPE(Hotkey)

// The two global hotkeys as the owner registers them, on the test's X server, with
// another program holding combinations where a row says so.
class TestGlobalHotkeys : public QObject {
    Q_OBJECT
    TestEnvironment env;
    std::unique_ptr<PlatformServices> platform;
    std::unique_ptr<SettingsManager> m_settings;
    ScriptedAlerts alerts;
    std::unique_ptr<GlobalHotkeys> hotkeys;
    int screenshots = 0;
    int selections = 0;

    SettingsManager& settings() { return *m_settings; }

    void configure(Hotkey screenshot, Hotkey selection) {
        settings().setHotkeyKeyCode(screenshot.keyCode);
        settings().setHotkeyModifiers(screenshot.modifiers);
        settings().setSelectionHotkeyKeyCode(selection.keyCode);
        settings().setSelectionHotkeyModifiers(selection.modifiers);
    }

    // The alert is opened later on the main thread; afterwards, lastAlert() tells.
    QString conflictAlertText() {
        QCoreApplication::sendPostedEvents();
        const std::optional<AlertRequest> alert = alerts.last;
        if (!alert)
            return {};
        [&] {
            QCOMPARE(alert->messageText, QStringLiteral("快捷键注册失败"));
            QCOMPARE(alert->buttons, QStringList{QStringLiteral("知道了")});
        }();
        return alert->informativeText;
    }

    static QString alertFor(const QStringList& lines) {
        return QStringLiteral("以下快捷键无法使用：\n\n") + lines.join(QLatin1Char('\n')) +
               QStringLiteral("\n\n请前往 设置 → 快捷键，修改为其他组合。");
    }

    // Presses `keys` and waits until the press has reached an entry point.
    void pressAndWait(const QString& keys) {
        const int before = screenshots + selections;
        X11Desktop::key(keys);
        QTRY_VERIFY_WITH_TIMEOUT(screenshots + selections > before, 10000);
    }

private Q_SLOTS:
    void initTestCase() {
        platform = PlatformLoader::load(SessionType::X11);
        m_settings = std::make_unique<SettingsManager>(env.newPreferencesPath());
        hotkeys = std::make_unique<GlobalHotkeys>(*m_settings, *platform->hotkeys, alerts, false);
        connect(hotkeys.get(), &GlobalHotkeys::screenshotPressed, this, [this] { ++screenshots; });
        connect(hotkeys.get(), &GlobalHotkeys::selectionPressed, this, [this] { ++selections; });
    }

    void init() {
        alerts.reset();
        alerts.nextAnswer = 0;
        screenshots = selections = 0;
    }

    void registration_data() {
        QTest::addColumn<Hotkey>("screenshot");
        QTest::addColumn<Hotkey>("selection");
        QTest::addColumn<Hotkey>("heldElsewhere"); // key code 0: nothing held
        QTest::addColumn<QStringList>("registered");
        QTest::addColumn<QStringList>("alertLines");
        const Hotkey none{};
        // A combination another program held is free again two rows later at the latest.
        QTest::newRow("held by another program")
            << Hotkey{kT, kSuper} << Hotkey{kT, kSuper | kShift} << Hotkey{kT, kSuper}
            << QStringList{QStringLiteral("Super+Shift+T 划词翻译")}
            << QStringList{QStringLiteral("截图翻译「Super+T」：该键已被其他程序占用")};
        QTest::newRow("defaults") << Hotkey{kT, kSuper} << Hotkey{kT, kSuper | kShift} << none
                                  << QStringList{QStringLiteral("Super+T 截图翻译"),
                                                 QStringLiteral("Super+Shift+T 划词翻译")}
                                  << QStringList();
        // The change is refused; the hotkey that worked keeps working, and stays stored. The
        // reason is the catalogue's for a known shortcut.
        QTest::newRow("changed to one held by another program")
            << Hotkey{kT, kCtrl} << Hotkey{kT, kSuper | kShift} << Hotkey{kT, kCtrl}
            << QStringList{QStringLiteral("Super+T 截图翻译"), QStringLiteral("Super+Shift+T 划词翻译")}
            << QStringList{
                   QStringLiteral("截图翻译「Ctrl+T」：Ctrl+T 新建标签页，仍使用原快捷键「Super+T」")};
        QTest::newRow("swapped") << Hotkey{kT, kSuper | kShift} << Hotkey{kT, kSuper} << none
                                 << QStringList{QStringLiteral("Super+Shift+T 截图翻译"),
                                                QStringLiteral("Super+T 划词翻译")}
                                 << QStringList();
        QTest::newRow("the same combination twice")
            << Hotkey{kT, kSuper} << Hotkey{kT, kSuper} << none
            << QStringList{QStringLiteral("Super+Shift+T 截图翻译"), QStringLiteral("Super+T 划词翻译")}
            << QStringList{QStringLiteral(
                   "截图翻译「Super+T」：已被 VYRN 的另一个快捷键使用，仍使用原快捷键「Super+Shift+T」")};
    }
    // Rows run in order on one owner, so each starts from the grabs of the row before:
    // the swap only works when both old grabs are released before either is made anew, and a
    // refused change falls back on the row before's combination.
    void registration() {
        QFETCH(Hotkey, screenshot);
        QFETCH(Hotkey, selection);
        QFETCH(Hotkey, heldElsewhere);
        QFETCH(QStringList, registered);
        QFETCH(QStringList, alertLines);
        std::optional<DesktopProgram> holder;
        if (heldElsewhere.keyCode) {
            holder.emplace(QStringLiteral(HOTKEY_HOLDER),
                           QStringList{QString::number(heldElsewhere.keyCode),
                                       QString::number(heldElsewhere.modifiers)});
            QVERIFY(holder->waitForLine("held"));
        }
        configure(screenshot, selection);
        const QString storedDisplay = settings().hotkeyDisplay();
        hotkeys->reregister();

        QCOMPARE(hotkeys->registered(), registered);
        QCOMPARE(conflictAlertText(), alertLines.isEmpty() ? QString() : alertFor(alertLines));
        // What is held is what is stored; only a registration rewrites the stored text.
        const bool screenshotRegistered = registered.constFirst().endsWith(QStringLiteral("截图翻译"));
        const QString stored = hotkeyDisplayString(settings().hotkeyKeyCode(), settings().hotkeyModifiers());
        QCOMPARE(settings().hotkeyDisplay(), screenshotRegistered ? stored : storedDisplay);
        if (screenshotRegistered)
            QCOMPARE(registered.constFirst(), stored + QStringLiteral(" 截图翻译"));

        for (const QString& hotkey : registered) {
            const QString keys = hotkey.section(QLatin1Char(' '), 0, 0).toLower();
            pressAndWait(keys);
        }
        const int expected = int(registered.size());
        QCOMPARE(screenshots + selections, expected);
        QCOMPARE(screenshots, int(registered.filter(QStringLiteral("截图翻译")).size()));
    }

    void cleanupTestCase() { hotkeys.reset(); }
};

VYRN_TEST_MAIN(QApplication, TestGlobalHotkeys, "xcb")
#include "tst_global_hotkeys.moc"
