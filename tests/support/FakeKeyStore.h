#pragma once

#include "settings/KeyStoreBackend.h"

#include <QHash>
#include <QMutex>

#include <functional>

// An in-memory key store whose failures a test can script.
class FakeKeyStore final : public KeyStoreBackend {
public:
    QString name() const override { return QStringLiteral("fake"); }

    int write(const QString& service, const QString& account, const QByteArray& data) override {
        QMutexLocker lock(&mutex);
        ++writes;
        if (writeStatus != KeychainStatus::success)
            return writeStatus;
        items.insert(service + QLatin1Char('/') + account, data);
        return KeychainStatus::success;
    }
    int read(const QString& service, const QString& account, QByteArray* data) override {
        if (beforeRead)
            beforeRead(); // outside the mutex, as a slow store would be
        QMutexLocker lock(&mutex);
        if (readStatus != KeychainStatus::success)
            return readStatus;
        const auto it = items.constFind(service + QLatin1Char('/') + account);
        if (it == items.constEnd())
            return KeychainStatus::itemNotFound;
        *data = *it;
        return KeychainStatus::success;
    }
    int remove(const QString& service, const QString& account) override {
        QMutexLocker lock(&mutex);
        if (removeStatus != KeychainStatus::success)
            return removeStatus;
        return items.remove(service + QLatin1Char('/') + account) ? KeychainStatus::success
                                                                  : KeychainStatus::itemNotFound;
    }

    QMutex mutex;
    QHash<QString, QByteArray> items; // "service/account" -> data
    int writeStatus = KeychainStatus::success;
    int readStatus = KeychainStatus::success;
    int removeStatus = KeychainStatus::success;
    int writes = 0;
    // Runs at the start of every read, for example to hold it up the way a locked keyring does.
    std::function<void()> beforeRead;
};
