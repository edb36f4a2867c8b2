#include "platform/freedesktop/SecretServiceItems.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <optional>

namespace {

const QString kService = QStringLiteral("org.freedesktop.secrets");
const QString kPath = QStringLiteral("/org/freedesktop/secrets");
const QString kServiceInterface = QStringLiteral("org.freedesktop.Secret.Service");
const QString kNoPrompt = QStringLiteral("/");
constexpr int kCallLimitMs = 25 * 1000;
constexpr int kPromptLimitMs = 10 * 60 * 1000;

using Attributes = QMap<QString, QString>;

// Deliberately never stopped, like the wallet's: an unlock prompt may still be open at quit.
QObject* itemsContext() {
    static QObject* context = [] {
        qDBusRegisterMetaType<Attributes>();
        auto* thread = new QThread;
        thread->setObjectName(QStringLiteral("vyrn-secrets"));
        auto* object = new QObject;
        object->moveToThread(thread);
        thread->start();
        return object;
    }();
    return context;
}

QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                  const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createMethodCall(kService, path, interface, method);
    message.setArguments(arguments);
    return QDBusConnection::sessionBus().call(message, QDBus::Block, kCallLimitMs);
}

bool answered(const QDBusMessage& reply, int values) {
    return reply.type() == QDBusMessage::ReplyMessage && reply.arguments().size() >= values;
}

QList<QDBusObjectPath> paths(const QVariant& value) {
    return qdbus_cast<QList<QDBusObjectPath>>(value);
}

// The end of one prompt of the service: Completed(dismissed, result).
class PromptWatch : public QObject {
    Q_OBJECT
public:
    bool dismissed = true;
    QEventLoop loop;
public Q_SLOTS:
    void completed(bool wasDismissed, const QDBusVariant&) {
        dismissed = wasDismissed;
        loop.quit();
    }
};

// Shows the service's prompt (an unlock dialog) and waits for the user. False when dismissed.
bool prompted(const QDBusObjectPath& prompt) {
    if (prompt.path() == kNoPrompt)
        return true;
    PromptWatch watch;
    QDBusConnection bus = QDBusConnection::sessionBus();
    const QString interface = QStringLiteral("org.freedesktop.Secret.Prompt");
    if (!bus.connect(kService, prompt.path(), interface, QStringLiteral("Completed"), &watch,
                     SLOT(completed(bool, QDBusVariant))))
        return false;
    if (!answered(call(prompt.path(), interface, QStringLiteral("Prompt"), {QString()}), 0))
        return false;
    QTimer::singleShot(kPromptLimitMs, &watch.loop, &QEventLoop::quit);
    watch.loop.exec();
    bus.disconnect(kService, prompt.path(), interface, QStringLiteral("Completed"), &watch,
                   SLOT(completed(bool, QDBusVariant)));
    return !watch.dismissed;
}

// The items saved for `account`, unlocked (the service may ask the user first). Null when the
// service could not be asked; `status` says why.
std::optional<QList<QDBusObjectPath>> unlockedItems(const QString& service, const QString& account,
                                                    int* status) {
    *status = SecretServiceItems::unavailable;
    const Attributes attributes{{QStringLiteral("user"), account}, {QStringLiteral("server"), service}};
    const QDBusMessage found =
        call(kPath, kServiceInterface, QStringLiteral("SearchItems"), {QVariant::fromValue(attributes)});
    if (!answered(found, 2))
        return std::nullopt;
    QList<QDBusObjectPath> items = paths(found.arguments().at(0));
    const QList<QDBusObjectPath> locked = paths(found.arguments().at(1));
    if (!locked.isEmpty()) {
        const QDBusMessage unlocked =
            call(kPath, kServiceInterface, QStringLiteral("Unlock"), {QVariant::fromValue(locked)});
        if (!answered(unlocked, 2))
            return std::nullopt;
        if (!prompted(unlocked.arguments().at(1).value<QDBusObjectPath>())) {
            *status = SecretServiceItems::refused;
            return std::nullopt;
        }
        items += locked;
    }
    *status = items.isEmpty() ? KeyStoreStatus::itemNotFound : KeyStoreStatus::success;
    return items;
}

