#include "ocr/TableExtractor.h"

#include <QTest>

#include <optional>

using Blocks = QList<OCRBlock>;
using Grid = QList<QStringList>;

namespace {

OCRBlock block(const QString& text, double x, double y, double width, double height = 20) {
    return {text, QRectF(x, y, width, height)};
}
OCRBlock block(const char* text, double x, double y, double width, double height = 20) {
    return block(QString::fromUtf8(text), x, y, width, height);
}

// The worked example: a header row and two data rows, every block 20 high.
Blocks fruitTable() {
    return {block("Name", 10, 0, 100), block("Qty", 300, 0, 100),  block("Apple", 10, 40, 100),
            block("3", 300, 40, 60),   block("Pear", 10, 80, 100), block("12", 300, 80, 60)};
}

const QString fruitMarkdown = QStringLiteral("| Name | Qty |\n|-----|---|\n| Apple | 3 |\n| Pear | 12 |");

} // namespace

class TestTableExtractor : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void tableMarkdown_data() {
        QTest::addColumn<Blocks>("blocks");
        QTest::addColumn<QString>("expected"); // null: not a table
        const auto row = [](const char* name, const Blocks& blocks, const char* expected = nullptr) {
            QTest::newRow(name) << blocks << (expected ? QString::fromUtf8(expected) : QString());
        };

        QTest::newRow("worked example") << fruitTable() << fruitMarkdown;
        Blocks shuffled = fruitTable();
        std::reverse(shuffled.begin(), shuffled.end());
        shuffled[3].boundingBox = QRectF(110, 60, -100, -20); // "Apple" with a negative size
        QTest::newRow("input order and negative sizes do not matter") << shuffled << fruitMarkdown;

        Blocks column;
        for (int i = 0; i < 6; ++i)
            column.append(block(QStringLiteral("line %1").arg(i), 10 + i * 5, i * 24, 280));
        row("one column", column);
        Blocks sparse = fruitTable();
        sparse.removeAt(5);
        sparse.removeAt(3);
        row("only one row with two cells", sparse);

        row("2x2 words, pipe escaped",
            Blocks{block("Alpha", 10, 0, 60), block("Be", 200, 0, 25), block("x|y", 10, 40, 40),
                   block("Do", 200, 40, 25)},
            "| Alpha | Be |\n|-----|---|\n| x\\|y | Do |");

        // Rows 11 px apart at 20 px line boxes, closer than the wrap gap: every block has a
        // neighbour on its line, so none continues the cell above.
        const Grid planets{{QStringLiteral("Planet"), QStringLiteral("Mean distance")},
                           {QStringLiteral("Mercury"), QStringLiteral("57.9 million km")},
                           {QStringLiteral("Venus"), QStringLiteral("108.2 million km")},
                           {QStringLiteral("Earth"), QStringLiteral("149.6 million km")},
                           {QStringLiteral("Mars"), QStringLiteral("227.9 million km")},
                           {QStringLiteral("Jupiter"), QStringLiteral("778.5 million km")}};
        Blocks compact;
        for (int r = 0; r < planets.size(); ++r)
            compact << block(planets[r][0], 10, r * 31, 70) << block(planets[r][1], 120, r * 31, 130);
        QTest::newRow("compact rows stay apart") << compact << TableExtractor::formatMarkdownTable(planets);

        // A line alone in its column continues the cell above when at most 0.9 line heights
        // (18 px) below it; the top line comes first whatever the input order.
        const auto wrapped = [](double gap) {
            return Blocks{block("h1", 10, 0, 100),          block("h2", 300, 0, 100),
                          block("text", 10, 80 + gap, 100), block("long", 10, 60, 100),
                          block("v", 300, 60, 100),         block("e1", 10, 160, 100),
                          block("e2", 300, 160, 100)};
        };
        row("wrap gap just below the limit", wrapped(17.9),
            "| h1 | h2 |\n|---------|---|\n| long text | v |\n| e1 | e2 |");

