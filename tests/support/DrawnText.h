#pragma once

// Images of text drawn with QPainter, with the box of every line or cell as drawn,
// for OCR tests and benchmarks. Needs a QGuiApplication (any platform, offscreen too).

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QRectF>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace DrawnText {

struct Line {
    QString text;
    QRectF box; // image pixels, top-left origin
};

struct Picture {
    QImage image;
    QList<Line> lines; // lines (or table cells, row by row) in reading order
};

enum class Theme { Light, Dark };

// Rows of cells, left-aligned in columns `columnGap` apart, rows `rowPitch` line heights
// apart. With `scale` 2 the image is what a HiDPI screen shows (all sizes doubled).
inline Picture table(const QList<QStringList>& rows, double pixelSize, Theme theme, double columnGap = 36,
                     double rowPitch = 1.8, int scale = 1,
                     const QString& family = QStringLiteral("DejaVu Sans")) {
    QFont font(family);
    font.setPixelSize(qRound(pixelSize * scale));
    font.setHintingPreference(QFont::PreferNoHinting);
    const QFontMetricsF metrics(font);
    const double margin = 12 * scale, gap = columnGap * scale, rowHeight = metrics.height() * rowPitch;
    std::vector<double> columnWidth(rows.first().size());
    for (const QStringList& row : rows)
        for (int c = 0; c < row.size(); ++c)
            columnWidth[c] = std::max(columnWidth[c], metrics.horizontalAdvance(row[c]));
    double width = 2 * margin - gap;
    for (double w : columnWidth)
        width += w + gap;
    Picture picture;
    picture.image = QImage(qCeil(width), qCeil(2 * margin + (rows.size() - 1) * rowHeight + metrics.height()),
                           QImage::Format_RGB32);
    const bool dark = theme == Theme::Dark;
    picture.image.fill(dark ? QColor(30, 30, 30) : QColor(255, 255, 255));
    QPainter painter(&picture.image);
    painter.setFont(font);
    painter.setPen(dark ? QColor(220, 220, 220) : QColor(34, 34, 34));
    for (int r = 0; r < rows.size(); ++r) {
        double left = margin;
        const double top = margin + r * rowHeight;
        for (int c = 0; c < rows[r].size(); ++c) {
            painter.drawText(QPointF(left, top + metrics.ascent()), rows[r][c]);
            picture.lines.append(
                {rows[r][c], {left, top, metrics.horizontalAdvance(rows[r][c]), metrics.height()}});
            left += columnWidth[c] + gap;
        }
    }
    return picture;
}

// One paragraph, one drawn line per entry.
inline Picture prose(const QStringList& lines, double pixelSize, Theme theme, int scale = 1,
                     const QString& family = QStringLiteral("DejaVu Sans")) {
    QList<QStringList> rows;
    for (const QString& line : lines)
        rows.append({line});
    return table(rows, pixelSize, theme, 0, 1.35, scale, family);
}

inline QStringList proseLines() {
    return {QStringLiteral("The committee will review every application received before the end"),
            QStringLiteral("of March and publish its decision in early May. Candidates who submit"),
            QStringLiteral("their documents late should contact the office by phone at 555-0142"),
            QStringLiteral("or write to the secretary, who keeps a list of open questions. Please"),
            QStringLiteral("note that incomplete forms cannot be accepted; the fee of $45 is not"),
            QStringLiteral("refundable. Interviews take place on Tuesday and Thursday mornings,"),
            QStringLiteral("and each one lasts about twenty minutes (see the attached schedule).")};
}

inline QList<QStringList> sampleTable() {
    return {{QStringLiteral("Country"), QStringLiteral("Capital"), QStringLiteral("Population")},
            {QStringLiteral("France"), QStringLiteral("Paris"), QStringLiteral("68 million")},
            {QStringLiteral("Japan"), QStringLiteral("Tokyo"), QStringLiteral("125 million")},
            {QStringLiteral("Kenya"), QStringLiteral("Nairobi"), QStringLiteral("54 million")}};
}

// Levenshtein distance over code points.
inline int editDistance(const QString& a, const QString& b) {
    const QList<uint> s = a.toUcs4(), t = b.toUcs4();
    std::vector<int> previous(t.size() + 1), current(t.size() + 1);
    for (qsizetype j = 0; j <= t.size(); ++j)
        previous[j] = int(j);
    for (qsizetype i = 1; i <= s.size(); ++i) {
        current[0] = int(i);
        for (qsizetype j = 1; j <= t.size(); ++j)
            current[j] = std::min(
                {previous[j] + 1, current[j - 1] + 1, previous[j - 1] + (s[i - 1] == t[j - 1] ? 0 : 1)});
        std::swap(previous, current);
    }
    return previous[t.size()];
}

// Character error rate of `recognised` against `reference`, whitespace runs collapsed.
inline double characterErrorRate(const QString& reference, const QString& recognised) {
    const QString ref = reference.simplified(), hyp = recognised.simplified();
    if (ref.isEmpty())
        return hyp.isEmpty() ? 0.0 : 1.0;
    return double(editDistance(ref, hyp)) / double(ref.toUcs4().size());
}

} // namespace DrawnText
