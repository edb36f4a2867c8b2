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

    // Key press to the running VYRN's action, through gsd-media-keys starting `vyrn --selection`.
    void hotkeyReachesVyrn() {
        QVERIFY(vyrn);
        const QString action = QStringLiteral("收到命令行操作: --selection");
        QList<qint64> latencies;
        for (int press = 1; press <= 20; ++press) {
            QElapsedTimer timer;
            timer.start();
            QVERIFY(keyboard->press(QStringLiteral("super+shift+t")));
            QVERIFY2(vyrn->waitFor(action, press, 10000), qPrintable(vyrn->output().right(2000)));
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
