#include "platform/freedesktop/InstallationCheck.h"

#include "base/Logger.h"
#include "platform/freedesktop/Autostart.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace InstallationCheck {

bool isInstalled(const QString& program) {
    const QFileInfo file(program);
    return file.dir().dirName() == QLatin1String("bin") &&
           QFileInfo(file.path() + QStringLiteral("/../libexec/vyrn/vyrn-atspi-reader")).isExecutable();
}

void adoptAutostart(const QString& program) {
    const QString current = Autostart::program();
    if (!Autostart::isEnabled() || current.isEmpty() || isInstalled(current))
        return;
    if (Autostart::setEnabled(true, nullptr, program))
        logi(QStringLiteral("登录时启动的条目原先启动 ") + current + QStringLiteral("，已改为启动 ") +
             program);
}

QStringList leftovers(const QString& program, const QString& path, const QString& dataHome) {
    QStringList lines;
    const QString running = QFileInfo(program).canonicalFilePath();
    for (const QString& folder : path.split(u':', Qt::SkipEmptyParts)) {
        const QFileInfo candidate(folder + QStringLiteral("/vyrn"));
        if (candidate.canonicalFilePath() == running)
            break;
        if (candidate.isFile() && candidate.isExecutable()) {
            lines.append(QStringLiteral("另一个 VYRN（") + candidate.filePath() +
                         QStringLiteral("）在 PATH 中排在 ") + program +
                         QStringLiteral(" 之前：在终端运行 vyrn 会启动那一个"));
            break;
        }
    }
    const QString oldEntry = dataHome + QStringLiteral("/applications/vyrn.desktop");
    if (QFileInfo::exists(oldEntry))
        lines.append(QStringLiteral("较早的安装留下了菜单项 ") + oldEntry +
                     QStringLiteral("：应用菜单中会出现两个 VYRN"));
    if (!lines.isEmpty())
        lines.append(QStringLiteral("这是从源码安装（scripts/install.sh）留下的：在当时的源码目录中运行 "
                                    "scripts/install.sh --uninstall 即可删除，详见 README"));
    return lines;
}

void run(const QString& program) {
    if (!isInstalled(program))
        return;
    adoptAutostart(program);
    const QStringList lines =
        leftovers(program, qEnvironmentVariable("PATH"),
                  QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
    for (const QString& line : lines)
        logi(line);
}

} // namespace InstallationCheck
