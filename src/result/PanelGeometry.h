#pragma once

#include <QList>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <optional>

// One screen: its whole frame and the part left free by panels and docks.
struct ScreenFrames {
    QRectF frame;
    QRectF visible;
};

// Where the result panel goes. Rectangles here have their origin at the primary
// screen's bottom-left corner, y growing upwards; Qt's top-left coordinates enter and
// leave only through `flipped`. Panel rectangles are outer frames, title bar included.
class PanelGeometry {
public:
    PanelGeometry() = delete;

    static constexpr QSizeF minimumSize{420, 400};
    static constexpr QRectF withoutScreen{0, 0, 620, 700};

    // Mirrors across a horizontal line: `primaryBottom` is the primary screen's y plus
    // height in Qt's coordinates. The same call converts in both directions.
    static QRectF flipped(const QRectF& rect, qreal primaryBottom);

    // The first screen whose frame overlaps `rect`, else `mainIndex`; nothing without screens.
    static std::optional<qsizetype> screenFor(const QList<ScreenFrames>& screens, const QRectF& rect,
                                              qsizetype mainIndex);
    // The screen holding the largest part of `frame`, else `mainIndex`.
    static std::optional<qsizetype> screenHolding(const QList<ScreenFrames>& screens, const QRectF& frame,
                                                  qsizetype mainIndex);

    // The half of the screen away from `source` (the text being translated): the left part
    // when the source's middle is at or right of the screen's middle. Only the saved
    // frame's y and height are reused, kept at least 400 high and inside the visible frame.
    static QRectF placement(const QList<ScreenFrames>& screens, qsizetype mainIndex, const QRectF& source,
                            const std::optional<QRectF>& savedFrame);
    // The same y and height on the other half of `screen`.
    static QRectF otherHalf(const ScreenFrames& screen, const QRectF& panel);

    // "{{x, y}, {w, h}}", the stored form of the panel's frame.
    static QString frameText(const QRectF& frame);
    // The zero rectangle for anything that is not that form with four finite numbers.
    static QRectF parseFrameText(const QString& text);
};
