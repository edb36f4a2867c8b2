#include "platform/gnome/MutterMonitors.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QHash>
#include <QVariantMap>

#include <cmath>

namespace {

using Connector = QString;

// (ssss): connector, vendor, product, serial.
Connector readMonitorSpec(const QDBusArgument& argument) {
    QString connector, vendor, product, serial;
    argument.beginStructure();
    argument >> connector >> vendor >> product >> serial;
    argument.endStructure();
    return connector;
}

// a((ssss)a(siiddada{sv})a{sv}): each monitor's current mode.
QHash<Connector, QSize> currentModes(const QDBusArgument& argument) {
    QHash<Connector, QSize> modes;
    argument.beginArray();
    while (!argument.atEnd()) {
        argument.beginStructure();
        const Connector connector = readMonitorSpec(argument);
        argument.beginArray();
        while (!argument.atEnd()) {
            QString id;
            int width = 0, height = 0;
            double refresh = 0, preferredScale = 0;
            QList<double> scales;
            QVariantMap properties;
            argument.beginStructure();
            argument >> id >> width >> height >> refresh >> preferredScale >> scales >> properties;
            argument.endStructure();
            if (properties.value(QStringLiteral("is-current")).toBool())
                modes.insert(connector, QSize(width, height));
        }
        argument.endArray();
        QVariantMap properties;
        argument >> properties;
        argument.endStructure();
    }
    argument.endArray();
    return modes;
}

} // namespace

std::optional<MutterLayout> MutterLayout::fromReply(const QDBusMessage& reply) {
    const QList<QVariant> arguments = reply.arguments();
    if (reply.type() != QDBusMessage::ReplyMessage ||
        reply.signature() != QLatin1String("ua((ssss)a(siiddada{sv})a{sv})a(iiduba(ssss)a{sv})a{sv}"))
        return std::nullopt;
    const QHash<Connector, QSize> modes = currentModes(arguments.at(1).value<QDBusArgument>());

    MutterLayout layout;
    const QDBusArgument logical = arguments.at(2).value<QDBusArgument>();
    logical.beginArray();
    while (!logical.atEnd()) {
        Monitor monitor;
        int x = 0, y = 0;
        double scale = 1;
        bool primary = false;
        QList<Connector> connectors;
        logical.beginStructure();
        logical >> x >> y >> scale >> monitor.transform >> primary;
        logical.beginArray();
        while (!logical.atEnd())
            connectors.append(readMonitorSpec(logical));
        logical.endArray();
        QVariantMap properties;
        logical >> properties;
        logical.endStructure();
        monitor.position = QPoint(x, y);
        monitor.scale = scale > 0 ? scale : 1;
        // Mirrored monitors share one logical monitor and one mode.
        for (const Connector& connector : connectors)
            monitor.modeSize = monitor.modeSize.expandedTo(modes.value(connector));
        if (!monitor.modeSize.isEmpty())
            layout.monitors.append(monitor);
    }
    logical.endArray();

    const QVariantMap properties = qdbus_cast<QVariantMap>(arguments.at(3));
    // 1 logical, 2 physical; an older Mutter without the property lays out logically.
    layout.logicalLayout = properties.value(QStringLiteral("layout-mode"), 1u).toUInt() != 2;
    if (layout.monitors.isEmpty())
        return std::nullopt;
    return layout;
}

QList<ScreenCapture::MonitorArea> monitorAreas(const MutterLayout& layout, QSize picture) {
    QList<ScreenCapture::MonitorArea> areas;
    QRect bounds;
    for (const MutterLayout::Monitor& monitor : layout.monitors) {
        QSize size = monitor.modeSize;
        if (monitor.transform % 2 == 1)
            size.transpose();
        if (layout.logicalLayout)
            size = QSize(int(std::lround(size.width() / monitor.scale)),
                         int(std::lround(size.height() / monitor.scale)));
        ScreenCapture::MonitorArea area;
        area.logical = QRect(monitor.position, size);
        area.scale = monitor.scale;
        areas.append(area);
        bounds |= area.logical;
    }
    if (bounds.isEmpty() || picture.isEmpty())
        return {};
    const qreal ratioX = qreal(picture.width()) / bounds.width();
    const qreal ratioY = qreal(picture.height()) / bounds.height();
    for (ScreenCapture::MonitorArea& area : areas) {
        const QRect& r = area.logical;
        // From edges, so that neighbours share their border pixel exactly.
        const int left = int(std::lround((r.left() - bounds.left()) * ratioX));
        const int top = int(std::lround((r.top() - bounds.top()) * ratioY));
        const int right = int(std::lround((r.left() + r.width() - bounds.left()) * ratioX));
        const int bottom = int(std::lround((r.top() + r.height() - bounds.top()) * ratioY));
        area.pixels = QRect(left, top, right - left, bottom - top);
    }
    return areas;
}
