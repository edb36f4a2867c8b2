#include "platform/kde/KWalletKeyStore.h"

#include "base/AppConstants.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QThread>

namespace {

const QString kInterface = QStringLiteral("org.kde.KWallet");
// Long enough for a user who is slowly typing a password or creating the wallet; the caller
// stops waiting long before.
constexpr int kWindowLimitMs = 10 * 60 * 1000;
constexpr int kCallLimitMs = 25 * 1000;

// Deliberately never stopped: a call may still wait for the wallet's window when VYRN quits,
// and quitting must not wait for it.
QObject* walletContext() {
    static QObject* context = [] {
        auto* thread = new QThread;
        thread->setObjectName(QStringLiteral("vyrn-kwallet"));
        auto* object = new QObject;
        object->moveToThread(thread);
        thread->start();
        return object;
    }();
    return context;
}

class WalletCalls {
public:
    explicit WalletCalls(const QString& daemon)
        : m_service(QStringLiteral("org.kde.") + daemon), m_path(QStringLiteral("/modules/") + daemon) {}

    // The reply's first value, or null when the call failed.
    QVariant call(const QString& method, const QVariantList& arguments, int timeoutMs = kCallLimitMs) const {
        QDBusMessage message = QDBusMessage::createMethodCall(m_service, m_path, kInterface, method);
        message.setArguments(arguments);
        const QDBusMessage reply = QDBusConnection::sessionBus().call(message, QDBus::Block, timeoutMs);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return {};
        return reply.arguments().constFirst();
    }
    // Writes the wallet file now rather than on kwalletd's timer: a confirmed write must
    // survive the daemon's end.
    void sync(int handle) const {
        QDBusMessage message =
            QDBusMessage::createMethodCall(m_service, m_path, kInterface, QStringLiteral("sync"));
        message.setArguments({handle, APP_DISPLAY_NAME});
        QDBusConnection::sessionBus().send(message);
    }

private:
    QString m_service;
    QString m_path;
};

} // namespace

std::unique_ptr<KWalletKeyStore> KWalletKeyStore::connect(const QString& daemon,
                                                          std::chrono::milliseconds timeout) {
    if (!QDBusConnection::sessionBus().isConnected())
        return nullptr;
    // Starts the daemon when the bus can; a user who switched the wallet off gets the next store.
    const QVariant enabled = WalletCalls(daemon).call(QStringLiteral("isEnabled"), {}, int(timeout.count()));
    if (!enabled.toBool())
        return nullptr;
    return std::unique_ptr<KWalletKeyStore>(new KWalletKeyStore(daemon, timeout));
}

KWalletKeyStore::KWalletKeyStore(QString daemon, std::chrono::milliseconds timeout)
    : m_daemon(std::move(daemon)), m_timeout(timeout) {}

QString KWalletKeyStore::name() const {
    return QStringLiteral("KWallet (org.kde.") + m_daemon + QLatin1Char(')');
}

QString KWalletKeyStore::location() const {
    return QStringLiteral("kwallet");
}

int KWalletKeyStore::write(const QString& service, const QString& account, const QByteArray& data) {
    return run(Operation::Write, service, account, data, nullptr);
}

int KWalletKeyStore::read(const QString& service, const QString& account, QByteArray* data) {
    return run(Operation::Read, service, account, {}, data);
}

int KWalletKeyStore::remove(const QString& service, const QString& account) {
    return run(Operation::Remove, service, account, {}, nullptr);
}

std::future<KeyStoreAnswer> KWalletKeyStore::readLater(const QString& service, const QString& account) {
    return start(Operation::Read, service, account, {});
}

std::future<KeyStoreAnswer> KWalletKeyStore::start(Operation operation, const QString& service,
                                                   const QString& account, const QByteArray& input) const {
    auto promise = std::make_shared<std::promise<KeyStoreAnswer>>();
    std::future<KeyStoreAnswer> future = promise->get_future();
    QMetaObject::invokeMethod(
        walletContext(),
        [daemon = m_daemon, operation, service, account, input, promise] {
            const WalletCalls wallet(daemon);
            const QString app = APP_DISPLAY_NAME;
            KeyStoreAnswer answer;
            answer.status = unavailable;
            const QString name = wallet.call(QStringLiteral("networkWallet"), {}).toString();
            // Opening a locked wallet or one not yet created waits for the user in kwalletd's
            // window; an open one answers at once.
            const QVariant opened = name.isEmpty() ? QVariant()
                                                   : wallet.call(QStringLiteral("open"),
                                                                 {name, qlonglong(0), app}, kWindowLimitMs);
            const int handle = opened.isValid() ? opened.toInt() : -1;
            if (opened.isValid() && handle < 0)
                answer.status = refused;
            if (handle < 0) {
                promise->set_value(std::move(answer));
                return;
            }
            const QVariantList entry{handle, service, account, app};
            const QVariant present = operation == Operation::Write
                                         ? QVariant(true)
                                         : wallet.call(QStringLiteral("hasEntry"), entry);
            if (!present.isValid()) {
                promise->set_value(std::move(answer));
                return;
            }
            if (!present.toBool()) {
                answer.status = KeyStoreStatus::itemNotFound;
                promise->set_value(std::move(answer));
                return;
            }
            QVariant result;
            switch (operation) {
            case Operation::Read:
                result = wallet.call(QStringLiteral("readPassword"), entry);
                answer.data = result.toString().toUtf8();
                answer.status = result.isValid() ? KeyStoreStatus::success : unavailable;
                break;
            case Operation::Write:
                result = wallet.call(QStringLiteral("writePassword"),
                                     {handle, service, account, QString::fromUtf8(input), app});
                answer.status =
                    result.isValid() && result.toInt() == 0 ? KeyStoreStatus::success : unavailable;
                break;
            case Operation::Remove:
                result = wallet.call(QStringLiteral("removeEntry"), entry);
                answer.status =
                    result.isValid() && result.toInt() == 0 ? KeyStoreStatus::success : unavailable;
                break;
            }
            if (operation != Operation::Read && answer.status == KeyStoreStatus::success)
                wallet.sync(handle);
            promise->set_value(std::move(answer));
        },
        Qt::QueuedConnection);
    return future;
}

int KWalletKeyStore::run(Operation operation, const QString& service, const QString& account,
                         const QByteArray& input, QByteArray* output) const {
    std::future<KeyStoreAnswer> future = start(operation, service, account, input);
    if (future.wait_for(m_timeout) != std::future_status::ready)
        return KeyStoreStatus::timedOut;
    KeyStoreAnswer answer = future.get();
    if (output && answer.status == KeyStoreStatus::success)
        *output = std::move(answer.data);
    return answer.status;
}
