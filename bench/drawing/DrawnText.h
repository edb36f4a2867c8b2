#pragma once

// Images of text drawn with QPainter, with the box of every line or cell as drawn, for the
// benchmarks and the stored images of the OCR tests. Needs a QGuiApplication (any platform,
// offscreen too).

#include <QFont>
#include <QFontMetricsF>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QPainterPath>
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

// A canvas laid out in logical pixels and drawn at `scale` image pixels per logical one,
// as a HiDPI screen shows it. Text that is `recorded` becomes a Line of the picture, in
// the order drawn, so callers draw in reading order.
class Sheet {
public:
    Sheet(double width, double height, int scale, QColor background) : m_scale(scale) {
        m_picture.image = QImage(qCeil(width * scale), qCeil(height * scale), QImage::Format_RGB32);
        m_picture.image.fill(background);
        m_painter.begin(&m_picture.image);
        m_painter.setRenderHint(QPainter::Antialiasing);
    }
    Sheet(const Sheet&) = delete;
    Sheet& operator=(const Sheet&) = delete;

    int scale() const { return m_scale; }

    // A font of `pixelSize` logical pixels.
    QFont font(const QString& family, double pixelSize, int weight = QFont::Normal, bool italic = false,
               QFont::HintingPreference hinting = QFont::PreferNoHinting) const {
        QFont f(family);
        f.setPixelSize(qRound(pixelSize * m_scale));
        f.setWeight(QFont::Weight(weight));
        f.setItalic(italic);
        f.setHintingPreference(hinting);
        return f;
    }
    // Logical metrics of a font made by font().
    double width(const QFont& font, const QString& text) const {
        return QFontMetricsF(font).horizontalAdvance(text) / m_scale;
    }
    double lineHeight(const QFont& font) const { return QFontMetricsF(font).height() / m_scale; }
    double ascent(const QFont& font) const { return QFontMetricsF(font).ascent() / m_scale; }

    // Draws `text` with the top of its line box at y; returns its logical width.
    double text(double x, double y, const QString& text, const QFont& font, QColor color,
                bool recorded = true) {
        const QFontMetricsF metrics(font);
        m_painter.setFont(font);
        m_painter.setPen(color);
        m_painter.drawText(QPointF(x * m_scale, y * m_scale + metrics.ascent()), text);
        const double advance = metrics.horizontalAdvance(text);
        if (recorded)
            m_picture.lines.append({text, {x * m_scale, y * m_scale, advance, metrics.height()}});
        return advance / m_scale;
    }
    // Words spread so that the line ends exactly `lineWidth` further right, as justified text.
    void justified(double x, double y, const QStringList& words, double lineWidth, const QFont& font,
                   QColor color) {
        double used = 0;
        for (const QString& word : words)
            used += width(font, word);
        const double gap = words.size() > 1 ? (lineWidth - used) / double(words.size() - 1) : 0;
        double left = x;
        for (const QString& word : words)
            left += this->text(left, y, word, font, color, false) + gap;
        const QFontMetricsF metrics(font);
        m_picture.lines.append({words.join(QLatin1Char(' ')),
                                {x * m_scale, y * m_scale, (left - gap - x) * m_scale, metrics.height()}});
    }

    void fill(const QRectF& rect, QColor color, double radius = 0) {
        QPainterPath path;
        path.addRoundedRect(scaled(rect), radius * m_scale, radius * m_scale);
        m_painter.fillPath(path, color);
    }
    void outline(const QRectF& rect, QColor color, double penWidth = 1, double radius = 0) {
        m_painter.setPen(QPen(color, penWidth * m_scale));
        m_painter.setBrush(Qt::NoBrush);
        const double inset = penWidth * m_scale / 2;
        m_painter.drawRoundedRect(scaled(rect).adjusted(inset, inset, -inset, -inset), radius * m_scale,
                                  radius * m_scale);
    }
    void ellipse(const QRectF& rect, QColor color, bool filled) {
        m_painter.setPen(filled ? QPen(Qt::NoPen) : QPen(color, m_scale));
        m_painter.setBrush(filled ? QBrush(color) : QBrush(Qt::NoBrush));
        m_painter.drawEllipse(scaled(rect));
    }
    // A crisp rule of `thickness` logical pixels from (x1, y1) to (x2, y2), horizontal or vertical.
    void rule(double x1, double y1, double x2, double y2, QColor color, double thickness = 1) {
        const double t = thickness * m_scale;
        m_painter.fillRect(QRectF(x1 * m_scale, y1 * m_scale, std::max((x2 - x1) * m_scale, t),
                                  std::max((y2 - y1) * m_scale, t)),
                           color);
    }
    QPainter& painter() { return m_painter; }

