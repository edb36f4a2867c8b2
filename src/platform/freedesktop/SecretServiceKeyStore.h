#pragma once

#include "settings/KeyStoreBackend.h"

#include <chrono>

// The desktop's Secret Service through QtKeychain. Its jobs are asynchronous and
// need an event loop, and a locked keyring may open a prompt that never returns,
// so every call runs on one keystore thread and the caller waits a bounded time.
// The thread lives for the whole process: libsecret binds its connection to the
// first thread that used it, and calls from any other context never complete.
class SecretServiceKeyStore final : public KeyStoreBackend {
public:
    // Not on KDE Plasma: there QtKeychain reaches the wallet instead (KWalletKeyStore).
    explicit SecretServiceKeyStore(std::chrono::milliseconds timeout = std::chrono::seconds(5));

    QString name() const override;
    QString location() const override { return QStringLiteral("secretService"); }
    int write(const QString& service, const QString& account, const QByteArray& data) override;
    int read(const QString& service, const QString& account, QByteArray* data) override;
    int remove(const QString& service, const QString& account) override;
    std::future<KeyStoreAnswer> readLater(const QString& service, const QString& account) override;

private:
    enum class Operation { Write, Read, Remove };
    static std::future<KeyStoreAnswer> start(Operation operation, const QString& service,
                                             const QString& account, const QByteArray& input);
    int run(Operation operation, const QString& service, const QString& account, const QByteArray& input,
            QByteArray* output);

    std::chrono::milliseconds m_timeout;
};
