#include "support/TestEnvironment.h"

#include <QFile>
#include <QProcess>
#include <QTest>

#include <csignal>

// The real program: starts, logs its start line, and leaves cleanly on a signal.
class TestEntry : public QObject {
    Q_OBJECT
    TestEnvironment env;

    static QByteArray environmentOf(qint64 pid) {
        QFile file(QStringLiteral("/proc/%1/environ").arg(pid));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private Q_SLOTS:
    void startsAndQuitsOnSignal_data() {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGTERM") << int(SIGTERM);
        QTest::newRow("SIGINT") << int(SIGINT);
    }
    void startsAndQuitsOnSignal() {
        QFETCH(int, signalNumber);
        QProcess vyrn;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove(QStringLiteral("OMP_THREAD_LIMIT"));
        // Leaks inside Qt's plugins are reported after the plugins are unloaded, with
        // stacks no suppression can name; the unit tests keep leak checking on.
        environment.insert(QStringLiteral("ASAN_OPTIONS"), environment.value(QStringLiteral("ASAN_OPTIONS")) +
                                                               QStringLiteral(":detect_leaks=0"));
        vyrn.setProcessEnvironment(environment);
        vyrn.start(QStringLiteral(VYRN_BINARY), {});
        QVERIFY(vyrn.waitForStarted());
        QString output;
        QTRY_VERIFY_WITH_TIMEOUT((output += QString::fromUtf8(vyrn.readAllStandardOutput()))
                                     .contains(QStringLiteral("密钥存储: ")),
                                 30000);
        QVERIFY(output.contains(QStringLiteral("===== VYRN 0.1.0 (")));
        QVERIFY(output.contains(QStringLiteral(") 启动 =====")));
        // Started without the OpenMP limit, it must have re-executed itself with it.
        QVERIFY(environmentOf(vyrn.processId()).split('\0').contains("OMP_THREAD_LIMIT=1"));

        ::kill(pid_t(vyrn.processId()), signalNumber);
        QVERIFY(vyrn.waitForFinished(20000));
        QCOMPARE(vyrn.exitStatus(), QProcess::NormalExit);
        QCOMPARE(vyrn.exitCode(), 0);
        output += QString::fromUtf8(vyrn.readAllStandardOutput());
        QVERIFY(output.endsWith(QStringLiteral(" VYRN 已退出\n")));
        QVERIFY(QFile::exists(env.configDir() + QStringLiteral("/preferences.json"))); // migrations ran
    }
};

QTEST_GUILESS_MAIN(TestEntry)
#include "tst_entry.moc"
