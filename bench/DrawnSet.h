#pragma once

// The drawn evaluation set: screen-like crops in nine classes, generated on each run so
// that no image is stored. Fonts are Debian's (fonts-dejavu, fonts-liberation2,
// fonts-noto-core, fonts-noto-cjk).

#include "drawing/DrawnScreens.h"

#include <functional>

namespace DrawnSet {

using namespace DrawnScreens;

struct Sample {
    QString kind; // the class
    QString name;
    std::function<Screen()> draw;
};

inline const QStringList& articleParagraphs() {
    static const QStringList texts{
        QStringLiteral("Most people who move to a new city spend their first weeks learning where things "
                       "are: the nearest pharmacy, the bus that actually runs on time, the bakery that "
                       "still has bread at six in the evening. Nobody writes this knowledge down."),
        QStringLiteral("The report found that households with a written budget saved 12% more over three "
                       "years than those without one, even when their incomes were similar. The effect was "
                       "largest for people who checked their spending at least once a week."),
        QStringLiteral(
            "Before you replace the battery, switch the device off and unplug the charger. Remove "
            "the four screws on the back panel (they are different lengths, so keep them in order) "
            "and lift the cover gently from the bottom edge."),
        QStringLiteral(
            "Global shipping prices doubled during the spring, then fell almost as quickly. Analysts "
            "blamed a shortage of containers in the wrong ports rather than any change in demand; "
            "by July, most routes were back to their usual levels."),
        QStringLiteral(
            "If your order hasn't arrived within ten working days, please contact our support team "
            "with your order number. We'll track the parcel and, if it has been lost, send a "
            "replacement or refund the full amount."),
        QStringLiteral("Good documentation explains why a system behaves the way it does, not only which "
                       "buttons to press. Readers who understand the reasons can find their own way when "
                       "something unexpected happens."),
    };
    return texts;
}

inline const QStringList& bookParagraphs() {
    static const QStringList texts{
        QStringLiteral("The lighthouse keeper had not spoken to anyone for eleven days when the supply boat "
                       "finally appeared, low in the water and listing slightly to the left. He watched it "
                       "through the kitchen window and did not hurry down to the landing."),
        QStringLiteral("\"You could have written,\" his sister said, though she knew perfectly well that "
                       "there was nowhere to post a letter from the island. She had brought apples, a bundle "
                       "of newspapers and a thick blue notebook that he would never use."),
        QStringLiteral("By the middle of the afternoon the fog had lifted and the whole bay lay open beneath "
                       "them, bright and flat as a plate. Far to the north a single black ship was crawling "
                       "along the horizon, so slowly that it hardly seemed to move at all."),
        QStringLiteral("She thought about the old house in the valley, the orchard behind it, the dog that "
                       "had followed her halfway to school every morning. It was strange how little of that "
                       "life she had kept, and how clearly she could still hear the gate."),
    };
    return texts;
}

inline const QStringList& chineseParagraphs() {
    static const QStringList texts{
        QStringLiteral("我们计划在下个月发布新版本，主要改进了表格识别和夜间模式的显示效果。"),
        QStringLiteral("这个接口返回一个 JSON 对象，其中 status 字段表示请求是否成功。"),
        QStringLiteral("周末我们去了杭州，在西湖边喝了龙井茶，还顺路去看了长城的纪录片展览。"),
        QStringLiteral("请在设置中填写 API Key，然后点击测试连接按钮检查网络是否正常。"),
    };
    return texts;
}

inline QList<QList<QStringList>> tables() {
    const auto rows = [](std::initializer_list<const char*> cells, int columns) {
        QList<QStringList> out;
        QStringList row;
        for (const char* cell : cells) {
            row.append(QString::fromUtf8(cell));
            if (row.size() == columns) {
                out.append(row);
                row.clear();
            }
        }
        return out;
    };
    return {
        rows({"Planet", "Mean distance from the Sun", "Moons", "Mercury", "57.9 million km",  "0",
              "Venus",  "108.2 million km",           "0",     "Earth",   "149.6 million km", "1",
              "Mars",   "227.9 million km",           "2",     "Jupiter", "778.5 million km", "95",
              "Saturn", "1,432 million km",           "146"},
             3),
        rows({"Train", "Departs", "Arrives", "Platform", "IC 512", "08:14",    "10:02",
              "4",     "RE 7",    "08:32",   "11:47",    "12",     "ICE 1023", "09:05",
              "10:31", "7",       "RB 33",   "09:18",    "12:09",  "2"},
             4),
        rows({"Plan", "Storage", "Price per month", "Basic", "10 GB", "$2.99", "Family", "200 GB", "$7.49",
              "Pro", "2 TB", "$19.99", "Company", "Unlimited", "$12 per user"},
             3),
        rows({"Verb",  "Past tense", "Past participle", "go",    "went",  "gone",  "buy",  "bought", "bought",
              "fly",   "flew",       "flown",           "begin", "began", "begun", "keep", "kept",   "kept",
              "speak", "spoke",      "spoken"},
             3),
        rows({"Name", "Size", "Modified", "quarterly_report.pdf", "2.4 MB", "Yesterday", "photos",
              "118 items", "12 Mar 2024", "budget.xlsx", "48 KB", "Today", "notes.txt", "3 KB", "2 Jan 2023"},
             3),
        rows({"Action", "Shortcut", "Copy the selection", "Ctrl+C", "Paste", "Ctrl+V", "Undo the last change",
              "Ctrl+Z", "Find in page", "Ctrl+F", "Open a new tab", "Ctrl+T", "Close the window",
              "Ctrl+Shift+W"},
             2),
        rows({"Nutrient", "Amount", "Daily value", "Total fat", "8 g", "10%", "Sodium", "160 mg", "7%",
              "Dietary fiber", "4 g", "14%", "Protein", "3 g", "6%", "Vitamin D", "2 mcg", "10%"},
             3),
        rows({"Team", "Played",       "Won",      "Lost", "Points", "Rovers", "12",       "9",  "1",
              "29",   "Harbour City", "12",       "7",    "3",      "23",     "Pinewood", "11", "6",
              "4",    "19",           "Quayside", "12",   "2",      "8",      "8"},
             5),
    };
}

inline QList<QStringList> glossary() {
    return {{QStringLiteral("English"), QStringLiteral("中文")},
            {QStringLiteral("spreadsheet"), QStringLiteral("电子表格")},
            {QStringLiteral("screenshot"), QStringLiteral("截图")},
            {QStringLiteral("shortcut"), QStringLiteral("快捷键")},
            {QStringLiteral("dark mode"), QStringLiteral("夜间模式")},
            {QStringLiteral("update"), QStringLiteral("更新")}};
}

// A table with two wrapped cells in its middle row.
inline QList<QStringList> wrappedTable() {
    return {{QStringLiteral("Step"), QStringLiteral("What to do"), QStringLiteral("Time")},
            {QStringLiteral("1"), QStringLiteral("Unpack the parts"), QStringLiteral("5 min")},
            {QStringLiteral("2"), QStringLiteral("Fix the legs to the frame\nwith the long screws"),
             QStringLiteral("20 min")},
            {QStringLiteral("3"), QStringLiteral("Attach the top"), QStringLiteral("10 min")},
            {QStringLiteral("4"), QStringLiteral("Tighten every screw"), QStringLiteral("5 min")}};
}

inline QList<Sample> samples() {
    QList<Sample> set;
    const auto add = [&set](const char* kind, QString name, std::function<Screen()> draw) {
        set.append({QString::fromLatin1(kind), std::move(name), std::move(draw)});
    };
    const QStringList& article = articleParagraphs();
    const QStringList& book = bookParagraphs();
    const QString sans = QStringLiteral("DejaVu Sans"), liberationSans = QStringLiteral("Liberation Sans"),
                  notoSans = QStringLiteral("Noto Sans"), serif = QStringLiteral("DejaVu Serif"),
                  liberationSerif = QStringLiteral("Liberation Serif"),
                  notoSerif = QStringLiteral("Noto Serif");
    const QStringList sansFamilies{sans, liberationSans, notoSans};
    const QStringList serifFamilies{liberationSerif, notoSerif, serif};

    // Prose: web articles and help pages, 13-16 px, 1x and 2x.
    for (int i = 0; i < 12; ++i) {
        ProseStyle style;
        style.family = sansFamilies[i % 3];
        style.pixelSize = 13 + i % 4;
        style.scale = i >= 9 ? 2 : 1;
        style.width = 480 + (i % 3) * 80;
        style.paragraphGap = i % 2 ? 0.8 : 0;
        if (i % 4 == 3)
            style.heading = QStringLiteral("What we learned this year");
        const QStringList texts{article[i % article.size()], article[(i + 1) % article.size()]};
        add("prose", QStringLiteral("%1 %2px %3x").arg(style.family).arg(style.pixelSize).arg(style.scale),
            [texts, style] { return paragraphs(texts, style); });
    }

    // E-book pages: serif 17-22 px, justified, indented, white, sepia or night backgrounds.
    for (int i = 0; i < 10; ++i) {
        ProseStyle style;
        style.family = serifFamilies[i % 3];
        style.pixelSize = 17 + i % 6;
        style.width = 520 + (i % 2) * 60;
        style.justified = i % 3 != 2;
        style.indent = true;
        style.leading = 1.45;
        style.italic = i == 7;
        if (i % 3 == 1) {
            style.background = QColor(0xf8, 0xf1, 0xe3);
            style.ink = QColor(0x3b, 0x2f, 0x22);
        } else if (i % 5 == 4) {
            style.theme = Theme::Dark;
        }
        const QStringList texts{book[i % book.size()], book[(i + 1) % book.size()]};
        add("ebook",
            QStringLiteral("%1 %2px%3")
                .arg(style.family)
                .arg(style.pixelSize)
                .arg(style.italic ? " italic" : ""),
            [texts, style] { return paragraphs(texts, style); });
    }

    // Interface layouts in the light theme.
    for (int i = 0; i < 4; ++i) {
        UiStyle style{sansFamilies[i % 3], 13.0 + i % 2, i == 3 ? 2 : 1, Theme::Light};
        const QString suffix =
            QStringLiteral(" %1 %2px %3x").arg(style.family).arg(style.pixelSize).arg(style.scale);
        add("ui", QStringLiteral("settings dialog") + suffix, [style] { return settingsDialog(style); });
        if (i < 2) {
            add("ui", QStringLiteral("sign-in card") + suffix, [style] { return signInCard(style); });
            add("ui", QStringLiteral("confirmation") + suffix, [style] { return confirmation(style); });
        }
        if (i >= 2)
            add("ui", QStringLiteral("tabs and list") + suffix, [style] { return tabsAndList(style); });
    }

    // Compact tables: rows 0.7-1.0 line heights apart, 13-16 px and 2x, stripes, rules,
    // dark headers, right-aligned numbers.
    const QList<QList<QStringList>> data = tables();
    for (int i = 0; i < 16; ++i) {
        TableStyle style;
        style.family = (i % 2 ? serifFamilies : sansFamilies)[i % 3];
        style.pixelSize = 13 + i % 4;
        style.scale = i % 5 == 4 ? 2 : 1;
        style.rowGap = 0.7 + 0.1 * (i % 4);
        style.columnGap = 20 + 6 * (i % 4);
        style.zebra = i % 3 == 0;
        style.darkHeader = i % 4 == 1;
        style.rules = i % 4 == 2;
        style.grid = i % 8 == 7;
        const QList<QStringList> rows = i == 15 ? wrappedTable() : data[i % data.size()];
        for (int c = 0; c < rows.first().size(); ++c)
            style.rightAligned.append(i % 2 == 0 && c > 0 && rows[1][c].front().isDigit());
        QStringList traits;
        if (style.zebra)
            traits << QStringLiteral("zebra");
        if (style.darkHeader)
            traits << QStringLiteral("dark header");
        if (style.rules)
            traits << QStringLiteral("rules");
        if (style.grid)
            traits << QStringLiteral("grid");
        add("table",
            QStringLiteral("%1 %2 %3px %4x gap %5 %6")
                .arg(rows.first().first(), style.family)
                .arg(style.pixelSize)
                .arg(style.scale)
                .arg(style.rowGap)
                .arg(traits.join(QLatin1Char(','))),
            [rows, style] { return table(rows, style); });
    }

    // Chinese, alone and mixed with English.
    const QStringList& chinese = chineseParagraphs();
    for (int i = 0; i < 6; ++i) {
        ProseStyle style;
        style.family = i % 2 ? QStringLiteral("Noto Serif CJK SC") : QStringLiteral("Noto Sans CJK SC");
        style.pixelSize = 14 + (i % 3) * 2;
        style.scale = i == 5 ? 2 : 1;
        style.width = 420;
        style.paragraphGap = 0.6;
        QStringList texts{chinese[i % chinese.size()], chinese[(i + 1) % chinese.size()]};
        if (i >= 4) {
            style.family = QStringLiteral("Noto Sans CJK SC");
            texts = QStringList{article[i], chinese[i % chinese.size()]};
        }
        add("chinese", QStringLiteral("%1 %2px %3x").arg(style.family).arg(style.pixelSize).arg(style.scale),
            [texts, style] { return paragraphs(texts, style); });
    }
    for (int i = 0; i < 2; ++i) {
        TableStyle style;
        style.family = QStringLiteral("Noto Sans CJK SC");
        style.pixelSize = 14 + i;
        style.zebra = i == 1;
        add("chinese", QStringLiteral("glossary table %1px").arg(style.pixelSize),
            [style] { return table(glossary(), style); });
    }

    // Dark themes: prose, tables and dialogs.
    for (int i = 0; i < 4; ++i) {
        ProseStyle style;
        style.family = sansFamilies[i % 3];
        style.pixelSize = 13 + i;
        style.scale = i == 3 ? 2 : 1;
        style.theme = Theme::Dark;
        style.paragraphGap = 0.8;
        const QStringList texts{article[(i + 2) % article.size()]};
        add("dark",
            QStringLiteral("prose %1 %2px %3x").arg(style.family).arg(style.pixelSize).arg(style.scale),
            [texts, style] { return paragraphs(texts, style); });
    }
    for (int i = 0; i < 3; ++i) {
        TableStyle style;
        style.family = sansFamilies[i % 3];
        style.pixelSize = 13 + i;
        style.theme = Theme::Dark;
        style.zebra = i == 0;
        style.darkHeader = i == 1;
        style.rules = i == 2;
        style.rowGap = 0.8;
        const QList<QStringList> rows = data[(i * 3 + 1) % data.size()];
        add("dark",
            QStringLiteral("table %1 %2 %3px").arg(rows.first().first(), style.family).arg(style.pixelSize),
            [rows, style] { return table(rows, style); });
    }
    for (int i = 0; i < 3; ++i) {
        UiStyle style{sansFamilies[i % 3], 13.0 + i % 2, 1, Theme::Dark};
        const QString suffix = QStringLiteral(" %1 %2px").arg(style.family).arg(style.pixelSize);
        if (i == 0)
            add("dark", QStringLiteral("settings dialog") + suffix,
                [style] { return settingsDialog(style); });
        else if (i == 1)
            add("dark", QStringLiteral("context menu") + suffix, [style] { return contextMenu(style); });
        else
            add("dark", QStringLiteral("sign-in card") + suffix, [style] { return signInCard(style); });
    }

    // Light text on dark bars and coloured buttons.
    for (int i = 0; i < 8; ++i) {
        UiStyle style{sansFamilies[(i + i / 3) % 3], 13.0 + (i / 3) % 3, i % 4 == 3 ? 2 : 1, Theme::Light};
        const QString suffix =
            QStringLiteral(" %1 %2px %3x").arg(style.family).arg(style.pixelSize).arg(style.scale);
        if (i % 3 == 0)
            add("colour", QStringLiteral("navigation bar") + suffix, [style, i] {
                return navigationBar(style, i == 3 ? QColor(0x0b, 0x3d, 0x91) : QColor(0x1f, 0x29, 0x37),
                                     i == 6 ? QColor(0x16, 0x80, 0x3c) : QColor(0x25, 0x63, 0xeb));
            });
        else if (i % 3 == 1)
            add("colour", QStringLiteral("coloured buttons") + suffix,
                [style] { return colouredButtons(style); });
        else
            add("colour", QStringLiteral("context menu") + suffix, [style] { return contextMenu(style); });
    }

    // Large serif text: 28-40 image pixels, mostly from 2x screens.
    for (int i = 0; i < 8; ++i) {
        ProseStyle style;
        style.family = serifFamilies[i % 3];
        style.scale = i % 4 == 3 ? 1 : 2;
        style.pixelSize = (28 + (i * 4) % 13) / double(style.scale);
        style.width = 600 / style.scale + 200;
        style.leading = 1.4;
        style.justified = i % 2 == 0;
        style.indent = i % 2 == 0;
        const QStringList texts{book[i % book.size()]};
        add("serif-large",
            QStringLiteral("%1 %2 image px %3x")
                .arg(style.family)
                .arg(style.pixelSize * style.scale)
                .arg(style.scale),
            [texts, style] { return paragraphs(texts, style); });
    }

    // Nothing to read.
    const QList<QPair<Blank, const char*>> blanks{{Blank::White, "white"},       {Blank::Dark, "dark"},
                                                  {Blank::Gradient, "gradient"}, {Blank::Icons, "icons"},
                                                  {Blank::Chart, "bar chart"},   {Blank::Texture, "texture"},
                                                  {Blank::Frames, "frames"}};
    for (int i = 0; i < blanks.size(); ++i) {
        const Blank kind = blanks[i].first;
        add("blank", QString::fromLatin1(blanks[i].second), [kind] { return withoutText(kind); });
    }
    add("blank", QStringLiteral("icons 2x"), [] { return withoutText(Blank::Icons, 2); });
    return set;
}

} // namespace DrawnSet
