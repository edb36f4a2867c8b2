#include "ocr/OCREngine.h"
#include "ocr/OCRImagePreparation.h"
#include "ocr/RecognizedLine.h"
#include "ocr/TextRecognizer.h"
#include "support/TestEnvironment.h"

#include <QPainter>
#include <QTest>

using Status = RecognitionOutcome::Status;

namespace {

// Answers every call with a preset outcome and remembers what it was given.
class ScriptedRecognizer final : public TextRecognizer {
public:
    explicit ScriptedRecognizer(RecognitionOutcome outcome) : m_outcome(std::move(outcome)) {}
    RecognitionOutcome recognize(const QImage& image, const std::atomic<bool>* cancel) override {
        lastSize = image.size();
        lastCancel = cancel;
        return m_outcome;
    }
    QSize lastSize;
    const std::atomic<bool>* lastCancel = nullptr;

private:
    RecognitionOutcome m_outcome;
};

RecognizedWord word(const QString& text, int left, int width, float confidence = 95, int top = 100,
                    int height = 20) {
    return {text, QRect(left, top, width, height), confidence, 0.3};
}

// Words laid out left to right: each entry is (text, gap before it in pixels).
RecognizedLine lineOf(const QList<QPair<QString, int>>& words, int lineHeight = 20) {
    RecognizedLine line;
    line.box = QRect(10, 100, 0, lineHeight);
    int x = 10;
    for (const auto& [text, gap] : words) {
        x += gap;
        const int width = int(text.size()) * 9;
        line.words.append(word(text, x, width, 95, 100, lineHeight));
        x += width;
    }
    line.box.setRight(x - 1);
    return line;
}

int countOf(const QString& haystack, const QString& needle) {
    return int(haystack.count(needle));
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
    void pixelBox_data() {
        QTest::addColumn<QRectF>("normalized");
        QTest::addColumn<QSizeF>("image");
        QTest::addColumn<QRectF>("expected");
        QTest::newRow("worked example")
            << QRectF(0.25, 0.5, 0.5, 0.1) << QSizeF(1000, 400) << QRectF(250, 160, 500, 40);
        QTest::newRow("touching the top")
            << QRectF(0.1, 0.8, 0.2, 0.2) << QSizeF(100, 50) << QRectF(10, 0, 20, 10);
        QTest::newRow("touching the bottom")
            << QRectF(0, 0, 0.5, 0.25) << QSizeF(200, 80) << QRectF(0, 60, 100, 20);
        QTest::newRow("fractional pixels")
            << QRectF(0.001, 0.3, 0.333, 0.05) << QSizeF(640, 200) << QRectF(0.64, 130, 213.12, 10);
    }
    void pixelBox() {
        QFETCH(QRectF, normalized);
        QFETCH(QSizeF, image);
        QFETCH(QRectF, expected);
        const QRectF box = OCREngine::pixelBox(normalized, image.width(), image.height());
        QVERIFY2(
            qAbs(box.x() - expected.x()) < 1e-9 && qAbs(box.y() - expected.y()) < 1e-9 &&
                qAbs(box.width() - expected.width()) < 1e-9 && qAbs(box.height() - expected.height()) < 1e-9,
            qPrintable(
                QStringLiteral("%1,%2 %3x%4").arg(box.x()).arg(box.y()).arg(box.width()).arg(box.height())));
    }

    void alphaInfoCode_data() {
        QTest::addColumn<QImage::Format>("format");
        QTest::addColumn<int>("code");
        QTest::newRow("xRGB") << QImage::Format_RGB32 << 6;
        QTest::newRow("ARGB") << QImage::Format_ARGB32 << 4;
        QTest::newRow("premultiplied ARGB") << QImage::Format_ARGB32_Premultiplied << 2;
        QTest::newRow("premultiplied RGBA") << QImage::Format_RGBA8888_Premultiplied << 1;
        QTest::newRow("grey") << QImage::Format_Grayscale8 << 0;
    }
    void alphaInfoCode() {
        QFETCH(QImage::Format, format);
        QFETCH(int, code);
        QCOMPARE(OCREngine::alphaInfoCode(format), code);
    }

    void engineOutcomes_data() {
        QTest::addColumn<int>("status");
        QTest::addColumn<int>("observations");
        QTest::addColumn<bool>("present");
        QTest::addColumn<QString>("logLine"); // expected after the CGImage line
        QTest::addColumn<bool>("isError");
        QTest::newRow("two lines") << int(Status::Recognized) << 2 << true
                                   << QStringLiteral("OCR: 识别到 2 块文本（含坐标）") << false;
        QTest::newRow("no text is an empty list")
            << int(Status::Recognized) << 0 << true << QStringLiteral("OCR: 识别到 0 块文本（含坐标）")
            << false;
        QTest::newRow("could not run") << int(Status::PerformFailed) << 0 << false
                                       << QStringLiteral("OCR 执行失败: 缺少语言数据文件 x") << true;
        QTest::newRow("recogniser error") << int(Status::ServiceError) << 0 << false
                                          << QStringLiteral("OCR Vision 错误: 缺少语言数据文件 x") << true;
        QTest::newRow("cancelled") << int(Status::Cancelled) << 0 << false
                                   << QStringLiteral("OCR: 识别已取消") << false;
    }
    void engineOutcomes() {
        QFETCH(int, status);
        QFETCH(int, observations);
        QFETCH(bool, present);
        QFETCH(QString, logLine);
        QFETCH(bool, isError);
        RecognitionOutcome outcome;
        outcome.status = Status(status);
        outcome.errorDescription = QStringLiteral("缺少语言数据文件 x");
        if (observations > 0)
            outcome.observations = {{QStringLiteral("Hello world"), QRectF(0.25, 0.5, 0.5, 0.1)},
                                    {QString(), QRectF(0, 0, 0.01, 0.01)}};
        auto recognizer = std::make_unique<ScriptedRecognizer>(outcome);
        ScriptedRecognizer* scripted = recognizer.get();
        OCREngine engine(std::move(recognizer));
        QImage image(1000, 400, QImage::Format_RGBX8888);
        image.fill(Qt::white);
        std::atomic<bool> cancel{false};

        const qsizetype logStart = readLog().size();
        const auto blocks = engine.recognizeWithPositions(image, &cancel);
        const QString log = readLog().mid(logStart);

        QCOMPARE(scripted->lastSize, QSize(1000, 400));
        QCOMPARE(scripted->lastCancel, &cancel);
        QCOMPARE(blocks.has_value(), present);
        QVERIFY2(log.contains(QStringLiteral(" OCR: CGImage 1000x400 px, alpha=5\n")), qPrintable(log));
        QVERIFY2(log.contains((isError ? QStringLiteral("[ERROR] ") : QStringLiteral("[INFO] "))),
                 qPrintable(log));
        QVERIFY2(log.contains(QLatin1Char(' ') + logLine + QLatin1Char('\n')), qPrintable(log));
        QCOMPARE(countOf(log, QStringLiteral("[ERROR]")), isError ? 1 : 0);
        QCOMPARE(countOf(log, QStringLiteral("\n")), 2);
        if (present) {
            QCOMPARE(blocks->size(), observations);
            if (observations > 0) {
                // Nothing is dropped, not even an empty line, and boxes pass through the conversion.
                QCOMPARE(blocks->at(0).text, QStringLiteral("Hello world"));
                QCOMPARE(blocks->at(0).boundingBox, QRectF(250, 160, 500, 40));
                QCOMPARE(blocks->at(1).text, QString());
                QCOMPARE(blocks->at(1).boundingBox, QRectF(0, 396, 10, 4));
            }
        }
    }

    void removeSpacesBetweenCJK_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("two ideographs") << QStringLiteral("中 文") << QStringLiteral("中文");
        QTest::newRow("runs of spaces") << QStringLiteral("中  文 识 别") << QStringLiteral("中文识别");
        QTest::newRow("latin neighbours keep theirs")
            << QStringLiteral("OCR 识 别 test 中 文") << QStringLiteral("OCR 识别 test 中文");
        QTest::newRow("full-width punctuation")
            << QStringLiteral("你 好 ， 世 界 。") << QStringLiteral("你好，世界。");
        QTest::newRow("kana") << QStringLiteral("日 本 の テ ス ト") << QStringLiteral("日本のテスト");
        QTest::newRow("outside the basic plane") << QStringLiteral("𠀀 中 𠀁") << QStringLiteral("𠀀中𠀁");
        QTest::newRow("digit next to ideograph") << QStringLiteral("第 3 章") << QStringLiteral("第 3 章");
        QTest::newRow("edges untouched") << QStringLiteral(" 中 ") << QStringLiteral(" 中 ");
        QTest::newRow("plain english") << QStringLiteral("a  b") << QStringLiteral("a  b");
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
        QTest::addColumn<QStringList>("expected");
        using W = QList<QPair<QString, int>>;
        const auto s = [](const char* text) { return QString::fromUtf8(text); };
        QTest::newRow("normal spacing")
            << lineOf(W{{s("The"), 0}, {s("quick"), 6}, {s("brown"), 6}, {s("fox"), 6}})
            << QStringList{s("The quick brown fox")};
        QTest::newRow("justified, a line height apart")
            << lineOf(W{{s("wide"), 0}, {s("justified"), 20}, {s("line"), 24}})
            << QStringList{s("wide justified line")};
        QTest::newRow("table row")
            << lineOf(W{{s("Kenya"), 0}, {s("Nairobi"), 60}, {s("54"), 45}, {s("million"), 5}})
            << QStringList{s("Kenya"), s("Nairobi"), s("54 million")};
        QTest::newRow("what a column gap reads as does not bridge it")
            << lineOf(W{{s("Tokyo"), 0}, {s("="), 20}, {s("125"), 20}, {s("million"), 5}})
            << QStringList{s("Tokyo"), s("125 million")};
        QTest::newRow("icons and box sides around labels") << lineOf(W{{s("@"), 0},
                                                                       {s("Open"), 8},
                                                                       {s("|"), 8},
                                                                       {s("["), 40},
                                                                       {s("●"), 4},
                                                                       {s("Save"), 8},
                                                                       {s("as"), 5}})
                                                           << QStringList{s("Open"), s("Save as")};
        QTest::newRow("symbols inside a cell stay")
            << lineOf(W{{s("Price"), 0}, {s("$"), 5}, {s("45"), 2}, {s("—"), 6}, {s("net"), 6}})
            << QStringList{s("Price $ 45 — net")};
        QTest::newRow("hanzi words") << lineOf(
                                            W{{s("中"), 0}, {s("文"), 3}, {s("识别"), 3}, {s("English"), 60}})
                                     << QStringList{s("中文识别"), s("English")};
        QTest::newRow("only decoration") << lineOf(W{{s("|"), 0}, {s("[]"), 80}}) << QStringList{};
    }
    void splitAtColumnGaps() {
        QFETCH(RecognizedLine, line);
        QFETCH(QStringList, expected);
        const QList<LineSegment> segments = RecognizedLineRules::splitAtColumnGaps(line);
        QStringList texts;
        for (const LineSegment& segment : segments) {
            texts.append(segment.text);
            // Every piece spans the whole line vertically and lies within it.
            QCOMPARE(segment.box.top(), line.box.top());
            QCOMPARE(segment.box.bottom(), line.box.bottom());
            QVERIFY(line.box.contains(segment.box));
        }
        QCOMPARE(texts, expected);
        for (int i = 1; i < segments.size(); ++i)
            QVERIFY(segments[i - 1].box.right() < segments[i].box.left());
    }

