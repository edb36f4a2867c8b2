#pragma once

#include <QImage>
#include <QRect>

// Pixels in `area` within `tolerance` of `color` (summed channel distance), or
// beyond it when `tolerance` is negative (ink on a background).
inline int countPixels(const QImage& image, QRgb color, QRect area, int tolerance = 0) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            const int d =
                qAbs(qRed(p) - qRed(color)) + qAbs(qGreen(p) - qGreen(color)) + qAbs(qBlue(p) - qBlue(color));
            count += tolerance >= 0 ? d <= tolerance : d > -tolerance;
        }
    return count;
}
