#include "ocr/TableExtractor.h"

#include <QTest>

#include <limits>
#include <optional>

using Blocks = QList<OCRBlock>;
using Grid = QList<QStringList>;

namespace {

OCRBlock block(const QString& text, double x, double y, double width, double height = 20) {
    return {text, QRectF(x, y, width, height)};
}

// The worked example: a header row and two data rows, every block 20 high.
Blocks fruitTable() {
    return {block(QStringLiteral("Name"), 10, 0, 100),   block(QStringLiteral("Qty"), 300, 0, 100),
            block(QStringLiteral("Apple"), 10, 40, 100), block(QStringLiteral("3"), 300, 40, 60),
            block(QStringLiteral("Pear"), 10, 80, 100),  block(QStringLiteral("12"), 300, 80, 60)};
}

const QString fruitMarkdown = QStringLiteral("| Name | Qty |\n|-----|---|\n| Apple | 3 |\n| Pear | 12 |");

} // namespace

class TestTableExtractor : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void tableMarkdown_data() {
        QTest::addColumn<Blocks>("blocks");
        QTest::addColumn<QString>("expected"); // null: not a table

        QTest::newRow("worked example") << fruitTable() << fruitMarkdown;
        Blocks reversed = fruitTable();
        std::reverse(reversed.begin(), reversed.end());
        QTest::newRow("input order does not matter") << reversed << fruitMarkdown;
        Blocks flipped = fruitTable();
        flipped[2].boundingBox = QRectF(110, 60, -100, -20);
        QTest::newRow("negative size is the same box") << flipped << fruitMarkdown;

        QTest::newRow("three blocks")
            << Blocks{block(QStringLiteral("a"), 0, 0, 50), block(QStringLiteral("b"), 100, 0, 50),
                      block(QStringLiteral("c"), 200, 0, 50)}
            << QString();
        Blocks column;
        for (int i = 0; i < 6; ++i)
            column.append(block(QStringLiteral("line %1").arg(i), 10 + i * 5, i * 24, 280));
        QTest::newRow("one column") << column << QString();
        Blocks sparse = fruitTable();
        sparse.removeAt(5);
        sparse.removeAt(3);
        QTest::newRow("only one row with two cells") << sparse << QString();

        QTest::newRow("2x2 words") << Blocks{block(QStringLiteral("Alpha"), 10, 0, 60),
                                             block(QStringLiteral("Be"), 200, 0, 25),
                                             block(QStringLiteral("x|y"), 10, 40, 40),
                                             block(QStringLiteral("Do"), 200, 40, 25)}
                                   << QStringLiteral("| Alpha | Be |\n|-----|---|\n| x\\|y | Do |");

        // "text" wraps 3 px below "long"; both make one cell, top line first.
        QTest::newRow("wrapped cell")
            << Blocks{block(QStringLiteral("h1"), 10, 0, 100),    block(QStringLiteral("h2"), 300, 0, 100),
                      block(QStringLiteral("text"), 10, 83, 100), block(QStringLiteral("long"), 10, 60, 100),
                      block(QStringLiteral("v"), 300, 60, 100),   block(QStringLiteral("e1"), 10, 140, 100),
                      block(QStringLiteral("e2"), 300, 140, 100)}
            << QStringLiteral("| h1 | h2 |\n|---------|---|\n| long text | v |\n"
                              "| e1 | e2 |");

        // "tie" lies wholly inside both column extents (0-100 and 80-200): the first wins.
        QTest::newRow("equal overlap picks the left column")
            << Blocks{block(QStringLiteral("left"), 0, 0, 100), block(QStringLiteral("right"), 80, 0, 120),
                      block(QStringLiteral("tie"), 85, 40, 10), block(QStringLiteral("c2"), 150, 40, 50)}
            << QStringLiteral("| left | right |\n|----|-----|\n| tie | c2 |");

