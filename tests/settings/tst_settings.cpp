#include "settings/KeyStore.h"
#include "settings/KeyWait.h"
#include "settings/PromptTemplates.h"
#include "settings/SettingsManager.h"
#include "support/FakeKeyStore.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>

#include <cstdio>
#include <unistd.h>
#include <vector>

using Setter = std::function<void(PreferenceStore&)>;
using Reader = std::function<QVariant(const SettingsManager&)>;
using FileChange = std::function<void(const QString& path)>;
Q_DECLARE_METATYPE(Setter)
Q_DECLARE_METATYPE(Reader)
Q_DECLARE_METATYPE(FileChange)
Q_DECLARE_METATYPE(KeyLookup)

namespace {

QProcessEnvironment childEnvironment(const char* mode, const QString& task) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QString::fromLatin1(mode), task);
    return environment;
}

Setter store(const char* key, const QJsonValue& value) {
    return [name = QString::fromLatin1(key), value](PreferenceStore& s) { s.setValue(name, value); };
}

QJsonObject readObject(const QString& path) {
    return QJsonDocument::fromJson(readFileBytes(path)).object();
}

// Child-process mode: write settings as fast as possible until killed, reporting each round.
int runWriterLoop(const QString& path) {
    SettingsManager settings(path);
    for (int i = 0;; ++i) {
        settings.setWindowFrame(QStringLiteral("{{%1, %1}, {800, 600}}").arg(i));
        settings.setPopupFontSize(12 + i % 11);
        settings.setCustomPrompt(QString(200 + i % 50, QLatin1Char('p')));
        [[maybe_unused]] const ssize_t written = ::write(STDOUT_FILENO, "\a", 1);
    }
}

// Child-process mode: a second instance that writes its own key `count` times once told to go.
int runKeyWriter(const QString& path, const QString& key, int count) {
    SettingsManager settings(path);
    std::printf("ready\n");
    std::fflush(stdout);
    char go[8] = {};
    if (!std::fgets(go, sizeof go, stdin))
        return 2;
    for (int i = 1; i <= count; ++i)
        settings.store().setValue(key, i);
    return 0;
}

} // namespace

class TestSettings : public QObject {
    Q_OBJECT
    TestEnvironment env;
    std::unique_ptr<FakeKeyStore> keys;

    SettingsManager open(const QString& path) { return SettingsManager(path, keys->share()); }

private Q_SLOTS:
    void init() { keys = std::make_unique<FakeKeyStore>(); }

    // Stored values of the wrong type or range, as a hand edit leaves them.
    void valueRules_data() {
        QTest::addColumn<Setter>("stored");
        QTest::addColumn<Reader>("read");
        QTest::addColumn<QVariant>("expected");
        const Reader font = [](const SettingsManager& s) { return QVariant(s.popupFontSize()); };
        const Reader provider = [](const SettingsManager& s) { return QVariant(int(s.apiProvider())); };
        const Reader split = [](const SettingsManager& s) { return QVariant(s.defaultSplitMode()); };
        const Reader usesDefault = [](const SettingsManager& s) { return QVariant(s.usesDefaultPrompt()); };
        const Reader keyCode = [](const SettingsManager& s) { return QVariant(s.hotkeyKeyCode()); };
        const QVariant deepseek(int(AIProvider::deepseek)), qwen(int(AIProvider::qwen));
        QTest::newRow("font text") << store("kavelin.popupFontSize", QStringLiteral("16")) << font
                                   << QVariant(14);
        QTest::newRow("font fraction") << store("kavelin.popupFontSize", 15.5) << font << QVariant(14);
        QTest::newRow("font beyond 32 bits") << store("kavelin.popupFontSize", 1e12) << font << QVariant(22);
        QTest::newRow("font below -2^31") << store("kavelin.popupFontSize", -3e9) << font << QVariant(12);
        QTest::newRow("provider qwen")
            << store("kavelin.apiProvider", QStringLiteral("qwen")) << provider << qwen;
        QTest::newRow("provider Qwen")
            << store("kavelin.apiProvider", QStringLiteral("Qwen")) << provider << deepseek;
        QTest::newRow("split absent") << Setter([](PreferenceStore&) {}) << split << QVariant(true);
        QTest::newRow("split false") << store("kavelin.defaultSplitMode", false) << split << QVariant(false);
        QTest::newRow("split 0") << store("kavelin.defaultSplitMode", 0) << split << QVariant(false);
        QTest::newRow("split text NO")
            << store("kavelin.defaultSplitMode", QStringLiteral("NO")) << split << QVariant(false);
        QTest::newRow("usesDefault text")
            << store("kavelin.prompt.usesDefault", QStringLiteral("false")) << usesDefault << QVariant(true);
        QTest::newRow("key code stored") << store("kavelin.hotkeyKeyCode", 0) << keyCode << QVariant(0);
        QTest::newRow("key code huge") << store("kavelin.hotkeyKeyCode", 1e12) << keyCode << QVariant(17);
    }
    void valueRules() {
        QFETCH(Setter, stored);
        QFETCH(Reader, read);
        QFETCH(QVariant, expected);
        const QString path = env.newPreferencesPath();
        {
            PreferenceStore raw(path);
            stored(raw);
        }
        const SettingsManager settings = open(path);
        QCOMPARE(read(settings), expected);
    }

