#pragma once

// Screen-like crops drawn with real fonts: paragraphs, e-book pages, compact tables,
// dialogs, navigation bars and buttons, in light and dark themes, at 1x and 2x. Each
// knows the text it shows, in reading order, and a table the cells it holds.

#include "drawing/DrawnText.h"

#include <QPainterPath>
#include <QRandomGenerator>

namespace DrawnScreens {

using DrawnText::Picture;
using DrawnText::Sheet;
using DrawnText::Theme;

struct Screen {
    Picture picture;
    QList<QStringList> cells; // a table: its cells, header first; empty for anything else

    // What a perfect reading sends, in reading order (a table's cells row by row).
    QString reference() const {
        QStringList parts;
        if (!cells.isEmpty()) {
            for (const QStringList& row : cells)
                for (const QString& cell : row)
                    parts.append(QString(cell).replace(QLatin1Char('\n'), QLatin1Char(' ')));
        } else {
            for (const DrawnText::Line& line : picture.lines)
                parts.append(line.text);
        }
        return parts.join(QLatin1Char(' ')).simplified();
    }
};

struct Palette {
    QColor page, text, muted, accent, rule, stripe, control;
};

inline Palette palette(Theme theme) {
    if (theme == Theme::Dark)
        return {QColor(0x1e, 0x1f, 0x22), QColor(0xdf, 0xe1, 0xe5), QColor(0x9d, 0xa1, 0xa8),
                QColor(0x4c, 0x8d, 0xf6), QColor(0x3c, 0x3f, 0x45), QColor(0x2a, 0x2c, 0x30),
                QColor(0x2b, 0x2d, 0x31)};
    return {QColor(0xff, 0xff, 0xff), QColor(0x22, 0x22, 0x22), QColor(0x60, 0x64, 0x6b),
            QColor(0x1a, 0x73, 0xe8), QColor(0xd0, 0xd4, 0xda), QColor(0xf3, 0xf4, 0xf6),
            QColor(0xfa, 0xfa, 0xfa)};
}

// ---- Paragraphs -------------------------------------------------------------------

struct ProseStyle {
    QString family = QStringLiteral("DejaVu Sans");
    double pixelSize = 15; // logical pixels
    int scale = 1;
    Theme theme = Theme::Light;
    double width = 560;      // of the text column, logical pixels
    double leading = 1.35;   // line pitch in line heights
    double paragraphGap = 0; // extra space between paragraphs, in line heights
    bool justified = false;
    bool indent = false; // first lines indented (and no gap), as books set them
    bool italic = false;
    QColor background{}, ink{}; // override the theme's
    QString heading{};          // drawn larger and bold above the text
};

inline Screen paragraphs(const QStringList& texts, const ProseStyle& style) {
    const Palette colours = palette(style.theme);
    const QColor background = style.background.isValid() ? style.background : colours.page;
    const QColor ink = style.ink.isValid() ? style.ink : colours.text;
    const double margin = 16;
    // Lay out first on a throw-away sheet to learn the height.
    QList<QList<QStringList>> wrapped;
    double height = 2 * margin;
    {
        Sheet probe(1, 1, style.scale, background);
        const QFont font = probe.font(style.family, style.pixelSize, QFont::Normal, style.italic,
                                      QFont::PreferVerticalHinting);
        const double pitch = probe.lineHeight(font) * style.leading;
        if (!style.heading.isEmpty())
            height += probe.lineHeight(probe.font(style.family, style.pixelSize * 1.6, QFont::Bold)) * 1.6;
        for (const QString& text : texts) {
            QList<QStringList> lines;
            const double indent = style.indent ? 28 : 0;
            const QString first = DrawnText::wrap(probe, font, text, style.width - indent).value(0);
            // The rest at full width after an indented first line.
            lines.append(first.split(QLatin1Char(' ')));
            for (const QString& line : DrawnText::wrap(probe, font, text.mid(first.size()), style.width))
                lines.append(line.split(QLatin1Char(' ')));
            wrapped.append(lines);
            height += double(lines.size()) * pitch + style.paragraphGap * probe.lineHeight(font);
        }
        probe.finish();
    }
    Sheet sheet(style.width + 2 * margin, height, style.scale, background);
    const QFont font =
        sheet.font(style.family, style.pixelSize, QFont::Normal, style.italic, QFont::PreferVerticalHinting);
    const double pitch = sheet.lineHeight(font) * style.leading;
    double y = margin;
    if (!style.heading.isEmpty()) {
        const QFont big = sheet.font(style.family, style.pixelSize * 1.6, QFont::Bold);
        sheet.text(margin, y, style.heading, big, ink);
        y += sheet.lineHeight(big) * 1.6;
    }
    for (const QList<QStringList>& lines : wrapped) {
        for (int i = 0; i < lines.size(); ++i) {
            const double left = margin + (style.indent && i == 0 ? 28 : 0);
            const bool last = i == lines.size() - 1;
            if (style.justified && !last)
                sheet.justified(left, y, lines[i], style.width - (left - margin), font, ink);
            else
                sheet.text(left, y, lines[i].join(QLatin1Char(' ')), font, ink);
            y += pitch;
        }
        y += style.paragraphGap * sheet.lineHeight(font);
    }
    return {sheet.finish(), {}};
}

// ---- Tables -------------------------------------------------------------------------

struct TableStyle {
    QString family = QStringLiteral("DejaVu Sans");
    double pixelSize = 14;
    int scale = 1;
    Theme theme = Theme::Light;
    double rowGap = 0.8;     // blank space between rows, in line heights
    double columnGap = 28;   // logical pixels between columns
    bool zebra = false;      // every other row shaded
    bool darkHeader = false; // light header text on a dark band
    bool boldHeader = true;
    bool rules = false;         // a hairline between rows
    bool grid = false;          // rules around every cell
    QList<bool> rightAligned{}; // per column, for numbers
};

// A "\n" in a cell wraps it onto a second line; the row grows to hold it.
inline Screen table(const QList<QStringList>& rows, const TableStyle& style) {
    const Palette colours = palette(style.theme);
    const double margin = 14;
    Sheet probe(1, 1, style.scale, colours.page);
    const QFont body =
        probe.font(style.family, style.pixelSize, QFont::Normal, false, QFont::PreferVerticalHinting);
    const QFont header =
        probe.font(style.family, style.pixelSize, style.boldHeader ? QFont::Bold : QFont::Normal, false,
                   QFont::PreferVerticalHinting);
    const double lineHeight = probe.lineHeight(body);
    std::vector<double> columnWidth(rows.first().size());
    QList<int> linesInRow;
    for (int r = 0; r < rows.size(); ++r) {
        int lines = 1;
        for (int c = 0; c < rows[r].size(); ++c) {
            for (const QString& part : rows[r][c].split(QLatin1Char('\n'))) {
                columnWidth[c] = std::max(columnWidth[c], probe.width(r == 0 ? header : body, part));
            }
            lines = std::max(lines, int(rows[r][c].count(QLatin1Char('\n'))) + 1);
        }
        linesInRow.append(lines);
    }
    probe.finish();
    const double gap = style.rowGap * lineHeight;
    double width = 2 * margin - style.columnGap, height = 2 * margin - gap;
    for (double w : columnWidth)
        width += w + style.columnGap;
    for (int lines : linesInRow)
        height += lines * lineHeight + gap;

    Sheet sheet(width, height, style.scale, colours.page);
    double top = margin;
    const QColor headerBand =
        style.theme == Theme::Dark ? QColor(0x3a, 0x5a, 0x8c) : QColor(0x2f, 0x3e, 0x50);
    for (int r = 0; r < rows.size(); ++r) {
        const double rowHeight = linesInRow[r] * lineHeight;
        const QRectF band(0, top - gap / 2, width, rowHeight + gap);
        const bool headerRow = r == 0;
        if (headerRow && style.darkHeader)
            sheet.fill(band.adjusted(0, -margin / 2 + gap / 2, 0, 0), headerBand);
        else if (style.zebra && r % 2 == 0)
            sheet.fill(band, colours.stripe);
        if ((style.rules || style.grid) && r > 0)
            sheet.rule(0, band.top(), width, band.top(), colours.rule);
        const QColor ink = headerRow && style.darkHeader ? QColor(0xf5, 0xf7, 0xfa) : colours.text;
        double left = margin;
        for (int c = 0; c < rows[r].size(); ++c) {
            const QStringList parts = rows[r][c].split(QLatin1Char('\n'));
            for (int k = 0; k < parts.size(); ++k) {
                const QFont& font = headerRow ? header : body;
                const double x =
                    style.rightAligned.value(c) ? left + columnWidth[c] - sheet.width(font, parts[k]) : left;
                sheet.text(x, top + k * lineHeight, parts[k], font, ink);
            }
            left += columnWidth[c] + style.columnGap;
        }
        top += rowHeight + gap;
    }
    if (style.grid) {
        double x = margin - style.columnGap / 2;
        for (std::size_t c = 0; c <= columnWidth.size(); ++c) {
            sheet.rule(std::max(x, 0.0), 0, std::max(x, 0.0), height, colours.rule);
            if (c < columnWidth.size())
                x += columnWidth[c] + style.columnGap;
        }
        sheet.outline(QRectF(0, 0, width, height), colours.rule);
    }
    return {sheet.finish(), rows};
}

// ---- Interface layouts -------------------------------------------------------------

struct UiStyle {
    QString family = QStringLiteral("DejaVu Sans");
    double pixelSize = 13;
    int scale = 1;
    Theme theme = Theme::Light;
};

namespace detail {

inline QFont bodyFont(const Sheet& sheet, const UiStyle& style) {
    return sheet.font(style.family, style.pixelSize, QFont::Normal, false, QFont::PreferVerticalHinting);
}

inline void checkbox(Sheet& sheet, double x, double y, double size, bool checked, const Palette& colours) {
    if (checked) {
        sheet.fill(QRectF(x, y, size, size), colours.accent, 3);
        QPainter& p = sheet.painter();
        p.setPen(QPen(Qt::white, 2 * sheet.scale()));
        const double s = sheet.scale();
        p.drawPolyline(QPolygonF{QPointF((x + 3) * s, (y + size / 2) * s),
                                 QPointF((x + size / 2.5) * s, (y + size - 4) * s),
                                 QPointF((x + size - 3) * s, (y + 3) * s)});
    } else {
        sheet.outline(QRectF(x, y, size, size), colours.muted, 1, 3);
    }
}

inline void triangle(Sheet& sheet, double x, double y, double size, QColor colour) {
    const double s = sheet.scale();
    QPainterPath path;
    path.moveTo(x * s, y * s);
    path.lineTo((x + size) * s, y * s);
    path.lineTo((x + size / 2) * s, (y + size / 2) * s);
    path.closeSubpath();
    sheet.painter().fillPath(path, colour);
}

// A push button sized to its label; filled buttons carry light text.
inline double button(Sheet& sheet, double x, double y, const QString& label, const QFont& font, QColor fill,
                     QColor ink, QColor border = QColor()) {
    const double w = sheet.width(font, label) + 28, h = sheet.lineHeight(font) + 12;
    if (fill.isValid())
        sheet.fill(QRectF(x, y, w, h), fill, 5);
    if (border.isValid())
        sheet.outline(QRectF(x, y, w, h), border, 1, 5);
    sheet.text(x + 14, y + 6, label, font, ink);
    return w;
}

} // namespace detail

// A preferences dialog: section titles, checkboxes, labelled fields, radio buttons, a
// button row.
inline Screen settingsDialog(const UiStyle& style) {
    const Palette c = palette(style.theme);
    Sheet sheet(480, 400, style.scale, c.page);
    const QFont normal = detail::bodyFont(sheet, style);
    const QFont bold =
        sheet.font(style.family, style.pixelSize, QFont::Bold, false, QFont::PreferVerticalHinting);
    const QFont title = sheet.font(style.family, style.pixelSize * 1.3, QFont::Bold);
    const double lh = sheet.lineHeight(normal), box = std::round(lh * 0.85);
    double y = 16;
    sheet.text(20, y, QStringLiteral("Preferences"), title, c.text);
    y += sheet.lineHeight(title) + 12;
    sheet.text(20, y, QStringLiteral("General"), bold, c.text);
    y += lh + 10;
    const QStringList checks{QStringLiteral("Start automatically when I log in"),
                             QStringLiteral("Show the icon in the system tray"),
                             QStringLiteral("Check for updates every week")};
    for (int i = 0; i < checks.size(); ++i) {
        detail::checkbox(sheet, 24, y + (lh - box) / 2, box, i != 1, c);
        sheet.text(24 + box + 10, y, checks[i], normal, c.text);
        y += lh + 10;
    }
    y += 6;
    sheet.text(20, y, QStringLiteral("Translation"), bold, c.text);
    y += lh + 12;
    const QList<QPair<QString, QString>> fields{{QStringLiteral("Service:"), QStringLiteral("DeepSeek")},
                                                {QStringLiteral("Model:"), QStringLiteral("deepseek-chat")},
                                                {QStringLiteral("Font size:"), QStringLiteral("14")}};
    for (int i = 0; i < fields.size(); ++i) {
        sheet.text(24, y, fields[i].first, normal, c.text);
        const QRectF field(150, y - 6, 220, lh + 12);
        sheet.fill(field, c.control, 4);
        sheet.outline(field, c.rule, 1, 4);
        sheet.text(160, y, fields[i].second, normal, c.text);
        if (i == 0)
            detail::triangle(sheet, field.right() - 20, y + lh / 2 - 2, 9, c.muted);
        y += lh + 20;
    }
    sheet.text(24, y, QStringLiteral("Default view:"), normal, c.text);
    double x = 150;
    for (const QString& option : {QStringLiteral("Whole answer"), QStringLiteral("Sentence pairs")}) {
        sheet.ellipse(QRectF(x, y + (lh - box) / 2, box, box), c.muted, false);
        if (x == 150)
            sheet.ellipse(QRectF(x + box / 4, y + (lh - box) / 2 + box / 4, box / 2, box / 2), c.accent,
                          true);
        x += box + 8 + sheet.text(x + box + 8, y, option, normal, c.text) + 24;
    }
    y += lh + 22;
    sheet.rule(0, y, 480, y, c.rule);
    y += 16;
    const QColor buttonInk = c.text;
    const double cancel = sheet.width(normal, QStringLiteral("Cancel")) + 28;
    const double ok = sheet.width(normal, QStringLiteral("OK")) + 28;
    double bx = 480 - 20 - ok - 10 - cancel;
    bx += detail::button(sheet, bx, y, QStringLiteral("Cancel"), normal, c.control, buttonInk, c.rule) + 10;
    detail::button(sheet, bx, y, QStringLiteral("OK"), normal, c.accent, Qt::white);
    return {sheet.finish(), {}};
}

// A web page's top: a dark navigation bar with light links, a heading, a paragraph and a
// filled and an outlined button.
inline Screen navigationBar(const UiStyle& style, QColor bar = QColor(0x1f, 0x29, 0x37),
                            QColor buttonFill = QColor(0x25, 0x63, 0xeb)) {
    const Palette c = palette(style.theme);
    Sheet sheet(720, 250, style.scale, c.page);
    const QFont normal = detail::bodyFont(sheet, style);
    const QFont brand = sheet.font(style.family, style.pixelSize * 1.25, QFont::Bold);
    const QFont heading = sheet.font(style.family, style.pixelSize * 1.9, QFont::Bold);
    const QFont body =
        sheet.font(style.family, style.pixelSize * 1.1, QFont::Normal, false, QFont::PreferVerticalHinting);
    const double barHeight = sheet.lineHeight(normal) + 26;
    sheet.fill(QRectF(0, 0, 720, barHeight), bar);
    double x = 24 +
               sheet.text(24, (barHeight - sheet.lineHeight(brand)) / 2, QStringLiteral("Lumen"), brand,
                          QColor(0xff, 0xff, 0xff)) +
               40;
    for (const QString& link : {QStringLiteral("Products"), QStringLiteral("Pricing"), QStringLiteral("Docs"),
                                QStringLiteral("Blog")})
        x += sheet.text(x, (barHeight - sheet.lineHeight(normal)) / 2, link, normal,
                        QColor(0xe5, 0xe7, 0xeb)) +
             28;
    const double signIn = sheet.width(normal, QStringLiteral("Sign in")) + 28;
    detail::button(sheet, 720 - 24 - signIn, 7, QStringLiteral("Sign in"), normal, QColor(),
                   QColor(0xff, 0xff, 0xff), QColor(0x9c, 0xa3, 0xaf));
    double y = barHeight + 24;
    sheet.text(24, y, QStringLiteral("Build reports your team will read"), heading, c.text);
    y += sheet.lineHeight(heading) + 10;
    for (const QString& line : {QStringLiteral("Connect a spreadsheet, pick a template and share a link."),
                                QStringLiteral("Everyone sees the same numbers, updated every hour.")}) {
        sheet.text(24, y, line, body, c.muted);
        y += sheet.lineHeight(body) * 1.4;
    }
    y += 14;
    const double first =
        detail::button(sheet, 24, y, QStringLiteral("Get started"), normal, buttonFill, Qt::white);
    detail::button(sheet, 24 + first + 14, y, QStringLiteral("Learn more"), normal, QColor(), c.text, c.rule);
    return {sheet.finish(), {}};
}

// A line of status text above a row of coloured buttons with light labels.
inline Screen colouredButtons(const UiStyle& style) {
    const Palette c = palette(style.theme);
    Sheet sheet(560, 110, style.scale, c.page);
    const QFont normal = detail::bodyFont(sheet, style);
    const QFont bold =
        sheet.font(style.family, style.pixelSize, QFont::DemiBold, false, QFont::PreferVerticalHinting);
    sheet.text(20, 18, QStringLiteral("3 documents selected"), normal, c.text);
    double x = 20;
    const double y = 18 + sheet.lineHeight(normal) + 18;
    const QList<QPair<QString, QColor>> buttons{{QStringLiteral("Save"), QColor(0x1e, 0x7e, 0x34)},
                                                {QStringLiteral("Share"), QColor(0x1a, 0x73, 0xe8)},
                                                {QStringLiteral("Archive"), QColor(0x5f, 0x63, 0x68)},
                                                {QStringLiteral("Delete"), QColor(0xd9, 0x30, 0x25)}};
    for (const auto& [label, fill] : buttons)
        x += detail::button(sheet, x, y, label, bold, fill, Qt::white) + 12;
    return {sheet.finish(), {}};
}

// A tab bar whose current tab is filled, above a short list of options.
inline Screen tabsAndList(const UiStyle& style) {
    const Palette c = palette(style.theme);
    Sheet sheet(560, 210, style.scale, c.page);
    const QFont normal = detail::bodyFont(sheet, style);
    const double lh = sheet.lineHeight(normal);
    double x = 16;
    const QStringList tabs{QStringLiteral("General"), QStringLiteral("Appearance"),
                           QStringLiteral("Shortcuts"), QStringLiteral("Advanced")};
    for (int i = 0; i < tabs.size(); ++i) {
        const double w = sheet.width(normal, tabs[i]) + 28;
        if (i == 1)
            sheet.fill(QRectF(x, 12, w, lh + 14), c.accent, 6);
        sheet.text(x + 14, 19, tabs[i], normal, i == 1 ? QColor(Qt::white) : c.text);
        x += w + 6;
    }
    sheet.rule(0, 12 + lh + 20, 560, 12 + lh + 20, c.rule);
    double y = 12 + lh + 36;
    for (const QString& option :
         {QStringLiteral("Use the system theme"), QStringLiteral("Show line numbers in the editor"),
          QStringLiteral("Highlight the current line"),
          QStringLiteral("Wrap long lines at the window edge")}) {
        detail::checkbox(sheet, 20, y + lh * 0.1, std::round(lh * 0.8), option.startsWith(u'S'), c);
        sheet.text(20 + std::round(lh * 0.8) + 10, y, option, normal, c.text);
        y += lh + 12;
    }
    return {sheet.finish(), {}};
}

// A sign-in card: labels above bordered fields, a full-width button, a link.
inline Screen signInCard(const UiStyle& style) {
    const Palette c = palette(style.theme);
    Sheet sheet(400, 330, style.scale, c.stripe);
    const QFont normal = detail::bodyFont(sheet, style);
    const QFont title = sheet.font(style.family, style.pixelSize * 1.45, QFont::Bold);
    const double lh = sheet.lineHeight(normal);
    sheet.fill(QRectF(20, 14, 360, 302), c.page, 8);
    sheet.outline(QRectF(20, 14, 360, 302), c.rule, 1, 8);
    double y = 34;
    sheet.text(44, y, QStringLiteral("Sign in to your account"), title, c.text);
    y += sheet.lineHeight(title) + 14;
    for (const auto& [label, value] :
         {std::pair{QStringLiteral("Email address"), QStringLiteral("anna.berg@example.com")},
          std::pair{QStringLiteral("Password"), QString()}}) {
        sheet.text(44, y, label, normal, c.text);
        y += lh + 6;
        sheet.outline(QRectF(44, y, 312, lh + 14), c.rule, 1, 4);
        if (!value.isEmpty())
            sheet.text(54, y + 7, value, normal, c.text);
        else
            for (int i = 0; i < 8; ++i)
                sheet.ellipse(QRectF(56 + i * 11, y + 7 + lh / 2 - 3, 6, 6), c.text, true);
        y += lh + 28;
    }
    const double w = 312, h = lh + 16;
    sheet.fill(QRectF(44, y, w, h), c.accent, 5);
    const QString label = QStringLiteral("Sign in");
    sheet.text(44 + (w - sheet.width(normal, label)) / 2, y + 8, label, normal, Qt::white);
    y += h + 16;
    sheet.text(44, y, QStringLiteral("Forgot your password?"), normal, c.accent);
    return {sheet.finish(), {}};
}

// A context menu: plain items, a highlighted one, separators.
inline Screen contextMenu(const UiStyle& style) {
    const Palette c = palette(style.theme);
    Sheet sheet(300, 250, style.scale, c.stripe);
    const QFont normal = detail::bodyFont(sheet, style);
    const double lh = sheet.lineHeight(normal), pitch = lh + 12;
    sheet.fill(QRectF(10, 10, 280, 230), c.page, 6);
    sheet.outline(QRectF(10, 10, 280, 230), c.rule, 1, 6);
    double y = 18;
    const QStringList items{QStringLiteral("Open link in new tab"),
                            QStringLiteral("Open link in new window"),
                            QString(),
                            QStringLiteral("Copy link address"),
                            QStringLiteral("Save link as..."),
                            QString(),
                            QStringLiteral("Inspect")};
    for (int i = 0; i < items.size(); ++i) {
        if (items[i].isEmpty()) {
            sheet.rule(18, y + 4, 282, y + 4, c.rule);
            y += 9;
            continue;
        }
        const bool current = i == 3;
        if (current)
            sheet.fill(QRectF(14, y, 272, pitch), c.accent, 4);
        sheet.text(30, y + 6, items[i], normal, current ? QColor(Qt::white) : c.text);
        y += pitch;
    }
    return {sheet.finish(), {}};
}

// A confirmation box: an icon, a bold question, an explanation, two buttons.
inline Screen confirmation(const UiStyle& style) {
    const Palette c = palette(style.theme);
    Sheet sheet(460, 170, style.scale, c.page);
    const QFont normal = detail::bodyFont(sheet, style);
    const QFont bold = sheet.font(style.family, style.pixelSize * 1.15, QFont::Bold);
    sheet.ellipse(QRectF(22, 22, 36, 36), QColor(0xd9, 0x30, 0x25), true);
    sheet.rule(39, 30, 39, 44, Qt::white, 3);
    sheet.rule(39, 48, 39, 51, Qt::white, 3);
    double y = 22;
    sheet.text(76, y, QStringLiteral("Delete 3 files?"), bold, c.text);
    y += sheet.lineHeight(bold) + 8;
    for (const QString& line : {QStringLiteral("These files will be moved to the trash."),
                                QStringLiteral("You can restore them within 30 days.")}) {
        sheet.text(76, y, line, normal, c.muted);
        y += sheet.lineHeight(normal) * 1.35;
    }
    y += 14;
    const double del = sheet.width(normal, QStringLiteral("Delete")) + 28;
    const double cancel = sheet.width(normal, QStringLiteral("Cancel")) + 28;
    detail::button(sheet, 460 - 20 - del - 10 - cancel, y, QStringLiteral("Cancel"), normal, QColor(), c.text,
                   c.rule);
    detail::button(sheet, 460 - 20 - del, y, QStringLiteral("Delete"), normal, QColor(0xd9, 0x30, 0x25),
                   Qt::white);
    return {sheet.finish(), {}};
}

// ---- Crops without text --------------------------------------------------------------

enum class Blank { White, Dark, Gradient, Icons, Chart, Texture, Frames };

inline Screen withoutText(Blank kind, int scale = 1) {
    const Palette light = palette(Theme::Light);
    Sheet sheet(420, 160, scale, kind == Blank::Dark ? palette(Theme::Dark).page : light.page);
    QPainter& p = sheet.painter();
    const double s = scale;
    QRandomGenerator random(int(kind) * 7919 + scale);
    switch (kind) {
    case Blank::White:
    case Blank::Dark:
        break;
    case Blank::Gradient: {
        QLinearGradient gradient(0, 0, 420 * s, 160 * s);
        gradient.setColorAt(0, QColor(0x23, 0x4e, 0x8c));
        gradient.setColorAt(1, QColor(0xe8, 0xb0, 0x5c));
        p.fillRect(QRectF(0, 0, 420 * s, 160 * s), gradient);
        break;
    }
    case Blank::Icons:
        for (int i = 0; i < 8; ++i) {
            const QRectF r(20 + i * 48, 60, 28, 28);
            if (i % 3 == 0)
                sheet.ellipse(r, light.muted, i % 2 == 0);
            else if (i % 3 == 1)
                sheet.fill(r, light.accent, 6);
            else
                sheet.outline(r, light.text, 2, 4);
        }
        break;
    case Blank::Chart:
        sheet.rule(30, 140, 400, 140, light.muted);
        sheet.rule(30, 20, 30, 140, light.muted);
        for (int i = 0; i < 9; ++i) {
            const double h = 20 + random.bounded(100);
            sheet.fill(QRectF(44 + i * 38, 140 - h, 24, h), i % 2 ? light.accent : QColor(0xe8, 0x8e, 0x2c));
        }
        break;
    case Blank::Texture:
        for (int i = 0; i < 160; ++i) {
            const QColor colour =
                QColor::fromHsv(random.bounded(360), 60 + random.bounded(120), 90 + random.bounded(150));
            const double r = 6 + random.bounded(30);
            sheet.ellipse(QRectF(random.bounded(420) - r, random.bounded(160) - r, 2 * r, 2 * r), colour,
                          true);
        }
        break;
    case Blank::Frames:
        sheet.outline(QRectF(10, 10, 400, 140), light.rule, 1, 6);
        sheet.outline(QRectF(30, 30, 160, 100), light.muted, 1, 0);
        sheet.rule(220, 40, 390, 40, light.rule);
        sheet.rule(220, 80, 390, 80, light.rule);
        sheet.rule(220, 120, 390, 120, light.rule);
        sheet.rule(300, 30, 300, 130, light.rule);
        break;
    }
    return {sheet.finish(), {}};
}

} // namespace DrawnScreens