    void noise_data() {
        QTest::addColumn<RecognizedLine>("line");
        QTest::addColumn<bool>("noise");
        QTest::addColumn<int>("wordsLeft"); // after solid shapes are dropped
        const auto lineWith = [](QList<RecognizedWord> words) {
            RecognizedLine line;
            line.box = QRect(0, 100, 400, 20);
            line.words = words;
            return line;
        };
        QTest::newRow("text") << lineWith({word(QStringLiteral("Hello"), 0, 50)}) << false << 1;
        QTest::newRow("digits") << lineWith({word(QStringLiteral("42"), 0, 20)}) << false << 1;
        QTest::newRow("hanzi") << lineWith({word(QStringLiteral("中文"), 0, 40, 70)}) << false << 1;
        QTest::newRow("no letter or digit")
            << lineWith({word(QStringLiteral("—"), 0, 20), word(QStringLiteral("~"), 30, 10)}) << true << 2;
        QTest::newRow("low confidence")
            << lineWith({word(QStringLiteral("Il"), 0, 20, 30), word(QStringLiteral("x"), 30, 10, 60)})
            << true << 2;
        QTest::newRow("no words") << lineWith({}) << true << 0;
        RecognizedWord dot = word(QStringLiteral("9"), 0, 20);
        dot.inkCoverage = 0.8;
        RecognizedWord stem = word(QStringLiteral("I"), 30, 4);
        stem.inkCoverage = 1.0;
        QTest::newRow("filled dot dropped, narrow stem kept") << lineWith({dot, stem}) << false << 1;
        QTest::newRow("only a filled dot") << lineWith({dot}) << true << 0;
    }
    void noise() {
        QFETCH(RecognizedLine, line);
        QFETCH(bool, noise);
        QFETCH(int, wordsLeft);
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
        QImage blank(200, 80, QImage::Format_RGB32);
        blank.fill(Qt::white);
        QTest::newRow("blank") << blank << false << 1;
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
        // Text always ends up dark on light.
        QVERIFY(OCRImagePreparation::meanBrightness(prepared.gray) > 128);
    }

