#include "platform/PlatformLoader.h"
#include "platform/freedesktop/FileKeyStore.h"
#include "platform/freedesktop/SecretServiceKeyStore.h"
#include "settings/KeyStore.h"
#include "settings/SettingsManager.h"
#include "support/TestEnvironment.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <QThread>

#include <functional>
#include <future>
#include <utime.h>

using StoreFactory = std::function<std::unique_ptr<KeyStoreBackend>(const QString& folder)>;
using StoreOpener = std::function<void(const QString& path)>;
Q_DECLARE_METATYPE(StoreFactory)
Q_DECLARE_METATYPE(StoreOpener)

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
        const KeyStore store(factory(env.root()));
        const QString account = QStringLiteral("kavelin.apikey.test%1").arg(++accountCounter);

        QCOMPARE(store.read(account), KeyLookup::notFound());
        QVERIFY(store.remove(account)); // nothing there counts as removed
        QVERIFY(store.save(QStringLiteral("sk-第一"), account));
        QCOMPARE(store.read(account).key(), std::optional<QString>(QStringLiteral("sk-第一")));
        QVERIFY(store.save(QStringLiteral("sk-second"), account)); // replaces
        QCOMPARE(store.read(account).key(), std::optional<QString>(QStringLiteral("sk-second")));
        QVERIFY(store.save(QString(), account)); // an empty key is still an item
        QCOMPARE(store.read(account).key(), std::optional<QString>(QString()));
        QVERIFY(store.remove(account));
        QCOMPARE(store.read(account), KeyLookup::notFound());
    }

    void secretServiceThroughSettings() {
        if (!secretServiceExpected())
            QSKIP("no Secret Service in this session (scripts/test-session.sh starts one)");
        QVERIFY(PlatformLoader::secretServiceAvailable());
        SettingsManager settings(env.newPreferencesPath(), PlatformLoader::loadKeyStore());
        QVERIFY(settings.setApiKey(QStringLiteral("sk-live-key"), AIProvider::qwen));
        settings.setApiProvider(AIProvider::qwen);
        QCOMPARE(settings.activeApiKey().key(), std::optional<QString>(QStringLiteral("sk-live-key")));
        // Another client of the same keyring sees the item under our service and account.
        QProcess lookup;
        lookup.start(QStringLiteral("secret-tool"),
                     {QStringLiteral("lookup"), QStringLiteral("server"), KeyStore::service,
                      QStringLiteral("user"), QStringLiteral("kavelin.apikey.qwen")});
        QVERIFY(lookup.waitForFinished(5000));
        QCOMPARE(lookup.readAllStandardOutput(), QByteArray("sk-live-key"));
        QVERIFY(settings.setApiKey(QString(), AIProvider::qwen)); // leaves the session's keyring as found
        QVERIFY(!readLog().contains(QStringLiteral("sk-live-key")));
    }

    // A keyring that answers after the store's own time-out, as one does behind its unlock
    // prompt, still gives a translation its key.
    void translationWaitsForSlowSecretService() {
        if (!secretServiceExpected())
            QSKIP("no Secret Service in this session (scripts/test-session.sh starts one)");
        const QString path = env.newPreferencesPath();
        QVERIFY(SettingsManager(path, PlatformLoader::loadKeyStore())
                    .setApiKey(QStringLiteral("sk-slow"), AIProvider::deepseek));
        SettingsManager settings(path,
                                 std::make_unique<SecretServiceKeyStore>(std::chrono::milliseconds(500)));
        const uint pid =
            QDBusConnection::sessionBus().interface()->servicePid(QStringLiteral("org.freedesktop.secrets"));
        // Stopped for 2 s by a process of its own, which a failure here cannot leave stopped.
        QVERIFY(QProcess::startDetached(
            QStringLiteral("sh"),
            {QStringLiteral("-c"), QStringLiteral("kill -STOP %1; sleep 2; kill -CONT %1").arg(pid)}));
        QTRY_VERIFY(
            readFileBytes(QStringLiteral("/proc/%1/stat").arg(pid)).split(')').last().startsWith(" T"));
        auto reader =
            std::async(std::launch::async, [&] { return settings.activeProviderAndKey().key.key(); });
        QThread::msleep(300);
        QElapsedTimer meanwhile;
        meanwhile.start();
        QCOMPARE(settings.popupFontSize(), 14); // the other settings stay readable meanwhile
        QCOMPARE_LT(meanwhile.elapsed(), 1000);
        QCOMPARE(reader.get(), std::optional<QString>(QStringLiteral("sk-slow")));
        QVERIFY(settings.setApiKey(QString(), AIProvider::deepseek));
    }

    void fileStoreIsPrivate() {
        const QString path = env.root() + QStringLiteral("/private/keys.json");
        FileKeyStore store(path);
        QCOMPARE(store.write(KeyStore::service, QStringLiteral("a"), "secret"), KeyStoreStatus::success);
        QCOMPARE(QFile::permissions(path) & 0x0077, QFileDevice::Permissions()); // nothing for group/other
        QCOMPARE(QFile::permissions(path) & (QFileDevice::ReadOwner | QFileDevice::WriteOwner),
                 QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }

    // An unreadable key file (emptied by a power loss, broken by hand) is kept for the user and a
    // new key can be saved.
    void unreadableKeyFileIsSetAside_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("broken") << QByteArray("{\"com.vyrn.kavelin/a\": \"c2Vj");
    }
    void unreadableKeyFileIsSetAside() {
        QFETCH(QByteArray, content);
        const QString folder =
            env.root() + QStringLiteral("/aside-") + QString::fromLatin1(QTest::currentDataTag());
        const QString path = folder + QStringLiteral("/keys.json");
        QDir().mkpath(folder);
        writeFileBytes(path, content);
        FileKeyStore store(path);
        QByteArray data;
        QCOMPARE(store.read(KeyStore::service, QStringLiteral("a"), &data), KeyStoreStatus::itemNotFound);
        QCOMPARE(store.write(KeyStore::service, QStringLiteral("a"), "new"), KeyStoreStatus::success);
        QCOMPARE(store.read(KeyStore::service, QStringLiteral("a"), &data), KeyStoreStatus::success);
        QCOMPARE(data, QByteArray("new"));
        const QStringList aside = QDir(folder).entryList({QStringLiteral("keys.json.corrupt-*")});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readFileBytes(folder + QLatin1Char('/') + aside.first()), content);
    }

    // Temporary files of interrupted writes may hold keys: they go at the next start, once no
    // write in progress can own them.
    void removesStaleTemporaries_data() {
        QTest::addColumn<StoreOpener>("open");
        QTest::newRow("key file") << StoreOpener([](const QString& path) { FileKeyStore store(path); });
        QTest::newRow("preferences") << StoreOpener([](const QString& path) { PreferenceStore store(path); });
    }
    void removesStaleTemporaries() {
        QFETCH(StoreOpener, open);
        const QString folder =
            env.root() + QStringLiteral("/stale-") + QString::fromLatin1(QTest::currentDataTag());
        QDir().mkpath(folder);
        const QString path = folder + QStringLiteral("/store.json");
        const QString stale = path + QStringLiteral(".tmp-a1B2c3");
        const QString fresh = path + QStringLiteral(".tmp-d4E5f6");
        const QString other = folder + QStringLiteral("/other.json.tmp-g7H8i9");
        for (const QString& file : {stale, fresh, other})
            writeFileBytes(file, "{\"secret\": \"sk-left-behind\"}");
        const utimbuf twoMinutesAgo{::time(nullptr) - 120, ::time(nullptr) - 120};
        for (const QString& file : {stale, other})
            QCOMPARE(::utime(QFile::encodeName(file).constData(), &twoMinutesAgo), 0);
        open(path);
        QVERIFY(!QFile::exists(stale));
        QVERIFY(QFile::exists(fresh));
        QVERIFY(QFile::exists(other)); // another file's leftovers are not ours to judge
    }

    // Without a Secret Service on the bus the program keeps its keys in the file.
    void fallsBackToFileWithoutSecretService() {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                           QStringLiteral("unix:path=/nonexistent/bus"));
        environment.insert(QStringLiteral("VYRN_KEYSTORE_PROBE"), QStringLiteral("1"));
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(), {});
        QVERIFY(child.waitForFinished(20000));
        QCOMPARE(child.exitCode(), 0);
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("VYRN_KEYSTORE_PROBE")) {
        TestEnvironment env;
        const KeyStore store(PlatformLoader::loadKeyStore());
        const bool saved = store.save(QStringLiteral("sk-probe"), QStringLiteral("probe"));
        return saved && QFile::exists(env.configDir() + QStringLiteral("/keys.json")) ? 0 : 1;
    }
    TestKeyStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_keystore.moc"
