#include "engine/AIProvider.h"
#include "engine/KeychainHelper.h"
#include "engine/PromptTemplates.h"
#include "engine/SettingsManager.h"
#include "support/FakeKeyStore.h"
#include "support/TestEnvironment.h"

#include <QTest>

#include <optional>

Q_DECLARE_METATYPE(AIProvider)
Q_DECLARE_METATYPE(std::optional<QString>)

class TestAIProvider : public QObject {
    Q_OBJECT
    TestEnvironment env;

    void freshSettings() {
        KeychainHelper::setBackend(std::make_unique<FakeKeyStore>());
        SettingsManager::resetSharedForTesting(env.newPreferencesPath());
    }

private Q_SLOTS:
    void defaultPromptTemplateIsByteExact() {
        const QString prompt = PromptTemplates::defaultPromptTemplate();
        QCOMPARE(prompt.size(), 233);
        QCOMPARE(prompt.toUtf8().size(), 595);
        const QStringList lines = prompt.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 13);
        for (int empty : {1, 4, 9})
            QVERIFY(lines.at(empty).isEmpty());
        QCOMPARE(lines.at(2), QStringLiteral("## 中文翻译"));
        QCOMPARE(lines.at(5), QStringLiteral("## 重要词汇"));
        QCOMPARE(lines.at(10), QStringLiteral("## 常用短语与习语"));
        QCOMPARE(lines.at(6).toUtf8(),
                 QByteArray("\xe5\x8d\x95\xe8\xaf\x8d\xef\xbc\x9a\xe9\x9f\xb3\xe6\xa0\x87"
                            " \xef\xbd\x9c \xe8\xaf\x8d\xe6\x80\xa7"
                            " \xef\xbd\x9c \xe4\xb8\xad\xe6\x96\x87\xe9\x87\x8a\xe4\xb9\x89"));
        QCOMPARE(lines.at(3).count(QLatin1Char('"')), 2);
        QVERIFY(lines.at(3).startsWith(QStringLiteral("（遵循\"信达雅\"原则，")));
        QVERIFY(!prompt.contains(QLatin1Char('\r')));
    }

    void userMessagePrefixIsByteExact() {
        QCOMPARE(
            PromptTemplates::userMessagePrefix().toUtf8(),
            QByteArray("\xe8\xaf\xb7\xe5\x88\x86\xe6\x9e\x90\xe4\xbb\xa5\xe4\xb8\x8b\xe8\x8b\xb1\xe6\x96\x87"
                       "\xe6\x96\x87\xe6\x9c\xac\xef\xbc\x9a\n\n"));
    }

    void endpointURL_data() {
        QTest::addColumn<AIProvider>("provider");
        QTest::addColumn<std::optional<QString>>("base");
        QTest::addColumn<QString>("expected");
        const QString deepseek = QStringLiteral("https://api.deepseek.com/chat/completions");
        const QString qwen =
            QStringLiteral("https://dashscope.aliyuncs.com/compatible-mode/v1/chat/completions");
        QTest::newRow("deepseek built in") << AIProvider::deepseek << std::optional<QString>() << deepseek;
        QTest::newRow("qwen built in") << AIProvider::qwen << std::optional<QString>() << qwen;
        QTest::newRow("local base") << AIProvider::deepseek
                                    << std::optional(QStringLiteral(" http://127.0.0.1:8080 "))
                                    << QStringLiteral("http://127.0.0.1:8080/chat/completions");
        QTest::newRow("gateway path kept")
            << AIProvider::qwen << std::optional(QStringLiteral("HTTPS://gw.example/ai//"))
            << QStringLiteral("https://gw.example/ai/compatible-mode/v1/chat/completions");
        QTest::newRow("no host") << AIProvider::deepseek << std::optional(QStringLiteral("localhost:8080"))
                                 << deepseek;
        QTest::newRow("other scheme")
            << AIProvider::qwen << std::optional(QStringLiteral("ftp://example.org")) << qwen;
        QTest::newRow("empty") << AIProvider::qwen << std::optional(QString()) << qwen;
    }

    void endpointURL() {
        QFETCH(AIProvider, provider);
        QFETCH(std::optional<QString>, base);
        QFETCH(QString, expected);
        freshSettings();
        if (base)
            SettingsManager::shared().store().setValue(
                QStringLiteral("kavelin.baseURL.") + AIProviders::rawValue(provider), *base);
        QCOMPARE(AIProviders::endpointURL(provider).toString(), expected);
    }
};

QTEST_GUILESS_MAIN(TestAIProvider)
#include "tst_ai_provider.moc"
