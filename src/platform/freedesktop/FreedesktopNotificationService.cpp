#include "platform/freedesktop/FreedesktopNotificationService.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kDefaultAction = QStringLiteral("default");
// A server that hangs must not keep answers pending for D-Bus's 25 s default.
constexpr int kCallTimeoutMs = 5000;

// The "image-data" hint: width, height, row stride, alpha, bits per sample, channels, pixels.
QVariant imageHint(const QImage& image) {
    const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
    QDBusArgument argument;
    argument.beginStructure();
    argument << rgba.width() << rgba.height() << int(rgba.bytesPerLine()) << true << 8 << 4
             << QByteArray(reinterpret_cast<const char*>(rgba.constBits()), rgba.sizeInBytes());
    argument.endStructure();
    return QVariant::fromValue(argument);
}

QString reasonOf(const QDBusError& error) {
    return error.message().isEmpty() ? error.name() : error.message();
}
} // namespace

FreedesktopNotificationService::FreedesktopNotificationService(const QDBusConnection& bus) : m_bus(bus) {
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                  SLOT(onActionInvoked(uint, QString)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("ActivationToken"), this,
                  SLOT(onActivationToken(uint, QString)));
    m_bus.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                  SLOT(onNotificationClosed(uint, uint)));
}

void FreedesktopNotificationService::queryServer(ServerAnswer answer) {
    const QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("GetServerInformation"));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [answer = std::move(answer)](auto* done) {
        done->deleteLater();
        const QDBusPendingReply<QString, QString, QString, QString> reply = *done;
        answer(reply.isError() ? std::nullopt : std::optional<QString>(reply.argumentAt<0>()));
    });
}

void FreedesktopNotificationService::notify(const Notification& notification, NotifyAnswer answer) {
    QVariantMap hints;
    if (!notification.desktopEntry.isEmpty())
        hints.insert(QStringLiteral("desktop-entry"), notification.desktopEntry);
    if (!notification.image.isNull())
        hints.insert(QStringLiteral("image-data"), imageHint(notification.image));
    QStringList actions;
    if (!notification.defaultActionLabel.isEmpty())
        actions << kDefaultAction << notification.defaultActionLabel;

    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    call << notification.appName << uint(0) << notification.iconName << notification.summary
         << notification.body << actions << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, answer = std::move(answer)](auto* done) {
                done->deleteLater();
                const QDBusPendingReply<uint> reply = *done;
                if (reply.isError()) {
                    answer(std::nullopt, reasonOf(reply.error()));
                    return;
                }
                m_ours.insert(reply.value());
                answer(reply.value(), QString());
            });
}

void FreedesktopNotificationService::onActionInvoked(uint id, const QString& actionKey) {
    if (actionKey != kDefaultAction || !m_ours.contains(id))
        return;
    const QString token = m_tokens.take(id);
    if (m_onDefaultAction)
        m_onDefaultAction(token);
}

void FreedesktopNotificationService::onActivationToken(uint id, const QString& token) {
    if (m_ours.contains(id))
        m_tokens.insert(id, token);
}

void FreedesktopNotificationService::onNotificationClosed(uint id, uint) {
    m_ours.remove(id);
    m_tokens.remove(id);
}
