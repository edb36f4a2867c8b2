#pragma once

#include "settings/KeyStoreBackend.h"

#include <QJsonObject>

#include <mutex>

// Secrets in a JSON file that only the user can read (0600), for sessions without
// a Secret Service. Replaced atomically like the preference file, and flushed to disk.
class FileKeyStore final : public KeyStoreBackend {
public:
    explicit FileKeyStore(QString filePath);

    QString name() const override;
    QString location() const override { return QStringLiteral("file"); }
    int write(const QString& service, const QString& account, const QByteArray& data) override;
    int read(const QString& service, const QString& account, QByteArray* data) override;
    int remove(const QString& service, const QString& account) override;

    static constexpr int ioError = -36;

private:
    int loadLocked(QJsonObject* items);
    int saveLocked(const QJsonObject& items);
    static QString itemName(const QString& service, const QString& account);

    QString m_path;
    std::mutex m_mutex;
};
