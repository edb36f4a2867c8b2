#pragma once

#include <QList>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QString>

#include <optional>

// Geometry of a screen capture. Screen frames, pointer positions and selections use a
// bottom-left origin with y growing upwards, in points: globally the origin is the
// bottom-left corner of the primary screen, inside the overlay the bottom-left corner
// of the captured screen. Captured pictures use pixels with a top-left origin. Qt's own
// top-left coordinates enter and leave only through `flipped`.
class CaptureGeometry {
public:
    CaptureGeometry() = delete;

    // Mirrors across a horizontal line: `height` is the bottom edge of the space in the
    // other convention (a screen's height, or the primary screen's bottom in Qt's
    // global coordinates). The same call converts in both directions.
    static QRectF flipped(const QRectF& rect, qreal height);
    static QPointF flipped(const QPointF& point, qreal height);

    // The rectangle spanned by a drag, whichever way it went.
    static QRectF selectionRect(const QPointF& start, const QPointF& end);
    // A selection must be more than 10 points wide and tall; anything less is a click.
    static bool isLargeEnough(const QRectF& selection);

    // The first frame containing the pointer, else `mainIndex`; nothing without frames.
    static std::optional<qsizetype> screenIndexAt(const QList<QRectF>& frames, const QPointF& pointer,
                                                  qsizetype mainIndex);

    // The device pixels behind a screen: Qt keeps a screen's native top-left corner as its
    // logical one and scales only the size, which it rounds; `bounds` (the root window)
    // absorbs that rounding.
    static QRect nativeRect(const QRect& logicalGeometry, qreal devicePixelRatio, const QRect& bounds);

    struct PixelCrop {
        enum class Status { Ok, SelectionTooSmall, IntersectionTooSmall };
        Status status = Status::Ok;
        double scaleX = 0;
        double scaleY = 0;
        double pixelWidth = 0; // of the selection, before clipping
        double pixelHeight = 0;
        QRect rect; // inside the picture when Ok
    };
    // The pixels of a `pictureSize` picture of a screen `frameSize` points large that show
    // `selection`: scaled, rounded half away from zero, flipped and clipped to the picture.
    static PixelCrop pixelCrop(const QSize& pictureSize, const QSizeF& frameSize, const QRectF& selection);

    // Shortest decimal form keeping at least one fractional digit ("800.0", "1366.5").
    static QString decimal(double value);
};