        // A zero-width block stands alone as an (empty) column and its text goes to column 0.
        Blocks zeroWidth = fruitTable();
        zeroWidth.append(block(QStringLiteral("z"), 320, 80, 0));
        QTest::newRow("zero-width block")
            << zeroWidth
            << QStringLiteral("| Name |  | Qty |\n|------|---|---|\n| Apple |  | 3 |\n| Pear z |  | 12 |");
    }

    void tableMarkdown() {
        QFETCH(Blocks, blocks);
        QFETCH(QString, expected);
        const std::optional<QString> table = TableExtractor::tableMarkdown(blocks);
        QCOMPARE(table.has_value(), !expected.isNull());
        if (table)
            QCOMPARE(*table, expected);
    }

    void flatText_data() {
        QTest::addColumn<Blocks>("blocks");
        QTest::addColumn<QString>("expected");

        QTest::newRow("empty") << Blocks{} << QString();
        QTest::newRow("worked example") << Blocks{block(QStringLiteral("The quick brown"), 10, 0, 290),
                                                  block(QStringLiteral("fox jumps"), 10, 24, 140),
                                                  block(QStringLiteral("New para"), 10, 48, 290)}
                                        << QStringLiteral("The quick brown\nfox jumps\n\nNew para");
        QTest::newRow("one line from scattered words")
            << Blocks{block(QStringLiteral("c"), 200, 1, 50), block(QStringLiteral("a"), 0, 0, 50),
                      block(QStringLiteral("b"), 100, 3, 50)}
            << QStringLiteral("a b c");
        QTest::newRow("indented line starts a paragraph")
            << Blocks{block(QStringLiteral("A"), 10, 0, 290), block(QStringLiteral("B"), 30, 30, 270),
                      block(QStringLiteral("C"), 10, 60, 290)}
            << QStringLiteral("A\n\nB\nC");
        QTest::newRow("wide gap starts a paragraph")
            << Blocks{block(QStringLiteral("A"), 10, 0, 290), block(QStringLiteral("B"), 10, 51, 290)}
            << QStringLiteral("A\n\nB");
        // Tops 0.4 px apart compare by x, so P leads its line; 0.6 px apart, Q comes first
        // and still joins R's line.
        QTest::newRow("tops 0.4 apart read left to right")
            << Blocks{block(QStringLiteral("R"), 50, 0, 40), block(QStringLiteral("P"), 0, 12.4, 40),
                      block(QStringLiteral("Q"), 100, 12.0, 40)}
            << QStringLiteral("R\n\nP Q");
        QTest::newRow("tops 0.6 apart read top first")
            << Blocks{block(QStringLiteral("R"), 50, 0, 40), block(QStringLiteral("P"), 0, 12.6, 40),
                      block(QStringLiteral("Q"), 100, 12.0, 40)}
            << QStringLiteral("R Q\nP");

        // A sawtooth baseline makes the reading-order comparison cyclic (tops 0.3 apart
        // compare by x, 0.6 apart by y); a sort that assumes a strict weak ordering may
        // lose, repeat or overrun elements here.
        Blocks sawtooth;
        QStringList first, second;
        for (int i = 0; i < 120; ++i) {
            const int shuffled = (i * 37) % 120;
            const QString word = QStringLiteral("w%1").arg(shuffled, 3, 10, QLatin1Char('0'));
            const int line = shuffled % 2;
            sawtooth.append(block(word, (shuffled - line) * 30, line * 40 + (shuffled % 5) * 0.3, 25));
        }
        for (int i = 0; i < 120; ++i)
            (i % 2 ? second : first).append(QStringLiteral("w%1").arg(i, 3, 10, QLatin1Char('0')));
        QTest::newRow("cyclic reading order") << sawtooth << first.join(u' ') + u'\n' + second.join(u' ');
    }

    void flatText() {
        QFETCH(Blocks, blocks);
        QFETCH(QString, expected);
        QCOMPARE(TableExtractor::flatText(blocks), expected);
    }

    // Boxes that OCR never delivers must still give every text exactly once and no crash.
    void degenerateGeometry() {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        Blocks blocks = fruitTable();
        blocks.append({block(QStringLiteral("n1"), nan, 0, 50), block(QStringLiteral("n2"), 10, nan, 50),
                       block(QStringLiteral("n3"), 10, 40, nan, nan),
                       block(QStringLiteral("i1"), inf, -inf, 1),
                       block(QStringLiteral("i2"), -1e308, 1e308, 1e308, 1e308)});
        const QStringList words =
            TableExtractor::flatText(blocks).split(QRegularExpression(QStringLiteral("\\s+")));
        QCOMPARE(words.size(), blocks.size());
        for (const OCRBlock& b : blocks)
            QVERIFY2(words.contains(b.text), qPrintable(b.text));
        TableExtractor::tableMarkdown(blocks);
    }

    void formatMarkdownTable_data() {
        QTest::addColumn<Grid>("grid");
        QTest::addColumn<QString>("expected");

        QTest::newRow("empty grid") << Grid{} << QString();
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

    void median_data() {
        QTest::addColumn<QList<double>>("values");
        QTest::addColumn<std::optional<double>>("expected");
        QTest::newRow("empty") << QList<double>{} << std::optional<double>();
        QTest::newRow("even") << QList<double>{1, 3, 2, 10} << std::optional<double>(2.5);
        QTest::newRow("odd") << QList<double>{7, -1, 3} << std::optional<double>(3);
        QTest::newRow("huge values stay finite")
            << QList<double>{1e308, 1e308} << std::optional<double>(1e308);
    }

    void median() {
        QFETCH(QList<double>, values);
        QFETCH(std::optional<double>, expected);
        QCOMPARE(TableExtractor::median(values), expected);
    }

    void lineTextOrdersLeftToRightStably() {
        const Blocks blocks{block(QStringLiteral("c"), 90, 0, 5), block(QStringLiteral("a"), 10, 0, 5),
                            block(QStringLiteral("b1"), 50, 5, 5), block(QStringLiteral("b2"), 50, 0, 5)};
        QCOMPARE(TableExtractor::lineText(blocks), QStringLiteral("a b1 b2 c"));
    }

    void detectAndConvertTabSeparated_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected"); // null: returned unchanged

        QTest::newRow("simple") << QStringLiteral("A\tB\n1\t2")
                                << QStringLiteral("| A | B |\n|---|---|\n| 1 | 2 |");
        QTest::newRow("one line") << QStringLiteral("A\tB") << QString();
        QTest::newRow("no tab") << QStringLiteral("A B\n1 2") << QString();
        QTest::newRow("one line among blank ones") << QStringLiteral("\r\n\nA\tB\n\u2028\n") << QString();
        QTest::newRow("CRLF and empty lines dropped")
            << QStringLiteral("A\tB\r\n\r\n1\t2\r\n") << QStringLiteral("| A | B |\n|---|---|\n| 1 | 2 |");
        QTest::newRow("escaping") << QStringLiteral("x|y\tx\\y\na\\|b\t")
                                  << QStringLiteral("| x\\|y | x\\\\y |\n|---|---|\n| a\\\\\\|b |  |");
        QTest::newRow("ragged rows kept as they are")
            << QStringLiteral("A\tB\n1\t2\t3\nsolo")
            << QStringLiteral("| A | B |\n|---|---|\n| 1 | 2 | 3 |\n| solo |");
        QTest::newRow("spaces and inner CR kept")
            << QStringLiteral(" A \t\tB\n1\r2\t")
            << QStringLiteral("|  A  |  | B |\n|---|---|---|\n| 1\r2 |  |");
    }

    void detectAndConvertTabSeparated() {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QCOMPARE(TableExtractor::detectAndConvertTabSeparated(input), expected.isNull() ? input : expected);
    }
};

QTEST_GUILESS_MAIN(TestTableExtractor)
#include "tst_tableextractor.moc"
