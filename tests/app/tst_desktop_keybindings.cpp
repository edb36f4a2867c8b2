#include "app/GlobalHotkeys.h"
#include "keys/HotkeyNames.h"
#include "platform/DesktopKeybindings.h"
#include "platform/null/NullHotkeyService.h"
#include "settings/SettingsManager.h"
#include "support/ScriptedAlerts.h"
#include "support/TestEnvironment.h"

#include <QTest>

namespace {

// The desktop's settings, at the platform boundary: records what VYRN asks of it, and holds
// the combinations a row gives to another binding.
class RecordingDesktop final : public DesktopKeybindings {
public:
    QStringList calls;
    QStringList heldElsewhere;
    QStringList commands;

    QString place() const override { return QStringLiteral("GNOME 键盘快捷键"); }
    bool written() const override { return false; }
    QList<std::optional<QString>> write(const QList<Binding>& bindings) override {
        QStringList combinations;
        QList<std::optional<QString>> outcome;
        commands.clear();
        for (const Binding& binding : bindings) {
            const QString display = hotkeyDisplayString(binding.keyCode, binding.modifiers);
            combinations.append(display);
            commands.append(binding.command);
            outcome.append(heldElsewhere.contains(display) ? std::optional(QStringLiteral("已被 X 占用"))
                                                           : std::nullopt);
        }
        calls.append(QStringLiteral("write ") + combinations.join(QLatin1Char(',')));
        return outcome;
    }
    void remove() override { calls.append(QStringLiteral("remove")); }
};

} // namespace

// How the program's owner keeps VYRN's entries among the desktop's shortcuts in line with the
// user's choice, the stored hotkeys and the recorder.
class TestDesktopKeybindings : public QObject {
    Q_OBJECT
    TestEnvironment env;

private Q_SLOTS:
    void steps_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("held"); // combinations another binding holds
        QTest::addColumn<QStringList>("calls");
        QTest::addColumn<QStringList>("registered");
        const QString both = QStringLiteral("write Super+T,Super+Shift+T");
        QTest::newRow("not wanted: nothing written")
            << QStringList{"reregister"} << QStringList{} << QStringList{} << QStringList{};
        QTest::newRow("consent writes both") << QStringList{"want"} << QStringList{} << QStringList{both}
                                             << QStringList{"Super+T 截图翻译", "Super+Shift+T 划词翻译"};
        QTest::newRow("a changed combination is rewritten")
            << QStringList{"want", "change", "reregister"} << QStringList{}
            << QStringList{both, "write Super+Y,Super+Shift+T"}
            << QStringList{"Super+Y 截图翻译", "Super+Shift+T 划词翻译"};
        QTest::newRow("turning it off removes them")
            << QStringList{"want", "unwant", "reregister"} << QStringList{} << QStringList{both, "remove"}
            << QStringList{};
        QTest::newRow("recording takes them out and puts the stored ones back")
            << QStringList{"want", "suspend", "reregister", "change", "resume"} << QStringList{}
            << QStringList{both, "remove", "write Super+Y,Super+Shift+T"}
            << QStringList{"Super+Y 截图翻译", "Super+Shift+T 划词翻译"};
        QTest::newRow("recording without consent touches nothing")
            << QStringList{"suspend", "resume"} << QStringList{} << QStringList{} << QStringList{};
        QTest::newRow("a held combination is named in the alert")
            << QStringList{"want"} << QStringList{"Super+Shift+T"} << QStringList{both}
            << QStringList{"Super+T 截图翻译"};
    }
    void steps() {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, held);
        QFETCH(QStringList, calls);
        QFETCH(QStringList, registered);
        SettingsManager settings(env.newPreferencesPath());
        NullHotkeyService service(NullHotkeyService::Reason::Wayland);
        ScriptedAlerts alerts;
        RecordingDesktop desktop;
        desktop.heldElsewhere = held;
        GlobalHotkeys hotkeys(settings, service, alerts, true);
        hotkeys.useDesktopKeybindings(&desktop, QStringLiteral("/opt/vyrn/vyrn"));
        for (const QString& step : steps) {
            if (step == u"reregister")
                hotkeys.reregister();
            else if (step == u"want" || step == u"unwant")
                hotkeys.setDesktopKeybindingsWanted(step == u"want");
            else if (step == u"suspend" || step == u"resume")
                hotkeys.suspendDesktopKeybindings(step == u"suspend");
            else if (step == u"change")
                settings.setHotkeyKeyCode(16); // Y
        }
        QCOMPARE(desktop.calls, calls);
        QCOMPARE(hotkeys.registered(), registered);
        if (!calls.isEmpty() && calls.first().startsWith(u"write"))
            QCOMPARE(desktop.commands, (QStringList{QStringLiteral("/opt/vyrn/vyrn --screenshot"),
                                                    QStringLiteral("/opt/vyrn/vyrn --selection")}));
        QCoreApplication::sendPostedEvents();
        QCOMPARE(alerts.last.has_value(), !held.isEmpty());
        if (!held.isEmpty())
            QVERIFY2(alerts.last->informativeText.contains(
                         QStringLiteral("划词翻译「Super+Shift+T」：已被 X 占用")),
                     qPrintable(alerts.last->informativeText));
        QCOMPARE(hotkeys.route().startsWith(QStringLiteral("当前方式：GNOME")),
                 settings.desktopKeybindings());
    }
};

QTEST_GUILESS_MAIN(TestDesktopKeybindings)
#include "tst_desktop_keybindings.moc"