        // "text" 3 px below "long" is a wrapped line unless "w" in the other column shares its
        // line, by at least half a line height (10 px).
        const auto besideWrap = [](double overlap) {
            return Blocks{block("h1", 10, 0, 100),    block("h2", 300, 0, 100),
                          block("long", 10, 60, 100), block("v", 300, 60, 100),
                          block("text", 10, 83, 100), block("w", 300, 103 - overlap, 100),
                          block("e1", 10, 160, 100),  block("e2", 300, 160, 100)};
        };
        row("neighbour overlapping less than half", besideWrap(9),
            "| h1 | h2 |\n|---------|---|\n| long text | v w |\n| e1 | e2 |");
        row("neighbour overlapping more than half", besideWrap(11),
            "| h1 | h2 |\n|----|---|\n| long | v |\n| text | w |\n| e1 | e2 |");

        // At most three lines in a cell.
        const auto tallCell = [](int lines) {
            Blocks blocks{block("h1", 10, 0, 100), block("h2", 300, 0, 100), block("b1", 300, 60, 100),
                          block("e1", 10, 200, 100), block("e2", 300, 200, 100)};
            for (int i = 0; i < lines; ++i)
                blocks.append(block(QStringLiteral("a%1").arg(i + 1), 10, 60 + i * 23, 100));
            return blocks;
        };
        row("three lines in a cell", tallCell(3),
            "| h1 | h2 |\n|--------|---|\n| a1 a2 a3 | b1 |\n| e1 | e2 |");
        row("four lines in a cell", tallCell(4));

        // Rows 40 px apart; the first two have three filled cells, the others one.
        const auto sparseRows = [](int rows) {
            Blocks blocks;
            for (int r = 0; r < rows; ++r) {
                blocks.append(block(QStringLiteral("k%1").arg(r), 10, r * 40, 60));
                if (r < 2)
                    blocks << block(QStringLiteral("v%1").arg(r), 200, r * 40, 60)
                           << block(QStringLiteral("w%1").arg(r), 400, r * 40, 60);
            }
            return blocks;
        };
        row("half of the rows well filled", sparseRows(4),
            "| k0 | v0 | w0 |\n|---|---|---|\n| k1 | v1 | w1 |\n| k2 |  |  |\n| k3 |  |  |");
        row("fewer than half of the rows well filled", sparseRows(5));

        // "x2" joins the first column when it overlaps "x1" by at least 30 % of the narrower.
        const auto shifted = [](double x) {
            return Blocks{block("x1", 0, 0, 100),    block("y1", 300, 0, 100), block("x2", x, 40, 100),
                          block("y2", 300, 40, 100), block("x3", 0, 80, 100),  block("y3", 300, 80, 100)};
        };
        row("column overlap 35 %", shifted(65), "| x1 | y1 |\n|---|---|\n| x2 | y2 |\n| x3 | y3 |");
        row("column overlap 25 %", shifted(75),
            "| x1 |  | y1 |\n|---|---|---|\n|  | x2 | y2 |\n| x3 |  | y3 |");

        // Rows are cut where cell centres are more than 20 px apart (median spacing 0 here)...
        const auto pitched = [](double pitch) {
            Blocks blocks;
            for (int r = 0; r < 3; ++r)
                blocks << block(QStringLiteral("a%1").arg(r), 10, r * pitch, 100, 10)
                       << block(QStringLiteral("b%1").arg(r), 300, r * pitch, 100, 10);
            return blocks;
        };
        row("rows 20 px apart", pitched(20));
        // ...or more than 1.5 times the median spacing, when that is larger: each row's second
        // cell sits 20 px below its first, so rows must be more than 30 px apart.
        const auto staggered = [](double gap) {
            Blocks blocks;
            for (int r = 0; r < 3; ++r)
                blocks << block(QStringLiteral("a%1").arg(r), 10, r * (20 + gap), 100)
                       << block(QStringLiteral("b%1").arg(r), 300, r * (20 + gap) + 20, 100);
            return blocks;
        };
        row("staggered rows 29 px apart", staggered(29));
        row("staggered rows 31 px apart", staggered(31), "| a0 | b0 |\n|---|---|\n| a1 | b1 |\n| a2 | b2 |");

