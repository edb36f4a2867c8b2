// Real Tesseract on text drawn with QPainter. The engine is warmed once.

#include "ocr/OCREngine.h"
#include "ocr/TableExtractor.h"
#include "ocr/TesseractRecognizer.h"
#include "support/DrawnText.h"
#include "support/TestEnvironment.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

using namespace DrawnText;
Q_DECLARE_METATYPE(DrawnText::Picture)

namespace {

QString joinedTexts(const QList<OCRBlock>& blocks) {
    QStringList texts;
    for (const OCRBlock& block : blocks)
        texts.append(block.text);
    return texts.join(QLatin1Char(' '));
}

QString describe(const QList<OCRBlock>& blocks) {
    QStringList lines;
    for (const OCRBlock& b : blocks)
        lines.append(QStringLiteral("[%1] %2,%3 %4x%5")
                         .arg(b.text)
                         .arg(b.boundingBox.x())
                         .arg(b.boundingBox.y())
                         .arg(b.boundingBox.width())
                         .arg(b.boundingBox.height()));
    return lines.join(QLatin1Char('\n'));
}

// The recognised box lies on the drawn line: same left and right edge within a
// quarter of the line height, its middle inside the drawn line's height.
bool boxMatches(const QRectF& recognised, const QRectF& drawn) {
    const double tolerance = drawn.height() * 0.25;
    return qAbs(recognised.left() - drawn.left()) <= tolerance &&
           qAbs(recognised.right() - drawn.right()) <= tolerance && recognised.center().y() > drawn.top() &&
           recognised.center().y() < drawn.bottom() && recognised.height() <= drawn.height() * 1.3;
}

Picture paragraphs() {
    return prose({QStringLiteral("Reading on screen is different from reading on paper."),
                  QStringLiteral("Most people scan a page first."),
                  QStringLiteral("Long paragraphs are skipped far more often than short"),
                  QStringLiteral("ones, so writers keep them brief.")},
                 16, lightTheme());
}

} // namespace

class TestOCREngine : public QObject {
    Q_OBJECT
    TestEnvironment env;

private Q_SLOTS:
    void initTestCase() { QVERIFY(OCREngine::shared().warmUp()); }

    void readsProse_data() {
        QTest::addColumn<Picture>("picture");
        const QStringList lines = proseLines();
        for (const int size : {13, 15, 16, 18})
            QTest::addRow("%d px light", size) << prose(lines, size, lightTheme());
        QTest::newRow("14 px dark") << prose(lines, 14, darkTheme());
        QTest::newRow("17 px dark") << prose(lines, 17, darkTheme());
        QTest::newRow("14 px at 2x (HiDPI)") << prose(lines, 14, lightTheme(), 2);
        QTest::newRow("15 px serif") << prose(lines, 15, lightTheme(), 1, QStringLiteral("DejaVu Serif"));
    }
    void readsProse() {
        QFETCH(Picture, picture);
        const auto blocks = OCREngine::shared().recognizeWithPositions(picture.image);
        QVERIFY(blocks);
        QCOMPARE(blocks->size(), picture.lines.size());
        for (int i = 0; i < blocks->size(); ++i) {
            const double cer = characterErrorRate(picture.lines[i].text, blocks->at(i).text);
            QVERIFY2(cer <= 0.03, qPrintable(describe(*blocks)));
            QVERIFY2(boxMatches(blocks->at(i).boundingBox, picture.lines[i].box),
                     qPrintable(describe(*blocks)));
        }
        QStringList expected;
        for (const Line& line : picture.lines)
            expected.append(line.text);
        QVERIFY2(characterErrorRate(expected.join(QLatin1Char(' ')), joinedTexts(*blocks)) <= 0.01,
                 qPrintable(describe(*blocks)));
    }

