#include "platform/NotificationServiceFactory.h"

#include "platform/freedesktop/FreedesktopNotificationService.h"
#include "platform/null/NullNotificationService.h"

namespace NotificationServiceFactory {

std::unique_ptr<NotificationService> create() {
    if (QDBusConnection::sessionBus().isConnected())
        return std::make_unique<FreedesktopNotificationService>();
    return std::make_unique<NullNotificationService>();
}

} // namespace NotificationServiceFactory
