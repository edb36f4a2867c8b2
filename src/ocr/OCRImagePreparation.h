#pragma once

#include "ocr/InkComponents.h"

#include <QImage>

// Turns any crop into what reads best: 8-bit grey, dark text on a light ground,
// and large enough for the recogniser.
namespace OCRImagePreparation {

struct Prepared {
    QImage gray;   // Format_Grayscale8
    int scale = 1; // gray is this many times the original size
    bool inverted = false;
    double meanBrightness = 255;
    int glyphHeight = 0;    // typical glyph height in original pixels; 0 when no text-like ink
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

// The most common grey level: the page the text is on.
int groundLevel(const QImage& gray);
// What is darker than the ground by this much is ink when looking for shapes.
inline constexpr int kInkContrast = 40;

// A solid area darker than the page (a navigation bar, a coloured button, a table's
// header band) holds light or dark text. Such an area is at least this many glyph heights
// tall and wide, and ink covers at least this share of its box (text and counters leave
// the rest).
inline constexpr double kFilledAreaMinimumHeight = 1.5;
inline constexpr double kFilledAreaMinimumWidth = 3;
inline constexpr double kFilledAreaMinimumFill = 0.65;
// An area about as wide as tall and smaller than this many glyph heights is an icon or a
// badge: turned inside out it would read as stray letters.
inline constexpr double kIconMaximumSize = 5;
inline constexpr double kIconMaximumAspect = 1.5;
// Gives every filled area of `grayDarkOnLight` a white ground, its text dark: light text
// is inverted within the area, dark text on a mid-tone fill only brightened. `ink` are
// the image's shapes darker than its ground. Returns the number of areas changed.
int normalizeFilledAreas(QImage& grayDarkOnLight, const InkComponents& ink, int glyphHeight);

// Thin straight rules (table grids, button outlines, underlines) enclose text in
// one large shape that single-block recognition skips entirely; they are painted
// over with the background. A rule is a run of ink at most kRuleMaximumWidth thick and
// at least kRuleMinimumLength long (horizontal) or kRuleMinimumHeight tall (vertical),
// and longer than the glyphs around it: kRuleLengthInGlyphs or kRuleHeightInGlyphs times
// `glyphHeight`, which no glyph stroke reaches, not even in a heading twice the size of
// the text. Returns the pixels cleared.
inline constexpr int kRuleMinimumLength = 40;
inline constexpr int kRuleMinimumHeight = 24;
inline constexpr double kRuleLengthInGlyphs = 4;
inline constexpr double kRuleHeightInGlyphs = 3;
inline constexpr int kRuleMaximumWidth = 3;
int removeRules(QImage& grayDarkOnLight, int glyphHeight);

Prepared prepare(const QImage& image);

// Share of the pixels of `box` (clipped to the image) at or below `threshold`.
double inkCoverage(const QImage& gray, const QRect& box, int threshold);

} // namespace OCRImagePreparation
