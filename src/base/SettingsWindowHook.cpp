#include "base/SettingsWindowHook.h"

#include "base/Logger.h"

namespace {
std::function<void()>& handlerSlot() {
    static std::function<void()> handler;
    return handler;
}
} // namespace

namespace SettingsWindowHook {

void setShowHandler(std::function<void()> handler) {
    handlerSlot() = std::move(handler);
}

void show() {
    if (const std::function<void()>& handler = handlerSlot()) {
        handler();
        return;
    }
    logi(QStringLiteral("设置窗口尚不可用，无法打开偏好设置"));
}

} // namespace SettingsWindowHook
