#include "base/AppConstants.h"
#include "base/Logger.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <unistd.h>
#include <vector>

namespace {

const int probeLines = 2000;

// Child-process mode: standard output is a pipe nobody reads ("stalled") or whose reader has
// gone ("closed"), and far more is logged than a pipe holds.
int runEchoProbe(const QByteArray& kind) {
    int ends[2];
    if (::pipe(ends) != 0 || ::dup2(ends[1], STDOUT_FILENO) < 0)
        return 2;
    ::close(ends[1]);
    if (kind == "closed")
        ::close(ends[0]);
    AppConstants::initialize();
    const QString filler(200, QLatin1Char('x'));
    for (int i = 0; i < probeLines; ++i)
        logi(QStringLiteral("echo probe %1 ").arg(i) + filler);
    Logger::shared().flush();
    ::_exit(0); // the echo of a stalled reader is never finished
}

} // namespace

class TestLogger : public QObject {
    Q_OBJECT
    TestEnvironment env;

private Q_SLOTS:
    void createsFolderAndWritesLines() {
        QVERIFY(!QFile::exists(env.logPath()));
        loge(QStringLiteral("无效 API 地址"));
        logi(QStringLiteral("第一行\n第二行"));
        const QString log = readLog();
        static const QRegularExpression errorLine(
            QStringLiteral("^\\[ERROR\\] \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} 无效 API 地址$"),
            QRegularExpression::MultilineOption);
        QVERIFY2(errorLine.match(log).hasMatch(), qPrintable(log));
        QVERIFY(log.endsWith(QStringLiteral(" 第一行\n第二行\n")));
        logi(QStringLiteral("appended"));
        QCOMPARE(readLog().mid(log.size()).section(QLatin1Char(' '), 3), QStringLiteral("appended\n"));
    }

    // A terminal that stopped reading, or `vyrn | head -3`, neither holds up the callers nor ends
    // the program; the file gets every line.
    void echoNeverBlocksOrEndsTheProgram() {
        for (int runs = 1; const char* reader : {"stalled", "closed"}) {
            QProcess child;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("VYRN_ECHO_PROBE"), QString::fromLatin1(reader));
            child.setProcessEnvironment(environment);
            child.start(QCoreApplication::applicationFilePath(), {});
            QVERIFY2(child.waitForFinished(60000) && child.exitStatus() == QProcess::NormalExit &&
                         child.exitCode() == 0,
                     reader);
            QCOMPARE(readLog().count(QStringLiteral(" echo probe %1 ").arg(probeLines - 1)), runs++);
        }
    }
};

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsSet("VYRN_ECHO_PROBE"))
        return runEchoProbe(qgetenv("VYRN_ECHO_PROBE"));
    QCoreApplication app(argc, argv);
    TestLogger test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_logger.moc"
