#pragma once

#include <QImage>
#include <QList>
#include <QRect>

// Connected shapes of ink (grey level at or below a threshold, 8-connected) in an 8-bit
// grey image, kept as horizontal runs so that large crops stay cheap.
struct InkRun {
    int y, left, right; // pixels left..right-1 of row y
    int component;
};

struct InkComponent {
    QRect box;
    qint64 pixels = 0;
    double fill() const { return double(pixels) / (double(box.width()) * box.height()); }
};

struct InkComponents {
    QList<InkRun> runs; // row by row, left to right
    QList<InkComponent> components;

    static InkComponents find(const QImage& gray, int threshold);

    // The height of ordinary glyphs: the 80th percentile of the heights of glyph-like
    // shapes (not specks, rules or long bars); 0 when there are none.
    int glyphHeight() const;
};
