#include "capture/DesktopPicture.h"

#include <cmath>

namespace {

QRect boundsOf(const QList<DesktopPicture::Monitor>& monitors) {
    QRect bounds;
    for (const DesktopPicture::Monitor& monitor : monitors)
        bounds = bounds.united(monitor.logical);
    return bounds;
}

// `inner` (given in `from`'s space) in `to`'s space, edges rounded to whole pixels.
QRect mapped(const QRectF& inner, const QRectF& from, const QRectF& to) {
    const qreal sx = to.width() / from.width(), sy = to.height() / from.height();
    const qreal left = to.x() + (inner.left() - from.x()) * sx;
    const qreal top = to.y() + (inner.top() - from.y()) * sy;
    const qreal right = to.x() + (inner.right() - from.x()) * sx;
    const qreal bottom = to.y() + (inner.bottom() - from.y()) * sy;
    return QRect(QPoint(int(std::lround(left)), int(std::lround(top))),
                 QPoint(int(std::lround(right)) - 1, int(std::lround(bottom)) - 1));
}

qint64 area(const QRectF& rect) {
    return rect.isEmpty() ? 0 : qint64(rect.width() * rect.height());
}

} // namespace

namespace DesktopPicture {

QRect screenPart(const QRect& screen, const QRect& desktop, const QSize& picture,
                 const QList<Monitor>& monitors) {
    const QRect whole(QPoint(), picture);
    if (screen.isEmpty() || desktop.isEmpty() || picture.isEmpty())
        return {};
    const QRect layout = boundsOf(monitors);
    if (layout.isEmpty())
        return mapped(QRectF(screen), QRectF(desktop), QRectF(whole)).intersected(whole);
    // The screen in the compositor's layout coordinates. The two layouts differ by one
    // factor only where Xwayland scales; where they merely differ in shape a monitor is
    // missing from one of them, and they are taken as equal in size.
    const qreal factorX = qreal(desktop.width()) / layout.width();
    const qreal factorY = qreal(desktop.height()) / layout.height();
    const qreal factor = std::abs(factorX - factorY) < 0.01 * factorX ? factorX : 1;
    const QRectF inLayout(QPointF(layout.topLeft()) + QPointF(screen.topLeft() - desktop.topLeft()) / factor,
                          QSizeF(screen.size()) / factor);
    const Monitor* best = nullptr;
    qint64 bestArea = 0;
    for (const Monitor& monitor : monitors) {
        const qint64 shared = area(inLayout.intersected(QRectF(monitor.logical)));
        if (shared > bestArea && !monitor.pixels.isEmpty()) {
            best = &monitor;
            bestArea = shared;
        }
    }
    if (!best)
        return {};
    const QRectF part = inLayout.intersected(QRectF(best->logical));
    return mapped(part, QRectF(best->logical), QRectF(best->pixels))
        .intersected(whole)
        .intersected(best->pixels);
}

} // namespace DesktopPicture
