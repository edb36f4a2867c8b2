#pragma once

#include <QImage>
#include <QRectF>

// Cuts the user's selection out of the picture taken before the overlay appeared.
class ScreenCrop {
public:
    ScreenCrop() = delete;

    // `full` shows the screen whose frame (points) is `frame`, at any pixel density;
    // `selection` is in the overlay's points. A null image, with the reason in the log,
    // when the selection covers too few pixels or the crop fails.
    static QImage cropFromFull(const QImage& full, const QRectF& frame, const QRectF& selection);

    // Opaque RGB pictures go to OCR as they are; anything else is drawn onto an opaque
    // 32-bit RGB picture of the same size (a translucent pixel over black, as the
    // recogniser would otherwise see it unpredictably).
    static QImage normalizedForOcr(const QImage& crop);
};
