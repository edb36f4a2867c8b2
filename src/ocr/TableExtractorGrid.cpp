#include "ocr/TableExtractor.h"

#include "ocr/BlockGeometry.h"

using BlockGeometry::Box;
using BlockGeometry::lessNanLast;

namespace {

// A column's horizontal extent, or a row's spread of cell centres.
struct Band {
    double center, min, max;
};

// Columns from horizontal overlap: a block joins the first group holding a member it
// overlaps by at least 30 % of the narrower of the two.
QList<Band> detectColumns(const QList<Box>& boxes) {
    const QList<qsizetype> byLeft =
        BlockGeometry::stableOrder(boxes.size(), [&boxes](qsizetype i) { return boxes[i].minX; });
    QList<QList<qsizetype>> groups;
    for (const qsizetype i : byLeft) {
        const Box& block = boxes[i];
        QList<qsizetype>* home = nullptr;
        for (QList<qsizetype>& group : groups) {
            for (const qsizetype m : group) {
                const Box& member = boxes[m];
                const double w = std::min(block.width, member.width);
                if (!(w > 0))
                    continue;
                const double overlap =
                    (std::min(block.maxX, member.maxX) - std::max(block.minX, member.minX)) / w;
                if (overlap >= 0.3) {
                    home = &group;
                    break;
                }
            }
            if (home)
                break;
        }
        if (home)
            home->append(i);
        else
            groups.append(QList<qsizetype>{i});
    }

    QList<Band> columns;
    columns.reserve(groups.size());
    for (const QList<qsizetype>& group : groups) {
        double min = boxes[group.first()].minX, max = boxes[group.first()].maxX;
        for (const qsizetype m : group) {
            min = std::min(min, boxes[m].minX);
            max = std::max(max, boxes[m].maxX);
        }
        columns.append({(min + max) * 0.5, min, max});
    }
    std::stable_sort(columns.begin(), columns.end(),
                     [](const Band& a, const Band& b) { return lessNanLast(a.center, b.center); });
    return columns;
}

// The column each block overlaps most, relative to the narrower of block and column;
// the first column among equals, column 0 when it overlaps none.
QList<qsizetype> assignColumns(const QList<Box>& boxes, const QList<Band>& columns) {
    QList<qsizetype> assignment;
    assignment.reserve(boxes.size());
    for (const Box& box : boxes) {
        double best = -1;
        qsizetype bestIndex = 0;
        for (qsizetype c = 0; c < columns.size(); ++c) {
            const Band& column = columns[c];
            const double smaller = std::min(box.width, column.max - column.min);
            double ratio = 0;
            if (smaller > 0)
                ratio = (std::min(box.maxX, column.max) - std::max(box.minX, column.min)) / smaller;
            if (!(ratio > 0))
                ratio = 0;
            if (ratio > best) {
                best = ratio;
                bestIndex = c;
            }
        }
        assignment.append(bestIndex);
    }
    return assignment;
}

// Blocks that overlap vertically by at least this share of the lower of the two lie on
// one line.
constexpr double kSameLineOverlap = 0.5;
// Within a column, a block this close below the cell above (in median block heights)
// continues it, as a wrapped cell does.
constexpr double kWrappedLineGap = 0.9;

bool onSameLine(const Box& a, const Box& b) {
    const double overlap = std::min(a.maxY, b.maxY) - std::max(a.minY, b.minY);
    return overlap >= kSameLineOverlap * std::min(a.height, b.height);
}

// Whether each block has a block of another column on its line. Such a block starts a
// row: a wrapped cell's next line is alone on its line, whereas the rows of a compact
// table lie closer than the wrap gap, because line boxes reach from ascender to descender.
QList<bool> sharesLineWithOtherColumn(const QList<Box>& boxes, const QList<qsizetype>& assignment) {
    const QList<qsizetype> byTop =
        BlockGeometry::stableOrder(boxes.size(), [&boxes](qsizetype i) { return boxes[i].minY; });
    QList<bool> shares(boxes.size(), false);
    for (qsizetype k = 0; k < byTop.size(); ++k) {
        const qsizetype a = byTop[k];
        for (qsizetype j = k + 1; j < byTop.size() && boxes[byTop[j]].minY <= boxes[a].maxY; ++j) {
            const qsizetype b = byTop[j];
            if (assignment[a] != assignment[b] && onSameLine(boxes[a], boxes[b]))
                shares[a] = shares[b] = true;
        }
    }
    return shares;
}

// Vertical centres of the cells of every column: within a column, a block alone on its
// line and closer than kWrappedLineGap median heights to the block above continues its cell.
QList<double> cellCentres(const QList<Box>& boxes, const QList<qsizetype>& assignment,
                          qsizetype columnCount) {
    QList<QList<qsizetype>> members(columnCount);
    for (qsizetype i = 0; i < boxes.size(); ++i)
        members[assignment[i]].append(i);
    const QList<bool> startsRow = sharesLineWithOtherColumn(boxes, assignment);

    QList<double> centres;
    for (const QList<qsizetype>& column : members) {
        if (column.isEmpty())
            continue;
        const QList<qsizetype> byTop =
            BlockGeometry::stableOrder(column.size(), [&](qsizetype k) { return boxes[column[k]].minY; });
        QList<double> heights;
        heights.reserve(column.size());
        for (const qsizetype i : column)
            heights.append(boxes[i].height);
        const double threshold = *TableExtractor::median(heights) * kWrappedLineGap;

        const Box& first = boxes[column[byTop.first()]];
        double top = first.minY, bottom = first.maxY, lastBottom = first.maxY;
        for (qsizetype k = 1; k < byTop.size(); ++k) {
            const qsizetype i = column[byTop[k]];
            const Box& box = boxes[i];
            if (startsRow[i] || !(box.minY - lastBottom <= threshold)) {
                centres.append((top + bottom) * 0.5);
                top = box.minY;
                bottom = box.maxY;
            } else {
                top = std::min(top, box.minY);
                bottom = std::max(bottom, box.maxY);
            }
            lastBottom = box.maxY;
        }
        centres.append((top + bottom) * 0.5);
    }
    return centres;
}

// Rows from the sorted cell centres, cut where neighbours are further apart than 1.5
// times the median spacing (at least 20 px).
QList<Band> detectRows(QList<double> centres) {
    std::sort(centres.begin(), centres.end(), lessNanLast);
    QList<double> differences;
    differences.reserve(centres.size());
    for (qsizetype i = 1; i < centres.size(); ++i)
        differences.append(centres[i] - centres[i - 1]);
    // fmax rather than std::max: a NaN spacing falls back to the floor.
    const double threshold = std::fmax(*TableExtractor::median(differences) * 1.5, 20.0);

    QList<Band> rows;
    qsizetype start = 0;
    auto closeRun = [&](qsizetype end) {
        double sum = 0;
        for (qsizetype i = start; i < end; ++i)
            sum += centres[i];
        rows.append({sum / double(end - start), centres[start], centres[end - 1]});
        start = end;
    };
    for (qsizetype i = 1; i < centres.size(); ++i) {
        if (differences[i - 1] > threshold)
            closeRun(i);
    }
    closeRun(centres.size());
    return rows;
}

qsizetype nearestRow(const QList<Band>& rows, double y) {
    qsizetype best = 0;
    double bestDistance = std::abs(rows.first().center - y);
    for (qsizetype r = 1; r < rows.size(); ++r) {
        const double distance = std::abs(rows[r].center - y);
        if (lessNanLast(distance, bestDistance)) {
            best = r;
            bestDistance = distance;
        }
    }
    return best;
}

// More lines than this in one cell, or fewer than half of the rows with two filled cells,
// and the blocks are not taken as a table.
constexpr qsizetype kMaximumCellLines = 3;

struct CellEntry {
    qsizetype row, column;
    double y;
    qsizetype block;
};

} // namespace

