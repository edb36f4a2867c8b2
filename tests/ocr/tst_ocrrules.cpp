#include "ocr/InkComponents.h"
#include "ocr/OCREngine.h"
#include "ocr/OCRImagePreparation.h"
#include "ocr/RecognizedLine.h"
#include "ocr/TextRecognizer.h"
#include "support/TestEnvironment.h"
#include "support/TestMain.h"

#include <QGuiApplication>
#include <QPainter>
#include <QTest>

using Status = RecognitionOutcome::Status;

namespace {

// Answers every call with a preset outcome.
class ScriptedRecognizer final : public TextRecognizer {
public:
    explicit ScriptedRecognizer(RecognitionOutcome outcome) : m_outcome(std::move(outcome)) {}
    RecognitionOutcome recognize(const QImage&, const std::atomic<bool>*) override { return m_outcome; }

private:
    RecognitionOutcome m_outcome;
};

RecognizedWord word(const char* text, int left, int width, float confidence = 95, double inkCoverage = 0.3) {
    return {QString::fromUtf8(text), QRect(left, 100, width, 20), confidence, inkCoverage};
}

// Words laid out left to right, 20 px high; "+N" sets the gap before the next word.
RecognizedLine lineOf(const char* words, int boxHeight = 20) {
    RecognizedLine line;
    int x = 10, gap = 0;
    for (const QString& text : QString::fromUtf8(words).split(u' ')) {
        if (text.startsWith(u'+') && text.size() > 1) {
            gap = text.mid(1).toInt();
            continue;
        }
        // "~" marks a word the recogniser was unsure of.
        const bool doubtful = text.startsWith(u'~') && text.size() > 1;
        const QString read = doubtful ? text.mid(1) : text;
        line.words.append(
            {read, QRect(x + gap, 100, int(read.size()) * 9, 20), doubtful ? 62.0f : 95.0f, 0.3});
        x += gap + int(read.size()) * 9;
    }
    line.box = QRect(10, 100, x - 10, boxHeight);
    return line;
}

QImage bands(int bandHeight, QColor ink, QColor background) {
    QImage image(300, 120, QImage::Format_RGB32);
    image.fill(background);
    QPainter painter(&image);
    for (int y = 10; y + bandHeight < 110; y += bandHeight * 2)
        for (int x = 10; x < 290; x += 12)
            painter.fillRect(QRect(x, y, 7, bandHeight), ink);
    return image;
}

} // namespace

class TestOCRRules : public QObject {
    Q_OBJECT
    TestEnvironment env;

private Q_SLOTS:
    // Only a recognised image gives blocks: nothing is dropped, not even an empty line, and
    // boxes flip to a top-left origin.
    void engineOutcomes_data() {
        QTest::addColumn<Status>("status");
        QTest::addColumn<QImage::Format>("format");
        QTest::newRow("two lines") << Status::Recognized << QImage::Format_RGBX8888;
        QTest::newRow("recogniser error") << Status::ServiceError << QImage::Format_ARGB32;
    }
    void engineOutcomes() {
        QFETCH(Status, status);
        QFETCH(QImage::Format, format);
        RecognitionOutcome outcome;
        outcome.status = status;
        outcome.errorDescription = QStringLiteral("缺少语言数据文件 x");
        outcome.observations = {{QStringLiteral("Hello world"), QRectF(0.25, 0.5, 0.5, 0.1)},
                                {QString(), QRectF(0.0001, 0, 0.3333, 0.01)}};
        OCREngine engine(std::make_unique<ScriptedRecognizer>(outcome));
        QImage image(1000, 400, format);
        image.fill(Qt::white);
        const auto blocks = engine.recognizeWithPositions(image);
        QCOMPARE(blocks.has_value(), status == Status::Recognized);
        if (blocks) {
            QCOMPARE(blocks->size(), 2);
            QCOMPARE(blocks->at(0).text, QStringLiteral("Hello world"));
            QCOMPARE(blocks->at(0).boundingBox, QRectF(250, 160, 500, 40));
            QCOMPARE(blocks->at(1).text, QString());
            QCOMPARE(blocks->at(1).boundingBox, QRectF(0.1, 396, 333.3, 4));
        }
    }

