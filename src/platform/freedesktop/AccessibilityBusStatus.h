#pragma once

#include "pipeline/AccessibilitySupport.h"

#include <QDBusConnection>
#include <QObject>

// org.a11y.Status on the session bus: the IsEnabled switch of the accessibility bus
// launcher, which keeps it in the desktop's toolkit-accessibility setting.
class AccessibilityBusStatus final : public QObject, public AccessibilitySupport {
    Q_OBJECT
public:
    explicit AccessibilityBusStatus(const QDBusConnection& bus = QDBusConnection::sessionBus());

    void query(std::function<void(State)> done) override;
    void enable(std::function<void(std::optional<QString> failure)> done) override;

private:
    QDBusConnection m_bus;
};
