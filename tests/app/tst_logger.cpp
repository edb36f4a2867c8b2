#include "app/Logger.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <thread>
#include <vector>

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
        QVERIFY(log.contains(QStringLiteral(" 第一行\n第二行\n")));
        QVERIFY(log.endsWith(QLatin1Char('\n')));
    }

    void keepsEarlierContent() {
        Logger::shared().flush();
        QFile file(env.logPath());
        const qint64 before = file.size();
        logi(QStringLiteral("appended"));
        const QString log = readLog();
        QVERIFY(QFile(env.logPath()).size() > before);
        QVERIFY(log.startsWith(QStringLiteral("[ERROR] ")));
        QVERIFY(log.endsWith(QStringLiteral(" appended\n")));
    }

    void keepsPerThreadOrderUnderLoad() {
        const int threads = 4, lines = 2000;
        std::vector<std::thread> workers;
        for (int t = 0; t < threads; ++t)
            workers.emplace_back([t] {
                for (int i = 0; i < lines; ++i)
                    logi(QStringLiteral("order %1 %2").arg(t).arg(i));
            });
        for (auto& w : workers)
            w.join();
        const QStringList all = readLog().split(QLatin1Char('\n'));
        std::vector<int> next(threads, 0);
        static const QRegularExpression pattern(QStringLiteral(" order (\\d) (\\d+)$"));
        for (const QString& line : all) {
            const auto m = pattern.match(line);
            if (!m.hasMatch())
                continue;
            const int t = m.captured(1).toInt();
            QCOMPARE(m.captured(2).toInt(), next[t]);
            ++next[t];
        }
        for (int t = 0; t < threads; ++t)
            QCOMPARE(next[t], lines);
    }
};

QTEST_GUILESS_MAIN(TestLogger)
#include "tst_logger.moc"
