#include "support/LocalHttpServer.h"
#include "support/PrivateSessionBus.h"
#include "support/TestEnvironment.h"
#include "support/X11Desktop.h"

#include <QFile>
#include <QProcess>
#include <QTest>

#include <csignal>

// The real program: starts, logs its start line, checks for updates against a local
// service, and leaves cleanly on a signal, also while an alert is open.
class TestEntry : public QObject {
    Q_OBJECT
    TestEnvironment env;
    LocalHttpServer updateService;
    PrivateSessionBus bus; // the program under test is the only VYRN on it

    static QByteArray environmentOf(qint64 pid) {
        QFile file(QStringLiteral("/proc/%1/environ").arg(pid));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QProcessEnvironment childEnvironment() const {
        QProcessEnvironment environment = bus.environment(QProcessEnvironment::systemEnvironment());
        environment.remove(QStringLiteral("OMP_THREAD_LIMIT"));
        // Leaks inside Qt's plugins are reported after the plugins are unloaded, with
        // stacks no suppression can name; the unit tests keep leak checking on.
        environment.insert(QStringLiteral("ASAN_OPTIONS"), environment.value(QStringLiteral("ASAN_OPTIONS")) +
                                                               QStringLiteral(":detect_leaks=0"));
        return environment;
    }

    void start(QProcess& vyrn) {
        vyrn.setProcessEnvironment(childEnvironment());
        vyrn.start(QStringLiteral(VYRN_BINARY), {});
        QVERIFY(vyrn.waitForStarted());
    }

    static void stop(QProcess& vyrn, int signalNumber, QString* output) {
        ::kill(pid_t(vyrn.processId()), signalNumber);
        QVERIFY(vyrn.waitForFinished(20000));
        QCOMPARE(vyrn.exitStatus(), QProcess::NormalExit);
        QCOMPARE(vyrn.exitCode(), 0);
        *output += QString::fromUtf8(vyrn.readAllStandardOutput());
        QVERIFY2(output->endsWith(QStringLiteral(" VYRN 已退出\n")), qPrintable(*output));
    }

private Q_SLOTS:
    void initTestCase() { pointUpdateCheckAt(updateService.baseUrl()); }

    void init() { updateService.reset(); }

    // Ctrl+C in the terminal it was started from (SIGTERM ends it in the other tests).
    void startsAndQuitsOnInterrupt() {
        QProcess vyrn;
        start(vyrn);
        QString output;
        // Logged once the signal handler is in place.
        QTRY_VERIFY_WITH_TIMEOUT((output += QString::fromUtf8(vyrn.readAllStandardOutput()))
                                     .contains(QStringLiteral("密钥存储: ")),
                                 30000);
        QVERIFY(output.contains(QStringLiteral("===== VYRN 0.1.0 (")));
        QVERIFY(output.contains(QStringLiteral(") 启动 =====")));
        // Started without the OpenMP limit, it must have re-executed itself with it.
        QVERIFY(environmentOf(vyrn.processId()).split('\0').contains("OMP_THREAD_LIMIT=1"));
        stop(vyrn, SIGINT, &output);
        QVERIFY(QFile::exists(env.configDir() + QStringLiteral("/preferences.json"))); // migrations ran
    }

    void explainsMissingDesktopSession() {
        QProcess vyrn;
        QProcessEnvironment environment = childEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            environment.remove(QString::fromLatin1(name));
        vyrn.setProcessEnvironment(environment);
        vyrn.start(QStringLiteral(VYRN_BINARY), {});
        QVERIFY(vyrn.waitForFinished(20000));
        QCOMPARE(vyrn.exitCode(), 1);
        QVERIFY(QString::fromUtf8(vyrn.readAllStandardOutput()).contains(QStringLiteral("没有图形桌面会话")));
    }

    // A newer version opens the update alert; a signal still ends the program cleanly.
    void checksForUpdatesAndQuitsWithAlertOpen() {
        LocalHttpServer::Response newer;
        newer.body = R"({"version": "99.0", "url": "https://example.invalid/download"})";
        updateService.enqueue(newer);
        QProcess vyrn;
        start(vyrn);
        QVERIFY(updateService.waitForRequests(1, 30000));
        const LocalHttpServer::Request request = updateService.requests().constFirst();
        QCOMPARE(request.method, QByteArray("GET"));
        QCOMPARE(request.path, QByteArray("/api/update"));
        QCOMPARE(request.query, QByteArray()); // statistics are off
        QCOMPARE(request.headers.value("user-agent"), QByteArray("VYRN/0.1.0"));
        QTRY_VERIFY_WITH_TIMEOUT(X11Desktop::showsAlert(vyrn.processId()), 30000);
        QString output;
        stop(vyrn, SIGTERM, &output);
    }
};

QTEST_GUILESS_MAIN(TestEntry)
#include "tst_entry.moc"
