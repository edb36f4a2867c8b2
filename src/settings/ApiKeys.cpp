#include "settings/ApiKeys.h"

#include "base/Logger.h"
#include "settings/PreferenceStore.h"

namespace {

const QString kSecretService = QStringLiteral("secretService");
const QString kFile = QStringLiteral("file");

QString locationKey(AIProvider provider) {
    return QStringLiteral("kavelin.keyLocation.") + AIProviders::rawValue(provider);
}

} // namespace

ApiKeys::ApiKeys(PreferenceStore& preferences, std::unique_ptr<KeyStoreBackend> store,
                 std::unique_ptr<KeyStoreBackend> fileStore)
    : m_preferences(preferences), m_store(std::move(store)),
      m_fileStore(fileStore ? std::make_unique<KeyStore>(std::move(fileStore)) : nullptr) {}

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

KeyLookup ApiKeys::readStores(AIProvider provider, const KeyWait* wait) {
    const std::optional<QString> location = m_preferences.text(locationKey(provider));
    KeyLookup lookup = KeyLookup::notFound();
    if (!(location == kFile && m_fileStore)) {
        // It is in a Secret Service that did not answer when this start chose its store.
        if (location == kSecretService && !m_fileStore)
            return KeyLookup::storeUnavailable(
                QStringLiteral("Key 保存在 Secret Service，VYRN 启动时它没有响应；它可用后请重新启动 VYRN"));
        lookup = wait ? m_store.read(account(provider), *wait) : m_store.read(account(provider));
        // Keys saved before locations were recorded may still be in the file.
        if (lookup.key() || location || !m_fileStore)
            return lookup;
    }
    const KeyLookup inFile = m_fileStore->read(account(provider));
    if (!inFile.key())
        return lookup.isStoreUnavailable() ? lookup : inFile;
    moveIntoStore(provider, *inFile.key());
    return inFile;
}

void ApiKeys::moveIntoStore(AIProvider provider, const QString& key) {
    std::lock_guard guard(m_writeLock);
    // A save since the file was read has removed the copy there and must win.
    if (m_fileStore->readQuietly(account(provider)) != KeyLookup::found(key) ||
        !m_store.save(key, account(provider)))
        return; // stays in the file, where the next read finds it again
    m_preferences.setValue(locationKey(provider), kSecretService);
    m_fileStore->remove(account(provider));
    logi(QStringLiteral("迁移：") + AIProviders::displayName(provider) +
         QStringLiteral(" Key 从密钥文件 → Secret Service"));
}

bool ApiKeys::save(const std::optional<QString>& key, AIProvider provider) {
    std::lock_guard guard(m_writeLock);
    const QString name = account(provider);
    if (!key || key->isEmpty()) {
        // Nothing can remove a key from a Secret Service that is not in use.
        const bool unreachable = m_preferences.text(locationKey(provider)) == kSecretService && !m_fileStore;
        const bool removed = m_store.remove(name) && (!m_fileStore || m_fileStore->remove(name));
        if (!removed || unreachable)
            return false;
        m_preferences.remove(locationKey(provider));
        replace(provider, std::nullopt);
        return true;
    }
    if (!m_store.save(*key, name))
        return false;
    m_preferences.setValue(locationKey(provider), m_fileStore ? kSecretService : kFile);
    if (m_fileStore)
        m_fileStore->remove(name); // an older copy left there would move back over this key
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
