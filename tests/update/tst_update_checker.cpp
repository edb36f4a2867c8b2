#include "app/Alerts.h"
#include "app/AppConstants.h"
#include "engine/SettingsManager.h"
#include "support/LocalHttpServer.h"
#include "support/TestEnvironment.h"
#include "update/UpdateChecker.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QSignalSpy>
#include <QTest>
#include <QWindow>

#include <memory>

using namespace std::chrono_literals;

namespace {
const QString kBaseURLKey = QStringLiteral("kavelin.updateBaseURL");

QByteArray answer(const char* version, const char* url) {
    return QByteArray("{\"version\":\"") + version + "\",\"url\":\"" + url + "\",\"notes\":[1,2]}";
}
} // namespace

class TestUpdateChecker : public QObject {
    Q_OBJECT
    TestEnvironment env;
    LocalHttpServer server;
    std::unique_ptr<UpdateChecker> checker;
    QList<QUrl> opened;

    SettingsManager& settings() { return SettingsManager::shared(); }

    void pointAt(const QString& base) { settings().store().setValue(kBaseURLKey, base); }

    // Runs one check to its end and says whether it ended within the time.
    bool runCheck() {
        QSignalSpy finished(checker.get(), &UpdateChecker::checkFinished);
        checker->performCheck();
        return finished.count() == 1 || finished.wait(5000);
    }

private Q_SLOTS:
    void initTestCase() { SettingsManager::resetSharedForTesting(env.newPreferencesPath()); }

    void init() {
        server.reset();
        Alerts::resetForTesting();
        pointAt(server.baseUrl().toString());
        settings().setSkipUpdateVersion(std::nullopt);
        settings().setTelemetryEnabled(true);
        APP_SHORT_VERSION = QStringLiteral("1.2.9");
        opened.clear();
        checker = std::make_unique<UpdateChecker>();
        checker->setUrlOpener([this](const QUrl& url) { opened.append(url); });
    }

    void cleanup() { checker.reset(); }

    void answers_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("running");
        QTest::addColumn<QString>("skipped");
        QTest::addColumn<QString>("message"); // empty: no alert

