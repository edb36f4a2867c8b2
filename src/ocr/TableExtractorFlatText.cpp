#include "ocr/TableExtractor.h"

#include "ocr/BlockGeometry.h"

using BlockGeometry::Box;

namespace {

// Top to bottom, left to right among blocks whose tops are within half a pixel.
bool readsBefore(const Box& a, const Box& b) {
    if (std::abs(a.minY - b.minY) > 0.5)
        return a.minY < b.minY;
    return a.minX < b.minX;
}

// readsBefore is not transitive (tops 0.4 px apart compare by x, 0.8 px apart by y), and
// std::sort with such a comparison is undefined. A stable insertion sort is defined for
// any comparison and gives the usual order whenever the comparison is a proper ordering;
// OCR delivers lines nearly in reading order, so it is close to linear in practice.
QList<qsizetype> readingOrder(const QList<Box>& boxes) {
    QList<qsizetype> order;
    order.reserve(boxes.size());
    for (qsizetype i = 0; i < boxes.size(); ++i) {
        qsizetype j = order.size();
        order.append(i);
        while (j > 0 && readsBefore(boxes[i], boxes[order[j - 1]])) {
            order[j] = order[j - 1];
            --j;
        }
        order[j] = i;
    }
    return order;
}

struct VisualLine {
    QList<qsizetype> blocks;
    double top, bottom, height, width, left;
};

QList<VisualLine> visualLines(const QList<Box>& boxes, const QList<qsizetype>& order) {
    QList<double> heights;
    heights.reserve(boxes.size());
    for (const Box& box : boxes)
        heights.append(box.height);
    const double tolerance = *TableExtractor::median(heights) * 0.6;

    QList<VisualLine> lines;
    double reference = 0;
    for (const qsizetype i : order) {
        const Box& box = boxes[i];
        if (lines.isEmpty() || !(std::abs(box.minY - reference) <= tolerance)) {
            lines.append({{}, box.minY, box.maxY, box.height, 0, box.minX});
            reference = box.minY;
        }
        lines.last().blocks.append(i);
    }

    for (VisualLine& line : lines) {
        double right = boxes[line.blocks.first()].maxX;
        for (const qsizetype i : line.blocks) {
            const Box& box = boxes[i];
            line.top = std::min(line.top, box.minY);
            line.bottom = std::max(line.bottom, box.maxY);
            line.height = std::max(line.height, box.height);
            line.left = std::min(line.left, box.minX);
            right = std::max(right, box.maxX);
        }
        line.width = right - line.left;
    }
    return lines;
}

QString textOf(const QList<OCRBlock>& blocks, const VisualLine& line) {
    QList<OCRBlock> members;
    members.reserve(line.blocks.size());
    for (const qsizetype i : line.blocks)
        members.append(blocks[i]);
    return TableExtractor::lineText(members);
}

double typicalWidth(const QList<VisualLine>& lines) {
    QList<double> widths;
    for (const VisualLine& line : lines)
        widths.append(line.width);
    const double median = *TableExtractor::median(widths);
    double sum = 0;
    int wide = 0;
    for (const double width : widths) {
        if (width > 0.6 * median) {
            sum += width;
            ++wide;
        }
    }
    return wide > 0 ? sum / wide : median;
}

} // namespace

QString TableExtractor::flatText(const QList<OCRBlock>& blocks) {
    if (blocks.isEmpty())
        return QString();
    const QList<Box> boxes = BlockGeometry::boxesOf(blocks);
    const QList<VisualLine> lines = visualLines(boxes, readingOrder(boxes));
    if (lines.size() == 1)
        return textOf(blocks, lines.first());

    QList<double> heights, lefts;
    for (const VisualLine& line : lines) {
        heights.append(line.height);
        lefts.append(line.left);
    }
    const double gapThreshold = *median(heights) * 1.5;
    const double shortLineThreshold = typicalWidth(lines) * 0.8;
    const double indentThreshold = *median(lefts) + 8.0;

    QString text = textOf(blocks, lines.first());
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const VisualLine& previous = lines[i - 1];
        const VisualLine& line = lines[i];
        const bool paragraphEnds = line.top - previous.bottom > gapThreshold || line.left > indentThreshold ||
                                   previous.width < shortLineThreshold;
        text += paragraphEnds ? QStringLiteral("\n\n") : QStringLiteral("\n");
        text += textOf(blocks, line);
    }
    return text;
}
