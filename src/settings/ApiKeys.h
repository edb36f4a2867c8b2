#pragma once

#include "settings/AIProvider.h"
#include "settings/KeyLookup.h"
#include "settings/KeyStore.h"

#include <QHash>

#include <memory>
#include <mutex>
#include <optional>

class PreferenceStore;

// The API keys in the key store chosen at this start, and which store holds each
// ("kavelin.keyLocation.<provider>"): a Secret Service that answers at one start and not at the
// next must not make a saved key look missing. A key found in the private key file while the
// Secret Service is in use moves into it; never the other way. A key read once is kept for the
// session. Safe from any thread; the stores are asked without holding a lock for long.
class ApiKeys {
public:
    // `fileStore`: the private key file when `store` is the Secret Service; null when `store`
    // is that file itself.
    ApiKeys(PreferenceStore& preferences, std::unique_ptr<KeyStoreBackend> store,
            std::unique_ptr<KeyStoreBackend> fileStore);

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
    void moveIntoStore(AIProvider provider, const QString& key);
    void remember(AIProvider provider, const std::optional<QString>& key, quint64 changesSeen);
    void replace(AIProvider provider, const std::optional<QString>& key);

    PreferenceStore& m_preferences;
    KeyStore m_store;
    std::unique_ptr<KeyStore> m_fileStore;
    // Saves and moves one at a time: a move must not put back a key that a save replaced.
    std::mutex m_writeLock;
    std::mutex m_cacheLock;
    QHash<AIProvider, QString> m_cached;
    quint64 m_changes = 0; // saves and drops, so that a read that began before one keeps nothing
};
