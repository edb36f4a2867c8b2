#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSizeF>

// Where the loading panel goes: centred in the visible area (without panels and docks) of
// the screen under the pointer, else of the main screen. Any one coordinate system.
namespace LoadingPanelPlacement {

struct Screen {
    QRectF frame;
    QRectF visibleFrame;
};

// With no screen at all, at (100, 100).
QRectF frame(const QList<Screen>& screens, qsizetype mainIndex, const QPointF& pointer, const QSizeF& size);

} // namespace LoadingPanelPlacement
