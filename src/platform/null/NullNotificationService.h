#pragma once

#include "platform/NotificationService.h"

// Without a session bus there is nobody to show notifications.
class NullNotificationService final : public NotificationService {
public:
    void queryServer(ServerAnswer answer) override;
    void notify(const Notification& notification, NotifyAnswer answer) override;
    void setDefaultActionHandler(DefaultActionHandler) override {}
};
