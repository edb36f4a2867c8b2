#include "support/MutterKeyboard.h"
#include "support/TestMain.h"
#include "support/VyrnProcess.h"
#include "support/WaylandReading.h"
#include "support/X11Desktop.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTest>

#include <algorithm>

namespace {

constexpr quint32 kSuper = 0xffeb, kShift = 0xffe1; // keysyms

const QString kEntry =
    QStringLiteral("org.gnome.settings-daemon.plugins.media-keys.custom-keybinding:/org/gnome/"
                   "settings-daemon/plugins/media-keys/custom-keybindings/vyrn-screenshot/");

QString gsettings(const QString& schema, const QString& key) {
    return X11Desktop::run(QStringLiteral("gsettings"), {QStringLiteral("get"), schema, key});
}
QString customList() {
    return gsettings(QStringLiteral("org.gnome.settings-daemon.plugins.media-keys"),
                     QStringLiteral("custom-keybindings"));
}

} // namespace

// The real program in a headless GNOME Shell session (scripts/wayland/gnome-session.sh): the
// first start's offer accepted, then the hotkey pressed through the compositor reaches VYRN by
// GNOME's own keyboard shortcut.
class TestGnomeWayland : public QObject {
    Q_OBJECT
    std::unique_ptr<MutterKeyboard> keyboard;
    std::unique_ptr<VyrnProcess> vyrn;
    WaylandReading reading;

private Q_SLOTS:
    void initTestCase() {
        if (!qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QStringLiteral("GNOME")))
            QSKIP("needs a GNOME Wayland session: scripts/wayland/gnome-session.sh ctest -L wayland_gnome");
        keyboard = std::make_unique<MutterKeyboard>();
        QVERIFY2(keyboard->isOpen(), qPrintable(keyboard->error()));
        QVERIFY(keyboard->leaveOverview());
    }

    void consentWritesTheBindings() {
        vyrn = std::make_unique<VyrnProcess>();
        QVERIFY(vyrn->startReady({QStringLiteral("--background")}));
        // The offer, an alert; its first button, "添加到 GNOME 键盘快捷键", is the default one.
        QTRY_VERIFY_WITH_TIMEOUT(X11Desktop::showsAlert(vyrn->pid()), 10000); // it has the focus
        X11Desktop::xdotool({QStringLiteral("key"), QStringLiteral("Return")});
        QVERIFY(vyrn->waitFor(QStringLiteral("划词快捷键: Super+Shift+T（GNOME 键盘快捷键）")));
        const QString program = QFileInfo(QStringLiteral(VYRN_BINARY)).canonicalFilePath();
        QCOMPARE(gsettings(kEntry, QStringLiteral("command")), "'" + program + " --screenshot'");
        QCOMPARE(gsettings(kEntry, QStringLiteral("binding")), QStringLiteral("'<Super>t'"));
    }

    // While a combination is recorded, VYRN's entries are out of GNOME's list: the combination
    // reaches the recorder, not the action, and the entries come back when it is taken.
    void recordingSuspendsTheBindings() {
        QVERIFY(vyrn);
        QCOMPARE(VyrnProcess::run({QStringLiteral("--settings")}, VyrnProcess::environment()).exitCode, 0);
        QList<qulonglong> windows;
        QTRY_VERIFY(!(windows = X11Desktop::windowsNamed(QStringLiteral("^偏好设置"))).isEmpty());
        const qulonglong settings = windows.first();
        // Mutter keeps no _NET_ACTIVE_WINDOW on the root for X11Desktop::activate to wait on.
        X11Desktop::xdotool(
            {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(settings)});
        // The hotkeys tab, then past its route button to the screenshot recorder.
        for (const char* key : {"ctrl+Tab", "Tab", "Tab", "Tab", "space"})
            X11Desktop::xdotool({QStringLiteral("key"), QString::fromLatin1(key)});
        QTRY_VERIFY(!customList().contains(u"vyrn-"));
        QTest::qWait(500); // until Mutter's own focus has followed xdotool's
        QVERIFY(keyboard->press({kSuper, 't'}));
        QTRY_VERIFY_WITH_TIMEOUT(customList().contains(u"vyrn-screenshot"), 5000); // before its time-out
        QCOMPARE(vyrn->count(QStringLiteral("收到命令行操作: --screenshot")), 0);
    }

    // Key press to the running VYRN's action, through gsd-media-keys starting `vyrn --selection`.
    void hotkeyReachesVyrn() {
        QVERIFY(vyrn);
        const QString action = QStringLiteral("收到命令行操作: --selection");
        // gsd-media-keys takes its grabs a moment after VYRN's entries come back: pressed until
        // one arrives, then measured from a quiet start.
        QTRY_VERIFY_WITH_TIMEOUT(keyboard->press({kSuper, kShift, 't'}) && vyrn->waitFor(action, 1, 1000),
                                 10000);
        QTest::qWait(1000);
        const int before = vyrn->count(action);
        QList<qint64> latencies;
        for (int press = 1; press <= 20; ++press) {
            QElapsedTimer timer;
            timer.start();
            QVERIFY(keyboard->press({kSuper, kShift, 't'}));
            QVERIFY(vyrn->waitFor(action, before + press, 10000));
            latencies.append(timer.elapsed());
        }
        std::sort(latencies.begin(), latencies.end());
        qInfo("GNOME: key press -> VYRN's action, median of 20: %lld ms (min %lld, max %lld)", latencies[10],
              latencies.first(), latencies.last());
        QVERIFY(vyrn->terminate());
    }

    // Keys cannot be grabbed here: each panel takes the keyboard from the program being read,
    // and Esc pressed through the compositor reaches it.
    void panelTakesFocusAndClosesOnEsc_data() { WaylandReading::panelRows(); }
    void panelTakesFocusAndClosesOnEsc() {
        // VYRN as on an X server without OpenGL (this one has Mesa's): the result panel shows.
        qputenv("QT_XCB_GL_INTEGRATION", "none");
        QVERIFY(reading.vyrn || reading.start());
        const auto selectAll = [this] { return keyboard->press({0xffe3, 'a'}); };
        reading.checkPanel(selectAll, [this] { return keyboard->press({0xff1b}); });
    }
};

VYRN_TEST_MAIN(QGuiApplication, TestGnomeWayland, "xcb")
#include "tst_gnome_wayland.moc"