        // "tie" lies wholly inside both column extents (0-100 and 80-200): the first wins.
        row("equal overlap picks the left column",
            Blocks{block("left", 0, 0, 100), block("right", 80, 0, 120), block("tie", 85, 40, 10),
                   block("c2", 150, 40, 50)},
            "| left | right |\n|----|-----|\n| tie | c2 |");
    }
    void tableMarkdown() {
        QFETCH(Blocks, blocks);
        QFETCH(QString, expected);
        const std::optional<QString> table = TableExtractor::tableMarkdown(blocks);
        QCOMPARE(table.value_or(QString()), expected);
        QCOMPARE(table.has_value(), !expected.isNull());
    }

    void flatText_data() {
        QTest::addColumn<Blocks>("blocks");
        QTest::addColumn<QString>("expected");

        // Paragraphs end after a gap over 1.5 line heights (30 px), before an indent over 8 px
        // past the median left edge, and after a line under 80 % of the typical width.
        QTest::newRow("gap just above 1.5 lines")
            << Blocks{block("A", 10, 0, 290), block("B", 10, 51, 290)} << QStringLiteral("A\n\nB");
        QTest::newRow("indent just above 8 px")
            << Blocks{block("A", 10, 0, 290), block("B", 18.1, 24, 270), block("C", 10, 48, 290)}
            << QStringLiteral("A\n\nB\nC");
        // Widths 300, 300, w, 300: the typical width is their mean, 80 % of it ends a paragraph.
        const auto middle = [](double width) {
            return Blocks{block("A", 10, 0, 300), block("B", 10, 24, 300), block("C", 10, 48, width),
                          block("D", 10, 72, 300)};
        };
        QTest::newRow("line just under 80 %") << middle(220) << QStringLiteral("A\nB\nC\n\nD");
        // Only lines wider than 60 % of the median width count towards the typical width: the
        // last line (175 or 195 px against a median of 300) decides whether "P" (225) is short.
        const auto lastLine = [](double width) {
            Blocks blocks;
            const double widths[] = {300, 300, 225, 300, 300, 300, width};
            for (int i = 0; i < 7; ++i)
                blocks.append(
                    block(i == 2 ? QStringLiteral("P") : QString::number(i), 10, i * 24, widths[i]));
            return blocks;
        };
        QTest::newRow("narrow line left out of the typical width")
            << lastLine(175) << QStringLiteral("0\n1\nP\n\n3\n4\n5\n6");
        QTest::newRow("wider line counted in the typical width")
            << lastLine(195) << QStringLiteral("0\n1\nP\n3\n4\n5\n6");
        // Tops 0.4 px apart compare by x, so P leads its line; 0.6 px apart, Q comes first
        // and still joins R's line.
        QTest::newRow("tops 0.4 apart read left to right")
            << Blocks{block("R", 50, 0, 40), block("P", 0, 12.4, 40), block("Q", 100, 12.0, 40)}
            << QStringLiteral("R\n\nP Q");
        QTest::newRow("tops 0.6 apart read top first")
            << Blocks{block("R", 50, 0, 40), block("P", 0, 12.6, 40), block("Q", 100, 12.0, 40)}
            << QStringLiteral("R Q\nP");

        // A sawtooth baseline makes the reading-order comparison cyclic (tops 0.3 apart
        // compare by x, 0.6 apart by y); a sort that assumes a strict weak ordering may
        // lose, repeat or overrun elements here.
        Blocks sawtooth;
        QStringList lines[2];
        for (int i = 0; i < 120; ++i) {
            const int shuffled = (i * 37) % 120, line = shuffled % 2;
            const auto name = [](int n) { return QStringLiteral("w%1").arg(n, 3, 10, QLatin1Char('0')); };
            sawtooth.append(
                block(name(shuffled), (shuffled - line) * 30, line * 40 + (shuffled % 5) * 0.3, 25));
            lines[i % 2].append(name(i));
        }
        QTest::newRow("cyclic reading order")
            << sawtooth << lines[0].join(u' ') + u'\n' + lines[1].join(u' ');
    }
    void flatText() {
        QFETCH(Blocks, blocks);
        QFETCH(QString, expected);
        QCOMPARE(TableExtractor::flatText(blocks), expected);
    }

    void formatMarkdownTable_data() {
        QTest::addColumn<Grid>("grid");
        QTest::addColumn<QString>("expected");

        QTest::newRow("empty header") << Grid{{}, {QStringLiteral("a")}} << QString();
        QTest::newRow("rows padded and cut to the header")
            << Grid{{QStringLiteral("a"), QStringLiteral("b")},
                    {QStringLiteral("1")},
                    {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("overflowing")}}
            << QStringLiteral("| a | b |\n|---|---|\n| 1 |  |\n| 1 | 2 |");
        QTest::newRow("escaped header sets the width")
            << Grid{{QStringLiteral("a\\b|c")}} << QStringLiteral("| a\\\\b\\|c |\n|-------|");
        QTest::newRow("line feed becomes a space") << Grid{{QStringLiteral("a\nb")}, {QStringLiteral("c\nd")}}
                                                   << QStringLiteral("| a b |\n|---|\n| c d |");
        QTest::newRow("user-perceived characters")
            << Grid{{QStringLiteral("e\u0301e\u0301e\u0301e\u0301"), QStringLiteral("表格数据"),
                     QStringLiteral("🇨🇳🇨🇳🇨🇳🇨🇳"), QStringLiteral("x")},
                    {QString(), QString(), QString(), QStringLiteral("a\r\nbcd")}}
            << QStringLiteral("| e\u0301e\u0301e\u0301e\u0301 | 表格数据 | 🇨🇳🇨🇳🇨🇳🇨🇳 | x |\n"
                              "|----|----|----|-----|\n|  |  |  | a\r bcd |");
    }
    void formatMarkdownTable() {
        QFETCH(Grid, grid);
        QFETCH(QString, expected);
        QCOMPARE(TableExtractor::formatMarkdownTable(grid), expected);
    }

    void medianAndLineText() {
        QCOMPARE(TableExtractor::median({}), std::nullopt);
        QCOMPARE(TableExtractor::median({1, 3, 2, 10}), 2.5);
        QCOMPARE(TableExtractor::median({1e308, 1e308}), 1e308); // no overflow to infinity
        // Left to right; equal x keeps the input order.
        QCOMPARE(TableExtractor::lineText({block("c", 90, 0, 5), block("a", 10, 0, 5), block("b1", 50, 5, 5),
                                           block("b2", 50, 0, 5)}),
                 QStringLiteral("a b1 b2 c"));
    }

    void detectAndConvertTabSeparated_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected"); // null: returned unchanged

        QTest::newRow("no tab") << QStringLiteral("A B\n1 2") << QString();
        QTest::newRow("one line among blank ones") << QStringLiteral("\r\n\nA\tB\n\u2028\n") << QString();
        QTest::newRow("CRLF and empty lines dropped")
            << QStringLiteral("A\tB\r\n\r\n1\t2\r\n") << QStringLiteral("| A | B |\n|---|---|\n| 1 | 2 |");
        QTest::newRow("escaping") << QStringLiteral("x|y\tx\\y\na\\|b\t")
                                  << QStringLiteral("| x\\|y | x\\\\y |\n|---|---|\n| a\\\\\\|b |  |");
        QTest::newRow("ragged rows kept as they are")
            << QStringLiteral("A\tB\n1\t2\t3\nsolo")
            << QStringLiteral("| A | B |\n|---|---|\n| 1 | 2 | 3 |\n| solo |");
    }
    void detectAndConvertTabSeparated() {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(TableExtractor::detectAndConvertTabSeparated(input), expected.isNull() ? input : expected);
    }
};

QTEST_GUILESS_MAIN(TestTableExtractor)
#include "tst_tableextractor.moc"
