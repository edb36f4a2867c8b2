#pragma once

#include "engine/KeyStoreBackend.h"

#include <QMap>
#include <QMutex>

// An in-memory key store for tests; `failWith` makes every call answer that status.
class MemoryKeyStore final : public KeyStoreBackend {
public:
    QString name() const override { return QStringLiteral("memory"); }
    int write(const QString& service, const QString& account, const QByteArray& data) override;
    int read(const QString& service, const QString& account, QByteArray* data) override;
    int remove(const QString& service, const QString& account) override;

    void failWith(int status);

private:
    QMutex m_mutex;
    QMap<QString, QByteArray> m_items; // service + '\n' + account
    int m_failure = KeychainStatus::success;
};