    void identityAndSetterClamps() {
        const QString path = env.newPreferencesPath();
        SettingsManager settings = open(path);
        QCOMPARE(settings.store().boolean(QStringLiteral("kavelin.keychain_migrated_v2")),
                 std::optional<bool>(true));
        const QString id = settings.installID();
        QCOMPARE(id.size(), 36);
        QCOMPARE(open(path).installID(), id); // persisted, not regenerated
        settings.setPopupFontSize(23);
        QCOMPARE(settings.store().integer(QStringLiteral("kavelin.popupFontSize")),
                 std::optional<qint64>(22));
        settings.setModelOverride(QStringLiteral(" "), AIProvider::qwen); // only "" removes an override
        QCOMPARE(settings.modelOverride(AIProvider::qwen), std::optional<QString>(QStringLiteral(" ")));
    }

    void promptRules() {
        SettingsManager settings = open(env.newPreferencesPath());
        settings.setUsesDefaultPrompt(false);
        settings.setCustomPrompt(QStringLiteral(" \n\t "));
        QVERIFY(!settings.store().contains(QStringLiteral("kavelin.prompt.custom")));
        QCOMPARE(settings.effectivePrompt(), PromptTemplates::defaultPromptTemplate());
        settings.setCustomPrompt(QStringLiteral(" 我的模板\n"));
        QCOMPARE(settings.effectivePrompt(), QStringLiteral(" 我的模板\n"));
        settings.setUsesDefaultPrompt(true);
        QCOMPARE(settings.effectivePrompt(), PromptTemplates::defaultPromptTemplate());
        QCOMPARE(settings.customPrompt(), std::optional<QString>(QStringLiteral(" 我的模板\n")));
    }

    void legacyPromptMigration_data() {
        QTest::addColumn<QString>("legacy");
        QTest::addColumn<bool>("moves");
        QTest::newRow("blank stays") << QStringLiteral("  \n") << false;
        QTest::newRow("leading space moves") << QStringLiteral(" Translate: {text}") << true;
    }
    void legacyPromptMigration() {
        QFETCH(QString, legacy);
        QFETCH(bool, moves);
        const QString path = env.newPreferencesPath();
        PreferenceStore(path).setValue(QStringLiteral("kavelin.prompt"), legacy);
        SettingsManager settings = open(path);
        PreferenceStore& s = settings.store();
        QCOMPARE(s.contains(QStringLiteral("kavelin.prompt")), !moves);
        QCOMPARE(s.text(QStringLiteral("kavelin.prompt.custom")),
                 moves ? std::optional<QString>(legacy) : std::nullopt);
        QCOMPARE(s.boolean(QStringLiteral("kavelin.prompt.usesDefault")),
                 moves ? std::optional<bool>(false) : std::nullopt);
    }

    // A failed move keeps the legacy key in use; the next start moves it.
    void keyMigrationRetriesAfterFailure() {
        const QString path = env.newPreferencesPath();
        {
            PreferenceStore raw(path);
            raw.setValue(QStringLiteral("kavelin.apikey.deepseek"), QStringLiteral("sk-old"));
            raw.setValue(QStringLiteral("kavelin.apiProvider"), QStringLiteral("deepseek"));
        }
        keys->writeStatus = -25293;
        {
            SettingsManager settings = open(path);
            QVERIFY(settings.store().contains(QStringLiteral("kavelin.apikey.deepseek")));
            QVERIFY(!settings.store().contains(QStringLiteral("kavelin.keychain_migrated_v2")));
            QCOMPARE(settings.activeApiKey(), KeyLookup::found(QStringLiteral("sk-old")));
        }
        keys->writeStatus = KeyStoreStatus::success;
        SettingsManager retried = open(path);
        QVERIFY(!retried.store().contains(QStringLiteral("kavelin.apikey.deepseek")));
        QCOMPARE(retried.store().boolean(QStringLiteral("kavelin.keychain_migrated_v2")),
                 std::optional<bool>(true));
        QCOMPARE(keys->items.value(QStringLiteral("com.vyrn.kavelin/kavelin.apikey.deepseek")),
                 QByteArray("sk-old"));
        QVERIFY(!readLog().contains(QStringLiteral("sk-old"))); // a key never reaches the log
    }

