#pragma once

#include "settings/KeyStoreBackend.h"

#include <chrono>

// The keys the keychain library saved through the Secret Service (attributes "user" = account
// and "server" = service), reached over plain D-Bus. On KDE Plasma the library itself reaches
// only the wallet, so keys saved there through the Secret Service are read and moved with this
// one. It never writes: nothing moves into it.
class SecretServiceItems final : public KeyStoreBackend {
public:
    explicit SecretServiceItems(std::chrono::milliseconds timeout = std::chrono::seconds(5));

    QString name() const override;
    QString location() const override;
    int write(const QString& service, const QString& account, const QByteArray& data) override;
    int read(const QString& service, const QString& account, QByteArray* data) override;
    int remove(const QString& service, const QString& account) override;
    std::future<KeyStoreAnswer> readLater(const QString& service, const QString& account) override;

    static constexpr int notWritable = -4;     // nothing is ever written here
    static constexpr int refused = -25293;     // the user dismissed the unlock prompt
    static constexpr int unavailable = -25291; // the service did not take the call

private:
    enum class Operation { Read, Remove };
    static std::future<KeyStoreAnswer> start(Operation operation, const QString& service,
                                             const QString& account);
    int run(Operation operation, const QString& service, const QString& account, QByteArray* output) const;

    std::chrono::milliseconds m_timeout;
};
