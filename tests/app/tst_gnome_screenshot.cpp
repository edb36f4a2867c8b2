#include "base/AppConstants.h"
#include "platform/freedesktop/FileKeyStore.h"
#include "settings/AIProvider.h"
#include "settings/KeyStore.h"
#include "settings/PreferenceStore.h"
#include "settings/SettingsManager.h"
#include "support/LocalHttpServer.h"
#include "support/MutterKeyboard.h"
#include "support/TestMain.h"
#include "support/VyrnProcess.h"
#include "support/X11Desktop.h"

#include <QApplication>
#include <QDBusInterface>
#include <QDir>
#include <QLabel>
#include <QProcess>
#include <QTest>

namespace {

const QString kText = QStringLiteral("Quiet rivers carry heavy boats");

} // namespace

// The real program in a headless GNOME Shell session (scripts/wayland/gnome-session.sh), GNOME's
// consent given: `vyrn --screenshot`, the frozen desktop, a drag through the compositor's own
// pointer over a window of English text, and that text in the request to the service.
class TestGnomeScreenshot : public QObject {
    Q_OBJECT
    LocalHttpServer chat;
    std::unique_ptr<MutterKeyboard> input;
    std::unique_ptr<VyrnProcess> vyrn;
    QLabel page{kText};

private Q_SLOTS:
    void initTestCase() {
        if (!qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QStringLiteral("GNOME")))
            QSKIP("needs a GNOME Wayland session: scripts/wayland/gnome-session.sh ctest -L wayland_gnome");
        input = std::make_unique<MutterKeyboard>();
        QVERIFY2(input->isOpen(), qPrintable(input->error()));
        QVERIFY(input->press({0xff1b})); // the shell starts in its overview
        QDBusInterface store(QStringLiteral("org.freedesktop.impl.portal.PermissionStore"),
                             QStringLiteral("/org/freedesktop/impl/portal/PermissionStore"),
                             QStringLiteral("org.freedesktop.impl.portal.PermissionStore"));
        QCOMPARE(store
                     .call(QStringLiteral("SetPermission"), QStringLiteral("screenshot"), true,
                           QStringLiteral("screenshot"), QString(), QStringList{QStringLiteral("yes")})
                     .type(),
                 QDBusMessage::ReplyMessage);

        // An unlocked keyring, or GNOME would ask for a new one's password over the drag.
        QProcess keyring;
        keyring.start(QStringLiteral("gnome-keyring-daemon"),
                      {QStringLiteral("--unlock"), QStringLiteral("--components=secrets")});
        keyring.write("pw");
        keyring.closeWriteChannel();
        QVERIFY(keyring.waitForFinished(10000));

        PreferenceStore preferences(SettingsManager::preferencesPath());
        const QString provider = AIProviders::rawValue(AIProvider::deepseek);
        preferences.setValue(QStringLiteral("kavelin.apiProvider"), provider);
        preferences.setValue(QStringLiteral("kavelin.baseURL.") + provider, chat.baseUrl().toString());
        preferences.setValue(QStringLiteral("kavelin.desktopKeybindingsOffered"), true);
        FileKeyStore keys(AppConstants::configDirectory() + QStringLiteral("/keys.json"));
        QCOMPARE(keys.write(KeyStore::service, QStringLiteral("kavelin.apikey.") + provider, "sk-local-test"),
                 0);

        QFont font = page.font();
        font.setPixelSize(28);
        page.setFont(font);
        page.setStyleSheet(QStringLiteral("background: white; color: black; padding: 24px"));
        page.move(200, 450); // below the shell's notices of the session's start
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        vyrn = std::make_unique<VyrnProcess>();
        QVERIFY(vyrn->startReady({QStringLiteral("--background")}));
    }

    void cleanupTestCase() {
        if (vyrn)
            QVERIFY(vyrn->terminate());
    }

    void dragOverTextTranslatesIt() {
        chat.enqueue(
            LocalHttpServer::Response::chat(QStringLiteral("## 中文翻译\n安静的河流承载沉重的船。")));
        QTest::qWait(500); // the compositor's frame with the page in it
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
        QVERIFY2(chat.waitForRequests(1, 30000), qPrintable(vyrn->output().right(800)));
        const QByteArray body = chat.requests().constFirst().body;
        for (const char* word : {"Quiet", "rivers", "heavy", "boats"})
            QVERIFY2(body.contains(word), body.constData());
        // The portal's picture file is gone.
        QCOMPARE(QDir::home().entryList({QStringLiteral("Screenshot*.png")}, QDir::Files), QStringList());
    }
};

VYRN_TEST_MAIN(QApplication, TestGnomeScreenshot, "xcb")
#include "tst_gnome_screenshot.moc"
