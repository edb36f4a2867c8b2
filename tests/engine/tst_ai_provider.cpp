#include "engine/AIProvider.h"
#include "engine/PromptTemplates.h"
#include "settings/KeychainHelper.h"
#include "settings/SettingsManager.h"
#include "support/FakeKeyStore.h"
#include "support/TestEnvironment.h"

#include <QCryptographicHash>
#include <QTest>

#include <optional>

Q_DECLARE_METATYPE(AIProvider)
Q_DECLARE_METATYPE(std::optional<QString>)

class TestAIProvider : public QObject {
    Q_OBJECT
    TestEnvironment env;

private Q_SLOTS:
    // Pinned byte for byte (13 lines, 233 characters): the renderer and the sentence splitter look for
    // its "## " headings in the answers.
    void defaultPromptTemplateIsByteExact() {
        const QByteArray prompt = PromptTemplates::defaultPromptTemplate().toUtf8();
        QCOMPARE(prompt.size(), 595);
        QCOMPARE(QCryptographicHash::hash(prompt, QCryptographicHash::Sha256).toHex(),
                 QByteArray("0901c6b33527af1aabdcf3e3cb9741b6ad87038b94265c3572eff0b51875324a"));
    }

    void endpointURL_data() {
        QTest::addColumn<AIProvider>("provider");
        QTest::addColumn<std::optional<QString>>("base");
        QTest::addColumn<QString>("expected");
        const QString deepseek = QStringLiteral("https://api.deepseek.com/chat/completions");
        const QString qwen =
            QStringLiteral("https://dashscope.aliyuncs.com/compatible-mode/v1/chat/completions");
        QTest::newRow("built in") << AIProvider::deepseek << std::optional<QString>() << deepseek;
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
    }

    void endpointURL() {
        QFETCH(AIProvider, provider);
        QFETCH(std::optional<QString>, base);
        QFETCH(QString, expected);
        KeychainHelper::setBackend(std::make_unique<FakeKeyStore>());
        SettingsManager::resetSharedForTesting(env.newPreferencesPath());
        if (base)
            SettingsManager::shared().store().setValue(
                QStringLiteral("kavelin.baseURL.") + AIProviders::rawValue(provider), *base);
        QCOMPARE(AIProviders::endpointURL(provider).toString(), expected);
    }
};

QTEST_GUILESS_MAIN(TestAIProvider)
#include "tst_ai_provider.moc"
