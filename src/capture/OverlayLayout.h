#pragma once

#include <QRectF>
#include <QSizeF>
#include <QString>

// Where the overlay draws its size label and instruction card, in the overlay's
// bottom-left points; texts are placed by their line boxes, measured by the caller.
class OverlayLayout {
public:
    OverlayLayout() = delete;

    // "W × H" in whole points, truncated.
    static QString sizeLabelText(const QRectF& selection);

    struct SizeLabel {
        QRectF box;
        QRectF text;
    };
    // Just below the selection, its right edge 4 points right of the selection's, and
    // never lower than 4 points above the bottom of the screen (then it overlaps the
    // selection).
    static SizeLabel sizeLabel(const QRectF& selection, const QSizeF& textSize);

    struct InstructionCard {
        QRectF card;
        QRectF icon; // above the card
        QRectF title;
        QRectF subtitle;
    };
    static InstructionCard instructionCard(const QRectF& bounds, const QSizeF& titleSize,
                                           const QSizeF& subtitleSize, const QSizeF& iconSize);
};
