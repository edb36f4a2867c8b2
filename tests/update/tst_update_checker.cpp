#include "base/Alerts.h"
#include "settings/SettingsManager.h"
#include "support/LocalHttpServer.h"
#include "support/ScriptedAlerts.h"
#include "support/TestEnvironment.h"
#include "support/TestMain.h"
#include "update/UpdateChecker.h"

#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <memory>

using namespace std::chrono_literals;
using Answer = LocalHttpServer::Response;
Q_DECLARE_METATYPE(Answer)

namespace {
QByteArray record(const char* version, const char* url = "https://example.com/dl") {
    return QByteArray("{\"version\":\"") + version + "\",\"url\":\"" + url + "\",\"notes\":[1]}";
}
} // namespace

class TestUpdateChecker : public QObject {
    Q_OBJECT
    TestEnvironment env;
    LocalHttpServer server;
    std::unique_ptr<SettingsManager> m_settings;
    ScriptedAlerts alerts;
    std::unique_ptr<UpdateChecker> checker;
    QList<QUrl> opened;

    SettingsManager& settings() { return *m_settings; }
    void pointAt(const QString& base) {
        settings().store().setValue(QStringLiteral("kavelin.updateBaseURL"), base);
    }

    // Runs one check to its end (an alert included) and says whether it ended in time.
    bool runCheck() {
        QSignalSpy finished(checker.get(), &UpdateChecker::checkFinished);
        checker->performCheck();
        return finished.count() == 1 || finished.wait(5000);
    }

private Q_SLOTS:
    void initTestCase() { m_settings = std::make_unique<SettingsManager>(env.newPreferencesPath()); }

    void init() {
        server.reset();
        alerts.reset();
        pointAt(server.baseUrl().toString());
        settings().setSkipUpdateVersion(std::nullopt);
        opened.clear();
        checker = std::make_unique<UpdateChecker>(settings(), alerts);
        checker->setCurrentVersion(QStringLiteral("1.2.9"));
        checker->setUrlOpener([this](const QUrl& url) { opened.append(url); });
    }

    void answers_data() {
        QTest::addColumn<Answer>("response");
        QTest::addColumn<QString>("skipped");
        QTest::addColumn<QString>("message"); // empty: no alert
        const auto row = [](const char* name, const Answer& response, const char* skipped,
                            const char* message) {
            QTest::newRow(name) << response << QString::fromUtf8(skipped) << QString::fromUtf8(message);
        };
        row("newer, v prefix", {200, record("v1.3.0")}, "", "发现新版本 v1.3.0");
        row("older", {200, record("1.2.8")}, "", "");
        row("skipped", {200, record("v1.3.0")}, "1.3.0", "");
        row("newer than skipped", {200, record("1.3.1", "http://x.org")}, "1.3.0", "发现新版本 v1.3.1");
        row("ftp url", {200, record("1.3.0", "ftp://example.com/dl")}, "", "");
        row("url without host", {200, record("1.3.0", "http:")}, "", "");
        row("not JSON", {200, "<html>1.3.0</html>"}, "", "");
        row("status 203", {203, record("1.3.0")}, "", "");
        row("no answer", Answer::silence(), "", "");
        QByteArray huge = record("1.3.0");
        huge.insert(1, "\"padding\":\"" + QByteArray(8 * 1024 * 1024, 'x') + "\",");
        row("over 8 MB", {200, huge}, "", "");
    }
    void answers() {
        QFETCH(Answer, response);
        QFETCH(QString, skipped);
        QFETCH(QString, message);
        if (!skipped.isEmpty())
            settings().setSkipUpdateVersion(skipped);
        if (response.neverAnswer)
            checker->setRequestTimeout(300ms);
        server.enqueue(response);
        alerts.nextAnswer = UpdateChecker::RemindLaterButton;
        QVERIFY(runCheck());
        QCOMPARE(alerts.last ? alerts.last->messageText : QString(), message);
        QVERIFY(opened.isEmpty());
    }

    void request_data() {
        QTest::addColumn<bool>("statistics");
        QTest::addColumn<QString>("basePath");
        QTest::newRow("statistics allowed") << true << "";
        QTest::newRow("statistics refused, base with a path") << false << "/mirror/";
    }
    void request() {
        QFETCH(bool, statistics);
        QFETCH(QString, basePath);
        settings().setTelemetryEnabled(statistics);
        pointAt(server.baseUrl().toString() + basePath);
        checker->setCurrentVersion(QStringLiteral("1.4.2"));
        server.enqueue({304, {}});
        QVERIFY(runCheck());
        QCOMPARE(server.requests().size(), 1);
        const LocalHttpServer::Request request = server.requests().first();
        QCOMPARE(request.method, QByteArray("GET"));
        QCOMPARE(request.path,
                 (basePath.chopped(basePath.isEmpty() ? 0 : 1) + QStringLiteral("/api/update")).toUtf8());
        QCOMPARE(request.headers.value("user-agent"), QByteArray("VYRN/1.4.2"));
        QCOMPARE(request.query, statistics ? "id=" + settings().installID().toUtf8() : QByteArray());
    }

