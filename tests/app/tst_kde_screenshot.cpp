#include "platform/PlatformLoader.h"
#include "platform/kde/KWinScreenCapture.h"
#include "platform/null/NullScreenCapture.h"
#include "settings/AIProvider.h"
#include "settings/KeyStore.h"
#include "settings/PreferenceStore.h"
#include "settings/SettingsManager.h"
#include "support/LocalHttpServer.h"
#include "support/TestEnvironment.h"
#include "support/VyrnProcess.h"
#include "support/X11Desktop.h"

#include <QApplication>
#include <QDBusConnection>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QScopeGuard>
#include <QTest>

#include <optional>

// Screenshots in a headless KDE Plasma session (scripts/wayland/kde-session.sh): KWin's picture
// for a program its menu entry grants, and the real program's frozen screen on Xwayland, with
// the pointer and keys through the compositor's own input.
namespace {
const QString kOverlay = QStringLiteral("^VYRN 截图");
const QByteArray kGrant = "X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2";

bool kinput(const QStringList& commands) {
    return QProcess::execute(qEnvironmentVariable("VYRN_KINPUT"), commands) == 0;
}
QString pointer(QPoint at) {
    return QStringLiteral("abs:%1,%2").arg(at.x()).arg(at.y());
}
QByteArray entry(const QString& program, const QByteArray& extra) {
    return "[Desktop Entry]\nType=Application\nName=t\nExec=\"" + program.toUtf8() + "\"\n" + extra + "\n";
}
} // namespace

class TestKdeScreenshot : public QObject {
    Q_OBJECT
    TestEnvironment env;
    LocalHttpServer chat;
    LocalHttpServer updateService;
    QLabel page;
    const QString applications = qEnvironmentVariable("VYRN_KDE_APPLICATIONS");
    QProcessEnvironment vyrnEnvironment = VyrnProcess::environment();
    std::unique_ptr<VyrnProcess> vyrn;

private Q_SLOTS:
    void initTestCase() {
        if (applications.isEmpty())
            QSKIP("needs the KDE session of scripts/wayland/kde-session.sh");
        page.setText(QStringLiteral("The committee will review every application."));
        page.setStyleSheet(QStringLiteral("background: white; color: black; font-size: 30px; padding: 20px"));
        page.move(80, 160);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
    }

    void grantedByItsEntry_data() {
        QTest::addColumn<QByteArray>("entryLine"); // null: no entry
        QTest::newRow("entry grants") << kGrant;
        QTest::newRow("entry without the interface") << QByteArray("");
        QTest::newRow("no entry") << QByteArray();
    }
    void grantedByItsEntry() {
        QFETCH(QByteArray, entryLine);
        const QString path = applications + QStringLiteral("/vyrn-test-capture.desktop");
        const auto remove = qScopeGuard([&path] { QFile::remove(path); });
        if (!entryLine.isNull())
            writeFileBytes(path, entry(QCoreApplication::applicationFilePath(), entryLine));
        QTest::qWait(2000); // KWin rereads its entries every 1.5 s at most
        KWinScreenCapture capture(QDBusConnection::sessionBus(),
                                  std::make_unique<NullScreenCapture>(QString()));
        std::optional<ScreenCapture::Picture> picture;
        capture.capture(nullptr, [&picture](ScreenCapture::Picture answer) { picture = std::move(answer); });
        QTRY_VERIFY_WITH_TIMEOUT(picture, 10000);
        QCOMPARE(capture.usesFallback(), entryLine != kGrant);
        if (capture.usesFallback())
            return;
        QVERIFY(picture->wholeDesktop && picture->monitors.size() == 1);
        // The page where it is, on the desktop's black (past the frame's shadow).
        QCOMPARE(picture->image.pixel(page.mapToGlobal(QPoint(6, 6))), 0xffffffffu);
        QCOMPARE(picture->image.pixel(page.mapToGlobal(QPoint(page.width() + 150, 6))), 0xff000000u);
    }