        const QByteArray newer = answer("v1.3.0", "https://example.com/dl");
        QTest::newRow("newer, v prefix") << 200 << newer << "1.2.9"
                                         << ""
                                         << "发现新版本 v1.3.0";
        QTest::newRow("newer, no prefix, http") << 200 << answer("1.3.0", "http://example.com/dl") << "1.2.9"
                                                << ""
                                                << "发现新版本 v1.3.0";
        QTest::newRow("equal with trailing zero") << 200 << answer("1.2", "https://example.com/dl") << "1.2.0"
                                                  << ""
                                                  << "";
        QTest::newRow("equal") << 200 << newer << "1.3.0"
                               << ""
                               << "";
        QTest::newRow("older") << 200 << answer("1.2.8", "https://example.com/dl") << "1.2.9"
                               << ""
                               << "";
        QTest::newRow("numeric, not textual") << 200 << answer("1.10", "https://example.com/dl") << "1.9"
                                              << ""
                                              << "发现新版本 v1.10";
        QTest::newRow("skipped version") << 200 << newer << "1.2.9"
                                         << "1.3.0"
                                         << "";
        QTest::newRow("newer than the skipped one")
            << 200 << answer("v1.3.1", "https://example.com/dl") << "1.2.9"
            << "1.3.0"
            << "发现新版本 v1.3.1";
        QTest::newRow("ftp url") << 200 << answer("1.3.0", "ftp://example.com/dl") << "1.2.9"
                                 << ""
                                 << "";
        QTest::newRow("javascript url") << 200 << answer("1.3.0", "javascript:alert(1)") << "1.2.9"
                                        << ""
                                        << "";
        QTest::newRow("empty url") << 200 << answer("1.3.0", "") << "1.2.9"
                                   << ""
                                   << "";
        QTest::newRow("only a v") << 200 << answer("v", "https://example.com/dl") << "1.2.9"
                                  << ""
                                  << "";
        QTest::newRow("version not a text")
            << 200 << QByteArray("{\"version\":2,\"url\":\"https://example.com\"}") << "1.2.9"
            << ""
            << "";
        QTest::newRow("url missing") << 200 << QByteArray("{\"version\":\"2.0\"}") << "1.2.9"
                                     << ""
                                     << "";
        QTest::newRow("not JSON") << 200 << QByteArray("<html>update</html>") << "1.2.9"
                                  << ""
                                  << "";
        QTest::newRow("JSON array") << 200 << QByteArray("[" + newer + "]") << "1.2.9"
                                    << ""
                                    << "";
        QTest::newRow("empty body") << 200 << QByteArray() << "1.2.9"
                                    << ""
                                    << "";
        QTest::newRow("status 304") << 304 << newer << "1.2.9"
                                    << ""
                                    << "";
        QTest::newRow("status 500") << 500 << newer << "1.2.9"
                                    << ""
                                    << "";
        QTest::newRow("status 201") << 201 << newer << "1.2.9"
                                    << ""
                                    << "";
    }
    void answers() {
        QFETCH(int, status);
        QFETCH(QByteArray, body);
        QFETCH(QString, running);
        QFETCH(QString, skipped);
        QFETCH(QString, message);
        APP_SHORT_VERSION = running;
        if (!skipped.isEmpty())
            settings().setSkipUpdateVersion(skipped);
        server.enqueue({status, body});
        Alerts::setNextAnswer(UpdateChecker::RemindLaterButton);
        const QString logBefore = readLog();

        QVERIFY(runCheck());
        QCOMPARE(server.requests().size(), 1);
        const std::optional<AlertSpec> alert = Alerts::lastAlert();
        QCOMPARE(alert.has_value(), !message.isEmpty());
        if (alert) {
            QCOMPARE(alert->messageText, message);
            QCOMPARE(alert->style, AlertSpec::Style::Informational);
            QCOMPARE(alert->buttons, QStringList({QStringLiteral("前往下载"), QStringLiteral("跳过此版本"),
                                                  QStringLiteral("稍后提醒")}));
        }
        // Silent either way: nothing opened, nothing stored, nothing logged.
        QCOMPARE(readLog(), logBefore);
        QVERIFY(opened.isEmpty());
        QCOMPARE(settings().skipUpdateVersion().value_or(QString()), skipped);
    }

    void request_data() {
        QTest::addColumn<bool>("statistics");
        QTest::addColumn<QString>("basePath");
        QTest::addColumn<QByteArray>("expectedPath");
        QTest::newRow("statistics allowed") << true << "" << QByteArray("/api/update");
        QTest::newRow("statistics refused") << false << "" << QByteArray("/api/update");
        QTest::newRow("base with a path and a slash")
            << false << "/mirror/" << QByteArray("/mirror/api/update");
    }
    void request() {
        QFETCH(bool, statistics);
        QFETCH(QString, basePath);
        QFETCH(QByteArray, expectedPath);
        settings().setTelemetryEnabled(statistics);
        pointAt(server.baseUrl().toString() + basePath);
        APP_SHORT_VERSION = QStringLiteral("1.4.2");
        server.enqueue({304, {}});

        QVERIFY(runCheck());
        QCOMPARE(server.requests().size(), 1);
        const LocalHttpServer::Request request = server.requests().first();
        QCOMPARE(request.method, QByteArray("GET"));
        QCOMPARE(request.path, expectedPath);
        QCOMPARE(request.headers.value("user-agent"), QByteArray("VYRN/1.4.2"));
        QCOMPARE(request.query, statistics ? "id=" + settings().installID().toUtf8() : QByteArray());
        QVERIFY(request.body.isEmpty());
    }

    void unusableBaseAddress_data() {
        QTest::addColumn<QString>("base");
        QTest::newRow("not a URL") << "http://exa mple";
        QTest::newRow("no host") << "https://";
        QTest::newRow("ftp") << "ftp://127.0.0.1:1";
    }
    void unusableBaseAddress() {
        QFETCH(QString, base);
        pointAt(base);
        QVERIFY(runCheck());
        QVERIFY(!Alerts::lastAlert());
    }

    void serverThatNeverAnswers() {
        LocalHttpServer::Response silent;
        silent.neverAnswer = true;
        server.enqueue(silent);
        checker->setRequestTimeout(300ms);
        QElapsedTimer elapsed;
        elapsed.start();
        QVERIFY(runCheck());
        QVERIFY(elapsed.elapsed() >= 250);
        QVERIFY(!Alerts::lastAlert());
    }

    void alertButtons_data() {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("opened");
        QTest::addColumn<QString>("skipped");
        QTest::newRow("download") << int(UpdateChecker::DownloadButton) << "https://example.com/dl?x=1"
                                  << "";
        QTest::newRow("skip this version") << int(UpdateChecker::SkipVersionButton) << ""
                                           << "1.3.0";
        QTest::newRow("remind later") << int(UpdateChecker::RemindLaterButton) << ""
                                      << "";
        QTest::newRow("dismissed") << -1 << ""
                                   << "";
    }
    void alertButtons() {
        QFETCH(int, button);
        QFETCH(QString, opened);
        QFETCH(QString, skipped);
        server.enqueue({200, answer("v1.3.0", "https://example.com/dl?x=1")});
        Alerts::setNextAnswer(button);
        const qsizetype logBefore = readLog().size();
        QVERIFY(runCheck());
        QVERIFY(Alerts::lastAlert());
        QCOMPARE(this->opened, opened.isEmpty() ? QList<QUrl>() : QList<QUrl>{QUrl(opened)});
        QCOMPARE(settings().skipUpdateVersion().value_or(QString()), skipped);
        QCOMPARE(readLog().mid(logBefore).contains(QStringLiteral(" 跳过版本: v1.3.0\n")),
                 !skipped.isEmpty());

        // The skipped version stays quiet on the next launch.
        if (!skipped.isEmpty()) {
            Alerts::resetForTesting();
            server.enqueue({200, answer("1.3.0", "https://example.com/dl")});
            QVERIFY(runCheck());
            QVERIFY(!Alerts::lastAlert());
        }
    }

    void downloadOpensOnlyWebAddresses_data() {
        QTest::addColumn<QString>("url");
        QTest::addColumn<bool>("homePage");
        QTest::newRow("https") << "https://example.com/download" << false;
        QTest::newRow("upper-case scheme") << "HTTPS://example.com/download" << false;
        QTest::newRow("ftp") << "ftp://example.com/download" << true;
        QTest::newRow("file") << "file:///etc/passwd" << true;
        QTest::newRow("javascript") << "javascript:alert(1)" << true;
        QTest::newRow("no host") << "https:///download" << true;
        QTest::newRow("malformed") << "https://exa mple.com/" << true;
        QTest::newRow("empty") << "" << true;
    }
    void downloadOpensOnlyWebAddresses() {
        QFETCH(QString, url);
        QFETCH(bool, homePage);
        pointAt(server.baseUrl().toString() + QStringLiteral("/mirror?x=1"));
        checker->handleAlertResult(UpdateChecker::DownloadButton, QStringLiteral("1.3.0"), url);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first(), homePage ? server.baseUrl().resolved(QUrl(QStringLiteral("/"))) : QUrl(url));
        QVERIFY(opened.first().scheme().startsWith(QLatin1String("http"), Qt::CaseInsensitive));
    }

    void informativeText_data() {
        QTest::addColumn<bool>("withWindow");
        QTest::addColumn<QString>("expected");
        QTest::newRow("with a window")
            << true << "当前版本：v1.2.9\n最新版本：v1.3.0\n\n点击「前往下载」打开下载页面。";
        QTest::newRow("without a window") << false << "VYRN v1.3.0 已发布。前往下载页面获取最新版。";
    }
    void informativeText() {
        QFETCH(bool, withWindow);
        QFETCH(QString, expected);
        std::unique_ptr<QWindow> window(withWindow ? new QWindow : nullptr);
        Alerts::setNextAnswer(UpdateChecker::RemindLaterButton);
        checker->showUpdateAlert(QStringLiteral("1.3.0"), QStringLiteral("https://example.com/dl"));
        QVERIFY(Alerts::lastAlert());
        QCOMPARE(Alerts::lastAlert()->informativeText, expected);
    }

    void isNewer_data() {
        QTest::addColumn<QString>("remote");
        QTest::addColumn<QString>("local");
        QTest::addColumn<bool>("newer");
        QTest::newRow("patch") << "1.2.1"
                               << "1.2" << true;
        QTest::newRow("trailing zero") << "1.2"
                                       << "1.2.0" << false;
        QTest::newRow("1.10 vs 1.9") << "1.10"
                                     << "1.9" << true;
        QTest::newRow("1.9 vs 1.10") << "1.9"
                                     << "1.10" << false;
        QTest::newRow("suffix piece dropped") << "2.0-beta"
                                              << "1.9" << true;
        QTest::newRow("suffix piece is not zero") << "1.x.3"
                                                  << "1.2" << true;
        QTest::newRow("empty pieces") << "1..2"
                                      << "1.1" << true;
        QTest::newRow("plus sign") << "+2"
                                   << "1" << true;
        QTest::newRow("minus sign") << "-1"
                                    << "0" << false;
        QTest::newRow("bare sign dropped") << "+.2"
                                           << "1" << true;
        QTest::newRow("space not a digit") << " 2"
                                           << "1" << false;
        QTest::newRow("overflow dropped") << "99999999999999999999"
                                          << "1" << false;
        QTest::newRow("largest component") << "9223372036854775807"
                                           << "9223372036854775806" << true;
        QTest::newRow("nothing numeric") << "beta"
                                         << "" << false;
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
        QVERIFY(!checker->hasChecked());
        QSignalSpy finished(checker.get(), &UpdateChecker::checkFinished);
        checker->check();
        checker->check();
        QVERIFY(checker->hasChecked());
        QVERIFY(finished.wait(5000));
        QTest::qWait(100);
        QCOMPARE(server.requests().size(), 1);
        checker->check();
        QTest::qWait(100);
        QCOMPARE(server.requests().size(), 1);
    }

    void checkerGoneBeforeTheDelay() {
        checker->setCheckDelay(50ms);
        checker->check();
        checker.reset();
        QTest::qWait(200);
        QCOMPARE(server.requests().size(), 0);
    }
};

int main(int argc, char** argv) {
    // The host-window rule needs a GUI application, not a display.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qunsetenv("DISPLAY"); // keeps the offscreen plugin off the X server
    QGuiApplication app(argc, argv);
    TestUpdateChecker test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_update_checker.moc"
