#include "ocr/OCREngine.h"
#include "ocr/OCRImagePreparation.h"
#include "ocr/RecognizedLine.h"
#include "ocr/TextRecognizer.h"
#include "support/TestEnvironment.h"

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
        line.words.append({text, QRect(x + gap, 100, int(text.size()) * 9, 20), 95, 0.3});
        x += gap + int(text.size()) * 9;
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
    void engineOutcomes_data() {
        QTest::addColumn<Status>("status");
        QTest::addColumn<QImage::Format>("format");
        QTest::addColumn<int>("alpha");
        QTest::addColumn<bool>("isError");
        QTest::addColumn<QString>("logLine"); // after the CGImage line
        QTest::newRow("two lines") << Status::Recognized << QImage::Format_RGBX8888 << 5 << false
                                   << QStringLiteral("OCR: 识别到 2 块文本（含坐标）");
        QTest::newRow("could not run") << Status::PerformFailed << QImage::Format_RGB32 << 6 << true
                                       << QStringLiteral("OCR 执行失败: 缺少语言数据文件 x");
        QTest::newRow("recogniser error") << Status::ServiceError << QImage::Format_ARGB32 << 4 << true
                                          << QStringLiteral("OCR Vision 错误: 缺少语言数据文件 x");
        QTest::newRow("cancelled") << Status::Cancelled << QImage::Format_ARGB32_Premultiplied << 2 << false
                                   << QStringLiteral("OCR: 识别已取消");
    }
    void engineOutcomes() {
        QFETCH(Status, status);
        QFETCH(QImage::Format, format);
        QFETCH(int, alpha);
        QFETCH(bool, isError);
        QFETCH(QString, logLine);
        RecognitionOutcome outcome;
        outcome.status = status;
        outcome.errorDescription = QStringLiteral("缺少语言数据文件 x");
        outcome.observations = {{QStringLiteral("Hello world"), QRectF(0.25, 0.5, 0.5, 0.1)},
                                {QString(), QRectF(0.0001, 0, 0.3333, 0.01)}};
        OCREngine engine(std::make_unique<ScriptedRecognizer>(outcome));
        QImage image(1000, 400, format);
        image.fill(Qt::white);
        const qsizetype logStart = readLog().size();
        const auto blocks = engine.recognizeWithPositions(image);
        const QString log = readLog().mid(logStart);

        QVERIFY2(log.contains(QStringLiteral(" OCR: CGImage 1000x400 px, alpha=%1\n").arg(alpha)),
                 qPrintable(log));
        QVERIFY2(log.contains(u' ' + logLine + u'\n'), qPrintable(log));
        QCOMPARE(log.count(QStringLiteral("[ERROR] ")), isError ? 1 : 0);
        QCOMPARE(log.count(QStringLiteral("[INFO] ")), isError ? 1 : 2);
        QCOMPARE(blocks.has_value(), status == Status::Recognized);
        if (blocks) {
            // Nothing is dropped, not even an empty line; boxes flip to a top-left origin.
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

    void medianLineHeight() {
        const auto lines = [](std::initializer_list<int> heights) {
            QList<RecognizedLine> out;
            for (int h : heights)
                out.append(lineOf("x", h));
            return out;
        };
        QCOMPARE(RecognizedLineRules::medianLineHeight({}), 0.0);
        QCOMPARE(RecognizedLineRules::medianLineHeight(lines({30, 20, 22})), 22.0);
        QCOMPARE(RecognizedLineRules::medianLineHeight(lines({30, 20, 22, 14})), 21.0);
    }

    void noise_data() {
        QTest::addColumn<QList<RecognizedWord>>("words");
        QTest::addColumn<bool>("noise");
        QTest::addColumn<int>("wordsLeft"); // after solid shapes are dropped
        QTest::newRow("text") << QList{word("Hello", 0, 50)} << false << 1;
        QTest::newRow("no letter or digit") << QList{word("—", 0, 20), word("~", 30, 10)} << true << 2;
        QTest::newRow("low confidence") << QList{word("Il", 0, 20, 30), word("x", 30, 10, 60)} << true << 2;
        QTest::newRow("filled dot dropped, narrow stem kept")
            << QList{word("9", 0, 20, 95, 0.8), word("I", 30, 4, 95, 1.0)} << false << 1;
        QTest::newRow("only a filled dot") << QList{word("9", 0, 20, 95, 0.8)} << true << 0;
    }
    void noise() {
        QFETCH(QList<RecognizedWord>, words);
        QFETCH(bool, noise);
        QFETCH(int, wordsLeft);
        RecognizedLine line;
        line.box = QRect(0, 100, 400, 20);
        line.words = words;
        const RecognizedLine kept = RecognizedLineRules::withoutSolidShapes(line);
        QCOMPARE(kept.words.size(), wordsLeft);
        QCOMPARE(RecognizedLineRules::isNoise(kept), noise);
    }

    void preparation_data() {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<bool>("inverted");
        QTest::addColumn<int>("scale");
        QTest::newRow("small dark-on-light") << bands(10, Qt::black, Qt::white) << false << 2;
        QTest::newRow("large dark-on-light") << bands(20, Qt::black, Qt::white) << false << 1;
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

    void removesRulesButNotGlyphs() {
        QImage gray(300, 120, QImage::Format_Grayscale8);
        gray.fill(255);
        QPainter painter(&gray);
        for (int y : {5, 60, 115})
            painter.drawLine(5, y, 295, y); // grid rows
        for (int x : {5, 150, 295})
            painter.drawLine(x, 5, x, 115);                  // grid columns
        painter.fillRect(QRect(40, 20, 5, 30), Qt::black);   // a thick stem
        painter.fillRect(QRect(60, 30, 30, 4), Qt::black);   // a bold dash
        painter.fillRect(QRect(100, 20, 12, 12), Qt::black); // a dot
        painter.end();
        OCRImagePreparation::removeRules(gray);
        for (const QPoint rule : {QPoint(100, 60), QPoint(150, 90), QPoint(150, 60)})
            QCOMPARE(gray.pixelColor(rule).value(), 255);
        for (const QPoint glyph : {QPoint(42, 35), QPoint(75, 31), QPoint(105, 25)})
            QCOMPARE(gray.pixelColor(glyph).value(), 0);
    }
};

QTEST_GUILESS_MAIN(TestOCRRules)
#include "tst_ocrrules.moc"