    // Each cell of a table comes out as a block of its own, wherever it was drawn.
    void tableCells_data() {
        QTest::addColumn<Picture>("picture");
        QTest::newRow("15 px") << table(sampleTable(), 15, lightTheme());
        QTest::newRow("14 px dark") << table(sampleTable(), 14, darkTheme());
        QTest::newRow("with grid lines") << table(sampleTable(), 15, lightTheme(), 36, true);
        QTest::newRow("tight columns") << table(sampleTable(), 16, lightTheme(), 24);
    }
    void tableCells() {
        QFETCH(Picture, picture);
        const auto blocks = OCREngine::shared().recognizeWithPositions(picture.image);
        QVERIFY(blocks);
        QVERIFY2(blocks->size() == picture.lines.size(), qPrintable(describe(*blocks)));
        for (int i = 0; i < blocks->size(); ++i) {
            QVERIFY2(characterErrorRate(picture.lines[i].text, blocks->at(i).text) <= 0.1,
                     qPrintable(describe(*blocks)));
            QVERIFY2(boxMatches(blocks->at(i).boundingBox, picture.lines[i].box),
                     qPrintable(describe(*blocks)));
        }
    }

    void blankAndIconsGiveEmptyList_data() {
        QTest::addColumn<QImage>("image");
        QImage white(400, 120, QImage::Format_RGB32);
        white.fill(Qt::white);
        QTest::newRow("white") << white;
        QImage dark(400, 120, QImage::Format_ARGB32_Premultiplied);
        dark.fill(QColor(30, 30, 30));
        QTest::newRow("dark") << dark;
        QImage dots = white.copy();
        QPainter painter(&dots);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setBrush(QColor(60, 60, 60));
        painter.drawEllipse(QRectF(20, 40, 28, 28));
        painter.drawEllipse(QRectF(120, 44, 20, 20));
        painter.end();
        QTest::newRow("filled dots") << dots;
        QImage tiny(2, 1, QImage::Format_RGB32);
        tiny.fill(Qt::black);
        QTest::newRow("a sliver") << tiny;
    }
    void blankAndIconsGiveEmptyList() {
        QFETCH(QImage, image);
        const qsizetype logStart = readLog().size();
        const auto blocks = OCREngine::shared().recognizeWithPositions(image);
        QVERIFY(blocks);
        QVERIFY2(blocks->isEmpty(), qPrintable(describe(*blocks)));
        QVERIFY(readLog().mid(logStart).contains(QStringLiteral(" OCR: 识别到 0 块文本（含坐标）\n")));
    }

    void chineseWithoutSpaces() {
        const QStringList lines{QStringLiteral("中文识别测试"), QStringLiteral("繁體中文字幕"),
                                QStringLiteral("OCR 识别结果")};
        const Picture picture =
            DrawnText::prose(lines, 24, lightTheme(), 1, QStringLiteral("Noto Sans CJK SC"));
        const auto blocks = OCREngine::shared().recognizeWithPositions(picture.image);
        QVERIFY(blocks);
        QCOMPARE(blocks->size(), lines.size());
        for (int i = 0; i < 2; ++i)
            QVERIFY2(characterErrorRate(lines[i], blocks->at(i).text) <= 0.2, qPrintable(describe(*blocks)));
        QVERIFY2(!blocks->at(0).text.contains(QLatin1Char(' ')), qPrintable(describe(*blocks)));
        QVERIFY2(!blocks->at(1).text.contains(QLatin1Char(' ')), qPrintable(describe(*blocks)));
        // Mixed script: the space after the Latin word stays (the Hanzi may come out in
        // either script, the traditional model being loaded too).
        const QString mixed = blocks->at(2).text;
        QVERIFY2(mixed.startsWith(QStringLiteral("OCR ")) && mixed.size() == 8 &&
                     !mixed.mid(4).contains(QLatin1Char(' ')),
                 qPrintable(describe(*blocks)));
    }

    void cancellation() {
        // Large enough that a full recognition takes well over a second.
        QStringList many;
        for (int i = 0; i < 6; ++i)
            many += proseLines();
        const Picture picture = prose(many, 15, lightTheme(), 2);
        std::atomic<bool> cancel{true};
        QVERIFY(!OCREngine::shared().recognizeWithPositions(picture.image, &cancel));

        cancel = false;
        std::optional<QList<OCRBlock>> result{QList<OCRBlock>{}};
        QElapsedTimer timer;
        timer.start();
        std::thread worker(
            [&] { result = OCREngine::shared().recognizeWithPositions(picture.image, &cancel); });
        QTest::qWait(150);
        cancel = true;
        worker.join();
        QVERIFY(!result);
        QVERIFY(readLog().contains(QStringLiteral(" OCR: 识别已取消\n")));
        // The instance that was cancelled still reads correctly afterwards.
        const Picture small = table(sampleTable(), 15, lightTheme());
        const auto blocks = OCREngine::shared().recognizeWithPositions(small.image);
        QVERIFY(blocks);
        QCOMPARE(blocks->size(), small.lines.size());
    }

