#include "platform/freedesktop/SecretServiceKeyStore.h"

#include <qt6keychain/keychain.h>

#include <QThread>

#include <future>
#include <memory>

namespace {

int statusFor(QKeychain::Error error) {
    switch (error) {
    case QKeychain::NoError:
        return KeyStoreStatus::success;
    case QKeychain::EntryNotFound:
        return KeyStoreStatus::itemNotFound;
    default:
        return int(error); // QtKeychain's own code, as logged
    }
}

// Deliberately never stopped; see the class comment.
QObject* keyStoreContext() {
    static QObject* context = [] {
        auto* thread = new QThread;
        thread->setObjectName(QStringLiteral("vyrn-keystore"));
        auto* object = new QObject;
        object->moveToThread(thread);
        thread->start();
        return object;
    }();
    return context;
}

} // namespace

SecretServiceKeyStore::SecretServiceKeyStore(std::chrono::milliseconds timeout) : m_timeout(timeout) {}

QString SecretServiceKeyStore::name() const {
    return QStringLiteral("Secret Service (org.freedesktop.secrets)");
}

int SecretServiceKeyStore::write(const QString& service, const QString& account, const QByteArray& data) {
    return run(Operation::Write, service, account, data, nullptr);
}

int SecretServiceKeyStore::read(const QString& service, const QString& account, QByteArray* data) {
    return run(Operation::Read, service, account, {}, data);
}

int SecretServiceKeyStore::remove(const QString& service, const QString& account) {
    return run(Operation::Remove, service, account, {}, nullptr);
}

std::future<KeyStoreAnswer> SecretServiceKeyStore::readLater(const QString& service, const QString& account) {
    return start(Operation::Read, service, account, {});
}

std::future<KeyStoreAnswer> SecretServiceKeyStore::start(Operation operation, const QString& service,
                                                         const QString& account, const QByteArray& input) {
    // Shared with the job: a call that timed out must not leave it writing into a dead frame.
    auto promise = std::make_shared<std::promise<KeyStoreAnswer>>();
    std::future<KeyStoreAnswer> future = promise->get_future();
    QMetaObject::invokeMethod(
        keyStoreContext(),
        [operation, service, account, input, promise] {
            QKeychain::Job* job = nullptr;
            switch (operation) {
            case Operation::Write: {
                auto* write = new QKeychain::WritePasswordJob(service);
                // As text, so that the desktop's password manager shows the key as typed.
                write->setTextData(QString::fromUtf8(input));
                job = write;
                break;
            }
            case Operation::Read:
                job = new QKeychain::ReadPasswordJob(service);
                break;
            case Operation::Remove:
                job = new QKeychain::DeletePasswordJob(service);
                break;
            }
            job->setAutoDelete(true);
            job->setInsecureFallback(false);
            job->setKey(account);
            QObject::connect(job, &QKeychain::Job::finished, job, [promise](QKeychain::Job* finished) {
                KeyStoreAnswer result;
                result.status = statusFor(finished->error());
                if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(finished))
                    result.data = read->textData().toUtf8();
                promise->set_value(std::move(result));
            });
            job->start();
        },
        Qt::QueuedConnection);
    return future;
}

int SecretServiceKeyStore::run(Operation operation, const QString& service, const QString& account,
                               const QByteArray& input, QByteArray* output) {
    std::future<KeyStoreAnswer> future = start(operation, service, account, input);
    if (future.wait_for(m_timeout) != std::future_status::ready)
        return KeyStoreStatus::timedOut;
    KeyStoreAnswer result = future.get();
    if (output && result.status == KeyStoreStatus::success)
        *output = std::move(result.data);
    return result.status;
}