    void frozenScreen_data() {
        QTest::addColumn<QString>("leave");
        QTest::newRow("Esc") << QStringLiteral("key:1");
        QTest::newRow("right-click") << QStringLiteral("rclick");
        QTest::newRow("a drag over the text") << QString();
    }
    void frozenScreen() {
        QFETCH(QString, leave);
        if (!vyrn) {
            pointUpdateCheckAt(updateService.baseUrl());
            // Without the session's version QtKeychain takes the test session's Secret Service,
            // not a KWallet that would ask for a new wallet's password; VYRN still sees Plasma 5.
            qunsetenv("KDE_SESSION_VERSION");
            vyrnEnvironment.remove(QStringLiteral("KDE_SESSION_VERSION"));
            PreferenceStore preferences(SettingsManager::preferencesPath());
            const QString provider = AIProviders::rawValue(AIProvider::deepseek);
            preferences.setValue(QStringLiteral("kavelin.apiProvider"), provider);
            preferences.setValue(QStringLiteral("kavelin.baseURL.") + provider, chat.baseUrl().toString());
            QVERIFY(KeyStore(PlatformLoader::loadKeyStore()).save("sk-test", "kavelin.apikey." + provider));
            // As an install leaves it, where the program and KWin both read it.
            writeFileBytes(applications + QStringLiteral("/vyrn-test-vyrn.desktop"),
                           entry(QFileInfo(QStringLiteral(VYRN_BINARY)).canonicalFilePath(), kGrant));
            vyrnEnvironment.insert(QStringLiteral("XDG_DATA_HOME"), QFileInfo(applications).path());
            // An older entry for the same program, which KWin does not see but might take first.
            writeFileBytes(env.root() + QStringLiteral("/old/applications/vyrn.desktop"),
                           entry(VYRN_BINARY, ""));
            vyrnEnvironment.insert(QStringLiteral("XDG_DATA_DIRS"),
                                   env.root() + QStringLiteral("/old:/usr/local/share:/usr/share"));
            QTest::qWait(2000);
            vyrn = std::make_unique<VyrnProcess>(vyrnEnvironment);
            QVERIFY(vyrn->startReady({QStringLiteral("--background")}));
            QVERIFY(vyrn->output().contains(QStringLiteral("vyrn.desktop（允许截图）、")));
            QVERIFY(vyrn->output().contains(QStringLiteral("/old/applications/vyrn.desktop（不允许")));
        }
        chat.reset();
        chat.enqueue(LocalHttpServer::Response::chat(QStringLiteral("## 中文翻译\n委员会会审核每份申请。")));
        const int taken = vyrn->count(QStringLiteral("截图: KWin "));
        QCOMPARE(VyrnProcess::run({QStringLiteral("--screenshot")}, vyrnEnvironment).exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!X11Desktop::windowsNamed(kOverlay).isEmpty(), 15000);
        QVERIFY(vyrn->waitFor(QStringLiteral("截图: KWin "), taken + 1, 5000));
        const QRect text(page.mapToGlobal(QPoint(4, 4)), page.size() - QSize(8, 8));
        const QStringList drag{
            pointer(text.topLeft()),     "down",     "sleep:50", pointer(text.center()), "sleep:50",
            pointer(text.bottomRight()), "sleep:50", "up"};
        QVERIFY(kinput(leave.isEmpty() ? drag : QStringList{pointer(text.center()), leave}));
        QTRY_VERIFY_WITH_TIMEOUT(X11Desktop::windowsNamed(kOverlay).isEmpty(), 15000);
        if (leave.isEmpty())
            QVERIFY(chat.waitForRequests(1, 30000) &&
                    chat.requests()[0].body.contains("committee will review every application"));
        QTest::qWait(500);
        QCOMPARE(chat.requests().size(), leave.isEmpty() ? 1 : 0);
    }

    void cleanupTestCase() {
        if (vyrn)
            QVERIFY(vyrn->terminate());
    }
};

QTEST_MAIN(TestKdeScreenshot)
#include "tst_kde_screenshot.moc"
