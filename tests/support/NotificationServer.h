#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

// Stands in for the desktop's notification server: owns org.freedesktop.Notifications
// on its own connection to the session bus, records every Notify call, and lets a test
// act as the user clicking a notification.
class NotificationServer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Call {
        QString appName;
        QString appIcon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
    };

    // On the session bus, or on the bus at `busAddress`.
    explicit NotificationServer(const QString& busAddress = {});
    ~NotificationServer() override;

    // False when the bus refused the name (another server owns it).
    bool registerOnBus();
    void unregisterFromBus();

    QList<Call> calls() const { return m_calls; }
    // Every later Notify is refused with this D-Bus error message.
    void refuseWith(const QString& message) { m_refusal = message; }
    // What a server sends when the user clicks a notification.
    void invokeAction(uint id, const QString& actionKey, const QString& activationToken = {});

public Q_SLOTS:
    Q_SCRIPTABLE uint Notify(const QString& appName, uint replacesId, const QString& appIcon,
                             const QString& summary, const QString& body, const QStringList& actions,
                             const QVariantMap& hints, int expireTimeout);
    Q_SCRIPTABLE QString GetServerInformation(QString& vendor, QString& version, QString& specVersion);

Q_SIGNALS:
    Q_SCRIPTABLE void ActionInvoked(uint id, const QString& actionKey);
    Q_SCRIPTABLE void ActivationToken(uint id, const QString& activationToken);
    Q_SCRIPTABLE void NotificationClosed(uint id, uint reason);

private:
    QDBusConnection m_bus;
    QList<Call> m_calls;
    QString m_refusal;
    uint m_nextId = 1;
};
