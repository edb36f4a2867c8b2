#pragma once

#include <QByteArray>
#include <QString>

// Status codes of the key store, as the log lines print them.
namespace KeyStoreStatus {
constexpr int success = 0;
constexpr int itemNotFound = -25300;
constexpr int timedOut = -25316; // the store did not answer within its time-out
} // namespace KeyStoreStatus

// A place that keeps secrets by account name under one service. Implementations
// live in the platform layer (Secret Service, a private file).
class KeyStoreBackend {
public:
    virtual ~KeyStoreBackend() = default;
    // Shown in the start log line.
    virtual QString name() const = 0;
    virtual int write(const QString& service, const QString& account, const QByteArray& data) = 0;
    virtual int read(const QString& service, const QString& account, QByteArray* data) = 0;
    virtual int remove(const QString& service, const QString& account) = 0;
};
