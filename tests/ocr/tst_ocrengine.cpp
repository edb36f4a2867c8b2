// Real Tesseract on stored pictures of text (tests/support/StoredImage.h). The engine is warmed once.

#include "ocr/OCREngine.h"
#include "ocr/TableExtractor.h"
#include "ocr/TesseractRecognizer.h"
#include "settings/SettingsManager.h"
#include "support/CharacterErrors.h"
#include "support/StoredImage.h"
#include "support/TestEnvironment.h"

#include <QDebug>
#include <QFile>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <thread>

Q_DECLARE_METATYPE(StoredImage)

namespace {

// The preferences and the engine the program makes of them.
std::unique_ptr<SettingsManager> g_settings;
std::unique_ptr<OCREngine> g_engine;

void useSettings(const QString& path) {
    g_engine.reset();
    g_settings = std::make_unique<SettingsManager>(path);
    g_engine = std::make_unique<OCREngine>(*g_settings);
}

StoredImage stored(const char* name) {
    return StoredImage::load(QStringLiteral(VYRN_TEST_IMAGES "/") + QLatin1String(name));
}

std::optional<QList<OCRBlock>> recognize(const QImage& image, const std::atomic<bool>* cancel = nullptr) {
    return g_engine->recognizeWithPositions(image, cancel);
}

QByteArray describe(const QList<OCRBlock>& blocks) {
    QString out;
    for (const OCRBlock& b : blocks)
        QDebug(&out) << "\n" << b.text << b.boundingBox;
    return out.toUtf8();
}

// Same left and right edge within a quarter line height, middle inside the drawn line.
bool boxMatches(const QRectF& recognised, const QRectF& drawn) {
    const double tolerance = drawn.height() * 0.25;
    return qAbs(recognised.left() - drawn.left()) <= tolerance &&
           qAbs(recognised.right() - drawn.right()) <= tolerance && recognised.center().y() > drawn.top() &&
           recognised.center().y() < drawn.bottom() && recognised.height() <= drawn.height() * 1.3;
}

} // namespace

class TestOCREngine : public QObject {
    Q_OBJECT
    TestEnvironment env;
    QString m_dataFolder; // where Tesseract finds its data by itself
private Q_SLOTS:
    void initTestCase() {
        useSettings(env.newPreferencesPath());
        QVERIFY(g_engine->warmUp());
        TesseractRecognizer english(TesseractRecognizer::Config{QString(), QStringLiteral("eng")});
        QVERIFY(english.warmUp());
        m_dataFolder = english.dataFolder();
        QVERIFY(QFile::exists(m_dataFolder + QStringLiteral("/eng.traineddata")));
    }

    // Every drawn line or table cell comes out as a block of its own, where it was drawn.
    void readsLinesAndCells_data() {
        QTest::addColumn<StoredImage>("picture");
        QTest::addColumn<double>("maxErrorRate"); // per block; a third of it over the whole text
        QTest::newRow("prose 13 px") << stored("prose-13px") << 0.03;
        QTest::newRow("prose 14 px HiDPI") << stored("prose-14px-2x") << 0.03;
        QTest::newRow("table 15 px") << stored("table-15px") << 0.1;
        QTest::newRow("table tight columns") << stored("table-15px-tight") << 0.1;
    }
    void readsLinesAndCells() {
        QFETCH(StoredImage, picture);
        QFETCH(double, maxErrorRate);
        const auto blocks = recognize(picture.image);
        QVERIFY(blocks);
        QVERIFY2(blocks->size() == picture.lines.size(), describe(*blocks));
        QStringList expected, read;
        for (int i = 0; i < blocks->size(); ++i) {
            QVERIFY2(characterErrorRate(picture.lines[i].text, blocks->at(i).text) <= maxErrorRate,
                     describe(*blocks));
            QVERIFY2(boxMatches(blocks->at(i).boundingBox, picture.lines[i].box), describe(*blocks));
            expected.append(picture.lines[i].text);
            read.append(blocks->at(i).text);
        }
        QVERIFY2(characterErrorRate(expected.join(u' '), read.join(u' ')) <= maxErrorRate / 3,
                 describe(*blocks));
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
        painter.setBrush(QColor(60, 60, 60));
        painter.drawEllipse(QRectF(20, 40, 28, 28));
        painter.drawEllipse(QRectF(120, 44, 20, 20));
        painter.end();
        QTest::newRow("filled dots") << dots;
        QTest::newRow("a sliver") << white.copy(0, 0, 2, 1);
    }
    void blankAndIconsGiveEmptyList() {
        QFETCH(QImage, image);
        const auto blocks = recognize(image);
        QVERIFY(blocks);
        QVERIFY2(blocks->isEmpty(), describe(*blocks));
    }

