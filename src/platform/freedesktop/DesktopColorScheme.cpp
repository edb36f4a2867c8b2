#include "platform/DesktopColorScheme.h"

#include "base/Logger.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString settingsInterface = QStringLiteral("org.freedesktop.portal.Settings");
const QString appearanceNamespace = QStringLiteral("org.freedesktop.appearance");
const QString colorSchemeKey = QStringLiteral("color-scheme");

// Read answers with the value wrapped in a second variant; SettingChanged with one.
ColorSchemePreference preferenceFrom(QVariant value) {
    while (value.metaType() == QMetaType::fromType<QDBusVariant>())
        value = value.value<QDBusVariant>().variant();
    bool ok = false;
    const uint scheme = value.toUInt(&ok);
    if (!ok)
        return ColorSchemePreference::NoPreference;
    switch (scheme) {
    case 1:
        return ColorSchemePreference::Dark;
    case 2:
        return ColorSchemePreference::Light;
    default:
        return ColorSchemePreference::NoPreference;
    }
}

} // namespace

bool prefersDarkPages(ColorSchemePreference preference, const QColor& windowColor) {
    switch (preference) {
    case ColorSchemePreference::Dark:
        return true;
    case ColorSchemePreference::Light:
        return false;
    case ColorSchemePreference::NoPreference:
        break;
    }
    return windowColor.lightness() < 128;
}

DesktopColorScheme::DesktopColorScheme() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    // QtDBus does not hand variant arguments to a slot's parameters: take the message.
    bus.connect(portalService, portalPath, settingsInterface, QStringLiteral("SettingChanged"), this,
                SLOT(settingChanged(QDBusMessage)));
    refresh();
}

void DesktopColorScheme::refresh() {
    QDBusMessage call =
        QDBusMessage::createMethodCall(portalService, portalPath, settingsInterface, QStringLiteral("Read"));
    call << appearanceNamespace << colorSchemeKey;
    auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call, 2000), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
        finished->deleteLater();
        const QDBusPendingReply<QDBusVariant> reply = *finished;
        if (reply.isError()) {
            if (!m_failureLogged)
                logi(QStringLiteral("深色模式: 无法读取设置门户（") + reply.error().name() +
                     QStringLiteral("），按调色板判断"));
            m_failureLogged = true;
            setPreference(ColorSchemePreference::NoPreference);
            return;
        }
        setPreference(preferenceFrom(reply.value().variant()));
    });
}

void DesktopColorScheme::settingChanged(const QDBusMessage& message) {
    const QList<QVariant> arguments = message.arguments();
    if (arguments.size() == 3 && arguments.at(0).toString() == appearanceNamespace &&
        arguments.at(1).toString() == colorSchemeKey)
        setPreference(preferenceFrom(arguments.at(2)));
}

void DesktopColorScheme::setPreference(ColorSchemePreference preference) {
    if (preference == m_preference)
        return;
    m_preference = preference;
    Q_EMIT changed(preference);
}
