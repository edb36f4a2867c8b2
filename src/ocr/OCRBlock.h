#pragma once

#include <QRectF>
#include <QString>

// One recognised line: its text and its box in image pixels, origin top-left.
struct OCRBlock {
    QString text;
    QRectF boundingBox;
};
