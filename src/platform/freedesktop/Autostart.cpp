#include "platform/freedesktop/Autostart.h"

#include "base/AppConstants.h"
#include "base/AtomicFile.h"
#include "base/Logger.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

// A key of the [Desktop Entry] group (QSettings reads desktop files wrongly: it takes
// ';' and backslashes as its own syntax).
QString entryValue(const QByteArray& text, const QByteArray& key) {
    bool inEntry = false;
    for (const QByteArray& raw : text.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('['))
            inEntry = line == "[Desktop Entry]";
        else if (inEntry && line.startsWith(key + '='))
            return QString::fromUtf8(line.mid(key.size() + 1)).trimmed();
    }
    return {};
}

} // namespace

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
    return entryValue(text, "Hidden") != QLatin1String("true") &&
           entryValue(text, "X-GNOME-Autostart-enabled") != QLatin1String("false");
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
    // Undoes execArgument(): the string's escapes, the quoting, the doubled '%'.
    const QString value = entryValue(file.readAll(), "Exec");
    static const QString escaped = QStringLiteral("\\sntr"), meant = QStringLiteral("\\ \n\t\r");
    QString exec;
    for (qsizetype i = 0; i < value.size(); ++i) {
        const qsizetype kind = i + 1 < value.size() && value[i] == u'\\' ? escaped.indexOf(value[i + 1]) : -1;
        exec += kind < 0 ? value[i] : meant[kind];
        i += kind < 0 ? 0 : 1;
    }
    const bool quoted = exec.startsWith(u'"');
    QString argument;
    for (qsizetype i = quoted ? 1 : 0; i < exec.size() && exec[i] != (quoted ? u'"' : u' '); ++i) {
        if (quoted && exec[i] == u'\\' && i + 1 < exec.size())
            ++i;
        argument += exec[i];
    }
    return argument.replace(QStringLiteral("%%"), QStringLiteral("%"));
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
