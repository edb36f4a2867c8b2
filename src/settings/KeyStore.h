#pragma once

#include "settings/KeyLookup.h"
#include "settings/KeyStoreBackend.h"

#include <QString>

#include <memory>

// API keys in the system key store, one item per account under `service`.
class KeyStore {
public:
    static const QString service;

    // True only when the store confirmed the write; a store that did not answer in time failed.
    static bool save(const QString& key, const QString& account);
    // Logs a failure of the store; "not found" is no failure.
    static KeyLookup read(const QString& account);
    static KeyLookup readQuietly(const QString& account);
    static bool remove(const QString& account); // true when no item remains

    // The store in use; set once at start (tests install their own).
    static void setBackend(std::unique_ptr<KeyStoreBackend> backend);

private:
    static int readStatus(const QString& account, KeyLookup* lookup);
};