KeyStoreAnswer readItem(const QDBusObjectPath& item) {
    KeyStoreAnswer answer;
    answer.status = SecretServiceItems::unavailable;
    // Plain transfer: the secret crosses the session bus only, as with every local client.
    const QDBusMessage session =
        call(kPath, kServiceInterface, QStringLiteral("OpenSession"),
             {QStringLiteral("plain"), QVariant::fromValue(QDBusVariant(QString()))});
    if (!answered(session, 2))
        return answer;
    const QDBusObjectPath sessionPath = session.arguments().at(1).value<QDBusObjectPath>();
    const QDBusMessage secret = call(item.path(), QStringLiteral("org.freedesktop.Secret.Item"),
                                     QStringLiteral("GetSecret"), {QVariant::fromValue(sessionPath)});
    call(sessionPath.path(), QStringLiteral("org.freedesktop.Secret.Session"), QStringLiteral("Close"), {});
    if (!answered(secret, 1))
        return answer;
    const QDBusArgument value = secret.arguments().at(0).value<QDBusArgument>();
    QDBusObjectPath ignoredSession;
    QByteArray parameters;
    QString contentType;
    value.beginStructure();
    value >> ignoredSession >> parameters >> answer.data >> contentType;
    value.endStructure();
    answer.status = KeyStoreStatus::success;
    return answer;
}

int removeItem(const QDBusObjectPath& item) {
    const QDBusMessage removed =
        call(item.path(), QStringLiteral("org.freedesktop.Secret.Item"), QStringLiteral("Delete"), {});
    if (!answered(removed, 1))
        return SecretServiceItems::unavailable;
    return prompted(removed.arguments().at(0).value<QDBusObjectPath>()) ? KeyStoreStatus::success
                                                                        : SecretServiceItems::refused;
}

} // namespace

SecretServiceItems::SecretServiceItems(std::chrono::milliseconds timeout) : m_timeout(timeout) {}

QString SecretServiceItems::name() const {
    return QStringLiteral("Secret Service (") + kService + QLatin1Char(')');
}

QString SecretServiceItems::location() const {
    return QStringLiteral("secretService");
}

int SecretServiceItems::write(const QString&, const QString&, const QByteArray&) {
    return notWritable;
}

int SecretServiceItems::read(const QString& service, const QString& account, QByteArray* data) {
    return run(Operation::Read, service, account, data);
}

int SecretServiceItems::remove(const QString& service, const QString& account) {
    return run(Operation::Remove, service, account, nullptr);
}

std::future<KeyStoreAnswer> SecretServiceItems::readLater(const QString& service, const QString& account) {
    return start(Operation::Read, service, account);
}

std::future<KeyStoreAnswer> SecretServiceItems::start(Operation operation, const QString& service,
                                                      const QString& account) {
    auto promise = std::make_shared<std::promise<KeyStoreAnswer>>();
    std::future<KeyStoreAnswer> future = promise->get_future();
    QMetaObject::invokeMethod(
        itemsContext(),
        [operation, service, account, promise] {
            KeyStoreAnswer answer;
            const std::optional<QList<QDBusObjectPath>> items =
                unlockedItems(service, account, &answer.status);
            if (items && !items->isEmpty()) {
                if (operation == Operation::Read) {
                    answer = readItem(items->constFirst());
                } else {
                    for (const QDBusObjectPath& item : *items) {
                        answer.status = removeItem(item);
                        if (answer.status != KeyStoreStatus::success)
                            break;
                    }
                }
            }
            promise->set_value(std::move(answer));
        },
        Qt::QueuedConnection);
    return future;
}

int SecretServiceItems::run(Operation operation, const QString& service, const QString& account,
                            QByteArray* output) const {
    std::future<KeyStoreAnswer> future = start(operation, service, account);
    if (future.wait_for(m_timeout) != std::future_status::ready)
        return KeyStoreStatus::timedOut;
    KeyStoreAnswer answer = future.get();
    if (output && answer.status == KeyStoreStatus::success)
        *output = std::move(answer.data);
    return answer.status;
}

#include "SecretServiceItems.moc"
