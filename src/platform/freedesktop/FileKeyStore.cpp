#include "platform/freedesktop/FileKeyStore.h"

#include "app/AtomicFile.h"

#include <QFile>
#include <QJsonDocument>

FileKeyStore::FileKeyStore(QString filePath) : m_path(std::move(filePath)) {}

QString FileKeyStore::name() const {
    return QStringLiteral("未找到 Secret Service，使用仅本用户可读的文件 ") + m_path;
}

QString FileKeyStore::itemName(const QString& service, const QString& account) {
    return service + QLatin1Char('/') + account;
}

int FileKeyStore::loadLocked(QJsonObject* items) const {
    QFile file(m_path);
    if (!file.exists()) {
        *items = {};
        return KeychainStatus::success;
    }
    if (!file.open(QIODevice::ReadOnly))
        return ioError;
    const QJsonDocument document = QJsonDocument::fromJson(file.readAll());
    if (!document.isObject())
        return ioError; // never overwrite a file we could not understand
    *items = document.object();
    return KeychainStatus::success;
}

int FileKeyStore::saveLocked(const QJsonObject& items) {
    // Owner-only from the moment the temporary file exists.
    return AtomicFile::write(m_path, QJsonDocument(items).toJson(QJsonDocument::Compact),
                             QFileDevice::ReadOwner | QFileDevice::WriteOwner, nullptr)
               ? KeychainStatus::success
               : ioError;
}

int FileKeyStore::write(const QString& service, const QString& account, const QByteArray& data) {
    std::lock_guard guard(m_mutex);
    QJsonObject items;
    if (const int status = loadLocked(&items); status != KeychainStatus::success)
        return status;
    items.insert(itemName(service, account), QString::fromLatin1(data.toBase64()));
    return saveLocked(items);
}

int FileKeyStore::read(const QString& service, const QString& account, QByteArray* data) {
    std::lock_guard guard(m_mutex);
    QJsonObject items;
    if (const int status = loadLocked(&items); status != KeychainStatus::success)
        return status;
    const QJsonValue value = items.value(itemName(service, account));
    if (!value.isString())
        return KeychainStatus::itemNotFound;
    *data = QByteArray::fromBase64(value.toString().toLatin1());
    return KeychainStatus::success;
}

int FileKeyStore::remove(const QString& service, const QString& account) {
    std::lock_guard guard(m_mutex);
    QJsonObject items;
    if (const int status = loadLocked(&items); status != KeychainStatus::success)
        return status;
    if (!items.contains(itemName(service, account)))
        return KeychainStatus::itemNotFound;
    items.remove(itemName(service, account));
    return saveLocked(items);
}
