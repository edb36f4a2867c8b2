#pragma once

#include <QImage>

// Turns any crop into what reads best: 8-bit grey, dark text on a light ground,
// and large enough for the recogniser.
namespace OCRImagePreparation {

struct Prepared {
    QImage gray;   // Format_Grayscale8
    int scale = 1; // gray is this many times the original size
    bool inverted = false;
    double meanBrightness = 255;
    int textHeight = 0;     // typical height of an ink line in original pixels; 0 when none found
    int inkThreshold = 127; // grey levels at or below this are ink in `gray`
};

// Text whose ink lines are shorter than this (original pixels; about the ink of a
// 16 px font from ascender to descender) is upscaled 2x.
inline constexpr int kUpscaleBelowTextHeight = 15;
// ...unless the result would exceed this many pixels (a whole 4K screen of small
// text would take seconds more and hundreds of megabytes).
inline constexpr qint64 kMaximumUpscaledPixels = 12'000'000;

// Grey levels with transparency composited over white (what a viewer shows).
QImage toGrayOverWhite(const QImage& image);
double meanBrightness(const QImage& gray);
// Otsu's threshold of an 8-bit grey image.
int otsuThreshold(const QImage& gray);
// Median height of the horizontal bands that hold ink (dark pixels), ignoring
// bands thinner than 3 px (rules, specks); 0 when there is no such band.
int typicalInkLineHeight(const QImage& grayDarkOnLight);

// Thin straight rules (table grids, button outlines, underlines) enclose text in
// one large shape that single-block recognition skips entirely; they are painted
// over with the background. A rule is a run of ink at least kRuleMinimumLength
// (horizontal) or kRuleMinimumHeight (vertical) long and at most kRuleMaximumWidth
// thick, which glyph strokes of on-screen text sizes are not. Returns the pixels cleared.
inline constexpr int kRuleMinimumLength = 40;
inline constexpr int kRuleMinimumHeight = 24;
inline constexpr int kRuleMaximumWidth = 3;
int removeRules(QImage& grayDarkOnLight);

Prepared prepare(const QImage& image);

// Share of the pixels of `box` (clipped to the image) at or below `threshold`.
double inkCoverage(const QImage& gray, const QRect& box, int threshold);

} // namespace OCRImagePreparation
