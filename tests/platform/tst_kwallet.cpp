#include "platform/PlatformLoader.h"
#include "platform/PlatformServices.h"
#include "platform/kde/KWalletKeyStore.h"
#include "settings/SettingsManager.h"
#include "support/TestEnvironment.h"
#include "support/VyrnProcess.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QElapsedTimer>
#include <QProcess>
#include <QTest>

// The KDE wallet of a headless Plasma session (scripts/wayland/kde-session.sh): a real kwalletd5
// beside the real gnome-keyring of scripts/test-session.sh, which holds a key saved through the
// Secret Service.
namespace {
const QString kAccount = QStringLiteral("kavelin.apikey.deepseek");

QDBusMessage wallet(const QString& method, const QVariantList& arguments) {
    QDBusMessage call = QDBusMessage::createMethodCall(QStringLiteral("org.kde.kwalletd5"),
                                                       QStringLiteral("/modules/kwalletd5"),
                                                       QStringLiteral("org.kde.KWallet"), method);
    call.setArguments(arguments);
    return QDBusConnection::sessionBus().call(call);
}

// secret-tool's exit code; `input` is stored, else the item is looked up.
int secretTool(const QStringList& arguments, const QByteArray& input = {}) {
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"),
               arguments + QStringList{QStringLiteral("user"), kAccount, QStringLiteral("server"),
                                       QStringLiteral("com.vyrn.kavelin")});
    tool.write(input);
    tool.closeWriteChannel();
    return tool.waitForFinished(10000) ? tool.exitCode() : -1;
}
} // namespace

class TestKWallet : public QObject {
    Q_OBJECT
    TestEnvironment env;

private Q_SLOTS:
    void initTestCase() {
        if (qEnvironmentVariableIsEmpty("VYRN_KINPUT"))
            QSKIP("needs the KDE session of scripts/wayland/kde-session.sh");
        // The wallet as pam_kwallet creates it at login, without a window.
        QCOMPARE(
            wallet(QStringLiteral("pamOpen"), {QStringLiteral("kdewallet"), QByteArray(56, 'k'), 0}).type(),
            QDBusMessage::ReplyMessage);
    }

    // The wallet is the store in use; a key saved through the Secret Service moves into it.
    void keyMovesIntoTheWallet() {
        QCOMPARE(secretTool({QStringLiteral("store"), QStringLiteral("--label=VYRN")}, "sk-ss"), 0);
        PlatformServices platform;
        PlatformLoader::loadKeyStores(platform);
        QCOMPARE(platform.keyStore->name(), QStringLiteral("KWallet (org.kde.kwalletd5)"));
        QVERIFY(platform.otherKeyStore);
        SettingsManager settings(env.newPreferencesPath(), std::move(platform.keyStore),
                                 std::move(platform.fileKeyStore), std::move(platform.otherKeyStore));
        QCOMPARE(settings.activeApiKey().key(), std::optional<QString>(QStringLiteral("sk-ss")));
        QCOMPARE(settings.store().text(QStringLiteral("kavelin.keyLocation.deepseek")),
                 std::optional<QString>(QStringLiteral("kwallet")));
        QVERIFY(secretTool({QStringLiteral("lookup")}) != 0);
        QCOMPARE(KeyStore(KWalletKeyStore::connect(QStringLiteral("kwalletd5"))).read(kAccount).key(),
                 std::optional<QString>(QStringLiteral("sk-ss")));
    }

    // A closed wallet asks for its password in kwalletd's window: the reader is told, waits, and
    // gives up at once when no longer wanted; quitting VYRN meanwhile does not wait.
    void closedWalletIsWaitedFor() {
        QCOMPARE(wallet(QStringLiteral("close"), {QStringLiteral("kdewallet"), true}).type(),
                 QDBusMessage::ReplyMessage);
        const KeyStore store(KWalletKeyStore::connect(QStringLiteral("kwalletd5")));
        bool told = false;
        const KeyWait wait{std::chrono::milliseconds(300), std::chrono::seconds(60),
                           [&](bool waiting) { told = told || waiting; }, [&] { return !told; }};
        QElapsedTimer clock;
        clock.start();
        QVERIFY(store.read(kAccount, wait).isStoreUnavailable());
        QVERIFY(told);
        QVERIFY2(clock.elapsed() < 1000, qPrintable(QString::number(clock.elapsed())));

        VyrnProcess vyrn;
        QVERIFY(vyrn.startReady());
        clock.restart();
        QVERIFY(vyrn.terminate());
        QVERIFY2(clock.elapsed() < 1500, qPrintable(QString::number(clock.elapsed())));
    }
};

QTEST_GUILESS_MAIN(TestKWallet)
#include "tst_kwallet.moc"