std::optional<QString> TableExtractor::tableMarkdown(const QList<OCRBlock>& blocks) {
    if (blocks.size() < 4)
        return std::nullopt;
    const QList<Box> boxes = BlockGeometry::boxesOf(blocks);

    const QList<Band> columns = detectColumns(boxes);
    if (columns.size() < 2)
        return std::nullopt;
    const QList<qsizetype> assignment = assignColumns(boxes, columns);

    const QList<double> centres = cellCentres(boxes, assignment, columns.size());
    if (centres.size() < 2)
        return std::nullopt;
    const QList<Band> rows = detectRows(centres);
    if (rows.size() < 2)
        return std::nullopt;

    // Cells are gathered sparsely and the decision taken before the full grid exists:
    // scattered blocks can make rows x columns far larger than the number of blocks.
    QList<CellEntry> entries;
    entries.reserve(blocks.size());
    for (qsizetype i = 0; i < blocks.size(); ++i)
        entries.append({nearestRow(rows, boxes[i].midY()), assignment[i], boxes[i].midY(), i});
    std::stable_sort(entries.begin(), entries.end(), [](const CellEntry& a, const CellEntry& b) {
        if (a.row != b.row)
            return a.row < b.row;
        if (a.column != b.column)
            return a.column < b.column;
        return lessNanLast(a.y, b.y);
    });

    struct Cell {
        qsizetype row, column;
        QString text;
    };
    QList<Cell> cells;
    for (qsizetype i = 0; i < entries.size();) {
        qsizetype end = i;
        QStringList texts;
        while (end < entries.size() && entries[end].row == entries[i].row &&
               entries[end].column == entries[i].column)
            texts.append(blocks[entries[end++].block].text);
        // A column that swallowed a paragraph is a layout, not a table cell.
        if (texts.size() > kMaximumCellLines)
            return std::nullopt;
        cells.append({entries[i].row, entries[i].column, texts.join(QLatin1Char(' '))});
        i = end;
    }

    qsizetype wellFilledRows = 0;
    for (qsizetype i = 0; i < cells.size();) {
        qsizetype filled = 0, end = i;
        for (; end < cells.size() && cells[end].row == cells[i].row; ++end)
            filled += cells[end].text.isEmpty() ? 0 : 1;
        if (filled >= 2)
            ++wellFilledRows;
        i = end;
    }
    // Dialogs and forms have a few label-and-value lines among many single ones.
    if (wellFilledRows < 2 || wellFilledRows * 2 < rows.size())
        return std::nullopt;

    QList<QStringList> grid(rows.size(), QStringList(columns.size()));
    for (Cell& cell : cells)
        grid[cell.row][cell.column] = std::move(cell.text);
    return formatMarkdownTable(grid);
}
