#include "platform/KeyStoreFactory.h"

#include "base/AppConstants.h"
#include "base/Logger.h"
#include "platform/freedesktop/FileKeyStore.h"
#include "platform/freedesktop/SecretServiceKeyStore.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>

namespace KeyStoreFactory {

bool secretServiceAvailable() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QString name = QStringLiteral("org.freedesktop.secrets");
    if (bus.interface()->isServiceRegistered(name))
        return true;
    const QDBusReply<QStringList> activatable = bus.interface()->call(QStringLiteral("ListActivatableNames"));
    return activatable.isValid() && activatable.value().contains(name);
}

std::unique_ptr<KeyStoreBackend> create() {
    std::unique_ptr<KeyStoreBackend> store;
    if (secretServiceAvailable())
        store = std::make_unique<SecretServiceKeyStore>();
    else
        store =
            std::make_unique<FileKeyStore>(AppConstants::configDirectory() + QStringLiteral("/keys.json"));
    logi(QStringLiteral("密钥存储: ") + store->name());
    return store;
}

} // namespace KeyStoreFactory
