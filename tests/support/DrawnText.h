#pragma once

// Images of text drawn with QPainter, with the box of every line or cell as drawn,
// for OCR tests and benchmarks. Needs a QGuiApplication (any platform, offscreen too).

#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
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

struct Theme {
    QColor background;
    QColor foreground;
};
inline Theme lightTheme() {
    return {QColor(255, 255, 255), QColor(34, 34, 34)};
}
inline Theme darkTheme() {
    return {QColor(30, 30, 30), QColor(220, 220, 220)};
}

inline QFont font(double pixelSize, const QString& family = QStringLiteral("DejaVu Sans")) {
    QFont f(family);
    f.setPixelSize(qRound(pixelSize));
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
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

// One paragraph, one drawn line per entry, at `pixelSize` logical pixels; with
// `scale` 2 the image is what a HiDPI screen shows (all sizes doubled).
inline Picture prose(const QStringList& lines, double pixelSize, Theme theme, int scale = 1,
                     const QString& family = QStringLiteral("DejaVu Sans")) {
    const QFont f = font(pixelSize * scale, family);
    const QFontMetricsF metrics(f);
    const double margin = 12 * scale, leading = metrics.height() * 0.35;
    double width = 0;
    for (const QString& line : lines)
        width = std::max(width, metrics.horizontalAdvance(line));
    const double height = lines.size() * metrics.height() + (lines.size() - 1) * leading;
    Picture picture;
    picture.image = QImage(qCeil(width + 2 * margin), qCeil(height + 2 * margin), QImage::Format_RGB32);
    picture.image.fill(theme.background);
    QPainter painter(&picture.image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setFont(f);
    painter.setPen(theme.foreground);
    double top = margin;
    for (const QString& line : lines) {
        painter.drawText(QPointF(margin, top + metrics.ascent()), line);
        picture.lines.append({line, QRectF(margin, top, metrics.horizontalAdvance(line), metrics.height())});
        top += metrics.height() + leading;
    }
    return picture;
}

// A table without rules: header and rows of cells, columns left-aligned at
// fixed gaps; `lines` lists the cells row by row.
// `rowPitch` is the distance between rows in line heights.
inline Picture table(const QList<QStringList>& rows, double pixelSize, Theme theme, double columnGap = 36,
                     bool gridLines = false, double rowPitch = 1.8) {
    const QFont f = font(pixelSize);
    const QFont bold = [&] {
        QFont b = f;
        b.setBold(true);
        return b;
    }();
    const QFontMetricsF metrics(f), boldMetrics(bold);
    std::vector<double> columnWidth(rows.first().size(), 0);
    for (int r = 0; r < rows.size(); ++r)
        for (int c = 0; c < rows[r].size(); ++c)
            columnWidth[c] =
                std::max(columnWidth[c], (r == 0 ? boldMetrics : metrics).horizontalAdvance(rows[r][c]));
    const double margin = 12, rowHeight = metrics.height() * rowPitch;
    double width = 2 * margin - columnGap;
    for (double w : columnWidth)
        width += w + columnGap;
    Picture picture;
    picture.image = QImage(qCeil(width + (gridLines ? columnGap : 0)),
                           qCeil(rows.size() * rowHeight + 2 * margin), QImage::Format_RGB32);
    picture.image.fill(theme.background);
    QPainter painter(&picture.image);
    painter.setPen(theme.foreground);
    for (int r = 0; r < rows.size(); ++r) {
        painter.setFont(r == 0 ? bold : f);
        const QFontMetricsF& m = r == 0 ? boldMetrics : metrics;
        const double top = margin + r * rowHeight;
        double left = margin + (gridLines ? columnGap / 2 : 0);
        for (int c = 0; c < rows[r].size(); ++c) {
            painter.drawText(QPointF(left, top + m.ascent()), rows[r][c]);
            picture.lines.append(
                {rows[r][c], QRectF(left, top, m.horizontalAdvance(rows[r][c]), m.height())});
            left += columnWidth[c] + columnGap;
        }
    }
    if (gridLines) {
        painter.setPen(QPen(theme.foreground, 1));
        double x = margin;
        for (size_t c = 0; c <= columnWidth.size(); ++c) {
            painter.drawLine(QPointF(x, margin - rowHeight * 0.2),
                             QPointF(x, margin + rows.size() * rowHeight - rowHeight * 0.2));
            if (c < columnWidth.size())
                x += columnWidth[c] + columnGap;
        }
        for (int r = 0; r <= rows.size(); ++r) {
            const double y = margin + r * rowHeight - rowHeight * 0.2;
            painter.drawLine(QPointF(margin, y), QPointF(x, y));
        }
    }
    return picture;
}

inline QList<QStringList> sampleTable() {
    return {{QStringLiteral("Country"), QStringLiteral("Capital"), QStringLiteral("Population")},
            {QStringLiteral("France"), QStringLiteral("Paris"), QStringLiteral("68 million")},
            {QStringLiteral("Japan"), QStringLiteral("Tokyo"), QStringLiteral("125 million")},
            {QStringLiteral("Kenya"), QStringLiteral("Nairobi"), QStringLiteral("54 million")}};
}

// A toolbar-like strip: labelled buttons with a round icon before each label.
inline Picture uiFragment(Theme theme) {
    const QStringList labels{QStringLiteral("Open"), QStringLiteral("Save as"), QStringLiteral("Export PDF"),
                             QStringLiteral("Settings")};
    const QFont f = font(14);
    const QFontMetricsF metrics(f);
    Picture picture;
    picture.image = QImage(560, 48, QImage::Format_RGB32);
    picture.image.fill(theme.background);
    QPainter painter(&picture.image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setFont(f);
    double left = 10;
    for (const QString& label : labels) {
        const double buttonWidth = 30 + metrics.horizontalAdvance(label) + 14;
        painter.setPen(theme.foreground);
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(left, 8, buttonWidth, 32), 5, 5);
        painter.setBrush(theme.foreground);
        painter.drawEllipse(QRectF(left + 9, 17, 14, 14));
        const QPointF origin(left + 30, 24 - metrics.height() / 2 + metrics.ascent());
        painter.drawText(origin, label);
        picture.lines.append({label, QRectF(origin.x(), 24 - metrics.height() / 2,
                                            metrics.horizontalAdvance(label), metrics.height())});
        left += buttonWidth + 26;
    }
    return picture;
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

// Character error rate of `recognised` against `reference`, whitespace runs
// collapsed to one space on both sides.
inline double characterErrorRate(const QString& reference, const QString& recognised) {
    const QString ref = reference.simplified(), hyp = recognised.simplified();
    if (ref.isEmpty())
        return hyp.isEmpty() ? 0.0 : 1.0;
    return double(editDistance(ref, hyp)) / double(ref.toUcs4().size());
}

} // namespace DrawnText
