#include "app/CommandLine.h"

#include "base/AppConstants.h"

namespace {

CommandLine invalid(const QString& error) {
    CommandLine line;
    line.kind = CommandLine::Kind::Invalid;
    line.error = error;
    return line;
}

} // namespace

CommandLine parseCommandLine(const QStringList& arguments) {
    CommandLine line;
    bool help = false;
    bool version = false;
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            help = true;
            continue;
        }
        if (argument == QLatin1String("--version")) {
            version = true;
            continue;
        }
        if (argument == QLatin1String("--background")) {
            line.background = true;
            continue;
        }
        // The options of the actions are their names: --screenshot, --selection, ...
        const std::optional<AppAction> action =
            argument.startsWith(QLatin1String("--")) ? appActionNamed(argument.mid(2)) : std::nullopt;
        if (!action) {
            return invalid(argument.startsWith(QLatin1Char('-')) ? QStringLiteral("未知选项: ") + argument
                                                                 : QStringLiteral("多余的参数: ") + argument);
        }
        if (line.action && *line.action != *action)
            return invalid(QStringLiteral("一次只能指定一个操作: ") + argument);
        line.action = action;
    }
    if (help)
        line.kind = CommandLine::Kind::Help;
    else if (version)
        line.kind = CommandLine::Kind::Version;
    return line;
}

QString commandLineUsage() {
    return QStringLiteral("用法: vyrn [选项]\n"
                          "\n"
                          "VYRN 把屏幕上或选中的英文翻译成中文。没有 VYRN 在运行时启动它；\n"
                          "已有 VYRN 在运行时，把操作交给它（不带选项时打开它的偏好设置）。\n"
                          "\n"
                          "选项:\n"
                          "  --screenshot   截图翻译：框选屏幕上的一块区域\n"
                          "  --selection    划词翻译：翻译当前选中的文字\n"
                          "  --settings     打开偏好设置\n"
                          "  --quit         退出正在运行的 VYRN\n"
                          "  --background   启动时不打开偏好设置（用于登录时自动启动）\n"
                          "  -h, --help     显示本帮助并退出\n"
                          "  --version      显示版本并退出\n"
                          "\n"
                          "在桌面的键盘快捷键设置中，可以把 vyrn --screenshot 或 vyrn --selection\n"
                          "绑定到任意组合键。\n");
}

QString commandLineVersion() {
    return APP_DISPLAY_NAME + QLatin1Char(' ') + APP_FULL_VERSION;
}
