#pragma once

#include "platform/NotificationService.h"

#include <memory>

namespace NotificationServiceFactory {
// The freedesktop server on the session bus; the Null service when there is no bus.
std::unique_ptr<NotificationService> create();
} // namespace NotificationServiceFactory