    // A failed write keeps the old key; a failed delete is reported, not taken for done.
    void apiKeyRoundTrip() {
        SettingsManager settings = open(env.newPreferencesPath());
        QCOMPARE(settings.apiKey(AIProvider::deepseek), KeyLookup::notFound());
        QVERIFY(settings.setApiKey(QStringLiteral("sk-秘密-123"), AIProvider::deepseek));
        QCOMPARE(settings.apiKey(AIProvider::deepseek), KeyLookup::found(QStringLiteral("sk-秘密-123")));
        QCOMPARE(settings.activeApiKey(), KeyLookup::found(QStringLiteral("sk-秘密-123")));
        QVERIFY(!readLog().contains(QStringLiteral("sk-秘密"))); // a key never reaches the log

        keys->writeStatus = -1;
        QVERIFY(!settings.setApiKey(QStringLiteral("sk-new"), AIProvider::deepseek));
        QCOMPARE(settings.apiKey(AIProvider::deepseek), KeyLookup::found(QStringLiteral("sk-秘密-123")));
        keys->writeStatus = KeyStoreStatus::success;

        QVERIFY(settings.setApiKey(QString(), AIProvider::deepseek));
        QCOMPARE(settings.activeApiKey(), KeyLookup::notFound());
        QVERIFY(settings.setApiKey(QString(), AIProvider::deepseek)); // a missing item counts as deleted

        keys->removeStatus = -25244;
        QVERIFY(!settings.setApiKey(std::nullopt, AIProvider::deepseek));
    }

    // A store that cannot be asked is neither a key nor "no key"; a legacy copy still counts.
    void keyStoreOutcomes_data() {
        QTest::addColumn<int>("readStatus");
        QTest::addColumn<bool>("stored");
        QTest::addColumn<bool>("legacy");
        QTest::addColumn<KeyLookup>("expected");
        const KeyLookup found = KeyLookup::found(QStringLiteral("sk-stored"));
        const KeyLookup legacyKey = KeyLookup::found(QStringLiteral("sk-legacy"));
        const KeyLookup unavailable = KeyLookup::storeUnavailable(QStringLiteral("status=-25316，无响应"));
        QTest::newRow("stored") << KeyStoreStatus::success << true << false << found;
        QTest::newRow("none") << KeyStoreStatus::success << false << false << KeyLookup::notFound();
        QTest::newRow("none, legacy") << KeyStoreStatus::success << false << true << legacyKey;
        QTest::newRow("timed out") << KeyStoreStatus::timedOut << true << false << unavailable;
        QTest::newRow("timed out, legacy") << KeyStoreStatus::timedOut << true << true << legacyKey;
        QTest::newRow("other failure")
            << -128 << true << false << KeyLookup::storeUnavailable(QStringLiteral("status=-128"));
    }
    void keyStoreOutcomes() {
        QFETCH(int, readStatus);
        QFETCH(bool, stored);
        QFETCH(bool, legacy);
        QFETCH(KeyLookup, expected);
        const QString path = env.newPreferencesPath();
        keys->writeStatus = -1; // keeps the legacy copy where the migration found it
        if (legacy)
            PreferenceStore(path).setValue(QStringLiteral("kavelin.apikey.qwen"),
                                           QStringLiteral("sk-legacy"));
        SettingsManager settings = open(path);
        settings.setApiProvider(AIProvider::qwen);
        if (stored)
            keys->items.insert(QStringLiteral("com.vyrn.kavelin/kavelin.apikey.qwen"), "sk-stored");
        keys->readStatus = readStatus;
        QCOMPARE(settings.activeApiKey(), expected);
        QCOMPARE(settings.apiKey(AIProvider::qwen), expected);
    }

