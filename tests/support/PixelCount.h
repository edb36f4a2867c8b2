#pragma once

#include <QImage>
#include <QRect>
#include <QString>

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

// Why a grabbed page is not (yet) painted on `background` with more than `ink` pixels of
// text in `area` and more than `accents` of the colour `accent`; empty once it is.
inline QString pageProblem(const QImage& image, QRgb background, QRect area, int ink, QRgb accent = 0,
                           int accents = -1) {
    const QRgb corner = image.pixel(5, image.height() - 5);
    const int inked = countPixels(image, background, area, -150);
    const int accented = accents < 0 ? 0 : countPixels(image, accent, image.rect());
    if ((corner & 0xffffff) == (background & 0xffffff) && inked > ink && accented > accents)
        return {};
    return QStringLiteral("corner %1, ink %2, accent %3").arg(corner, 0, 16).arg(inked).arg(accented);
}
