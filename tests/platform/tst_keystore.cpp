#include "platform/KeyStoreFactory.h"
#include "platform/freedesktop/FileKeyStore.h"
#include "platform/freedesktop/SecretServiceKeyStore.h"
#include "settings/KeychainHelper.h"
#include "settings/SettingsManager.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QProcess>
#include <QTest>

#include <functional>

using StoreFactory = std::function<std::unique_ptr<KeyStoreBackend>(const QString& folder)>;
Q_DECLARE_METATYPE(StoreFactory)

class TestKeyStore : public QObject {
    Q_OBJECT
    TestEnvironment env;
    int accountCounter = 0;

    static bool secretServiceExpected() { return qEnvironmentVariableIsSet("VYRN_TEST_SECRET_SERVICE"); }

private Q_SLOTS:
    void backends_data() {
        QTest::addColumn<StoreFactory>("factory");
        QTest::newRow("file") << StoreFactory([](const QString& folder) -> std::unique_ptr<KeyStoreBackend> {
            return std::make_unique<FileKeyStore>(folder + QStringLiteral("/keys.json"));
        });
        if (secretServiceExpected())
            QTest::newRow("secret service")
                << StoreFactory([](const QString&) -> std::unique_ptr<KeyStoreBackend> {
                       return std::make_unique<SecretServiceKeyStore>();
                   });
    }

    // The three operations with every status the settings store relies on.
    void backends() {
        QFETCH(StoreFactory, factory);
        KeychainHelper::setBackend(factory(env.root()));
        const QString account = QStringLiteral("kavelin.apikey.test%1").arg(++accountCounter);

        QVERIFY(!KeychainHelper::read(account));
        QVERIFY(KeychainHelper::remove(account)); // nothing there counts as removed
        QVERIFY(KeychainHelper::save(QStringLiteral("sk-第一"), account));
        QCOMPARE(KeychainHelper::read(account), std::optional<QString>(QStringLiteral("sk-第一")));
        QVERIFY(KeychainHelper::save(QStringLiteral("sk-second"), account)); // replaces
        QCOMPARE(KeychainHelper::read(account), std::optional<QString>(QStringLiteral("sk-second")));
        QVERIFY(KeychainHelper::save(QString(), account)); // an empty key is still an item
        QCOMPARE(KeychainHelper::read(account), std::optional<QString>(QString()));
        QVERIFY(KeychainHelper::remove(account));
        QVERIFY(!KeychainHelper::read(account));
        QVERIFY(!readLog().contains(QStringLiteral("Keychain 读取失败")));
        KeychainHelper::setBackend(nullptr);
    }

    void secretServiceThroughSettings() {
        if (!secretServiceExpected())
            QSKIP("no Secret Service in this session (scripts/test-session.sh starts one)");
        QVERIFY(KeyStoreFactory::secretServiceAvailable());
        KeychainHelper::setBackend(KeyStoreFactory::create());
        QVERIFY(readLog().contains(QStringLiteral("密钥存储: Secret Service (org.freedesktop.secrets)")));
        SettingsManager settings(env.newPreferencesPath());
        QVERIFY(settings.setApiKey(QStringLiteral("sk-live-key"), AIProvider::qwen));
        settings.setApiProvider(AIProvider::qwen);
        QCOMPARE(settings.activeApiKey(), std::optional<QString>(QStringLiteral("sk-live-key")));
        // Another client of the same keyring sees the item under our service and account.
        QProcess lookup;
        lookup.start(QStringLiteral("secret-tool"),
                     {QStringLiteral("lookup"), QStringLiteral("server"), KeychainHelper::service,
                      QStringLiteral("user"), QStringLiteral("kavelin.apikey.qwen")});
        QVERIFY(lookup.waitForFinished(5000));
        QCOMPARE(lookup.readAllStandardOutput(), QByteArray("sk-live-key"));
        QVERIFY(settings.setApiKey(QString(), AIProvider::qwen));
        QVERIFY(!settings.activeApiKey());
        QVERIFY(!readLog().contains(QStringLiteral("sk-live-key")));
        KeychainHelper::setBackend(nullptr);
    }

    // A store that does not answer in time fails with a logged status instead of hanging.
    void secretServiceTimeout() {
        if (!secretServiceExpected())
            QSKIP("no Secret Service in this session");
        KeychainHelper::setBackend(std::make_unique<SecretServiceKeyStore>(std::chrono::milliseconds(0)));
        QVERIFY(!KeychainHelper::read(QStringLiteral("kavelin.apikey.deepseek")));
        QVERIFY(
            readLog().contains(QStringLiteral("Keychain 读取失败: status=%1, account=kavelin.apikey.deepseek")
                                   .arg(KeychainStatus::timedOut)));
        KeychainHelper::setBackend(nullptr);
    }

    void fileStoreIsPrivateAndNeverClobbersAnUnreadableFile() {
        const QString path = env.root() + QStringLiteral("/private/keys.json");
        FileKeyStore store(path);
        QCOMPARE(store.write(KeychainHelper::service, QStringLiteral("a"), "secret"),
                 KeychainStatus::success);
        QCOMPARE(QFile::permissions(path) & 0x0077, QFileDevice::Permissions()); // nothing for group/other
        QCOMPARE(QFile::permissions(path) & (QFileDevice::ReadOwner | QFileDevice::WriteOwner),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write("{broken");
        }
        QByteArray data;
        QCOMPARE(store.read(KeychainHelper::service, QStringLiteral("a"), &data), FileKeyStore::ioError);
        QCOMPARE(store.write(KeychainHelper::service, QStringLiteral("b"), "x"), FileKeyStore::ioError);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("{broken"));
    }

    // Without a Secret Service on the bus the program falls back to the file and says so.
    void fallsBackToFileWithoutSecretService() {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                           QStringLiteral("unix:path=/nonexistent/bus"));
        environment.insert(QStringLiteral("VYRN_KEYSTORE_PROBE"), QStringLiteral("1"));
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(20000));
        const QString output = QString::fromUtf8(child.readAllStandardOutput());
        QVERIFY2(output.contains(QStringLiteral("密钥存储: 未找到 Secret Service，使用仅本用户可读的文件 ")),
                 qPrintable(output));
        QVERIFY(output.contains(QStringLiteral("/vyrn/keys.json")));
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("VYRN_KEYSTORE_PROBE")) {
        TestEnvironment env;
        KeychainHelper::setBackend(KeyStoreFactory::create());
        return 0;
    }
    TestKeyStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_keystore.moc"
