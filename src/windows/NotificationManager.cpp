#include "windows/NotificationManager.h"

#include "base/AppConstants.h"
#include "base/AppIcon.h"
#include "base/Logger.h"

#include <QThread>

#include <utility>

namespace {
// Server-side pictures are small; this one is shown beside a line or two of text.
constexpr int kImageSize = 48;
} // namespace

NotificationManager::NotificationManager(std::unique_ptr<NotificationService> service, QObject* parent)
    : QObject(parent) {
    setService(std::move(service));
}

NotificationManager::~NotificationManager() = default;

void NotificationManager::setService(std::unique_ptr<NotificationService> service) {
    m_service = std::move(service);
    m_server = Server::Unknown;
    m_waiting.clear();
    if (m_service)
        m_service->setDefaultActionHandler(
            [this](const QString& activationToken) { Q_EMIT activated(activationToken); });
}

void NotificationManager::show(const QString& title, const QString& body) {
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(
            this, [this, title, body] { show(title, body); }, Qt::QueuedConnection);
        return;
    }
    NotificationService::Notification notification;
    notification.appName = APP_DISPLAY_NAME;
    notification.iconName = AppIcon::name();
    // Servers find an installed icon by name; a build that runs where it was built sends the picture.
    if (!AppIcon::isInstalled())
        notification.image = AppIcon::image(kImageSize);
    notification.desktopEntry = QString::fromLatin1(APP_ID);
    notification.summary = title;
    notification.body = body;
    notification.defaultActionLabel = QStringLiteral("查看结果");

    if (m_server == Server::Available) {
        send(notification);
        return;
    }
    m_waiting.push_back(std::move(notification));
    // A missing server is asked again: the desktop may start one later.
    if (m_server != Server::Asking)
        askServer();
}

void NotificationManager::askServer() {
    if (!m_service) {
        onServerAnswer(std::nullopt);
        return;
    }
    m_server = Server::Asking;
    // The service is ours: its answers never outlive this object.
    m_service->queryServer([this](std::optional<QString> serverName) { onServerAnswer(serverName); });
}

void NotificationManager::onServerAnswer(const std::optional<QString>& serverName) {
    std::vector<NotificationService::Notification> waiting = std::exchange(m_waiting, {});
    if (!serverName) {
        m_server = Server::Missing;
        if (!std::exchange(m_reportedMissing, true))
            logi(QStringLiteral("通知服务不可用"));
        return;
    }
    m_server = Server::Available;
    if (!std::exchange(m_namedServer, true))
        logi(QStringLiteral("通知服务: ") + *serverName);
    for (const NotificationService::Notification& notification : waiting)
        send(notification);
}

void NotificationManager::send(const NotificationService::Notification& notification) {
    m_service->notify(notification, [this](std::optional<uint32_t> id, const QString& error) {
        if (id)
            return;
        loge(QStringLiteral("通知发送失败: ") + error);
        // The server may have gone away: ask again before the next one.
        if (m_server == Server::Available)
            m_server = Server::Unknown;
    });
}
