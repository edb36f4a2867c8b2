#include "base/AppConstants.h"
#include "platform/freedesktop/FileKeyStore.h"
#include "platform/freedesktop/PortalScreenCapture.h"
#include "settings/AIProvider.h"
#include "settings/KeyStore.h"
#include "settings/PreferenceStore.h"
#include "settings/SettingsManager.h"
#include "support/FakeKeyStore.h"
#include "support/LocalHttpServer.h"
#include "support/MutterKeyboard.h"
#include "support/ScriptedAlerts.h"
#include "support/TestEnvironment.h"
#include "support/TestMain.h"
#include "support/VyrnProcess.h"
#include "support/X11Desktop.h"
#include "windows/settings/SettingsWindow.h"
#include "windows/settings/SettingsWindowController.h"

#include <QApplication>
#include <QDBusArgument>
#include <QDBusInterface>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTest>

namespace {

// GNOME's answer for host programs it cannot name, as the test and the program it starts are:
// "yes", or none.
QDBusMessage permissionStore(const QString& method, const QVariantList& arguments) {
    QDBusInterface store(QStringLiteral("org.freedesktop.impl.portal.PermissionStore"),
                         QStringLiteral("/org/freedesktop/impl/portal/PermissionStore"),
                         QStringLiteral("org.freedesktop.impl.portal.PermissionStore"));
    return store.callWithArgumentList(QDBus::Block, method,
                                      QVariantList{QStringLiteral("screenshot")} + arguments);
}
bool storePermission(bool granted) {
    const QDBusMessage reply =
        granted
            ? permissionStore(QStringLiteral("SetPermission"), {true, QStringLiteral("screenshot"), QString(),
                                                                QStringList{QStringLiteral("yes")}})
            : permissionStore(QStringLiteral("DeletePermission"), {QStringLiteral("screenshot"), QString()});
    return reply.type() == QDBusMessage::ReplyMessage ||
           reply.errorName().endsWith(QLatin1String("NotFound"));
}
QString storedAnswer() {
    const QDBusMessage reply = permissionStore(QStringLiteral("Lookup"), {QStringLiteral("screenshot")});
    return qdbus_cast<QMap<QString, QStringList>>(reply.arguments().value(0)).value(QString()).value(0);
}

// The portal writes to the pictures folder, or to the home folder when there is none.
int picturesLeft() {
    int count = 0;
    for (const QString& folder : {QDir::homePath() + QStringLiteral("/Pictures"), QDir::homePath()})
        count += int(QDir(folder).entryList({QStringLiteral("*.png")}, QDir::Files).size());
    return count;
}

PortalScreenCapture::Options gnomeOptions() {
    PortalScreenCapture::Options options;
    options.askFirst = true;
    options.mutterLayout = true;
    return options;
}

} // namespace

// GNOME's Screenshot portal in a headless GNOME Shell session (scripts/wayland/gnome-session.sh):
// the capture service itself, the settings window's step through GNOME's real question, and the
// real program from `vyrn --screenshot` to a drag through the compositor's own pointer over a
// window of English text and that text in the request to the service.
class TestGnomeScreenshot : public QObject {
    Q_OBJECT
    TestEnvironment env; // the program's too
    LocalHttpServer chat;
    std::unique_ptr<MutterKeyboard> input;
    std::unique_ptr<VyrnProcess> vyrn;
    QLabel page{QStringLiteral("Quiet rivers carry heavy boats")};

    std::optional<ScreenCapture::Picture> capture(int timeoutMs) {
        PortalScreenCapture service(gnomeOptions());
        std::optional<ScreenCapture::Picture> picture;
        service.capture(nullptr, [&](ScreenCapture::Picture answer) { picture = answer; });
        (void)QTest::qWaitFor([&] { return picture.has_value(); }, timeoutMs);
        return picture;
    }

private Q_SLOTS:
    void initTestCase() {
        if (!qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QStringLiteral("GNOME")))
            QSKIP("needs a GNOME Wayland session: scripts/wayland/gnome-session.sh ctest -L wayland_gnome");
        input = std::make_unique<MutterKeyboard>();
        QVERIFY2(input->isOpen(), qPrintable(input->error()));
        QVERIFY(input->leaveOverview());
        // An unlocked keyring, or GNOME would ask for a new one's password over the drag (in
        // place of one an earlier test of the session started locked).
        QCOMPARE(QProcess::execute(
                     QStringLiteral("sh"),
                     {QStringLiteral("-c"), QStringLiteral("echo -n pw | gnome-keyring-daemon --replace "
                                                           "--unlock --components=secrets >/dev/null")}),
                 0);

        PreferenceStore preferences(SettingsManager::preferencesPath());
        const QString provider = AIProviders::rawValue(AIProvider::deepseek);
        preferences.setValue(QStringLiteral("kavelin.apiProvider"), provider);
        preferences.setValue(QStringLiteral("kavelin.baseURL.") + provider, chat.baseUrl().toString());
        preferences.setValue(QStringLiteral("kavelin.desktopKeybindingsOffered"), true);
        FileKeyStore keys(AppConstants::configDirectory() + QStringLiteral("/keys.json"));
        QCOMPARE(keys.write(KeyStore::service, QStringLiteral("kavelin.apikey.") + provider, "sk-local-test"),
                 0);

