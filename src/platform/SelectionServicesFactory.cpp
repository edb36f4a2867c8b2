#include "platform/SelectionServicesFactory.h"

#include "base/Logger.h"
#include "base/SessionType.h"
#include "platform/atspi/AtspiAccessibilityReader.h"
#include "platform/null/NullSelectionServices.h"
#include "platform/x11/X11Clipboard.h"
#include "platform/x11/X11PrimarySelection.h"
#include "platform/x11/X11SourceWindow.h"
#include "platform/x11/X11SyntheticCopy.h"

#include <QFileInfo>

namespace SelectionServicesFactory {

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
        currentSessionType() == SessionType::X11 ? X11SelectionConnection::open() : nullptr;
    if (connection) {
        services.sourceProbe = std::make_unique<X11SourceWindow>(connection);
        services.primary = std::make_unique<X11PrimarySelection>(connection);
        services.clipboard = std::make_unique<X11Clipboard>(connection);
        services.keyboard = std::make_unique<X11SyntheticCopy>(connection);
    } else {
        logi(currentSessionType() == SessionType::X11
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
