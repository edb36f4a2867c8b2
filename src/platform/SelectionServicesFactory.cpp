#include "platform/SelectionServicesFactory.h"

#include "app/Logger.h"
#include "platform/atspi/AtspiAccessibilityReader.h"
#include "platform/null/NullSelectionServices.h"
#include "platform/x11/X11Clipboard.h"
#include "platform/x11/X11PrimarySelection.h"
#include "platform/x11/X11SourceWindow.h"
#include "platform/x11/X11SyntheticCopy.h"

#include <QFileInfo>

namespace SelectionServicesFactory {

namespace {

// A Wayland session also sets DISPLAY for its X11 compatibility server, which sees
// X11 programs only: the session type decides, not DISPLAY.
bool isX11Session() {
    const QString type = qEnvironmentVariable("XDG_SESSION_TYPE").toLower();
    if (type == QLatin1String("x11"))
        return true;
    if (type == QLatin1String("wayland") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        return false;
    return !qEnvironmentVariableIsEmpty("DISPLAY");
}

} // namespace

SelectionServices create(const Options& options) {
    SelectionServices services;
    const QString helper = options.accessibilityHelper.isEmpty()
                               ? AtspiAccessibilityReader::defaultHelperPath()
                               : options.accessibilityHelper;
    if (QFileInfo(helper).isExecutable())
        services.accessibility = std::make_unique<AtspiAccessibilityReader>(helper);
    else
        services.accessibility =
            std::make_unique<NullAccessibilityReader>(QStringLiteral("找不到读取程序 %1").arg(helper));

    std::shared_ptr<X11SelectionConnection> connection =
        isX11Session() ? X11SelectionConnection::open() : nullptr;
    if (connection) {
        services.sourceProbe = std::make_unique<X11SourceWindow>(connection);
        services.primary = std::make_unique<X11PrimarySelection>(connection);
        services.clipboard = std::make_unique<X11Clipboard>(connection);
        services.keyboard = std::make_unique<X11SyntheticCopy>(connection);
    } else {
        logi(isX11Session()
                 ? QStringLiteral("选中文本：无法连接 X 服务器，PRIMARY 与 Ctrl+C 兜底不可用")
                 : QStringLiteral(
                       "选中文本：不是 X11 会话，只能通过辅助功能读取（PRIMARY 与 Ctrl+C 兜底不可用）"));
        services.sourceProbe = std::make_unique<NullSourceWindowProbe>();
        services.primary = std::make_unique<NullPrimarySelection>();
        services.clipboard = std::make_unique<NullClipboard>();
        services.keyboard = std::make_unique<NullSyntheticKeyboard>();
    }
    return services;
}

} // namespace SelectionServicesFactory
