#include "platform/freedesktop/Autostart.h"

#include "base/AppConstants.h"
#include "base/AtomicFile.h"
#include "base/Logger.h"
#include "platform/freedesktop/DesktopEntry.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace Autostart {

QString entryPath() {
    // The parent of VYRN's own config folder is $XDG_CONFIG_HOME.
    return QFileInfo(AppConstants::configDirectory()).path() + QStringLiteral("/autostart/vyrn.desktop");
}

bool isEnabled() {
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray text = file.readAll();
    return DesktopEntry::value(text, "Hidden") != QLatin1String("true") &&
           DesktopEntry::value(text, "X-GNOME-Autostart-enabled") != QLatin1String("false");
}

bool setEnabled(bool enabled, QString* error, const QString& program) {
    const QString path = entryPath();
    if (!enabled) {
        if (!QFileInfo::exists(path) || QFile::remove(path)) {
            logi(QStringLiteral("已关闭登录时启动"));
            return true;
        }
        if (error)
            *error = QStringLiteral("无法删除 ") + path + QStringLiteral("，请检查该文件的权限");
        loge(QStringLiteral("关闭登录时启动失败: 无法删除 ") + path);
        return false;
    }
    const QString binary = program.isEmpty() ? QCoreApplication::applicationFilePath() : program;
    QString reason;
    AtomicFile::WriteOptions options;
    options.permissions |= QFileDevice::ReadGroup | QFileDevice::ReadOther;
    if (!AtomicFile::write(path, entryText(binary), options, &reason)) {
        if (error)
            *error = QStringLiteral("无法写入 ") + path + QStringLiteral("：") + reason;
        loge(QStringLiteral("开启登录时启动失败: ") + path + QStringLiteral(": ") + reason);
        return false;
    }
    logi(QStringLiteral("已开启登录时启动: ") + path);
    return true;
}

QString program() {
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    // Undoes execArgument().
    return DesktopEntry::program(DesktopEntry::value(file.readAll(), "Exec"));
}

QByteArray entryText(const QString& program) {
    const QString exec = execArgument(program) + QStringLiteral(" --background");
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=VYRN\n"
                          "Comment=登录时在后台启动 VYRN\n"
                          "Exec=%1\n"
                          "Icon=vyrn\n"
                          "Terminal=false\n"
                          "X-GNOME-Autostart-enabled=true\n")
        .arg(exec)
        .toUtf8();
}

QString execArgument(const QString& argument) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    const bool quote = argument.isEmpty() || std::any_of(argument.begin(), argument.end(),
                                                         [](QChar c) { return reserved.contains(c); });
    QString exec;
    for (QChar c : argument) {
        if (c == QLatin1Char('%'))
            exec += QStringLiteral("%%");
        else if (quote && (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                           c == QLatin1Char('\\')))
            exec += QLatin1Char('\\') + QString(c);
        else
            exec += c;
    }
    if (quote)
        exec = QLatin1Char('"') + exec + QLatin1Char('"');
    // The value is a string first: its own escapes are undone before the quoting is.
    QString value;
    for (QChar c : exec) {
        if (c == QLatin1Char('\\'))
            value += QStringLiteral("\\\\");
        else if (c == QLatin1Char('\n'))
            value += QStringLiteral("\\n");
        else if (c == QLatin1Char('\t'))
            value += QStringLiteral("\\t");
        else if (c == QLatin1Char('\r'))
            value += QStringLiteral("\\r");
        else
            value += c;
    }
    return value;
}

} // namespace Autostart
