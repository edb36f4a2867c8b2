#include "platform/null/NullNotificationService.h"

void NullNotificationService::queryServer(ServerAnswer answer) {
    answer(std::nullopt);
}

void NullNotificationService::notify(const Notification&, NotifyAnswer answer) {
    answer(std::nullopt, QStringLiteral("没有 D-Bus 会话总线"));
}
