#pragma once

#include "platform/ScreenCapture.h"

#include <QList>
#include <QPoint>
#include <QSize>

#include <optional>

class QDBusMessage;

// The desktop's layout as GNOME's compositor describes it (org.gnome.Mutter.DisplayConfig
// GetCurrentState), reduced to what places each monitor in a picture of the whole desktop.
struct MutterLayout {
    struct Monitor {
        QPoint position; // in the layout's coordinates
        QSize modeSize;  // the current mode, in physical pixels, before the rotation
        qreal scale = 1;
        uint transform = 0; // 0–7; odd ones (90° and 270°, plain or flipped) swap width and height
    };
    QList<Monitor> monitors;
    // Logical layout (GNOME's default): positions are in points and a monitor spans its mode
    // divided by its scale. Physical layout: positions and sizes are pixels.
    bool logicalLayout = true;

    // Null for a reply that is not a GetCurrentState answer or names no monitor in use.
    static std::optional<MutterLayout> fromReply(const QDBusMessage& reply);
};

// Each monitor's part of `picture`, a picture of the whole layout. GNOME Shell draws it at one
// density for the whole desktop, so the ratio comes from the picture's size rather than from
// any monitor's scale.
QList<ScreenCapture::MonitorArea> monitorAreas(const MutterLayout& layout, QSize picture);
