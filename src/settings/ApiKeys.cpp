#include "settings/ApiKeys.h"

#include "base/Logger.h"
#include "settings/PreferenceStore.h"

namespace {

const QString kFile = QStringLiteral("file");

QString locationKey(AIProvider provider) {
    return QStringLiteral("kavelin.keyLocation.") + AIProviders::rawValue(provider);
}

// How the log and the user name a store by its recorded location.
QString placeName(const QString& location) {
    if (location == QLatin1String("secretService"))
        return QStringLiteral("Secret Service");
    if (location == QLatin1String("kwallet"))
        return QStringLiteral("KWallet");
    if (location == kFile)
        return QStringLiteral("密钥文件");
    return location;
}

} // namespace

ApiKeys::ApiKeys(PreferenceStore& preferences, std::unique_ptr<KeyStoreBackend> store,
                 std::unique_ptr<KeyStoreBackend> fileStore, std::unique_ptr<KeyStoreBackend> otherStore)
    : m_preferences(preferences), m_store(std::move(store)) {
    if (otherStore)
        m_others.push_back(std::make_unique<KeyStore>(std::move(otherStore)));
    if (fileStore)
        m_others.push_back(std::make_unique<KeyStore>(std::move(fileStore)));
}

QString ApiKeys::account(AIProvider provider) {
    return QStringLiteral("kavelin.apikey.") + AIProviders::rawValue(provider);
}

KeyLookup ApiKeys::read(AIProvider provider, const KeyWait* wait) {
    quint64 changesSeen = 0;
    {
        std::lock_guard guard(m_cacheLock);
        if (const auto it = m_cached.constFind(provider); it != m_cached.constEnd())
            return KeyLookup::found(*it);
        changesSeen = m_changes;
    }
    const KeyLookup lookup = readStores(provider, wait);
    remember(provider, lookup.key(), changesSeen);
    return lookup;
}

KeyStore* ApiKeys::storeAt(const QString& location) {
    if (m_store.location() == location)
        return &m_store;
    for (const std::unique_ptr<KeyStore>& other : m_others) {
        if (other->location() == location)
            return other.get();
    }
    return nullptr;
}

KeyLookup ApiKeys::readStores(AIProvider provider, const KeyWait* wait) {
    const QString name = account(provider);
    const std::optional<QString> recorded = m_preferences.text(locationKey(provider));
    KeyStore* holder = recorded ? storeAt(*recorded) : nullptr;
    // The recorded store first, then the one in use (earlier versions recorded the keychain
    // library's store as "secretService" even where it was the KDE wallet). A key saved before
    // locations were recorded may be in any store.
    std::vector<KeyStore*> order;
    if (holder)
        order.push_back(holder);
    if (holder != &m_store)
        order.push_back(&m_store);
    if (!recorded) {
        for (const std::unique_ptr<KeyStore>& other : m_others)
            order.push_back(other.get());
    }
    KeyLookup result = KeyLookup::notFound();
    for (KeyStore* store : order) {
        const KeyLookup lookup =
            wait && store == order.front() ? store->read(name, *wait) : store->read(name);
        if (const std::optional<QString> key = lookup.key()) {
            if (store != &m_store)
                moveIntoStore(provider, *store, *key);
            else if (recorded && *recorded != m_store.location())
                m_preferences.setValue(locationKey(provider), m_store.location());
            return lookup;
        }
        const bool givenUp = wait && wait->stillWanted && !wait->stillWanted();
        if (lookup.isStoreUnavailable() && (recorded || givenUp))
            return lookup;
        // Another store that cannot be asked does not make a missing key look unreachable.
        if (lookup.isStoreUnavailable() && store == &m_store)
            result = lookup;
    }
    if (recorded && !holder)
        return KeyLookup::storeUnavailable(
            QStringLiteral("Key 保存在 ") + placeName(*recorded) +
            QStringLiteral("，VYRN 启动时它没有响应；它可用后请重新启动 VYRN"));
    return result;
}

void ApiKeys::moveIntoStore(AIProvider provider, KeyStore& from, const QString& key) {
    std::lock_guard guard(m_writeLock);
    const QString name = account(provider);
    // A save since `from` was read has removed the copy there and must win. Nothing leaves a
    // secure store for the file.
    if (m_store.location() == kFile || from.readQuietly(name) != KeyLookup::found(key) ||
        !m_store.save(key, name))
        return; // stays where it is, where the next read finds it again
    m_preferences.setValue(locationKey(provider), m_store.location());
    from.remove(name);
    logi(QStringLiteral("迁移：") + AIProviders::displayName(provider) + QStringLiteral(" Key 从") +
         placeName(from.location()) + QStringLiteral(" → ") + placeName(m_store.location()));
}

bool ApiKeys::save(const std::optional<QString>& key, AIProvider provider) {
    std::lock_guard guard(m_writeLock);
    const QString name = account(provider);
    if (!key || key->isEmpty()) {
        // Nothing can remove a key from a store this start cannot reach.
        const std::optional<QString> recorded = m_preferences.text(locationKey(provider));
        const bool unreachable = recorded && !storeAt(*recorded);
        bool removed = m_store.remove(name);
        for (const std::unique_ptr<KeyStore>& other : m_others)
            removed = other->remove(name) && removed;
        if (!removed || unreachable)
            return false;
        m_preferences.remove(locationKey(provider));
        replace(provider, std::nullopt);
        return true;
    }
    if (!m_store.save(*key, name))
        return false;
    m_preferences.setValue(locationKey(provider), m_store.location());
    // An older copy left elsewhere would move back over this key.
    for (const std::unique_ptr<KeyStore>& other : m_others)
        other->remove(name);
    replace(provider, key);
    return true;
}

void ApiKeys::forget(AIProvider provider) {
    replace(provider, std::nullopt);
}

// Only when no save or drop came while the read ran: it may have found the older key.
void ApiKeys::remember(AIProvider provider, const std::optional<QString>& key, quint64 changesSeen) {
    std::lock_guard guard(m_cacheLock);
    if (key && !key->isEmpty() && m_changes == changesSeen)
        m_cached.insert(provider, *key);
}

void ApiKeys::replace(AIProvider provider, const std::optional<QString>& key) {
    std::lock_guard guard(m_cacheLock);
    ++m_changes;
    if (key)
        m_cached.insert(provider, *key);
    else
        m_cached.remove(provider);
}
