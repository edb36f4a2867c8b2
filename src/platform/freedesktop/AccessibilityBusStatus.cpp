#include "platform/freedesktop/AccessibilityBusStatus.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>
#include <QTimer>

namespace {
const QString kService = QStringLiteral("org.a11y.Bus");
const QString kPath = QStringLiteral("/org/a11y/bus");
const QString kProperties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString kStatus = QStringLiteral("org.a11y.Status");
const QString kIsEnabled = QStringLiteral("IsEnabled");
// The launcher is started on demand; that takes a moment, but never this long.
constexpr int kCallTimeoutMs = 5000;

bool isMissingBus(const QDBusError& error) {
    return error.type() == QDBusError::ServiceUnknown ||
           error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
}
} // namespace

AccessibilityBusStatus::AccessibilityBusStatus(const QDBusConnection& bus) : m_bus(bus) {}

void AccessibilityBusStatus::query(std::function<void(State)> done) {
    if (!m_bus.isConnected()) {
        QTimer::singleShot(0, this, [done = std::move(done)] { done(State::unavailable); });
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kProperties, QStringLiteral("Get"));
    call << kStatus << kIsEnabled;
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [done = std::move(done)](auto* finished) {
        finished->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *finished;
        if (reply.isError())
            done(State::unavailable);
        else
            done(reply.value().variant().toBool() ? State::enabled : State::disabled);
    });
}

void AccessibilityBusStatus::enable(std::function<void(std::optional<QString>)> done) {
    if (!m_bus.isConnected()) {
        QTimer::singleShot(0, this, [done = std::move(done)] {
            done(QStringLiteral("没有 D-Bus 会话总线，无法开启辅助功能支持。"));
        });
        return;
    }
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kProperties, QStringLiteral("Set"));
    call << kStatus << kIsEnabled << QVariant::fromValue(QDBusVariant(true));
    auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call, kCallTimeoutMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [done = std::move(done)](auto* finished) {
        finished->deleteLater();
        const QDBusPendingReply<> reply = *finished;
        if (!reply.isError())
            done(std::nullopt);
        else if (isMissingBus(reply.error()))
            done(QStringLiteral(
                "桌面没有运行辅助功能总线（org.a11y.Bus）。\n请安装 at-spi2-core 后重新登录。"));
        else
            done(QStringLiteral("辅助功能总线拒绝了请求：") +
                 (reply.error().message().isEmpty() ? reply.error().name() : reply.error().message()));
    });
}
