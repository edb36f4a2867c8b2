#include "platform/null/NullHotkeyService.h"

#include <QCoreApplication>

namespace {

QString messageFor(NullHotkeyService::Reason reason) {
    switch (reason) {
    case NullHotkeyService::Reason::Wayland: {
        // The desktop runs the command without VYRN's folder on its search path.
        const QString program =
            QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QStringLiteral("vyrn");
        return QStringLiteral("当前是 Wayland 会话：全局快捷键和截图翻译暂时只能在 X11 会话中使用。"
                              "请在登录界面选择 X11（Xorg）会话；或在系统设置的键盘快捷键中添加一个运行 ") +
               program + QStringLiteral(" --selection 的快捷键，用它进行划词翻译。");
    }
    case NullHotkeyService::Reason::DisplayUnreachable:
        return QStringLiteral("无法连接 X 服务器（DISPLAY=") + qEnvironmentVariable("DISPLAY") +
               QStringLiteral("）：全局快捷键无法使用。请在桌面会话中启动 VYRN。");
    case NullHotkeyService::Reason::NoSession:
        break;
    }
    return QStringLiteral("没有图形桌面会话：全局快捷键无法使用。请在 X11 桌面会话中启动 VYRN。");
}

} // namespace

NullHotkeyService::NullHotkeyService(Reason reason)
    : m_failure{KeyGrabError::NoX11Session, messageFor(reason)} {}

KeyGrabResult<HotkeyRegistration> NullHotkeyService::registerHotkey(int, int) {
    return {nullptr, m_failure};
}

KeyGrabResult<TemporaryKeyGrab> NullHotkeyService::grabTemporarily(int, int) {
    return {nullptr, m_failure};
}
