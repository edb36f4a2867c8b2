#pragma once

#include "platform/NotificationService.h"

#include <QDBusConnection>
#include <QHash>
#include <QObject>
#include <QSet>

// org.freedesktop.Notifications on a D-Bus connection (normally the session bus).
class FreedesktopNotificationService final : public QObject, public NotificationService {
    Q_OBJECT
public:
    explicit FreedesktopNotificationService(const QDBusConnection& bus = QDBusConnection::sessionBus());

    void queryServer(ServerAnswer answer) override;
    void notify(const Notification& notification, NotifyAnswer answer) override;
    void setDefaultActionHandler(DefaultActionHandler handler) override {
        m_onDefaultAction = std::move(handler);
    }

private Q_SLOTS:
    void onActionInvoked(uint id, const QString& actionKey);
    void onActivationToken(uint id, const QString& token);
    void onNotificationClosed(uint id, uint reason);

private:
    QDBusConnection m_bus;
    // The server's signals reach every client: only our ids count.
    QSet<uint> m_ours;
    QHash<uint, QString> m_tokens;
    DefaultActionHandler m_onDefaultAction;
};
