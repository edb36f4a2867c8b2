#pragma once

#include <QByteArray>
#include <QString>

#include <future>

// Status codes of the key store, as the log lines print them.
namespace KeyStoreStatus {
constexpr int success = 0;
constexpr int itemNotFound = -25300;
constexpr int timedOut = -25316;  // the store did not answer within its time-out
constexpr int cancelled = -25317; // the caller stopped waiting for the answer
} // namespace KeyStoreStatus

struct KeyStoreAnswer {
    int status = KeyStoreStatus::success;
    QByteArray data;
};

// A place that keeps secrets by account name under one service. Implementations
// live in the platform layer (Secret Service, a private file).
class KeyStoreBackend {
public:
    virtual ~KeyStoreBackend() = default;
    // Shown in the start log line.
    virtual QString name() const = 0;
    // Recorded in the preferences for each key it holds: "secretService", "kwallet", "file".
    virtual QString location() const = 0;
    virtual int write(const QString& service, const QString& account, const QByteArray& data) = 0;
    virtual int read(const QString& service, const QString& account, QByteArray* data) = 0;
    virtual int remove(const QString& service, const QString& account) = 0;
    // A read without read()'s time-out, for a caller that waits as long as it likes (a keyring
    // answers only once the user has typed its password into the unlock prompt). The answer
    // may come after the caller gave up on it. By default read() itself.
    virtual std::future<KeyStoreAnswer> readLater(const QString& service, const QString& account) {
        std::promise<KeyStoreAnswer> answer;
        KeyStoreAnswer result;
        result.status = read(service, account, &result.data);
        answer.set_value(std::move(result));
        return answer.get_future();
    }
};