    // Which store holds a key is remembered: a key in the file moves into the Secret Service
    // once it answers, never back, and one it holds is not taken for missing while it is away.
    void keyLocations_data() {
        QTest::addColumn<QString>("location"); // recorded before; empty: none
        QTest::addColumn<QString>("inUse");    // the store in use; "file" when no secure one answers
        QTest::addColumn<int>("storeStatus");  // of its reads and writes
        QTest::addColumn<QString>("key");      // empty: the key store cannot be asked; "-": no key
        QTest::addColumn<QString>("locationAfter");
        const QString none, ss = QStringLiteral("secretService"), file = QStringLiteral("file"),
                            wallet = QStringLiteral("kwallet");
        const QString inFile = QStringLiteral("sk-file"), inStore = QStringLiteral("sk-store");
        QTest::newRow("saved before, in the file") << none << ss << 0 << inFile << ss;
        QTest::newRow("recorded in the file") << file << ss << 0 << inFile << ss;
        QTest::newRow("recorded in the Secret Service") << ss << ss << 0 << inStore << ss;
        QTest::newRow("Secret Service away") << ss << file << 0 << none << ss;
        QTest::newRow("move refused") << file << ss << -25293 << inFile << file;
        QTest::newRow("wallet, saved through the Secret Service")
            << none << wallet << 0 << QStringLiteral("sk-other") << wallet;
        QTest::newRow("wallet, recorded as Secret Service before") << ss << wallet << 0 << inStore << wallet;
        QTest::newRow("wallet away") << wallet << ss << 0 << none << wallet;
        // Status 1: the Secret Service beside the wallet cannot be asked.
        QTest::newRow("wallet, Secret Service silent") << none << wallet << 1 << QStringLiteral("-") << none;
    }
    void keyLocations() {
        QFETCH(QString, location);
        QFETCH(QString, inUse);
        QFETCH(int, storeStatus);
        QFETCH(QString, key);
        QFETCH(QString, locationAfter);
        const QString item = QStringLiteral("com.vyrn.kavelin/kavelin.apikey.deepseek");
        const QString locationKey = QStringLiteral("kavelin.keyLocation.deepseek");
        const QString path = env.newPreferencesPath();
        if (!location.isEmpty())
            PreferenceStore(path).setValue(locationKey, location);
        // The file, and the Secret Service beside the KDE wallet.
        FakeKeyStore fileStore, other;
        fileStore.place = QStringLiteral("file");
        const bool wallet = inUse == QLatin1String("kwallet");
        if (wallet && location.isEmpty() && storeStatus != 1)
            other.items.insert(item, "sk-other");
        else if (!wallet && (location.isEmpty() || location == fileStore.place))
            fileStore.items.insert(item, "sk-file");
        keys->place = inUse;
        if (location == QLatin1String("secretService") && inUse != QLatin1String("file"))
            keys->items.insert(item, "sk-store");
        if (storeStatus == 1)
            other.readStatus = std::exchange(storeStatus, 0);
        keys->readStatus = keys->writeStatus = storeStatus;
        SettingsManager settings(path, keys->share(),
                                 inUse == QLatin1String("file") ? nullptr : fileStore.share(),
                                 wallet ? other.share() : nullptr);
        const KeyLookup lookup = settings.activeApiKey();
        QCOMPARE(lookup.key().value_or(QStringLiteral("-")), key.isEmpty() ? QStringLiteral("-") : key);
        QCOMPARE(lookup.isStoreUnavailable(), key.isEmpty());
        QCOMPARE(settings.store().text(locationKey).value_or(QString()), locationAfter);
        // A key that moved is in the store in use and nowhere else.
        const bool elsewhere = key == QLatin1String("sk-file") || key == QLatin1String("sk-other");
        const bool moved = elsewhere && locationAfter == inUse;
        QCOMPARE(fileStore.items.contains(item) || other.items.contains(item), elsewhere && !moved);
        if (moved)
            QCOMPARE(keys->items.value(item), key.toUtf8());
    }

