#include "pipeline/LoadingPanelPlacement.h"

namespace {

// Half-open, so that the pointer on the edge between two screens is on one of them only.
bool holds(const QRectF& frame, const QPointF& point) {
    return point.x() >= frame.left() && point.x() < frame.right() && point.y() >= frame.top() &&
           point.y() < frame.bottom();
}

} // namespace

namespace LoadingPanelPlacement {

QRectF frame(const QList<Screen>& screens, qsizetype mainIndex, const QPointF& pointer, const QSizeF& size) {
    if (screens.isEmpty())
        return {QPointF(100, 100), size};
    qsizetype index = qBound<qsizetype>(0, mainIndex, screens.size() - 1);
    for (qsizetype i = 0; i < screens.size(); ++i) {
        if (holds(screens[i].frame, pointer)) {
            index = i;
            break;
        }
    }
    const QPointF middle = screens[index].visibleFrame.center();
    return {middle - QPointF(size.width() / 2, size.height() / 2), size};
}

} // namespace LoadingPanelPlacement