    void alertButtons_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<QList<QUrl>>("opened");
        QTest::addColumn<QString>("skipped");
        QTest::newRow("download") << 0 << QList<QUrl>{QUrl(QStringLiteral("https://example.com/dl?x=1"))}
                                  << "";
        QTest::newRow("skip this version") << 1 << QList<QUrl>() << "1.3.0";
        QTest::newRow("remind later") << 2 << QList<QUrl>() << "";
    }
    void alertButtons() {
        QFETCH(int, button);
        QFETCH(QList<QUrl>, opened);
        QFETCH(QString, skipped);
        server.enqueue({200, record("v1.3.0", "https://example.com/dl?x=1")});
        alerts.nextAnswer = button;
        QVERIFY(runCheck());
        QCOMPARE(this->opened, opened);
        QCOMPARE(settings().skipUpdateVersion().value_or(QString()), skipped);
    }

    // Only web addresses reach the browser; anything else opens the service's home page.
    void downloadFallsBackToHomePage() {
        pointAt(server.baseUrl().toString() + QStringLiteral("/mirror?x=1"));
        const QUrl home = server.baseUrl().resolved(QUrl(QStringLiteral("/")));
        for (const char* url :
             {"file:///etc/passwd", "javascript:alert(1)", "https:///nohost", "https://a b/", ""})
            checker->handleAlertResult(UpdateChecker::DownloadButton, QStringLiteral("1.3.0"),
                                       QString::fromUtf8(url));
        QCOMPARE(opened, QList<QUrl>(5, home));
    }

    void alertTexts() {
        const auto show = [this] {
            alerts.nextAnswer = UpdateChecker::RemindLaterButton;
            checker->showUpdateAlert(QStringLiteral("1.3.0"), QStringLiteral("https://example.com/dl"));
            return *alerts.last;
        };
        QCOMPARE(show().informativeText, QStringLiteral("VYRN v1.3.0 已发布。前往下载页面获取最新版。"));
        QWindow window;
        QCOMPARE(show().informativeText,
                 QStringLiteral("当前版本：v1.2.9\n最新版本：v1.3.0\n\n点击「前往下载」打开下载页面。"));
    }

    void isNewer_data() {
        QTest::addColumn<QString>("remote");
        QTest::addColumn<QString>("local");
        QTest::addColumn<bool>("newer");
        const auto row = [](const char* name, const char* remote, const char* local, bool newer) {
            QTest::newRow(name) << QString::fromUtf8(remote) << QString::fromUtf8(local) << newer;
        };
        row("numbers, not text", "1.10", "1.9", true);
        row("equal but for a zero", "1.2", "1.2.0", false);
        row("suffix piece dropped, not zero", "1.x.3", "1.2", true);
        row("empty pieces", "1..2", "1.1", true);
        row("signs", "+2.-1", "2", false);
        row("space is not a digit", " 2", "1", false);
        row("overflow dropped", "99999999999999999999", "1", false);
        row("smallest 64-bit component kept", "-9223372036854775808.9", "0.1", false);
        row("one below dropped", "-9223372036854775809.9", "0.1", true);
    }
    void isNewer() {
        QFETCH(QString, remote);
        QFETCH(QString, local);
        QFETCH(bool, newer);
        QCOMPARE(UpdateChecker::isNewer(remote, local), newer);
    }

    void checkRunsOncePerLaunch() {
        server.enqueue({304, {}});
        checker->setCheckDelay(0ms);
        QSignalSpy finished(checker.get(), &UpdateChecker::checkFinished);
        checker->check();
        checker->check();
        QVERIFY(finished.wait(5000));
        // A second check would have sent its request with the first; one sent now ends after it.
        UpdateChecker later(settings(), alerts);
        QSignalSpy laterFinished(&later, &UpdateChecker::checkFinished);
        later.performCheck();
        QVERIFY(laterFinished.wait(5000));
        QCOMPARE(finished.count(), 1);
        QCOMPARE(server.requests().size(), 2);
    }

    // No service is built in: without a configured address nothing is asked, and whatever
    // address could be reached is not guessed.
    void noServiceNoRequest() {
        settings().store().remove(QStringLiteral("kavelin.updateBaseURL"));
        if (UpdateChecker::serviceBaseURL(settings()))
            QSKIP("this build names an update service");
        checker->setCheckDelay(0ms);
        QSignalSpy finished(checker.get(), &UpdateChecker::checkFinished);
        checker->check();
        QVERIFY(!finished.wait(300));
        QVERIFY(server.requests().isEmpty());
    }

    void checkerGoneBeforeTheDelay() {
        checker->setCheckDelay(50ms);
        checker->check();
        checker.reset();
        // A second checker with the same delay, started later, fires after the first would have.
        UpdateChecker later(settings(), alerts);
        later.setCheckDelay(50ms);
        QSignalSpy finished(&later, &UpdateChecker::checkFinished);
        later.check();
        QVERIFY(finished.wait(5000));
        QCOMPARE(server.requests().size(), 1);
    }
};

VYRN_TEST_MAIN(QGuiApplication, TestUpdateChecker, "offscreen")
#include "tst_update_checker.moc"
