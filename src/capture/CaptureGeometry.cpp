#include "capture/CaptureGeometry.h"

#include <QLocale>

#include <cmath>

QRectF CaptureGeometry::flipped(const QRectF& rect, qreal height) {
    return {rect.x(), height - rect.y() - rect.height(), rect.width(), rect.height()};
}

QPointF CaptureGeometry::flipped(const QPointF& point, qreal height) {
    return {point.x(), height - point.y()};
}

QRectF CaptureGeometry::selectionRect(const QPointF& start, const QPointF& end) {
    return {std::min(start.x(), end.x()), std::min(start.y(), end.y()), std::abs(end.x() - start.x()),
            std::abs(end.y() - start.y())};
}

bool CaptureGeometry::isLargeEnough(const QRectF& selection) {
    return selection.width() > 10.0 && selection.height() > 10.0;
}

std::optional<qsizetype> CaptureGeometry::screenIndexAt(const QList<QRectF>& frames, const QPointF& pointer,
                                                        qsizetype mainIndex) {
    if (frames.isEmpty())
        return std::nullopt;
    for (qsizetype i = 0; i < frames.size(); ++i) {
        // Half-open, so a pointer on the line between two screens belongs to one of them.
        const QRectF& frame = frames.at(i);
        if (pointer.x() >= frame.x() && pointer.x() < frame.x() + frame.width() && pointer.y() >= frame.y() &&
            pointer.y() < frame.y() + frame.height())
            return i;
    }
    return mainIndex >= 0 && mainIndex < frames.size() ? mainIndex : 0;
}

QRect CaptureGeometry::nativeRect(const QRect& logicalGeometry, qreal devicePixelRatio, const QRect& bounds) {
    const QSize size(int(std::lround(logicalGeometry.width() * devicePixelRatio)),
                     int(std::lround(logicalGeometry.height() * devicePixelRatio)));
    return QRect(logicalGeometry.topLeft(), size).intersected(bounds);
}

CaptureGeometry::PixelCrop CaptureGeometry::pixelCrop(const QSize& pictureSize, const QSizeF& frameSize,
                                                      const QRectF& selection) {
    PixelCrop crop;
    const double width = pictureSize.width(), height = pictureSize.height();
    crop.scaleX = width / frameSize.width();
    crop.scaleY = height / frameSize.height();
    crop.pixelWidth = std::round(crop.scaleX * selection.width());
    crop.pixelHeight = std::round(crop.scaleY * selection.height());
    if (!(crop.pixelWidth > 4) || !(crop.pixelHeight > 4)) {
        crop.status = PixelCrop::Status::SelectionTooSmall;
        return crop;
    }
    const double x = std::round(crop.scaleX * selection.x());
    const double y = std::round(height - crop.scaleY * (selection.y() + selection.height()));
    // Clip in doubles: a wild selection must not overflow int before it is clipped.
    const double left = std::max(x, 0.0), top = std::max(y, 0.0);
    const double right = std::min(x + crop.pixelWidth, width),
                 bottom = std::min(y + crop.pixelHeight, height);
    if (!(right - left > 4) || !(bottom - top > 4)) {
        crop.status = PixelCrop::Status::IntersectionTooSmall;
        return crop;
    }
    crop.rect = QRect(int(left), int(top), int(right - left), int(bottom - top));
    return crop;
}

QString CaptureGeometry::decimal(double value) {
    QString text = QString::number(value, 'f', QLocale::FloatingPointShortest);
    if (std::isfinite(value) && !text.contains(u'.'))
        text += QStringLiteral(".0");
    return text;
}