    Picture finish() {
        m_painter.end();
        return std::move(m_picture);
    }

private:
    QRectF scaled(const QRectF& r) const {
        return {r.x() * m_scale, r.y() * m_scale, r.width() * m_scale, r.height() * m_scale};
    }

    int m_scale;
    Picture m_picture;
    QPainter m_painter;
};

inline bool isIdeographic(QChar c) {
    return c.script() == QChar::Script_Han || (c.unicode() >= 0x3000 && c.unicode() <= 0x303f) ||
           (c.unicode() >= 0xff00 && c.unicode() <= 0xffef);
}

// Greedy wrap of `text` into lines no wider than `width` logical pixels: Latin text at
// spaces, Chinese after any character but before closing punctuation.
inline QStringList wrap(const Sheet& sheet, const QFont& font, const QString& text, double width) {
    static const QString noLineStart = QStringLiteral("，。、：；！？）》”");
    QStringList lines;
    QString current;
    for (qsizetype i = 0; i < text.size();) {
        const bool spaced = text[i] == QLatin1Char(' ');
        while (i < text.size() && text[i] == QLatin1Char(' '))
            ++i;
        if (i == text.size())
            break;
        qsizetype end = i + 1;
        if (!isIdeographic(text[i]))
            while (end < text.size() && text[end] != QLatin1Char(' ') && !isIdeographic(text[end]))
                ++end;
        const QString token = text.mid(i, end - i);
        i = end;
        const QString candidate =
            current + (spaced && !current.isEmpty() ? QStringLiteral(" ") : QString()) + token;
        if (!current.isEmpty() && sheet.width(font, candidate) > width &&
            !noLineStart.contains(token.front())) {
            lines.append(current);
            current = token;
        } else {
            current = candidate;
        }
    }
    if (!current.isEmpty())
        lines.append(current);
    return lines;
}

// Rows of cells, left-aligned in columns `columnGap` apart, rows `rowPitch` line heights
// apart. With `scale` 2 the image is what a HiDPI screen shows (all sizes doubled).
inline Picture table(const QList<QStringList>& rows, double pixelSize, Theme theme, double columnGap = 36,
                     double rowPitch = 1.8, int scale = 1,
                     const QString& family = QStringLiteral("DejaVu Sans")) {
    const bool dark = theme == Theme::Dark;
    QFont probe(family);
    probe.setPixelSize(qRound(pixelSize * scale));
    probe.setHintingPreference(QFont::PreferNoHinting);
    const QFontMetricsF metrics(probe);
    const double margin = 12, lineHeight = metrics.height() / scale, rowHeight = lineHeight * rowPitch;
    std::vector<double> columnWidth(rows.first().size());
    for (const QStringList& row : rows)
        for (int c = 0; c < row.size(); ++c)
            columnWidth[c] = std::max(columnWidth[c], metrics.horizontalAdvance(row[c]) / scale);
    double width = 2 * margin - columnGap;
    for (double w : columnWidth)
        width += w + columnGap;
    Sheet sheet(width, 2 * margin + double(rows.size() - 1) * rowHeight + lineHeight, scale,
                dark ? QColor(30, 30, 30) : QColor(255, 255, 255));
    const QFont font = sheet.font(family, pixelSize);
    for (int r = 0; r < rows.size(); ++r) {
        double left = margin;
        for (int c = 0; c < rows[r].size(); ++c) {
            sheet.text(left, margin + r * rowHeight, rows[r][c], font,
                       dark ? QColor(220, 220, 220) : QColor(34, 34, 34));
            left += columnWidth[c] + columnGap;
        }
    }
    return sheet.finish();
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

} // namespace DrawnText
