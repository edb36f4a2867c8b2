#include "platform/freedesktop/PortalScreenCapture.h"
#include "settings/SettingsManager.h"
#include "support/FakeKeyStore.h"
#include "support/MutterKeyboard.h"
#include "support/ScriptedAlerts.h"
#include "support/TestEnvironment.h"
#include "support/TestMain.h"
#include "support/X11Desktop.h"
#include "windows/settings/SettingsWindow.h"
#include "windows/settings/SettingsWindowController.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusInterface>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRasterWindow>
#include <QStandardPaths>
#include <QTest>

namespace {

const QColor kKnown(0xd0, 0x30, 0x90);

class ColourWindow : public QRasterWindow {
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(QRect(QPoint(), size()), kKnown); }
};

// The answer GNOME keeps for host programs without an application id, as the test process is.
bool storePermission(bool granted) {
    QDBusInterface store(QStringLiteral("org.freedesktop.impl.portal.PermissionStore"),
                         QStringLiteral("/org/freedesktop/impl/portal/PermissionStore"),
                         QStringLiteral("org.freedesktop.impl.portal.PermissionStore"));
    const QDBusMessage reply =
        granted ? store.call(QStringLiteral("SetPermission"), QStringLiteral("screenshot"), true,
                             QStringLiteral("screenshot"), QString(), QStringList{QStringLiteral("yes")})
                : store.call(QStringLiteral("DeletePermission"), QStringLiteral("screenshot"),
                             QStringLiteral("screenshot"), QString());
    return reply.type() == QDBusMessage::ReplyMessage ||
           reply.errorName().endsWith(QLatin1String("NotFound"));
}

QString storedAnswer() {
    QDBusInterface store(QStringLiteral("org.freedesktop.impl.portal.PermissionStore"),
                         QStringLiteral("/org/freedesktop/impl/portal/PermissionStore"),
                         QStringLiteral("org.freedesktop.impl.portal.PermissionStore"));
    const QDBusMessage reply =
        store.call(QStringLiteral("Lookup"), QStringLiteral("screenshot"), QStringLiteral("screenshot"));
    return qdbus_cast<QMap<QString, QStringList>>(reply.arguments().value(0)).value(QString()).value(0);
}

// The portal writes to the pictures folder, or to the home folder when there is none.
int picturesLeft() {
    int count = 0;
    for (const QString& folder :
         {QStandardPaths::writableLocation(QStandardPaths::PicturesLocation), QDir::homePath()})
        count += int(QDir(folder).entryList({QStringLiteral("*.png")}, QDir::Files).size());
    return count;
}

} // namespace

// The real Screenshot portal in a headless GNOME Shell session (scripts/wayland/gnome-session.sh).
class TestGnomePortalCapture : public QObject {
    Q_OBJECT
    PortalScreenCapture::Options options() {
        PortalScreenCapture::Options result;
        result.askFirst = true;
        result.mutterLayout = true;
        return result;
    }

private Q_SLOTS:
    void initTestCase() {
        if (!qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QStringLiteral("GNOME")))
            QSKIP("needs a GNOME Wayland session: scripts/wayland/gnome-session.sh ctest -L wayland_gnome");
        MutterKeyboard keyboard;
        QVERIFY2(keyboard.isOpen(), qPrintable(keyboard.error()));
        QVERIFY(keyboard.press({0xff1b})); // the shell starts in its overview
    }

    void grantedShowsTheWindow() {
        QVERIFY(storePermission(true));
        ColourWindow window;
        window.resize(300, 200);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(500); // the compositor's next frame
        PortalScreenCapture capture(options());
        QCOMPARE(capture.appId(), QString());
        std::optional<ScreenCapture::Picture> picture;
        QElapsedTimer clock;
        clock.start();
        capture.capture(nullptr, [&](ScreenCapture::Picture answer) { picture = answer; });
        QTRY_VERIFY_WITH_TIMEOUT(picture, 12000);
        qInfo("GNOME Screenshot portal: %lld ms", clock.elapsed());
        QCOMPARE(int(picture->status), int(ScreenCapture::Picture::Status::Taken));
        QVERIFY(picture->wholeDesktop);
        QCOMPARE(picture->monitors.size(), 1);
        QCOMPARE(picture->monitors.first().logical, QRect(0, 0, 1280, 800));
        QCOMPARE(picture->monitors.first().pixels, QRect(QPoint(), picture->image.size()));
        const QPoint centre = window.geometry().center();
        QCOMPARE(picture->image.pixelColor(centre).rgb(), kKnown.rgb());
        QCOMPARE(picturesLeft(), 0);
    }

    void withoutPermissionAnswersAtOnce() {
        QVERIFY(storePermission(false));
        PortalScreenCapture capture(options());
        std::optional<ScreenCapture::Picture> picture;
        QElapsedTimer clock;
        clock.start();
        capture.capture(nullptr, [&](ScreenCapture::Picture answer) { picture = answer; });
        QTRY_VERIFY_WITH_TIMEOUT(picture, 2000);
        QCOMPARE(int(picture->status), int(ScreenCapture::Picture::Status::NeedsPermission));
        QVERIFY(!picture->userMessage.isEmpty());
        QTest::qWait(1000);
        QCOMPARE(picturesLeft(), 0);
        QVERIFY(storePermission(true));
    }

    // The settings window's step, GNOME's real question answered with the keyboard: refused
    // first (its focus starts on "Deny"), then asked again from the same step and allowed.
    void firstUseStep_data() {
        QTest::addColumn<QList<quint32>>("keys");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("status");
        QTest::newRow("refused") << QList<quint32>{0xff0d} << "no"
                                 << "GNOME 记下了“拒绝”";
        QTest::newRow("asked again, allowed") << QList<quint32>{0xff09, 0xff0d} << "yes"
                                              << "已允许";
    }
    void firstUseStep() {
        QFETCH(QList<quint32>, keys);
        static bool fresh = storePermission(false);
        QVERIFY(fresh);
        TestEnvironment env;
        SettingsManager settings(env.newPreferencesPath(), std::make_unique<FakeKeyStore>());
        ScriptedAlerts alerts;
        SettingsWindowController controller(settings, alerts, [] {});
        PortalScreenCapture capture(options());
        controller.setScreenshotPermission(&capture);
        controller.showScreenshotPermission();
        SettingsWindow* window = controller.window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        X11Desktop::xdotool(
            {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(window->winId())});
        QTRY_COMPARE(QApplication::focusWidget(), window->screenshotPermissionButton);
        QTest::keyClick(window->screenshotPermissionButton, Qt::Key_Space);
        QTest::qWait(2000); // GNOME's dialog
        MutterKeyboard keyboard;
        for (quint32 key : keys)
            QVERIFY(keyboard.press({key}));
        QFETCH(QString, status);
        QTRY_VERIFY_WITH_TIMEOUT(window->screenshotPermissionStatus->text().contains(status), 5000);
        QTEST(storedAnswer(), "stored");
        QCOMPARE(picturesLeft(), 0);
    }
};

VYRN_TEST_MAIN(QApplication, TestGnomePortalCapture, "xcb")
#include "tst_gnome_portal_capture.moc"
