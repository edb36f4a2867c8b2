#include "base/HotkeyHook.h"

#include "base/Logger.h"

namespace {
std::function<void()>& handlerSlot() {
    static std::function<void()> handler;
    return handler;
}
} // namespace

namespace HotkeyHook {

void setReregisterHandler(std::function<void()> handler) {
    handlerSlot() = std::move(handler);
}

void reregisterHotkey() {
    if (const std::function<void()>& handler = handlerSlot()) {
        handler();
        return;
    }
    logi(QStringLiteral("全局快捷键尚未启用，新的快捷键将在下次启动时注册"));
}

} // namespace HotkeyHook