    void concurrentCallsDoNotInterfere() {
        const Picture a = table(sampleTable(), 15, lightTheme());
        const Picture b = prose(proseLines().mid(0, 2), 16, darkTheme());
        std::optional<QList<OCRBlock>> resultA, resultB;
        std::thread first([&] { resultA = OCREngine::shared().recognizeWithPositions(a.image); });
        std::thread second([&] { resultB = OCREngine::shared().recognizeWithPositions(b.image); });
        first.join();
        second.join();
        QVERIFY(resultA && resultB);
        QCOMPARE(resultA->size(), a.lines.size());
        QCOMPARE(resultB->size(), b.lines.size());
        QCOMPARE(resultA->at(5).text, QStringLiteral("68 million"));
        QVERIFY(characterErrorRate(b.lines[1].text, resultB->at(1).text) <= 0.03);
    }

    void missingOrBrokenDataFile_data() {
        QTest::addColumn<QString>("languages");
        QTest::addColumn<QByteArray>("content"); // of <second language>.traineddata; null: no file
        QTest::newRow("missing") << QStringLiteral("eng+chi_sim") << QByteArray();
        QTest::newRow("garbage") << QStringLiteral("eng+xyz") << QByteArray("not a traineddata file");
        QTest::newRow("primary missing") << QStringLiteral("abc+eng") << QByteArray();
    }
    void missingOrBrokenDataFile() {
        QFETCH(QString, languages);
        QFETCH(QByteArray, content);
        QTemporaryDir data;
        QVERIFY(
            QFile::link(TesseractRecognizer::Config::defaults().dataPath + QStringLiteral("/eng.traineddata"),
                        data.filePath(QStringLiteral("eng.traineddata"))));
        const QString missing = languages.section(QLatin1Char('+'), 0, 0) == QStringLiteral("eng")
                                    ? languages.section(QLatin1Char('+'), 1, 1)
                                    : languages.section(QLatin1Char('+'), 0, 0);
        const QString file = data.filePath(missing + QStringLiteral(".traineddata"));
        if (!content.isNull()) {
            QFile out(file);
            QVERIFY(out.open(QIODevice::WriteOnly));
            out.write(content);
        }
        OCREngine engine(
            std::make_unique<TesseractRecognizer>(TesseractRecognizer::Config{data.path(), languages}));
        const qsizetype logStart = readLog().size();
        const auto blocks = engine.recognizeWithPositions(table(sampleTable(), 15, lightTheme()).image);
        const QString log = readLog().mid(logStart);
        QVERIFY(!blocks);
        QCOMPARE(log.count(QStringLiteral("[ERROR]")), 1);
        QVERIFY2(log.contains(QStringLiteral(" OCR 执行失败: ")) && log.contains(file), qPrintable(log));
        QVERIFY(!engine.warmUp());
    }

    // OCR, then the table extractor, as the screenshot flow runs them.
    void chainToMarkdown() {
        // Rows a little apart: the extractor joins lines closer than 0.9 line heights into one cell.
        const auto cells = OCREngine::shared().recognizeWithPositions(
            table(sampleTable(), 15, lightTheme(), 36, false, 2.4).image);
        QVERIFY(cells);
        QCOMPARE(TableExtractor::tableMarkdown(*cells).value_or(QStringLiteral("(not a table)")),
                 QStringLiteral("| Country | Capital | Population |\n"
                                "|-------|-------|-----------|\n"
                                "| France | Paris | 68 million |\n"
                                "| Japan | Tokyo | 125 million |\n"
                                "| Kenya | Nairobi | 54 million |"));

        const auto lines = OCREngine::shared().recognizeWithPositions(paragraphs().image);
        QVERIFY(lines);
        QVERIFY(!TableExtractor::tableMarkdown(*lines));
        QCOMPARE(TableExtractor::flatText(*lines),
                 QStringLiteral("Reading on screen is different from reading on paper.\n"
                                "Most people scan a page first.\n\n"
                                "Long paragraphs are skipped far more often than short\n"
                                "ones, so writers keep them brief."));
    }
};

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    TestOCREngine test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_ocrengine.moc"
