#pragma once

#include "platform/NotificationService.h"

#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

// Announces finished translations through the desktop's notification server. The
// user never sees a notification failure: it only goes to the log.
class NotificationManager : public QObject {
    Q_OBJECT
public:
    explicit NotificationManager(std::unique_ptr<NotificationService> service, QObject* parent = nullptr);
    ~NotificationManager() override;

    // Without a service every notification is dropped as if the server were missing.
    void setService(std::unique_ptr<NotificationService> service);
    // Any thread; returns at once.
    void show(const QString& title, const QString& body);

Q_SIGNALS:
    // The user clicked one of our notifications: the result panel comes to the front.
    void activated(const QString& activationToken);

private:
    enum class Server { Unknown, Asking, Available, Missing };
    void askServer();
    void onServerAnswer(const std::optional<QString>& serverName);
    void send(const NotificationService::Notification& notification);

    std::unique_ptr<NotificationService> m_service;
    Server m_server = Server::Unknown;
    bool m_namedServer = false;
    bool m_reportedMissing = false;
    std::vector<NotificationService::Notification> m_waiting;
};
