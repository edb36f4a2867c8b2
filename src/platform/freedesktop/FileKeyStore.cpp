#include "platform/freedesktop/FileKeyStore.h"

#include "base/AtomicFile.h"
#include "base/Logger.h"

#include <QFile>
#include <QJsonDocument>

FileKeyStore::FileKeyStore(QString filePath) : m_path(std::move(filePath)) {
    AtomicFile::removeStaleTemporaries(m_path);
}

QString FileKeyStore::name() const {
    return QStringLiteral("未找到 Secret Service，使用仅本用户可读的文件 ") + m_path;
}

QString FileKeyStore::itemName(const QString& service, const QString& account) {
    return service + QLatin1Char('/') + account;
}

int FileKeyStore::loadLocked(QJsonObject* items) {
    QFile file(m_path);
    if (!file.exists()) {
        *items = {};
        return KeyStoreStatus::success;
    }
    if (!file.open(QIODevice::ReadOnly))
        return ioError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    file.close();
    if (document.isObject()) {
        *items = document.object();
        return KeyStoreStatus::success;
    }
    // Kept for the user rather than overwritten; until it is moved away no key could ever be
    // saved again.
    const QString aside = AtomicFile::moveAside(m_path);
    if (aside.isEmpty()) {
        loge(QStringLiteral("密钥文件无法读取，且无法移走: ") + m_path);
        return ioError;
    }
    loge(QStringLiteral("密钥文件无法读取，已移至 ") + aside +
         QStringLiteral("；请在偏好设置中重新填写 API Key"));
    *items = {};
    return KeyStoreStatus::success;
}

int FileKeyStore::saveLocked(const QJsonObject& items) {
    // Owner-only from the moment the temporary file exists; flushed, as key changes are rare
    // and a file emptied by a power loss would lose every key.
    AtomicFile::WriteOptions options;
    options.durable = true;
    return AtomicFile::write(m_path, QJsonDocument(items).toJson(QJsonDocument::Compact), options, nullptr)
               ? KeyStoreStatus::success
               : ioError;
}

int FileKeyStore::write(const QString& service, const QString& account, const QByteArray& data) {
    std::lock_guard guard(m_mutex);
    QJsonObject items;
    if (const int status = loadLocked(&items); status != KeyStoreStatus::success)
        return status;
    items.insert(itemName(service, account), QString::fromLatin1(data.toBase64()));
    return saveLocked(items);
}

int FileKeyStore::read(const QString& service, const QString& account, QByteArray* data) {
    std::lock_guard guard(m_mutex);
    QJsonObject items;
    if (const int status = loadLocked(&items); status != KeyStoreStatus::success)
        return status;
    const QJsonValue value = items.value(itemName(service, account));
    if (!value.isString())
        return KeyStoreStatus::itemNotFound;
    *data = QByteArray::fromBase64(value.toString().toLatin1());
    return KeyStoreStatus::success;
}

int FileKeyStore::remove(const QString& service, const QString& account) {
    std::lock_guard guard(m_mutex);
    QJsonObject items;
    if (const int status = loadLocked(&items); status != KeyStoreStatus::success)
        return status;
    if (!items.contains(itemName(service, account)))
        return KeyStoreStatus::itemNotFound;
    items.remove(itemName(service, account));
    return saveLocked(items);
}
