#include "capture/OverlayLayout.h"

#include <cmath>

QString OverlayLayout::sizeLabelText(const QRectF& selection) {
    const auto whole = [](qreal value) { return QString::number(static_cast<long long>(std::trunc(value))); };
    return whole(selection.width()) + QStringLiteral(" × ") + whole(selection.height());
}

OverlayLayout::SizeLabel OverlayLayout::sizeLabel(const QRectF& selection, const QSizeF& textSize) {
    const qreal tw = textSize.width(), th = textSize.height();
    const QRectF box(selection.right() - tw - 8, std::max(selection.y() - th - 6, 4.0), tw + 12, th + 6);
    return {box, QRectF(QPointF(box.x() + 6, box.y() + 3), textSize)};
}

OverlayLayout::InstructionCard OverlayLayout::instructionCard(const QRectF& bounds, const QSizeF& titleSize,
                                                              const QSizeF& subtitleSize,
                                                              const QSizeF& iconSize) {
    const QPointF c = bounds.center();
    const qreal contentWidth = std::max(titleSize.width(), subtitleSize.width());
    const qreal contentHeight = titleSize.height() + subtitleSize.height() + 6;
    InstructionCard layout;
    layout.card = QRectF(c.x() - contentWidth / 2 - 24, c.y() - contentHeight / 2 - 16, contentWidth + 48,
                         contentHeight + 32);
    const qreal cardTop = layout.card.y() + layout.card.height(); // y grows upwards
    layout.icon =
        QRectF(QPointF(c.x() - iconSize.width() / 2, cardTop - iconSize.height() / 2 + 28), iconSize);
    layout.title = QRectF(
        QPointF(c.x() - titleSize.width() / 2, layout.card.y() + 20 + subtitleSize.height() + 6), titleSize);
    layout.subtitle = QRectF(QPointF(c.x() - subtitleSize.width() / 2, layout.card.y() + 18), subtitleSize);
    return layout;
}
