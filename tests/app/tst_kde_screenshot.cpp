#include "platform/PlatformLoader.h"
#include "settings/AIProvider.h"
#include "settings/KeyStore.h"
#include "settings/PreferenceStore.h"
#include "settings/SettingsManager.h"
#include "support/LocalHttpServer.h"
#include "support/TestEnvironment.h"
#include "support/VyrnProcess.h"
#include "support/X11Desktop.h"

#include <QApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QTest>

// The real program's screenshot translation in a headless KDE Plasma session
// (scripts/wayland/kde-session.sh): the picture from KWin, the frozen screen on Xwayland, the
// pointer and keys through the compositor's own input.
namespace {
const QString kOverlay = QStringLiteral("^VYRN 截图");

bool kinput(const QStringList& commands) {
    return QProcess::execute(qEnvironmentVariable("VYRN_KINPUT"), commands) == 0;
}
QString pointer(QPoint at) {
    return QStringLiteral("abs:%1,%2").arg(at.x()).arg(at.y());
}
QString userMessage(const LocalHttpServer::Request& request) {
    const QJsonArray messages = QJsonDocument::fromJson(request.body).object().value("messages").toArray();
    return messages.isEmpty() ? QString() : messages.last().toObject().value("content").toString();
}
} // namespace

class TestKdeScreenshot : public QObject {
    Q_OBJECT
    TestEnvironment env;
    LocalHttpServer chat;
    LocalHttpServer updateService;
    QLabel page;
    QProcessEnvironment vyrnEnvironment = VyrnProcess::environment();
    std::unique_ptr<VyrnProcess> vyrn;

private Q_SLOTS:
    void initTestCase() {
        const QString applications = qEnvironmentVariable("VYRN_KDE_APPLICATIONS");
        if (applications.isEmpty())
            QSKIP("needs the KDE session of scripts/wayland/kde-session.sh");
        pointUpdateCheckAt(updateService.baseUrl());
        // Without the session's version QtKeychain takes the test session's Secret Service, not
        // a KWallet that would ask for a new wallet's password; it is still Plasma 5 to VYRN.
        qunsetenv("KDE_SESSION_VERSION");
        vyrnEnvironment.remove(QStringLiteral("KDE_SESSION_VERSION"));
        PreferenceStore preferences(SettingsManager::preferencesPath());
        const QString provider = AIProviders::rawValue(AIProvider::deepseek);
        preferences.setValue(QStringLiteral("kavelin.apiProvider"), provider);
        preferences.setValue(QStringLiteral("kavelin.baseURL.") + provider, chat.baseUrl().toString());
        QVERIFY(KeyStore(PlatformLoader::loadKeyStore())
                    .save(QStringLiteral("sk-local-test"), QStringLiteral("kavelin.apikey.") + provider));

        // As an install leaves it: the menu entry granting KWin's screenshot interface, where
        // the program and KWin both read it.
        writeFileBytes(applications + QStringLiteral("/vyrn-test-vyrn.desktop"),
                       "[Desktop Entry]\nType=Application\nName=VYRN\nExec=\"" +
                           QFileInfo(QStringLiteral(VYRN_BINARY)).canonicalFilePath().toUtf8() +
                           "\"\nX-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n");
        vyrnEnvironment.insert(QStringLiteral("XDG_DATA_HOME"), QFileInfo(applications).path());

        page.setText(QStringLiteral("The committee will review every application."));
        page.setStyleSheet(QStringLiteral("background: white; color: black; font-size: 30px; padding: 20px"));
        page.move(80, 160);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QTest::qWait(2000); // KWin rereads its entries every 1.5 s at most

        vyrn = std::make_unique<VyrnProcess>(vyrnEnvironment);
        QVERIFY(vyrn->startReady({QStringLiteral("--background")}));
        QVERIFY2(vyrn->output().contains(QStringLiteral("vyrn-test-vyrn.desktop 允许截图")),
                 qPrintable(vyrn->output()));
    }

    void cleanupTestCase() {
        if (vyrn)
            QVERIFY(vyrn->terminate());
    }

    void frozenScreen_data() {
        QTest::addColumn<QString>("leave");
        QTest::newRow("Esc") << QStringLiteral("key:1");
        QTest::newRow("right-click") << QStringLiteral("rclick");
        QTest::newRow("a drag over the text") << QString();
    }
    void frozenScreen() {
        QFETCH(QString, leave);
        chat.reset();
        chat.enqueue(
            LocalHttpServer::Response::chat(QStringLiteral("## 中文翻译\n委员会将审核每一份申请。")));
        const int taken = vyrn->count(QStringLiteral("截图: KWin "));
        QCOMPARE(VyrnProcess::run({QStringLiteral("--screenshot")}, vyrnEnvironment).exitCode, 0);
        QTRY_VERIFY_WITH_TIMEOUT(!X11Desktop::windowsNamed(kOverlay).isEmpty(), 15000);
        QVERIFY2(vyrn->waitFor(QStringLiteral("截图: KWin "), taken + 1, 5000), qPrintable(vyrn->output()));
        const QRect text(page.mapToGlobal(QPoint(4, 4)), page.size() - QSize(8, 8));
        if (leave.isEmpty())
            QVERIFY(kinput({pointer(text.topLeft()), QStringLiteral("down"), QStringLiteral("sleep:50"),
                            pointer(text.center()), QStringLiteral("sleep:50"), pointer(text.bottomRight()),
                            QStringLiteral("sleep:50"), QStringLiteral("up")}));
        else
            QVERIFY(kinput({pointer(text.center()), leave}));
        QTRY_VERIFY_WITH_TIMEOUT(X11Desktop::windowsNamed(kOverlay).isEmpty(), 15000);
        if (!leave.isEmpty()) {
            QTest::qWait(500);
            QCOMPARE(chat.requests().size(), 0);
            return;
        }
        QVERIFY2(chat.waitForRequests(1, 30000), qPrintable(vyrn->output()));
        const QString asked = userMessage(chat.requests().constFirst());
        QVERIFY2(asked.contains(QStringLiteral("committee will review every application")),
                 qPrintable(asked));
    }
};

QTEST_MAIN(TestKdeScreenshot)
#include "tst_kde_screenshot.moc"