    // Simplified Chinese stays simplified unless the preference adds the traditional model.
    void chineseFollowsThePreference() {
        // 龙井茶和长城, 中文识别测试, OCR 识别结果
        const StoredImage simplified = stored("chinese-simplified");
        const auto blocks = recognize(simplified.image);
        QVERIFY(blocks);
        QCOMPARE(blocks->size(), simplified.lines.size());
        QVERIFY2(blocks->at(0).text.contains(QStringLiteral("龙井")) &&
                     blocks->at(0).text.contains(QStringLiteral("长城")),
                 describe(*blocks));
        QVERIFY2(characterErrorRate(simplified.lines[1].text, blocks->at(1).text) <= 0.2 &&
                     !blocks->at(1).text.contains(u' '),
                 describe(*blocks));
        // The space after the Latin word stays.
        const QString mixed = blocks->at(2).text;
        QVERIFY2(mixed.startsWith(QStringLiteral("OCR ")) && mixed.size() == 8 &&
                     !mixed.mid(4).contains(u' '),
                 describe(*blocks));

        const QString path = env.newPreferencesPath(); // as a hand edit sets it
        writeFileBytes(path, "{\"kavelin.ocrTraditionalChinese\": true}");
        useSettings(path);
        const StoredImage traditional = stored("chinese-traditional"); // 繁體中文字幕
        const auto read = recognize(traditional.image);
        useSettings(env.newPreferencesPath());
        QVERIFY(read && read->size() == 1);
        QVERIFY2(characterErrorRate(traditional.lines[0].text, read->at(0).text) <= 0.2, describe(*read));
    }

    // A screenshot that comes while the warm-up still loads Tesseract waits for that very
    // instance: one load in the log, not a second engine beside the first.
    void recognitionWaitsForTheWarmUp() {
        OCREngine engine(std::make_unique<TesseractRecognizer>(TesseractRecognizer::Config::defaults()));
        const StoredImage picture = stored("prose-16px-one-line");
        const qsizetype logStart = readLog().size();
        std::thread warmUp([&] { QVERIFY(engine.warmUp()); });
        std::optional<QList<OCRBlock>> read;
        std::thread screenshot([&] { read = engine.recognizeWithPositions(picture.image); });
        warmUp.join();
        screenshot.join();
        QVERIFY(read && !read->isEmpty());
        QCOMPARE(readLog().mid(logStart).count(QStringLiteral("OCR: Tesseract 已初始化")), 1);
    }

    void cancellation() {
        // Large enough that a full recognition takes well over a second.
        const StoredImage picture = stored("prose-15px-2x-long");
        std::atomic<bool> cancel{true};
        QVERIFY(!recognize(picture.image, &cancel));

        cancel = false;
        std::optional<QList<OCRBlock>> result{QList<OCRBlock>{}};
        std::thread worker([&] { result = recognize(picture.image, &cancel); });
        QTest::qWait(150);
        cancel = true;
        worker.join();
        QVERIFY(!result);
        // The cancelled instance still reads correctly afterwards, also with two calls at once.
        const StoredImage cells = stored("table-15px");
        const StoredImage lines = stored("prose-16px-dark");
        std::optional<QList<OCRBlock>> readCells, readLines;
        std::thread first([&] { readCells = recognize(cells.image); });
        std::thread second([&] { readLines = recognize(lines.image); });
        first.join();
        second.join();
        QVERIFY(readCells && readLines);
        QCOMPARE(readCells->size(), cells.lines.size());
        QCOMPARE(readCells->at(5).text, QStringLiteral("68 million"));
        QCOMPARE(readLines->size(), lines.lines.size());
        QVERIFY(characterErrorRate(lines.lines[1].text, readLines->at(1).text) <= 0.03);
    }

