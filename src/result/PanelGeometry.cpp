#include "result/PanelGeometry.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

// Left part when the source's middle is at or right of the screen's middle.
QRectF halfAwayFrom(const ScreenFrames& screen, qreal sourceMiddle, qreal y, qreal height) {
    const QRectF& visible = screen.visible;
    const qreal middle = screen.frame.center().x();
    if (sourceMiddle >= middle)
        return {visible.left(), y, middle - visible.left(), height};
    return {middle, y, visible.right() - middle, height};
}

} // namespace

QRectF PanelGeometry::flipped(const QRectF& rect, qreal primaryBottom) {
    return {rect.x(), primaryBottom - rect.y() - rect.height(), rect.width(), rect.height()};
}

std::optional<qsizetype> PanelGeometry::screenFor(const QList<ScreenFrames>& screens, const QRectF& rect,
                                                  qsizetype mainIndex) {
    if (screens.isEmpty())
        return std::nullopt;
    for (qsizetype i = 0; i < screens.size(); ++i) {
        if (screens.at(i).frame.intersects(rect))
            return i;
    }
    return mainIndex >= 0 && mainIndex < screens.size() ? mainIndex : 0;
}

std::optional<qsizetype> PanelGeometry::screenHolding(const QList<ScreenFrames>& screens, const QRectF& frame,
                                                      qsizetype mainIndex) {
    if (screens.isEmpty())
        return std::nullopt;
    std::optional<qsizetype> best;
    qreal bestArea = 0;
    for (qsizetype i = 0; i < screens.size(); ++i) {
        const QRectF common = screens.at(i).frame.intersected(frame);
        const qreal area = common.width() * common.height();
        if (area > bestArea) {
            best = i;
            bestArea = area;
        }
    }
    if (best)
        return best;
    return mainIndex >= 0 && mainIndex < screens.size() ? mainIndex : 0;
}

QRectF PanelGeometry::placement(const QList<ScreenFrames>& screens, qsizetype mainIndex, const QRectF& source,
                                const std::optional<QRectF>& savedFrame) {
    const std::optional<qsizetype> index = screenFor(screens, source, mainIndex);
    if (!index)
        return withoutScreen;
    const ScreenFrames& screen = screens.at(*index);
    const QRectF& visible = screen.visible;
    qreal y = visible.y();
    qreal height = visible.height();
    if (savedFrame) {
        height = std::min(std::max(savedFrame->height(), minimumSize.height()), visible.height());
        y = std::min(std::max(savedFrame->y(), visible.y()), visible.y() + visible.height() - height);
    }
    return halfAwayFrom(screen, source.center().x(), y, height);
}

QRectF PanelGeometry::otherHalf(const ScreenFrames& screen, const QRectF& panel) {
    return halfAwayFrom(screen, panel.center().x(), panel.y(), panel.height());
}

QString PanelGeometry::frameText(const QRectF& frame) {
    const auto number = [](qreal value) {
        return QString::number(value, 'g', QLocale::FloatingPointShortest);
    };
    return QStringLiteral("{{%1, %2}, {%3, %4}}")
        .arg(number(frame.x()), number(frame.y()), number(frame.width()), number(frame.height()));
}

QRectF PanelGeometry::parseFrameText(const QString& text) {
    static const QRegularExpression form(QStringLiteral(
        R"(^\s*\{\s*\{\s*(\S+?)\s*,\s*(\S+?)\s*\}\s*,\s*\{\s*(\S+?)\s*,\s*(\S+?)\s*\}\s*\}\s*$)"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return {};
    qreal values[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        values[i] = match.capturedView(i + 1).toDouble(&ok);
        // A non-finite number would spread through every later computation.
        if (!ok || !std::isfinite(values[i]))
            return {};
    }
    return {values[0], values[1], values[2], values[3]};
}
