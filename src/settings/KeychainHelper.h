#pragma once

#include "settings/KeyStoreBackend.h"

#include <QString>

#include <memory>
#include <optional>

// API keys in the system key store, one item per account under `service`.
class KeychainHelper {
public:
    static const QString service;

    static bool save(const QString& key, const QString& account);
    static std::optional<QString> read(const QString& account);
    // The stored key, or nothing on any failure, without a log line.
    static std::optional<QString> readQuietly(const QString& account);
    static bool remove(const QString& account); // true when no item remains

    // The store in use; set once at start (tests install their own).
    static void setBackend(std::unique_ptr<KeyStoreBackend> backend);

private:
    static int readStatus(const QString& account, std::optional<QString>* key);
};
