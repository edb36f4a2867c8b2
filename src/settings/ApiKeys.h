#pragma once

#include "settings/AIProvider.h"
#include "settings/KeyLookup.h"
#include "settings/KeyStore.h"

#include <QHash>

#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class PreferenceStore;

// The API keys in the key store chosen at this start, and which store holds each
// ("kavelin.keyLocation.<provider>"): a Secret Service that answers at one start and not at the
// next must not make a saved key look missing. A key found in another store this start can
// reach (the private key file, or the Secret Service while the KDE wallet is in use) moves into
// the store in use; never into the file. A key read once is kept for the session. Safe from any
// thread; the stores are asked without holding a lock for long.
class ApiKeys {
public:
    // `fileStore`: the private key file when `store` is a secure one; null when `store` is that
    // file itself. `otherStore`: a second secure store whose keys move into `store`, or null.
    ApiKeys(PreferenceStore& preferences, std::unique_ptr<KeyStoreBackend> store,
            std::unique_ptr<KeyStoreBackend> fileStore,
            std::unique_ptr<KeyStoreBackend> otherStore = nullptr);

    static QString account(AIProvider provider); // "kavelin.apikey.<raw>"
    const KeyStore& store() const { return m_store; }

    // The key, no key, or a store that cannot be asked. `wait`: how long a slow store is waited
    // for; without one, the store's own time-out.
    KeyLookup read(AIProvider provider, const KeyWait* wait = nullptr);
    // True when the store in use confirmed the key, or holds none once `key` is empty.
    bool save(const std::optional<QString>& key, AIProvider provider);
    // Drops the key kept in memory, e.g. once the service refused it.
    void forget(AIProvider provider);

private:
    KeyLookup readStores(AIProvider provider, const KeyWait* wait);
    KeyStore* storeAt(const QString& location);
    void moveIntoStore(AIProvider provider, KeyStore& from, const QString& key);
    void remember(AIProvider provider, const std::optional<QString>& key, quint64 changesSeen);
    void replace(AIProvider provider, const std::optional<QString>& key);

    PreferenceStore& m_preferences;
    KeyStore m_store;
    std::vector<std::unique_ptr<KeyStore>> m_others; // asked in this order after `m_store`
    // Saves and moves one at a time: a move must not put back a key that a save replaced.
    std::mutex m_writeLock;
    std::mutex m_cacheLock;
    QHash<AIProvider, QString> m_cached;
    quint64 m_changes = 0; // saves and drops, so that a read that began before one keeps nothing
};