    // A keyring being unlocked answers late: told after a moment, waited for up to the bound,
    // given up when the caller no longer wants it; the key once read is kept.
    void slowKeyStore_data() {
        QTest::addColumn<int>("end"); // 0: the store answers, 1: the bound passes, 2: the caller gives up
        QTest::addColumn<KeyLookup>("expected");
        QTest::newRow("answers") << 0 << KeyLookup::found(QStringLiteral("sk-late"));
        QTest::newRow("bound") << 1 << KeyLookup::storeUnavailable(QStringLiteral("status=-25316，无响应"));
        QTest::newRow("given up") << 2
                                  << KeyLookup::storeUnavailable(QStringLiteral("status=-25317，已取消"));
    }
    void slowKeyStore() {
        QFETCH(int, end);
        QFETCH(KeyLookup, expected);
        SettingsManager settings = open(env.newPreferencesPath());
        QVERIFY(settings.setApiKey(QStringLiteral("sk-late"), AIProvider::deepseek));
        settings.forgetApiKey(AIProvider::deepseek);
        keys->beforeRead = [] { QThread::msleep(500); };
        QList<bool> waiting;
        const KeyWait wait{std::chrono::milliseconds(50), std::chrono::milliseconds(end == 1 ? 250 : 20000),
                           [&](bool slow) { waiting.append(slow); },
                           [&] { return waiting.isEmpty() || end != 2; }};
        QCOMPARE(settings.activeProviderAndKey(wait).key, expected);
        QCOMPARE(waiting, (end == 0 ? QList<bool>{true, false} : QList<bool>{true}));
        keys->beforeRead = nullptr;
        keys->readStatus = -1; // from now on only memory can give the key
        QCOMPARE(settings.activeProviderAndKey().key.key(), expected.key());
    }

