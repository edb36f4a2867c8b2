#pragma once

#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

// A desktop notification server. Calls return at once; answers arrive later on the
// thread that made the call, or never when the service is destroyed first.
class NotificationService {
public:
    struct Notification {
        QString appName;
        QString iconName;     // in the icon theme
        QImage image;         // sent as well when not null, for a theme without the icon
        QString desktopEntry; // the program's desktop file, without ".desktop"
        QString summary;
        QString body;
        QString defaultActionLabel; // clicking the notification invokes the default action
    };
    // The server's name, or nothing when there is no server.
    using ServerAnswer = std::function<void(std::optional<QString> serverName)>;
    // The notification's id, or the reason it was refused.
    using NotifyAnswer = std::function<void(std::optional<uint32_t> id, const QString& error)>;
    // The user invoked the default action of one of our notifications; the token, when the
    // server sent one, lets the window that answers take the focus.
    using DefaultActionHandler = std::function<void(const QString& activationToken)>;

    virtual ~NotificationService() = default;
    virtual void queryServer(ServerAnswer answer) = 0;
    virtual void notify(const Notification& notification, NotifyAnswer answer) = 0;
    virtual void setDefaultActionHandler(DefaultActionHandler handler) = 0;
};
