#pragma once

#include "settings/KeyStoreBackend.h"

#include <QHash>
#include <QMutex>

#include <functional>
#include <memory>

// An in-memory key store whose failures a test can script.
class FakeKeyStore final : public KeyStoreBackend {
public:
    QString name() const override { return QStringLiteral("fake"); }
    QString location() const override { return place; }

    int write(const QString& service, const QString& account, const QByteArray& data) override {
        QMutexLocker lock(&mutex);
        ++writes;
        if (writeStatus != KeyStoreStatus::success)
            return writeStatus;
        items.insert(service + QLatin1Char('/') + account, data);
        return KeyStoreStatus::success;
    }
    int read(const QString& service, const QString& account, QByteArray* data) override {
        if (beforeRead)
            beforeRead(); // outside the mutex, as a slow store would be
        QMutexLocker lock(&mutex);
        if (readStatus != KeyStoreStatus::success)
            return readStatus;
        const auto it = items.constFind(service + QLatin1Char('/') + account);
        if (it == items.constEnd())
            return KeyStoreStatus::itemNotFound;
        *data = *it;
        return KeyStoreStatus::success;
    }
    int remove(const QString& service, const QString& account) override {
        QMutexLocker lock(&mutex);
        if (removeStatus != KeyStoreStatus::success)
            return removeStatus;
        return items.remove(service + QLatin1Char('/') + account) ? KeyStoreStatus::success
                                                                  : KeyStoreStatus::itemNotFound;
    }

    // On a thread of its own, so that a read held up by `beforeRead` answers late.
    std::future<KeyStoreAnswer> readLater(const QString& service, const QString& account) override {
        return std::async(std::launch::async, [this, service, account] {
            KeyStoreAnswer answer;
            answer.status = read(service, account, &answer.data);
            return answer;
        });
    }

    // A backend for one SettingsManager that acts on this store, which the test keeps.
    std::unique_ptr<KeyStoreBackend> share() {
        class Shared final : public KeyStoreBackend {
        public:
            explicit Shared(FakeKeyStore& store) : m_store(store) {}
            QString name() const override { return m_store.name(); }
            QString location() const override { return m_store.location(); }
            int write(const QString& s, const QString& a, const QByteArray& d) override {
                return m_store.write(s, a, d);
            }
            int read(const QString& s, const QString& a, QByteArray* d) override {
                return m_store.read(s, a, d);
            }
            int remove(const QString& s, const QString& a) override { return m_store.remove(s, a); }
            std::future<KeyStoreAnswer> readLater(const QString& s, const QString& a) override {
                return m_store.readLater(s, a);
            }

        private:
            FakeKeyStore& m_store;
        };
        return std::make_unique<Shared>(*this);
    }

    QString place = QStringLiteral("secretService");
    QMutex mutex;
    QHash<QString, QByteArray> items; // "service/account" -> data
    int writeStatus = KeyStoreStatus::success;
    int readStatus = KeyStoreStatus::success;
    int removeStatus = KeyStoreStatus::success;
    int writes = 0;
    // Runs at the start of every read, for example to hold it up the way a locked keyring does.
    std::function<void()> beforeRead;
};
