#pragma once

#include "settings/KeyStoreBackend.h"

#include <QString>

#include <chrono>
#include <memory>

// KDE's wallet, asked over D-Bus. Each secret is a password entry named by its account in the
// folder named by the service: where the keychain library kept them on KDE, so keys saved
// through it are found. A wallet that is locked or not yet created makes kwalletd show its own
// window and answer only once the user is done with it, so every call runs on one wallet
// thread and the caller waits as long as it chooses.
class KWalletKeyStore final : public KeyStoreBackend {
public:
    // The wallet daemon of a Plasma session ("kwalletd5", "kwalletd6") when it answers and the
    // wallet is enabled; null otherwise. Asks the bus, bounded.
    static std::unique_ptr<KWalletKeyStore>
    connect(const QString& daemon, std::chrono::milliseconds timeout = std::chrono::seconds(5));

    QString name() const override;
    QString location() const override;
    int write(const QString& service, const QString& account, const QByteArray& data) override;
    int read(const QString& service, const QString& account, QByteArray* data) override;
    int remove(const QString& service, const QString& account) override;
    std::future<KeyStoreAnswer> readLater(const QString& service, const QString& account) override;

    static constexpr int refused = -25293;     // the user closed the wallet's window
    static constexpr int unavailable = -25291; // the daemon did not take the call

private:
    KWalletKeyStore(QString daemon, std::chrono::milliseconds timeout);
    enum class Operation { Write, Read, Remove };
    std::future<KeyStoreAnswer> start(Operation operation, const QString& service, const QString& account,
                                      const QByteArray& input) const;
    int run(Operation operation, const QString& service, const QString& account, const QByteArray& input,
            QByteArray* output) const;

    QString m_daemon;
    std::chrono::milliseconds m_timeout;
};
