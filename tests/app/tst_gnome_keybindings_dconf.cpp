#include "app/GlobalHotkeys.h"
#include "keys/GnomeKeybindings.h"
#include "platform/gnome/GnomeCustomKeybindings.h"
#include "platform/null/NullHotkeyService.h"
#include "settings/SettingsManager.h"
#include "support/ScriptedAlerts.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

using namespace GnomeKeybindings;

namespace {

const QString kMediaKeys = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys");
const QString kEntry = kMediaKeys + QStringLiteral(".custom-keybinding:");
const QString kUsers = QString::fromLatin1(kCustomBase) + QStringLiteral("custom0/");

QString gsettings(QStringList arguments) {
    QProcess process;
    process.start(QStringLiteral("gsettings"), arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

} // namespace

// VYRN's entries in the GNOME session's dconf (read back by another process), beside one of the
// user's, as the owner keeps them in line with the user's choice and the stored hotkeys.
class TestGnomeKeybindingsDconf : public QObject {
    Q_OBJECT
    QTemporaryDir m_preferences; // the session's own XDG folders stay: dconf reads its file there
    std::unique_ptr<GnomeCustomKeybindings> m_gnome;

private Q_SLOTS:
    void initTestCase() {
        if (!qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QStringLiteral("GNOME")))
            QSKIP("needs a GNOME session's dconf: scripts/wayland/gnome-session.sh ctest -L wayland_gnome");
        QVERIFY((m_gnome = GnomeCustomKeybindings::open()));
        gsettings({"set", kEntry + kUsers, "name", "Terminal"});
        gsettings({"set", kEntry + kUsers, "binding", "<Primary><Alt>t"});
        gsettings({"set", kMediaKeys, "custom-keybindings", "['" + kUsers + "']"});
    }

    void steps_data() {
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QString>("binding"); // the screenshot entry's
        QTest::addColumn<QString>("alert");
        const QStringList both{kUsers, screenshotPath(), selectionPath()};
        QTest::newRow("without consent nothing")
            << QStringList{"reregister", "suspend", "resume"} << QStringList{kUsers} << "''" << QString();
        QTest::newRow("consent writes both") << QStringList{"want"} << both << "'<Super>t'" << QString();
        QTest::newRow("a change rewrites")
            << QStringList{"want", "Y", "reregister"} << both << "'<Super>y'" << QString();
        QTest::newRow("off removes them")
            << QStringList{"want", "unwant"} << QStringList{kUsers} << "''" << QString();
        QTest::newRow("recording takes them out, then the stored ones back")
            << QStringList{"want", "suspend", "Y", "resume"} << both << "'<Super>y'" << QString();
        QTest::newRow("off and on again during a recording")
            << QStringList{"want", "suspend", "unwant", "resume", "want"} << both << "'<Super>t'"
            << QString();
        QTest::newRow("held by GNOME")
            << QStringList{"Tab", "want"} << QStringList{kUsers, selectionPath()} << "''"
            << "截图翻译「Super+Tab」：已被 GNOME 快捷键「Switch applications」 占用";
        QTest::newRow("held by the user's entry")
            << QStringList{"CtrlAlt", "want"} << QStringList{kUsers, selectionPath()} << "''"
            << "截图翻译「Ctrl+Alt+T」：已被 GNOME 自定义快捷键「Terminal」 占用";
        QTest::newRow("both the same")
            << QStringList{"same", "want"} << QStringList{kUsers, screenshotPath()} << "'<Super>t'"
            << "划词翻译「Super+T」：与截图翻译的快捷键相同";
    }
    void steps() {
        QFETCH(QStringList, steps);
        QFETCH(QStringList, paths);
        QFETCH(QString, binding);
        QFETCH(QString, alert);
        m_gnome->remove();
        SettingsManager settings(m_preferences.filePath(QString::fromLatin1(QTest::currentDataTag())));
        NullHotkeyService service(NullHotkeyService::Reason::Wayland);
        ScriptedAlerts alerts;
        GlobalHotkeys hotkeys(settings, service, alerts, true);
        hotkeys.useDesktopKeybindings(m_gnome.get(), QStringLiteral("/opt/vyrn"));
        for (const QString& step : steps) {
            if (step == u"reregister")
                hotkeys.reregister();
            else if (step == u"want" || step == u"unwant")
                hotkeys.setDesktopKeybindingsWanted(step == u"want");
            else if (step == u"suspend" || step == u"resume")
                hotkeys.suspendDesktopKeybindings(step == u"suspend");
            else if (step == u"same")
                settings.setSelectionHotkeyModifiers(4096);
            else if (step == u"CtrlAlt")
                settings.setHotkeyModifiers(256 | 2048);
            else
                settings.setHotkeyKeyCode(step == u"Y" ? 16 : 48);
        }
        QCOMPARE(gsettings({"get", kMediaKeys, "custom-keybindings"}), "['" + paths.join("', '") + "']");
        QCOMPARE(gsettings({"get", kEntry + screenshotPath(), "binding"}), binding);
        if (binding != u"''")
            QCOMPARE(gsettings({"get", kEntry + screenshotPath(), "command"}), "'/opt/vyrn --screenshot'");
        QCOMPARE(gsettings({"get", kEntry + kUsers, "binding"}), "'<Primary><Alt>t'");
        QCoreApplication::sendPostedEvents();
        QCOMPARE(alerts.last.has_value(), !alert.isEmpty());
        if (!alert.isEmpty())
            QVERIFY2(alerts.last->informativeText.contains(alert), qPrintable(alerts.last->informativeText));
    }
};

QTEST_GUILESS_MAIN(TestGnomeKeybindingsDconf)
#include "tst_gnome_keybindings_dconf.moc"
