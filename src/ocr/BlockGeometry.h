#pragma once

#include "ocr/OCRBlock.h"

#include <QList>

#include <algorithm>
#include <cmath>
#include <numeric>

// Geometry shared by the table and flat-text reconstruction. Boxes come from OCR and are
// ordinary, but the code must stay defined for any double: orderings put NaN last so that
// every sort sees a strict weak ordering.
namespace BlockGeometry {

struct Box {
    double minX, maxX, minY, maxY, width, height;
    double midY() const { return minY + height / 2; }
};

inline Box boxOf(const OCRBlock& block) {
    const QRectF r = block.boundingBox.normalized();
    return {r.left(), r.right(), r.top(), r.bottom(), r.width(), r.height()};
}

inline QList<Box> boxesOf(const QList<OCRBlock>& blocks) {
    QList<Box> boxes;
    boxes.reserve(blocks.size());
    for (const OCRBlock& block : blocks)
        boxes.append(boxOf(block));
    return boxes;
}

// Ascending, NaN after every number and equivalent to other NaNs.
inline bool lessNanLast(double a, double b) {
    return a < b || (std::isnan(b) && !std::isnan(a));
}

// The positions 0..n-1 stably ordered by ascending key(i).
template <typename Key> QList<qsizetype> stableOrder(qsizetype n, Key key) {
    QList<qsizetype> order(n);
    std::iota(order.begin(), order.end(), qsizetype(0));
    std::stable_sort(order.begin(), order.end(),
                     [&key](qsizetype a, qsizetype b) { return lessNanLast(key(a), key(b)); });
    return order;
}

} // namespace BlockGeometry
