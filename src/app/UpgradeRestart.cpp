#include "app/UpgradeRestart.h"

#include "base/Logger.h"
#include "update/UpdateChecker.h"

#include <QFileInfo>

UpgradeRestart::UpgradeRestart(QString ownVersion, QString ownBuild, std::function<bool()> busy)
    : m_ownVersion(std::move(ownVersion)), m_ownBuild(std::move(ownBuild)), m_busy(std::move(busy)) {
    m_poll.setInterval(500);
    connect(&m_poll, &QTimer::timeout, this, &UpgradeRestart::check);
}

bool UpgradeRestart::isNewer(const QString& version, const QString& build, const QString& ownVersion,
                             const QString& ownBuild) {
    if (UpdateChecker::isNewer(version, ownVersion))
        return true;
    return !UpdateChecker::isNewer(ownVersion, version) && build.toLongLong() > ownBuild.toLongLong();
}

bool UpgradeRestart::take(const AppRequest& request) {
    if (request.action == AppAction::Quit ||
        !isNewer(request.senderVersion, request.senderBuild, m_ownVersion, m_ownBuild))
        return false;
    // Only a program that is VYRN is run in this one's place.
    m_program = QFileInfo(request.senderProgram).fileName() == QLatin1String("vyrn") ? request.senderProgram
                                                                                     : QString();
    m_request = request;
    if (!std::exchange(m_pending, true)) {
        logi(QStringLiteral("新版本 VYRN %1 (%2) 已启动（本实例为 %3 (%4)）：没有翻译进行时重新启动为新版本")
                 .arg(request.senderVersion, request.senderBuild, m_ownVersion, m_ownBuild));
        m_poll.start();
    }
    check();
    return true;
}

QStringList UpgradeRestart::arguments() const {
    const QString action = appActionName(m_request.action);
    return action.isEmpty() ? QStringList() : QStringList{QStringLiteral("--") + action};
}

void UpgradeRestart::check() {
    if (m_due || m_busy())
        return;
    m_poll.stop();
    m_due = true;
    logi(QStringLiteral("没有翻译在进行，重新启动为新版本"));
    Q_EMIT due();
}
