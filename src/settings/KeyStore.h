#pragma once

#include "settings/KeyLookup.h"
#include "settings/KeyStoreBackend.h"
#include "settings/KeyWait.h"

#include <QString>

#include <memory>

// API keys in the system key store, one item per account under `service`. Safe from any
// thread as far as the backend is.
class KeyStore {
public:
    static const QString service;

    // Without a backend every call fails as an unavailable store would.
    explicit KeyStore(std::unique_ptr<KeyStoreBackend> backend);
    ~KeyStore();

    // Shown in the start log line.
    QString name() const;
    QString location() const { return m_backend->location(); }
    // True only when the store confirmed the write; a store that did not answer in time failed.
    bool save(const QString& key, const QString& account) const;
    // Logs a failure of the store; "not found" is no failure.
    KeyLookup read(const QString& account) const;
    KeyLookup readQuietly(const QString& account) const;
    // Waits as `wait` says instead of the backend's own time-out.
    KeyLookup read(const QString& account, const KeyWait& wait) const;
    bool remove(const QString& account) const; // true when no item remains

private:
    static KeyLookup lookupOf(const KeyStoreAnswer& answer);
    KeyLookup logged(const KeyLookup& lookup, int status, const QString& account) const;

    std::unique_ptr<KeyStoreBackend> m_backend;
};
