#include "ocr/TableExtractor.h"

#include "ocr/BlockGeometry.h"
#include "text/GraphemeCount.h"

using BlockGeometry::lessNanLast;

namespace {

// Backslash and "|" escaped, line feeds flattened, for one table cell.
QString escapeCell(const QString& cell) {
    QString escaped = cell;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    escaped.replace(QLatin1Char('|'), QStringLiteral("\\|"));
    escaped.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return escaped;
}

QString tableRow(const QStringList& escapedCells) {
    return QStringLiteral("| ") + escapedCells.join(QStringLiteral(" | ")) + QStringLiteral(" |");
}

bool isNewline(QChar c) {
    const char16_t u = c.unicode();
    return (u >= 0x0a && u <= 0x0d) || u == 0x85 || u == 0x2028 || u == 0x2029;
}

QStringView trimmedOfNewlines(QStringView line) {
    while (!line.isEmpty() && isNewline(line.front()))
        line = line.sliced(1);
    while (!line.isEmpty() && isNewline(line.back()))
        line.chop(1);
    return line;
}

// One table row from a tab-separated line, appended straight to `out`: large pastes
// would otherwise cost an allocation per cell.
void appendTabRow(QString& out, QStringView line) {
    out += QLatin1String("| ");
    qsizetype chunkStart = 0;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        const char* replacement = c == QLatin1Char('\\')   ? "\\\\"
                                  : c == QLatin1Char('|')  ? "\\|"
                                  : c == QLatin1Char('\n') ? " "
                                  : c == QLatin1Char('\t') ? " | "
                                                           : nullptr;
        if (!replacement)
            continue;
        out += line.sliced(chunkStart, i - chunkStart);
        out += QLatin1String(replacement);
        chunkStart = i + 1;
    }
    out += line.sliced(chunkStart);
    out += QLatin1String(" |");
}

} // namespace

std::optional<double> TableExtractor::median(QList<double> values) {
    if (values.isEmpty())
        return std::nullopt;
    std::sort(values.begin(), values.end(), lessNanLast);
    const qsizetype n = values.size();
    if (n % 2 == 1)
        return values[n / 2];
    const double a = values[n / 2 - 1], b = values[n / 2];
    const double mean = (a + b) / 2;
    // Two huge finite values must not average to infinity.
    return std::isinf(mean) && std::isfinite(a) && std::isfinite(b) ? a / 2 + b / 2 : mean;
}

QString TableExtractor::lineText(const QList<OCRBlock>& blocks) {
    const QList<qsizetype> order = BlockGeometry::stableOrder(
        blocks.size(), [&blocks](qsizetype i) { return BlockGeometry::boxOf(blocks[i]).minX; });
    QStringList texts;
    texts.reserve(blocks.size());
    for (const qsizetype i : order)
        texts.append(blocks[i].text);
    return texts.join(QLatin1Char(' '));
}

QString TableExtractor::formatMarkdownTable(const QList<QStringList>& grid) {
    if (grid.isEmpty() || grid.first().isEmpty())
        return QString();
    const QStringList& header = grid.first();
    const qsizetype columns = header.size();

    QStringList escapedHeader;
    QStringList dashRuns;
    for (qsizetype c = 0; c < columns; ++c) {
        escapedHeader.append(escapeCell(header[c]));
        qsizetype width = std::max<qsizetype>(3, graphemeCount(escapedHeader.last()));
        for (const QStringList& row : grid) {
            if (c < row.size())
                width = std::max(width, graphemeCount(row[c]));
        }
        dashRuns.append(QString(width, QLatin1Char('-')));
    }

    QStringList lines;
    lines.reserve(grid.size() + 1);
    lines.append(tableRow(escapedHeader));
    lines.append(QLatin1Char('|') + dashRuns.join(QLatin1Char('|')) + QLatin1Char('|'));
    for (qsizetype r = 1; r < grid.size(); ++r) {
        const QStringList& row = grid[r];
        QStringList cells;
        cells.reserve(columns);
        for (qsizetype c = 0; c < columns; ++c)
            cells.append(c < row.size() ? escapeCell(row[c]) : QString());
        lines.append(tableRow(cells));
    }
    return lines.join(QLatin1Char('\n'));
}

QString TableExtractor::detectAndConvertTabSeparated(const QString& text) {
    if (!text.contains(QLatin1Char('\t')))
        return text;

    QList<QStringView> lines;
    for (const QStringView piece : QStringView(text).split(QLatin1Char('\n'))) {
        const QStringView line = trimmedOfNewlines(piece);
        if (!line.isEmpty())
            lines.append(line);
    }
    if (lines.size() < 2)
        return text;

    QString table;
    table.reserve(text.size() + text.size() / 2 + 64);
    appendTabRow(table, lines.first());
    table += QLatin1Char('\n');
    const qsizetype headerCells = lines.first().count(QLatin1Char('\t')) + 1;
    table += QLatin1Char('|');
    for (qsizetype c = 0; c < headerCells; ++c)
        table += QLatin1String("---|");
    for (qsizetype i = 1; i < lines.size(); ++i) {
        table += QLatin1Char('\n');
        appendTabRow(table, lines[i]);
    }
    return table;
}
