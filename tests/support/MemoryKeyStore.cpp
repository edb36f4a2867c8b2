#include "support/MemoryKeyStore.h"

namespace {
QString itemName(const QString& service, const QString& account) {
    return service + QLatin1Char('\n') + account;
}
} // namespace

int MemoryKeyStore::write(const QString& service, const QString& account, const QByteArray& data) {
    QMutexLocker lock(&m_mutex);
    if (m_failure != KeychainStatus::success)
        return m_failure;
    m_items.insert(itemName(service, account), data);
    return KeychainStatus::success;
}

int MemoryKeyStore::read(const QString& service, const QString& account, QByteArray* data) {
    QMutexLocker lock(&m_mutex);
    if (m_failure != KeychainStatus::success)
        return m_failure;
    const auto it = m_items.constFind(itemName(service, account));
    if (it == m_items.constEnd())
        return KeychainStatus::itemNotFound;
    *data = *it;
    return KeychainStatus::success;
}

int MemoryKeyStore::remove(const QString& service, const QString& account) {
    QMutexLocker lock(&m_mutex);
    if (m_failure != KeychainStatus::success)
        return m_failure;
    return m_items.remove(itemName(service, account)) > 0 ? KeychainStatus::success
                                                          : KeychainStatus::itemNotFound;
}

void MemoryKeyStore::failWith(int status) {
    QMutexLocker lock(&m_mutex);
    m_failure = status;
}