    void corruptFileIsSetAside_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("truncated") << QByteArray("{\"kavelin.popupFontSize\": 18,");
        QTest::newRow("not an object") << QByteArray("[1, 2, 3]");
    }
    void corruptFileIsSetAside() {
        QFETCH(QByteArray, content);
        const QString path = env.newPreferencesPath();
        writeFileBytes(path, content);
        SettingsManager settings = open(path);
        QCOMPARE(settings.popupFontSize(), 14);
        const QStringList aside = QDir(QFileInfo(path).absolutePath())
                                      .entryList({QFileInfo(path).fileName() + QStringLiteral(".corrupt-*")});
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readFileBytes(QFileInfo(path).absolutePath() + QLatin1Char('/') + aside.first()), content);
        // The next write starts a clean file instead of touching the set-aside copy.
        settings.setPopupFontSize(18);
        QCOMPARE(open(path).popupFontSize(), 18);
    }

    // What others write to the file while this instance runs survives its next change.
    void takesUpChangesMadeOnDisk_data() {
        QTest::addColumn<FileChange>("change");
        QTest::addColumn<int>("fontSize"); // read after the change
        QTest::addColumn<bool>("baseURLKept");
        const QByteArray edited = R"({"kavelin.popupFontSize": 18, "kavelin.baseURL.deepseek": "http://gw"})";
        QTest::newRow("replaced, as editors save") << FileChange([edited](const QString& path) {
            writeFileBytes(path + QStringLiteral(".new"), edited);
            QVERIFY(::rename(QFile::encodeName(path + QStringLiteral(".new")).constData(),
                             QFile::encodeName(path).constData()) == 0);
        }) << 18 << true;
        QTest::newRow("rewritten in place")
            << FileChange([edited](const QString& path) { writeFileBytes(path, edited); }) << 18 << true;
        QTest::newRow("removed") << FileChange([](const QString& path) { QVERIFY(QFile::remove(path)); })
                                 << 14 << false;
        // A broken edit is set aside; this run's own values stay.
        QTest::newRow("broken") << FileChange([](const QString& path) {
            writeFileBytes(path, "{\"kavelin.");
        }) << 16 << false;
    }
    void takesUpChangesMadeOnDisk() {
        QFETCH(FileChange, change);
        QFETCH(int, fontSize);
        QFETCH(bool, baseURLKept);
        const QString path = env.newPreferencesPath();
        SettingsManager settings = open(path);
        settings.setPopupFontSize(16);
        change(path);
        settings.setWindowFrame(QStringLiteral("{{1, 2}, {3, 4}}"));
        const QJsonObject file = readObject(path);
        QCOMPARE(file.value(QStringLiteral("kavelin.windowFrame")).toString(),
                 QStringLiteral("{{1, 2}, {3, 4}}"));
        QCOMPARE(file.contains(QStringLiteral("kavelin.baseURL.deepseek")), baseURLKept);
        QCOMPARE(settings.popupFontSize(), fontSize);
        QCOMPARE(open(path).popupFontSize(), fontSize);
    }

    // A batch of changes reads back at once, reaches the file in one write when the outer
    // batch ends, and keeps what another writer wrote meanwhile.
    void batchWritesOnce() {
        const QString path = env.newPreferencesPath();
        SettingsManager settings = open(path);
        settings.setPopupFontSize(16);
        settings.setWindowFrame(QStringLiteral("{{0, 0}, {1, 1}}"));
        {
            const PreferenceStore::Batch outer(settings.store());
            {
                const PreferenceStore::Batch inner(settings.store());
                settings.setHotkeyKeyCode(16);
                settings.setWindowFrame(std::nullopt);
            }
            QCOMPARE(settings.hotkeyKeyCode(), 16);
            open(path).setDefaultSplitMode(false); // another writer
            settings.setHotkeyModifiers(512);
            QVERIFY(!readObject(path).contains(QStringLiteral("kavelin.hotkeyKeyCode")));
        }
        const QJsonObject file = readObject(path);
        QCOMPARE(file.value(QStringLiteral("kavelin.hotkeyKeyCode")).toInt(), 16);
        QCOMPARE(file.value(QStringLiteral("kavelin.hotkeyModifiers")).toInt(), 512);
        QVERIFY(!file.contains(QStringLiteral("kavelin.windowFrame")));
        QCOMPARE(file.value(QStringLiteral("kavelin.defaultSplitMode")), QJsonValue(false));
        QCOMPARE(file.value(QStringLiteral("kavelin.popupFontSize")).toInt(), 16);
    }

    // Two instances that both loaded the file, then change different keys at the same time.
    void twoInstancesKeepEachOthersChanges() {
        const QString path = env.newPreferencesPath();
        open(path).setPopupFontSize(15);
        const int count = 60;
        QProcess writers[2];
        for (int i = 0; i < 2; ++i) {
            writers[i].setProcessEnvironment(
                childEnvironment("VYRN_SETTINGS_KEY_WRITER",
                                 QStringLiteral("%1|kavelin.writer%2|%3").arg(path).arg(i).arg(count)));
            writers[i].start(QCoreApplication::applicationFilePath(), {});
        }
        for (QProcess& writer : writers) // log lines may come first
            while (!writer.canReadLine() || writer.readLine() != "ready\n")
                QVERIFY(writer.canReadLine() || writer.waitForReadyRead(20000));
        for (QProcess& writer : writers)
            writer.write("go\n");
        for (QProcess& writer : writers) {
            QVERIFY(writer.waitForFinished(60000));
            QCOMPARE(writer.exitCode(), 0);
        }
        const QJsonObject file = readObject(path);
        QCOMPARE(file.value(QStringLiteral("kavelin.writer0")).toInt(), count);
        QCOMPARE(file.value(QStringLiteral("kavelin.writer1")).toInt(), count);
        QCOMPARE(file.value(QStringLiteral("kavelin.popupFontSize")).toInt(), 15);
    }

    void killDuringWritesNeverTruncates() {
        const QString path = env.newPreferencesPath();
        open(path).setPopupFontSize(16);
        for (int round = 0; round < 15; ++round) {
            QProcess writer;
            writer.setProcessEnvironment(childEnvironment("VYRN_SETTINGS_WRITER", path));
            writer.start(QCoreApplication::applicationFilePath(), {});
            QVERIFY(writer.waitForStarted());
            // Killed after a varying number of complete rounds, somewhere inside the next one.
            const int rounds = 1 + QRandomGenerator::global()->bounded(4);
            QByteArray reports;
            while (reports.count('\a') < rounds) {
                QVERIFY(writer.waitForReadyRead(20000));
                reports += writer.readAll();
            }
            writer.kill();
            writer.waitForFinished();
            QJsonParseError error{};
            const QJsonDocument document = QJsonDocument::fromJson(readFileBytes(path), &error);
            QVERIFY2(error.error == QJsonParseError::NoError && document.isObject(),
                     qPrintable(error.errorString()));
            QVERIFY(document.object().contains(QStringLiteral("kavelin.popupFontSize")));
        }
    }
};

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (qEnvironmentVariableIsSet("VYRN_SETTINGS_WRITER")) {
        TestEnvironment env;
        return runWriterLoop(qEnvironmentVariable("VYRN_SETTINGS_WRITER"));
    }
    if (qEnvironmentVariableIsSet("VYRN_SETTINGS_KEY_WRITER")) {
        TestEnvironment env;
        const QStringList task = qEnvironmentVariable("VYRN_SETTINGS_KEY_WRITER").split(QLatin1Char('|'));
        return runKeyWriter(task.value(0), task.value(1), task.value(2).toInt());
    }
    TestSettings test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settings.moc"
