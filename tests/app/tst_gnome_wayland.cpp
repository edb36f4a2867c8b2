#include "support/MutterKeyboard.h"
#include "support/TestMain.h"
#include "support/VyrnProcess.h"
#include "support/X11Desktop.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTest>

#include <algorithm>

namespace {

const QString kMediaKeys = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys");
const QString kScreenshotEntry =
    kMediaKeys + QStringLiteral(".custom-keybinding:/org/gnome/settings-daemon/"
                                "plugins/media-keys/custom-keybindings/vyrn-screenshot/");

QString gsettings(const QStringList& arguments) {
    return X11Desktop::run(QStringLiteral("gsettings"), arguments);
}

// The offer's window: an alert of VYRN's, the only one it shows at a start in the background.
qulonglong offerWindow(qint64 pid) {
    for (qulonglong window : X11Desktop::windowsOf(pid)) {
        if (X11Desktop::windowName(window) == u"VYRN" && X11Desktop::geometryOf(window).width() > 100)
            return window;
    }
    return 0;
}

} // namespace

// The real program in a headless GNOME Shell session (scripts/wayland/gnome-session.sh): the
// first start's offer accepted, then the hotkey pressed through the compositor reaches VYRN by
// GNOME's own keyboard shortcut.
class TestGnomeWayland : public QObject {
    Q_OBJECT
    std::unique_ptr<MutterKeyboard> keyboard;
    std::unique_ptr<VyrnProcess> vyrn;

private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
            !qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QStringLiteral("GNOME")))
            QSKIP("needs a GNOME Wayland session: scripts/wayland/gnome-session.sh ctest -L wayland_gnome");
        keyboard = std::make_unique<MutterKeyboard>();
        QVERIFY2(keyboard->isOpen(), qPrintable(keyboard->error()));
        QVERIFY(keyboard->press(QStringLiteral("Escape"))); // the shell starts in its overview
    }

    void consentWritesTheBindings() {
        vyrn = std::make_unique<VyrnProcess>();
        QVERIFY(vyrn->startReady({QStringLiteral("--background")}));
        qulonglong offer = 0;
        QTRY_VERIFY_WITH_TIMEOUT((offer = offerWindow(vyrn->pid())) != 0, 10000);
        // Its first button, "添加到 GNOME 键盘快捷键", is the default one.
        QVERIFY(X11Desktop::activate(offer));
        X11Desktop::xdotool({QStringLiteral("key"), QStringLiteral("Return")});
        QVERIFY(vyrn->waitFor(QStringLiteral("划词快捷键: Super+Shift+T（GNOME 键盘快捷键）")));
        const QString program = QFileInfo(QStringLiteral(VYRN_BINARY)).canonicalFilePath();
        QCOMPARE(gsettings({QStringLiteral("get"), kScreenshotEntry, QStringLiteral("command")}),
                 QStringLiteral("'%1 --screenshot'").arg(program));
        QCOMPARE(gsettings({QStringLiteral("get"), kScreenshotEntry, QStringLiteral("binding")}),
                 QStringLiteral("'<Super>t'"));
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
        const QString list = QStringLiteral("custom-keybindings");
        QTRY_COMPARE(gsettings({QStringLiteral("get"), kMediaKeys, list}), QStringLiteral("@as []"));
        QTest::qWait(500); // until Mutter's own focus has followed xdotool's
        QVERIFY(keyboard->press(QStringLiteral("super+t")));
        QTRY_VERIFY_WITH_TIMEOUT(
            gsettings({QStringLiteral("get"), kMediaKeys, list}).contains(u"vyrn-screenshot"),
            5000); // before the recorder's own time-out
        QCOMPARE(vyrn->count(QStringLiteral("收到命令行操作: --screenshot")), 0);
    }

    // Key press to the running VYRN's action, through gsd-media-keys starting `vyrn --selection`.
    void hotkeyReachesVyrn() {
        QVERIFY(vyrn);
        const QString action = QStringLiteral("收到命令行操作: --selection");
        // gsd-media-keys takes its grabs a moment after VYRN's entries come back: pressed until
        // one arrives, then measured from a quiet start.
        QTRY_VERIFY_WITH_TIMEOUT(
            keyboard->press(QStringLiteral("super+shift+t")) && vyrn->waitFor(action, 1, 1000), 10000);
        QTest::qWait(1000);
        const int before = vyrn->count(action);
        QList<qint64> latencies;
        for (int press = 1; press <= 20; ++press) {
            QElapsedTimer timer;
            timer.start();
            QVERIFY(keyboard->press(QStringLiteral("super+shift+t")));
            QVERIFY(vyrn->waitFor(action, before + press, 10000));
            latencies.append(timer.elapsed());
        }
        std::sort(latencies.begin(), latencies.end());
        qInfo("GNOME: key press -> VYRN's action, median of 20: %lld ms (min %lld, max %lld)", latencies[10],
              latencies.first(), latencies.last());
        QVERIFY(vyrn->terminate());
    }
};

VYRN_TEST_MAIN(QGuiApplication, TestGnomeWayland, "xcb")
#include "tst_gnome_wayland.moc"