        page.setStyleSheet(QStringLiteral("background: white; color: black; padding: 24px; font-size: 28px"));
        page.move(200, 450); // below the shell's notices of the session's start
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
    }

    void cleanupTestCase() {
        if (vyrn)
            QVERIFY(vyrn->terminate());
    }

    // Without the permission, the answer comes at once: no call that could hang.
    void desktopPicture_data() {
        QTest::addColumn<bool>("granted");
        QTest::addColumn<int>("status");
        QTest::newRow("granted") << true << int(ScreenCapture::Picture::Status::Taken);
        QTest::newRow("absent") << false << int(ScreenCapture::Picture::Status::NeedsPermission);
    }
    void desktopPicture() {
        QFETCH(bool, granted);
        QVERIFY(storePermission(granted));
        QTest::qWait(500); // the compositor's frame with the page in it
        const std::optional<ScreenCapture::Picture> picture = capture(granted ? 12000 : 2000);
        QVERIFY(picture);
        QTEST(int(picture->status), "status");
        QCOMPARE(picture->userMessage.isEmpty(), granted);
        if (!granted)
            return;
        QCOMPARE(picture->monitors.size(), 1);
        QCOMPARE(picture->monitors.first().logical, QRect(0, 0, 1280, 800));
        QCOMPARE(picture->monitors.first().pixels, QRect(QPoint(), picture->image.size()));
        QCOMPARE(picture->image.pixelColor(page.mapToGlobal(QPoint(4, 4))), QColor(Qt::white));
        QCOMPARE(picturesLeft(), 0);
    }

    // GNOME's question answered with the keyboard: refused first (its focus starts on "Deny"),
    // then asked again from the same step and allowed.
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
        SettingsManager settings(env.newPreferencesPath(), std::make_unique<FakeKeyStore>());
        ScriptedAlerts alerts;
        SettingsWindowController controller(settings, alerts, [] {});
        PortalScreenCapture service(gnomeOptions());
        controller.setScreenshotPermission(&service);
        controller.showScreenshotPermission();
        SettingsWindow* window = controller.window();
        QVERIFY(QTest::qWaitForWindowExposed(window));
        X11Desktop::xdotool(
            {QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(window->winId())});
        QTRY_COMPARE(QApplication::focusWidget(), window->screenshotPermissionButton);
        QTest::keyClick(window->screenshotPermissionButton, Qt::Key_Space);
        QTest::qWait(2000); // GNOME's dialog
        for (quint32 key : keys)
            QVERIFY(input->press({key}));
        QFETCH(QString, status);
        QTRY_VERIFY_WITH_TIMEOUT(window->screenshotPermissionStatus->text().contains(status), 5000);
        QTEST(storedAnswer(), "stored");
        QCOMPARE(picturesLeft(), 0);
    }

    void dragOverTextTranslatesIt() {
        vyrn = std::make_unique<VyrnProcess>();
        QVERIFY(vyrn->startReady({QStringLiteral("--background")}));
        chat.enqueue(
            LocalHttpServer::Response::chat(QStringLiteral("## 中文翻译\n安静的河流承载沉重的船。")));
        page.activateWindow();
        QTest::qWait(500);
        QCOMPARE(VyrnProcess::run({QStringLiteral("--screenshot")}, VyrnProcess::environment()).exitCode, 0);
        QVERIFY2(vyrn->waitFor(QStringLiteral("截图引擎启动"), 1, 15000), qPrintable(vyrn->output()));
        // Mapped, full-screen and given the keyboard: from then on it takes a drag.
        QTRY_VERIFY_WITH_TIMEOUT(
            X11Desktop::xdotool({QStringLiteral("getwindowfocus"), QStringLiteral("getwindowname")})
                .startsWith(QStringLiteral("VYRN 截图")),
            5000);
        QTest::qWait(300);
        const QRect area(page.mapToGlobal(QPoint(8, 8)), page.size() - QSize(16, 16));
        // Each step once the X server has seen the pointer there: the compositor passes its
        // input on to Xwayland in its own time, and a press may otherwise overtake the move.
        const auto pointerAt = [](QPoint at) {
            return QTest::qWaitFor(
                [&] {
                    return X11Desktop::xdotool({QStringLiteral("getmouselocation")})
                        .startsWith(QStringLiteral("x:%1 y:%2 ").arg(at.x()).arg(at.y()));
                },
                3000);
        };
        QVERIFY(input->movePointer(area.topLeft()) && pointerAt(area.topLeft()));
        QVERIFY(input->leftButton(true));
        const QPoint half(area.width() / 2, area.height() / 2);
        QVERIFY(input->movePointerBy(half) && pointerAt(area.topLeft() + half));
        QVERIFY(input->movePointerBy(area.bottomRight() - area.topLeft() - half) &&
                pointerAt(area.bottomRight()));
        QVERIFY(input->leftButton(false));
        QVERIFY2(chat.waitForRequests(1, 30000), qPrintable(vyrn->output().right(300)));
        const QByteArray body = chat.requests().constFirst().body;
        for (const char* word : {"Quiet", "rivers", "heavy", "boats"})
            QVERIFY2(body.contains(word), body.constData());
        QCOMPARE(picturesLeft(), 0);
    }
};

VYRN_TEST_MAIN(QApplication, TestGnomeScreenshot, "xcb")
#include "tst_gnome_screenshot.moc"
