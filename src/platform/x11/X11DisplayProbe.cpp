#include "platform/x11/X11DisplayProbe.h"

#include <xcb/xcb.h>

QString x11DisplayProblem() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const bool failed = xcb_connection_has_error(connection) != 0;
    xcb_disconnect(connection);
    if (!failed)
        return {};
    return QStringLiteral("无法连接 X 服务器（DISPLAY=") + qEnvironmentVariable("DISPLAY") +
           QStringLiteral("）。请在桌面会话的终端里启动 VYRN，或检查 DISPLAY 是否正确。");
}
