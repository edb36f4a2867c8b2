#include "support/NotificationServer.h"

namespace {
const QString kName = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
} // namespace

NotificationServer::NotificationServer(const QString& busAddress)
    : m_bus(busAddress.isEmpty()
                ? QDBusConnection::connectToBus(QDBusConnection::SessionBus,
                                                QStringLiteral("vyrn-test-notifications"))
                : QDBusConnection::connectToBus(busAddress, QStringLiteral("vyrn-test-notifications"))) {}

NotificationServer::~NotificationServer() {
    unregisterFromBus();
    QDBusConnection::disconnectFromBus(QStringLiteral("vyrn-test-notifications"));
}

bool NotificationServer::registerOnBus() {
    return m_bus.registerObject(kPath, this, QDBusConnection::ExportScriptableContents) &&
           m_bus.registerService(kName);
}

void NotificationServer::unregisterFromBus() {
    m_bus.unregisterService(kName);
    m_bus.unregisterObject(kPath);
}

void NotificationServer::invokeAction(uint id, const QString& actionKey, const QString& activationToken) {
    if (!activationToken.isEmpty())
        Q_EMIT ActivationToken(id, activationToken);
    Q_EMIT ActionInvoked(id, actionKey);
}

uint NotificationServer::Notify(const QString& appName, uint, const QString& appIcon, const QString& summary,
                                const QString& body, const QStringList& actions, const QVariantMap& hints,
                                int) {
    m_calls.append({appName, appIcon, summary, body, actions, hints});
    if (!m_refusal.isEmpty()) {
        sendErrorReply(QDBusError::Failed, m_refusal);
        return 0;
    }
    return m_nextId++;
}

QString NotificationServer::GetServerInformation(QString& vendor, QString& version, QString& specVersion) {
    vendor = QStringLiteral("VYRN tests");
    version = QStringLiteral("1.0");
    specVersion = QStringLiteral("1.2");
    return QStringLiteral("vyrn-test-notifications");
}