    void missingOrBrokenDataFile_data() {
        QTest::addColumn<QString>("languages");
        QTest::addColumn<QByteArray>("content");   // of the file of the language other than eng; null: none
        QTest::addColumn<bool>("fromEnvironment"); // the folder given as TESSDATA_PREFIX, not configured
        QTest::newRow("missing") << QStringLiteral("eng+chi_sim") << QByteArray() << false;
        QTest::newRow("garbage") << QStringLiteral("eng+xyz") << QByteArray("not a traineddata file")
                                 << false;
        QTest::newRow("primary missing") << QStringLiteral("abc+eng") << QByteArray() << false;
        QTest::newRow("missing under TESSDATA_PREFIX")
            << QStringLiteral("eng+chi_sim") << QByteArray() << true;
    }
    void missingOrBrokenDataFile() {
        QFETCH(QString, languages);
        QFETCH(QByteArray, content);
        QFETCH(bool, fromEnvironment);
        QTemporaryDir data;
        QVERIFY(QFile::link(m_dataFolder + QStringLiteral("/eng.traineddata"),
                            data.filePath(QStringLiteral("eng.traineddata"))));
        QStringList broken = languages.split(u'+');
        broken.removeAll(QStringLiteral("eng"));
        const QString file = data.filePath(broken.first() + QStringLiteral(".traineddata"));
        QFile out(file);
        if (!content.isNull())
            QVERIFY(out.open(QIODevice::WriteOnly) && out.write(content) == content.size());
        out.close();
        if (fromEnvironment)
            qputenv("TESSDATA_PREFIX", data.path().toLocal8Bit());
        OCREngine engine(std::make_unique<TesseractRecognizer>(
            TesseractRecognizer::Config{fromEnvironment ? QString() : data.path(), languages}));
        const qsizetype logStart = readLog().size();
        const bool failed = !engine.recognizeWithPositions(stored("table-15px").image);
        const QString log = readLog().mid(logStart);
        const bool warmUpFailed = !engine.warmUp();
        qunsetenv("TESSDATA_PREFIX");
        QVERIFY(failed && warmUpFailed);
        const QString reason =
            content.isNull() ? QStringLiteral("缺少语言数据文件 ") : QStringLiteral("无法加载语言数据文件 ");
        QVERIFY2(log.contains(QStringLiteral(" OCR 执行失败: ") + reason + file), qPrintable(log));
    }

    // Traditional Chinese switched on without its data: recognition goes on without it.
    void optionalLanguageMissing() {
        QTemporaryDir data;
        for (const char* language : {"eng", "chi_sim"})
            QVERIFY(QFile::link(m_dataFolder + u'/' + language + ".traineddata",
                                data.filePath(QLatin1String(language) + ".traineddata")));
        TesseractRecognizer::Config config = TesseractRecognizer::Config::defaults(true);
        config.dataPath = data.path();
        OCREngine engine(std::make_unique<TesseractRecognizer>(config));
        const auto read = engine.recognizeWithPositions(stored("prose-16px-one-line").image);
        QVERIFY(read && !read->isEmpty());
    }

    // The screenshot chain on screen-like crops: tables come out cell for cell, other
    // layouts as flat text without a table.
    void screens_data() {
        QTest::addColumn<StoredImage>("screen");
        QTest::addColumn<double>("maxErrorRate"); // of flat text; tables must match exactly
        const std::tuple<const char*, const char*, double> rows[]{
            {"compact table, 13 px, zebra", "screen-table-zebra", 0.0},
            // The older Liberation Serif's recognition once read a stray "。" in a column gap.
            {"compact table, Liberation Serif, dark header", "screen-table-serif", 0.0},
            {"compact table, Liberation Serif 1.07, dark header", "screen-table-older-serif", 0.0},
            {"compact table, 2x, dark theme, rules", "screen-table-2x-dark-rules", 0.0},
            // Rows a little apart: the extractor joins lines closer than 0.9 line heights into one cell.
            {"spaced table", "screen-table-spaced", 0.0},
            {"settings dialog", "screen-settings-dialog", 0.02},
            {"dark navigation bar and buttons", "screen-navigation-bar", 0.01},
            {"coloured buttons", "screen-coloured-buttons", 0.0},
            {"32 px serif on a 2x screen", "screen-serif-2x", 0.01},
        };
        for (const auto& [row, name, maxErrorRate] : rows)
            QTest::newRow(row) << stored(name) << maxErrorRate;
    }
    void screens() {
        QFETCH(StoredImage, screen);
        QFETCH(double, maxErrorRate);
        const auto blocks = recognize(screen.image);
        QVERIFY(blocks);
        const std::optional<QString> table = TableExtractor::tableMarkdown(*blocks);
        if (!screen.cells.isEmpty()) {
            QCOMPARE(table.value_or(TableExtractor::flatText(*blocks)),
                     TableExtractor::formatMarkdownTable(screen.cells));
            return;
        }
        QVERIFY2(!table, qPrintable(*table));
        const QString text = TableExtractor::flatText(*blocks);
        QVERIFY2(characterErrorRate(screen.reference, text) <= maxErrorRate, qPrintable(text));
    }

    // OCR, then the paragraph rules, as the screenshot flow runs them.
    void chainToFlatText() {
        const auto lines = recognize(stored("paragraphs-16px").image);
        QVERIFY(lines);
        QVERIFY(!TableExtractor::tableMarkdown(*lines));
        QCOMPARE(TableExtractor::flatText(*lines),
                 QStringLiteral(
                     "Reading on screen is different from reading on paper.\nMost people scan a page "
                     "first.\n\nLong paragraphs are skipped far more often than short\nones, so writers "
                     "keep them brief."));
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
