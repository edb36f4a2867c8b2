#include "platform/ScreenCaptureFactory.h"

#include "base/SessionType.h"

#include "platform/null/NullScreenCapture.h"
#include "platform/x11/X11ScreenCapture.h"

#include <QGuiApplication>

namespace ScreenCaptureFactory {

std::unique_ptr<ScreenCapture> create() {
    if (currentSessionType() == SessionType::Wayland)
        return std::make_unique<NullScreenCapture>(QStringLiteral(
            "截图翻译暂时需要 X11 会话，当前是 Wayland 会话。请注销后在登录界面选择 X11（Xorg）会话，"
            "或先使用划词翻译。"));
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return std::make_unique<NullScreenCapture>(
            QStringLiteral("截图翻译需要 X11 图形会话：请在桌面环境中运行 VYRN。"));
    return std::make_unique<X11ScreenCapture>(x11->connection());
}

} // namespace ScreenCaptureFactory
