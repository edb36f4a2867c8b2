#include "ocr/TableExtractor.h"

#include <QRegularExpression>
#include <QTest>

#include <limits>
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

        QTest::newRow("worked example") << fruitTable() << fruitMarkdown;
        Blocks shuffled = fruitTable();
        std::reverse(shuffled.begin(), shuffled.end());
        shuffled[3].boundingBox = QRectF(110, 60, -100, -20); // "Apple" with a negative size
        QTest::newRow("input order and negative sizes do not matter") << shuffled << fruitMarkdown;

        Blocks column;
        for (int i = 0; i < 6; ++i)
            column.append(block(QStringLiteral("line %1").arg(i), 10 + i * 5, i * 24, 280));
        QTest::newRow("one column") << column << QString();
        Blocks sparse = fruitTable();
        sparse.removeAt(5);
        sparse.removeAt(3);
        QTest::newRow("only one row with two cells") << sparse << QString();

        QTest::newRow("2x2 words, pipe escaped")
            << Blocks{block("Alpha", 10, 0, 60), block("Be", 200, 0, 25), block("x|y", 10, 40, 40),
                      block("Do", 200, 40, 25)}
            << QStringLiteral("| Alpha | Be |\n|-----|---|\n| x\\|y | Do |");

        // "text" wraps 3 px below "long"; both make one cell, top line first.
        QTest::newRow("wrapped cell")
            << Blocks{block("h1", 10, 0, 100),    block("h2", 300, 0, 100), block("text", 10, 83, 100),
                      block("long", 10, 60, 100), block("v", 300, 60, 100), block("e1", 10, 140, 100),
                      block("e2", 300, 140, 100)}
            << QStringLiteral("| h1 | h2 |\n|---------|---|\n| long text | v |\n| e1 | e2 |");

        // "tie" lies wholly inside both column extents (0-100 and 80-200): the first wins.
        QTest::newRow("equal overlap picks the left column")
            << Blocks{block("left", 0, 0, 100), block("right", 80, 0, 120), block("tie", 85, 40, 10),
                      block("c2", 150, 40, 50)}
            << QStringLiteral("| left | right |\n|----|-----|\n| tie | c2 |");
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

        QTest::newRow("worked example")
            << Blocks{block("The quick brown", 10, 0, 290), block("fox jumps", 10, 24, 140),
                      block("New para", 10, 48, 290)}
            << QStringLiteral("The quick brown\nfox jumps\n\nNew para");
        QTest::newRow("indented line starts a paragraph")
            << Blocks{block("A", 10, 0, 290), block("B", 30, 30, 270), block("C", 10, 60, 290)}
            << QStringLiteral("A\n\nB\nC");
        QTest::newRow("wide gap starts a paragraph")
            << Blocks{block("A", 10, 0, 290), block("B", 10, 51, 290)} << QStringLiteral("A\n\nB");
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

    // Boxes that OCR never delivers must still give every text exactly once and no crash.
    void degenerateGeometry() {
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const double inf = std::numeric_limits<double>::infinity();
        Blocks blocks = fruitTable();
        blocks.append({block("n1", nan, 0, 50), block("n2", 10, nan, 50), block("n3", 10, 40, nan, nan),
                       block("i1", inf, -inf, 1), block("i2", -1e308, 1e308, 1e308, 1e308)});
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