    void removeSpacesBetweenCJK_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("runs of spaces") << QStringLiteral("中  文 识 别") << QStringLiteral("中文识别");
        QTest::newRow("latin neighbours keep theirs")
            << QStringLiteral(" OCR 识 别 test 中 文 ") << QStringLiteral(" OCR 识别 test 中文 ");
        QTest::newRow("full-width punctuation")
            << QStringLiteral("你 好 ， 世 界 。") << QStringLiteral("你好，世界。");
        QTest::newRow("kana") << QStringLiteral("日 本 の テ ス ト") << QStringLiteral("日本のテスト");
        QTest::newRow("outside the basic plane") << QStringLiteral("𠀀 中 𠀁") << QStringLiteral("𠀀中𠀁");
        QTest::newRow("digit next to ideograph") << QStringLiteral("第 3 章") << QStringLiteral("第 3 章");
        const QString broken = QChar(0xD86A) + QStringLiteral(" 中 文");
        QTest::newRow("broken surrogate kept as it is") << broken << QChar(0xD86A) + QStringLiteral(" 中文");
    }
    void removeSpacesBetweenCJK() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(RecognizedLineRules::removeSpacesBetweenCJK(text), expected);
    }

    void splitAtColumnGaps_data() {
        QTest::addColumn<RecognizedLine>("line");
        QTest::addColumn<QString>("expected"); // pieces joined by '/'
        // The crop's lines are 20 px high: gaps wider than that separate columns.
        QTest::newRow("gap of one line height")
            << lineOf("wide +20 justified +18 line") << QStringLiteral("wide justified line");
        QTest::newRow("gap just over one line height")
            << lineOf("wide +21 justified +18 line") << QStringLiteral("wide/justified line");
        QTest::newRow("a taller box of its own does not widen the gap")
            << lineOf("Jupiter +25 778.5 +5 million", 30) << QStringLiteral("Jupiter/778.5 million");
        QTest::newRow("table row") << lineOf("Kenya +60 Nairobi +45 54 +5 million")
                                   << QStringLiteral("Kenya/Nairobi/54 million");
        QTest::newRow("what a column gap reads as does not bridge it")
            << lineOf("Tokyo +20 = +20 125 +5 million") << QStringLiteral("Tokyo/125 million");
        QTest::newRow("icons and box sides around labels")
            << lineOf("@ +8 Open +8 | +40 [ +4 ● +8 Save +5 as") << QStringLiteral("Open/Save as");
        QTest::newRow("symbols inside a cell stay")
            << lineOf("Price +5 $ +2 45 +6 — +6 net") << QStringLiteral("Price $ 45 — net");
        QTest::newRow("only decoration") << lineOf("| +80 []") << QString();
        // A "。" read at 60 from the space between two header cells once joined them.
        QTest::newRow("a doubtful mark does not bridge a column gap")
            << lineOf("Past +5 tense +14 ~。 +7 Past +5 participle")
            << QStringLiteral("Past tense/Past participle");
        QTest::newRow("a doubtful mark inside a cell stays")
            << lineOf("went +5 ~, +5 gone") << QStringLiteral("went , gone");
        QTest::newRow("a sure mark between columns is a cell")
            << lineOf("go +30 — +30 gone") << QStringLiteral("go/—/gone");
        QTest::newRow("a sure mark bridges word gaps")
            << lineOf("wait +14 — +14 what") << QStringLiteral("wait — what");
    }
    void splitAtColumnGaps() {
        QFETCH(RecognizedLine, line);
        QFETCH(QString, expected);
        const QList<LineSegment> segments = RecognizedLineRules::splitAtColumnGaps(line, 20);
        QStringList texts;
        for (int i = 0; i < segments.size(); ++i) {
            texts.append(segments[i].text);
            // Every piece spans the whole line vertically, lies within it, and pieces do not overlap.
            QCOMPARE(segments[i].box.top(), line.box.top());
            QCOMPARE(segments[i].box.bottom(), line.box.bottom());
            QVERIFY(line.box.contains(segments[i].box));
            QVERIFY(i == 0 || segments[i - 1].box.right() < segments[i].box.left());
        }
        QCOMPARE(texts.join(u'/'), expected);
    }

    void noise_data() {
        QTest::addColumn<QList<RecognizedWord>>("words");
        QTest::addColumn<bool>("noise");
        QTest::addColumn<int>("wordsLeft"); // after solid shapes and stray marks are dropped
        QTest::newRow("text") << QList{word("Hello", 0, 50)} << false << 1;
        QTest::newRow("no letter or digit") << QList{word("—", 0, 20), word("~", 30, 10)} << true << 2;
        QTest::newRow("low confidence") << QList{word("Il", 0, 20, 30), word("x", 30, 10, 60)} << true << 2;
        QTest::newRow("filled dot dropped, narrow stem kept")
            << QList{word("9", 0, 20, 95, 0.8), word("I", 30, 4, 95, 1.0)} << false << 1;
        QTest::newRow("only a filled dot") << QList{word("9", 0, 20, 95, 0.8)} << true << 0;
        // Marks without letters or digits read with less than 60 % confidence are gaps.
        QTest::newRow("unsure mark in a gap")
            << QList{word("Hello", 0, 50), word("。", 60, 10, 59), word("x1", 90, 20, 59)} << false << 2;
        QTest::newRow("sure mark kept") << QList{word("Hello", 0, 50), word("—", 60, 10, 60)} << false << 2;
    }
    void noise() {
        QFETCH(QList<RecognizedWord>, words);
        QFETCH(bool, noise);
        QFETCH(int, wordsLeft);
        RecognizedLine line;
        line.box = QRect(0, 100, 400, 20);
        line.words = words;
        const RecognizedLine kept = RecognizedLineRules::withoutNoiseWords(line);
        QCOMPARE(kept.words.size(), wordsLeft);
        QCOMPARE(RecognizedLineRules::isNoise(kept), noise);
    }

    void preparation_data() {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<bool>("inverted");
        QTest::addColumn<int>("scale");
        // Ink lines under 15 px are upscaled.
        QTest::newRow("ink lines 14 px") << bands(14, Qt::black, Qt::white) << false << 2;
        QTest::newRow("ink lines 15 px") << bands(15, Qt::black, Qt::white) << false << 1;
        QTest::newRow("small light-on-dark")
            << bands(10, QColor(230, 230, 230), QColor(25, 25, 25)) << true << 2;
        QImage transparent(200, 80, QImage::Format_ARGB32);
        transparent.fill(Qt::transparent);
        QTest::newRow("transparent reads as white") << transparent << false << 1;
    }
    void preparation() {
        QFETCH(QImage, image);
        QFETCH(bool, inverted);
        QFETCH(int, scale);
        const auto prepared = OCRImagePreparation::prepare(image);
        QCOMPARE(prepared.inverted, inverted);
        QCOMPARE(prepared.scale, scale);
        QCOMPARE(prepared.gray.format(), QImage::Format_Grayscale8);
        QCOMPARE(prepared.gray.size(), image.size() * scale);
        QVERIFY(OCRImagePreparation::meanBrightness(prepared.gray) > 128); // text ends up dark on light
    }

    void inkComponents() {
        QImage gray(40, 20, QImage::Format_Grayscale8);
        gray.fill(255);
        for (const QPoint p : {QPoint(1, 1), QPoint(2, 2), QPoint(3, 1), QPoint(10, 5), QPoint(10, 7)})
            gray.setPixel(p, 0);
        const InkComponents ink = InkComponents::find(gray, 100);
        QCOMPARE(ink.components.size(), 3); // diagonal neighbours touch, a gap of one pixel does not
        QCOMPARE(ink.components[0].box, QRect(1, 1, 3, 2));
        QCOMPARE(ink.components[0].pixels, 3);
    }

    // Glyph height: the 80th percentile of glyph-like shapes, here heights 4 to 13.
    void glyphHeight_data() {
        QTest::addColumn<QList<QRect>>("extra");
        QTest::addColumn<int>("expected");
        QTest::newRow("glyphs alone") << QList<QRect>{} << 12;
        QTest::newRow("specks ignored") << QList<QRect>{{300, 10, 2, 2}} << 12;
        QTest::newRow("3 px shapes count") << QList<QRect>{{300, 10, 6, 3}, {320, 10, 6, 3}} << 11;
        QTest::newRow("rules ignored") << QList<QRect>{{300, 10, 200, 3}, {300, 30, 25, 3}} << 12;
        QTest::newRow("solid bars ignored") << QList<QRect>{{300, 60, 100, 40}, {300, 120, 100, 40}} << 12;
        // Underlined words are one shape, no taller than a glyph but much wider: combs 4 px high.
        QTest::newRow("wider than 8 heights ignored")
            << QList<QRect>{{300, 10, 36, 4}, {300, 30, 36, 4}} << 12;
        QTest::newRow("up to 8 heights counted") << QList<QRect>{{300, 10, 32, 4}, {300, 30, 32, 4}} << 11;
    }
    void glyphHeight() {
        QFETCH(QList<QRect>, extra);
        QFETCH(int, expected);
        QImage gray(600, 200, QImage::Format_Grayscale8);
        gray.fill(255);
        QPainter painter(&gray);
        for (int h = 4; h <= 13; ++h) // an outlined box is no solid block
            painter.fillRect(QRect(10 + h * 20, 10, 6, h), Qt::black);
        for (const QRect& r : extra) {
            if (r.height() > 4) {
                painter.fillRect(r, Qt::black);
                continue;
            }
            painter.fillRect(r.adjusted(0, r.height() - 1, 0, 0), Qt::black);
            for (int x = r.left(); x <= r.right(); x += 3)
                painter.fillRect(QRect(x, r.top(), 1, r.height()), Qt::black);
        }
        painter.end();
        QCOMPARE(InkComponents::find(gray, 128).glyphHeight(), expected);
    }

    // A rule is thin and longer than the glyphs: 3 glyph heights tall or 4 long, at least
    // 24 px tall or 40 px long.
    void removeRules_data() {
        QTest::addColumn<int>("glyphHeight");
        QTest::addColumn<QRect>("shape");
        QTest::addColumn<bool>("cleared");
        QTest::newRow("vertical, 3 glyph heights") << 10 << QRect(100, 10, 1, 30) << true;
        QTest::newRow("2x stem of 2.9 glyph heights") << 20 << QRect(100, 10, 3, 58) << false;
        QTest::newRow("2x rule of 3 glyph heights") << 20 << QRect(100, 10, 2, 60) << true;
        QTest::newRow("vertical floor") << 5 << QRect(100, 10, 1, 24) << true;
        QTest::newRow("vertical under the floor") << 5 << QRect(100, 10, 1, 23) << false;
        QTest::newRow("horizontal, 4 glyph heights") << 20 << QRect(20, 50, 80, 1) << true;
        QTest::newRow("horizontal floor") << 5 << QRect(20, 50, 40, 2) << true;
        QTest::newRow("horizontal under the floor") << 5 << QRect(20, 50, 39, 2) << false;
        QTest::newRow("3 px thick") << 10 << QRect(20, 50, 200, 3) << true;
        QTest::newRow("4 px thick") << 10 << QRect(20, 50, 200, 4) << false;
        QTest::newRow("solid area") << 10 << QRect(20, 20, 200, 80) << false;
    }
    void removeRules() {
        QFETCH(int, glyphHeight);
        QFETCH(QRect, shape);
        QFETCH(bool, cleared);
        QImage gray(300, 120, QImage::Format_Grayscale8);
        gray.fill(255);
        QPainter painter(&gray);
        painter.fillRect(shape, Qt::black);
        painter.fillRect(QRect(250, 100, 5, 8), Qt::black); // a glyph, so that the image has two levels
        painter.end();
        const int removed = OCRImagePreparation::removeRules(gray, glyphHeight);
        QCOMPARE(removed, cleared ? shape.width() * shape.height() : 0);
    }

    // Serif stems of large text on a 2x screen are glyphs, the table rule beside them is not.
    void largeSerifKeepsItsStems() {
        QImage image(700, 140, QImage::Format_RGB32);
        image.fill(Qt::white);
        QPainter painter(&image);
        QFont font(QStringLiteral("DejaVu Serif"));
        font.setPixelSize(32);
        painter.setFont(font);
        painter.setPen(QColor(34, 34, 34));
        painter.drawText(QPointF(20, 60), QStringLiteral("he held the book back, deep in thought"));
        painter.fillRect(QRect(680, 5, 2, 130), QColor(200, 200, 200).darker(200));
        painter.end();
        QImage gray = OCRImagePreparation::toGrayOverWhite(image);
        const QImage before = gray.copy();
        const int glyph = InkComponents::find(gray, 128).glyphHeight();
        QVERIFY2(glyph >= 20 && glyph <= 26, qPrintable(QString::number(glyph)));
        OCRImagePreparation::removeRules(gray, glyph);
        QCOMPARE(gray.copy(0, 0, 670, 140), before.copy(0, 0, 670, 140));
        QCOMPARE(gray.pixelColor(681, 70).value(), 255);
    }

    // A filled area holding text becomes a white ground with dark text; glyph height 10.
    void normalizeFilledAreas_data() {
        QTest::addColumn<QRect>("area");
        QTest::addColumn<int>("fillLevel");
        QTest::addColumn<int>("textLevel");
        QTest::addColumn<QSize>("text"); // centred in the area
        QTest::addColumn<bool>("normalized");
        QTest::addColumn<int>("glyphHeight");
        const auto row = [](const char* name, QRect area, int fill, int ink, QSize text, bool normalized,
                            int glyphHeight = 10) {
            QTest::newRow(name) << area << fill << ink << text << normalized << glyphHeight;
        };
        const QRect bar(50, 50, 200, 40);
        const QSize label(120, 16);
        row("dark bar, light text", bar, 40, 230, label, true);
        row("mid-tone band, dark text", bar, 150, 20, label, true);
        row("band darker than the page by 39", bar, 216, 20, label, false);
        row("1.4 glyph heights tall", QRect(50, 50, 200, 14), 40, 230, QSize(120, 6), false);
        row("2.9 glyph heights wide", QRect(50, 50, 29, 15), 40, 230, QSize(10, 7), false);
        // Light text stands out from the fill by more than 48 grey levels, else it is no text.
        row("light text 49 levels above the fill", bar, 40, 89, label, true);
        row("marks 47 levels above the fill", bar, 40, 87, label, true);
        // Without glyphs to measure, an area is at least 12 px tall and 24 px wide.
        row("no glyphs, 12 x 24 px", QRect(50, 50, 24, 12), 40, 230, QSize(8, 4), true, 0);
        row("no glyphs, 11 px tall", QRect(50, 50, 24, 11), 40, 230, QSize(8, 4), false, 0);
        row("no glyphs, 23 px wide", QRect(50, 50, 23, 12), 40, 230, QSize(8, 4), false, 0);
        // 100 x 30 with 20 px tall text: ink covers 64 % of the box.
        row("fill 64 %", QRect(50, 50, 100, 30), 40, 230, QSize(54, 20), false);
        row("square icon under 5 glyph heights", QRect(50, 50, 49, 49), 40, 230, QSize(6, 30), false);
        row("square area of 5 glyph heights", QRect(50, 50, 50, 50), 40, 230, QSize(6, 30), true);
        row("small area 1.45 times as wide as tall", QRect(50, 50, 45, 31), 40, 230, QSize(20, 10), false);
    }
    void normalizeFilledAreas() {
        QFETCH(QRect, area);
        QFETCH(int, fillLevel);
        QFETCH(int, textLevel);
        QFETCH(QSize, text);
        QFETCH(bool, normalized);
        QFETCH(int, glyphHeight);
        QImage gray(300, 150, QImage::Format_Grayscale8);
        gray.fill(255);
        QPainter painter(&gray);
        painter.fillRect(area, QColor(fillLevel, fillLevel, fillLevel));
        // Dark text as separate strokes, so that it is no filled area itself.
        const QRect textBox =
            QRect(QPoint(0, 0), text).translated(area.center() - QRect(QPoint(0, 0), text).center());
        const QColor textColour(textLevel, textLevel, textLevel);
        if (textLevel > fillLevel)
            painter.fillRect(textBox, textColour);
        else
            for (int x = textBox.left(); x < textBox.right(); x += 4)
                painter.fillRect(QRect(x, textBox.top(), 2, textBox.height()), textColour);
        painter.end();
        const QImage before = gray.copy();
        const InkComponents ink = InkComponents::find(gray, OCRImagePreparation::groundLevel(gray) -
                                                                OCRImagePreparation::kInkContrast);
        QCOMPARE(OCRImagePreparation::normalizeFilledAreas(gray, ink, glyphHeight), normalized ? 1 : 0);
        if (!normalized) {
            QCOMPARE(gray, before);
            return;
        }
        // White ground, dark text, no frame left around the area.
        QCOMPARE(gray.pixelColor(area.topLeft() + QPoint(2, 2)).value(), 255);
        const bool faint = textLevel > fillLevel && textLevel - fillLevel <= 48;
        const int level = gray.pixelColor(textBox.left(), textBox.center().y()).value();
        QVERIFY2(faint ? level == 255 : level < 230, qPrintable(QString::number(level)));
        for (int x = area.left() - 1; x <= area.right() + 1; ++x)
            for (int y : {area.top() - 1, area.top(), area.bottom(), area.bottom() + 1})
                QCOMPARE(gray.pixelColor(x, y).value(), 255);
    }
};

VYRN_TEST_MAIN(QGuiApplication, TestOCRRules, "offscreen")
#include "tst_ocrrules.moc"