    void removesRulesButNotGlyphs() {
        QImage gray(300, 120, QImage::Format_Grayscale8);
        gray.fill(255);
        QPainter painter(&gray);
        painter.setPen(QPen(Qt::black, 1));
        for (int y : {5, 60, 115})
            painter.drawLine(5, y, 295, y); // grid rows
        for (int x : {5, 150, 295})
            painter.drawLine(x, 5, x, 115);                  // grid columns
        painter.fillRect(QRect(40, 20, 5, 30), Qt::black);   // a thick stem
        painter.fillRect(QRect(60, 30, 30, 4), Qt::black);   // a bold dash
        painter.fillRect(QRect(100, 20, 12, 12), Qt::black); // a dot
        painter.end();
        OCRImagePreparation::removeRules(gray);
        QCOMPARE(gray.pixelColor(100, 60).value(), 255);
        QCOMPARE(gray.pixelColor(150, 90).value(), 255);
        QCOMPARE(gray.pixelColor(150, 60).value(), 255); // crossing
        QCOMPARE(gray.pixelColor(42, 35).value(), 0);
        QCOMPARE(gray.pixelColor(75, 31).value(), 0);
        QCOMPARE(gray.pixelColor(105, 25).value(), 0);
    }
};

QTEST_GUILESS_MAIN(TestOCRRules)
#include "tst_ocrrules.moc"
