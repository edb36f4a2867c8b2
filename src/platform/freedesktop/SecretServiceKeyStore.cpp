#include "platform/freedesktop/SecretServiceKeyStore.h"

#include <qt6keychain/keychain.h>

#include <future>
#include <memory>

namespace {

struct Result {
    int status = KeychainStatus::success;
    QByteArray data;
};

int statusFor(QKeychain::Error error) {
    switch (error) {
    case QKeychain::NoError:
        return KeychainStatus::success;
    case QKeychain::EntryNotFound:
        return KeychainStatus::itemNotFound;
    default:
        return int(error); // QtKeychain's own code, as logged
    }
}

} // namespace

SecretServiceKeyStore::SecretServiceKeyStore(std::chrono::milliseconds timeout) : m_timeout(timeout) {
    m_thread.setObjectName(QStringLiteral("vyrn-keystore"));
    m_context = new QObject;
    m_context->moveToThread(&m_thread);
    QObject::connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.start();
}

SecretServiceKeyStore::~SecretServiceKeyStore() {
    m_thread.quit();
    m_thread.wait();
}

QString SecretServiceKeyStore::name() const { return QStringLiteral("Secret Service (org.freedesktop.secrets)"); }

int SecretServiceKeyStore::write(const QString& service, const QString& account, const QByteArray& data) {
    return run(Operation::Write, service, account, data, nullptr);
}

int SecretServiceKeyStore::read(const QString& service, const QString& account, QByteArray* data) {
    return run(Operation::Read, service, account, {}, data);
}

int SecretServiceKeyStore::remove(const QString& service, const QString& account) {
    return run(Operation::Remove, service, account, {}, nullptr);
}

int SecretServiceKeyStore::run(Operation operation, const QString& service, const QString& account,
                               const QByteArray& input, QByteArray* output) {
    // Shared with the job: a call that timed out must not leave it writing into a dead frame.
    auto promise = std::make_shared<std::promise<Result>>();
    std::future<Result> future = promise->get_future();
    QMetaObject::invokeMethod(
        m_context,
        [operation, service, account, input, promise] {
            QKeychain::Job* job = nullptr;
            switch (operation) {
            case Operation::Write: {
                auto* write = new QKeychain::WritePasswordJob(service);
                write->setBinaryData(input);
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
                Result result;
                result.status = statusFor(finished->error());
                if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(finished))
                    result.data = read->binaryData();
                promise->set_value(std::move(result));
            });
            job->start();
        },
        Qt::QueuedConnection);

    if (future.wait_for(m_timeout) != std::future_status::ready)
        return KeychainStatus::timedOut;
    Result result = future.get();
    if (output && result.status == KeychainStatus::success)
        *output = std::move(result.data);
    return result.status;
}
