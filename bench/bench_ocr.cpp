// The screenshot chain as the program runs it (OCR, then a Markdown table or flat text,
// then the citation fold) over the drawn set, one thread, warm: character errors of the
// text sent per class, table cells intact in the Markdown, tables where there are none,
// time per crop and the recogniser's start-up.
//
//   BENCH_OCR_ROUNDS=n      runs per crop (3)
//   BENCH_OCR_FILTER=text   only crops whose "class/name" contains it
//   BENCH_OCR_VERBOSE=1     one line per crop; 2 adds the text sent when it is not perfect
//   BENCH_OCR_DUMP=folder   writes every crop as a PNG, and as prepared for recognition
//   BENCH_OCR_LANGUAGES=l   Tesseract languages instead of the default ones
//
// bench_ocr --write-test-images <tests folder> draws the images the tests read instead.

#include "BenchTiming.h"
#include "DrawnSet.h"
#include "base/AppConstants.h"
#include "drawing/TestFonts.h"
#include "drawing/TestImages.h"
#include "ocr/OCREngine.h"
#include "ocr/OCRImagePreparation.h"
#include "ocr/TableExtractor.h"
#include "ocr/TesseractRecognizer.h"
#include "support/CharacterErrors.h"
#include "text/TextPreprocessor.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMap>
#include <QRegularExpression>

#include <cstdio>

namespace {

struct Result {
    double milliseconds = 0, cpuMilliseconds = 0, preparationMilliseconds = 0;
    long characters = 0, errors = 0, ocrErrors = 0;
    bool table = false;
    int cells = 0, cellsIntact = 0, cellsRead = 0;
    QString sent;
};

struct Totals {
    int crops = 0, tablesExpected = 0, tablesFound = 0, falseTables = 0;
    long characters = 0, errors = 0, ocrErrors = 0;
    int cells = 0, cellsIntact = 0, cellsRead = 0;
    std::vector<double> times, cpuTimes, preparationTimes;

    void add(const Result& r, bool expectsTable) {
        ++crops;
        characters += r.characters;
        errors += r.errors;
        ocrErrors += r.ocrErrors;
        tablesExpected += expectsTable ? 1 : 0;
        tablesFound += expectsTable && r.table ? 1 : 0;
        falseTables += !expectsTable && r.table ? 1 : 0;
        cells += r.cells;
        cellsIntact += r.cellsIntact;
        cellsRead += r.cellsRead;
        times.push_back(r.milliseconds);
        cpuTimes.push_back(r.cpuMilliseconds);
        preparationTimes.push_back(r.preparationMilliseconds);
    }
};

double percentile(std::vector<double> values, double p) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

// The cells of a Markdown pipe table, or nothing when `text` is not one.
QList<QStringList> markdownCells(const QString& text) {
    QList<QStringList> rows;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (i == 1 || !line.startsWith(QLatin1String("| ")) || !line.endsWith(QLatin1String(" |")))
            continue;
        QStringList cells;
        QString cell;
        const QString inner = line.mid(2, line.size() - 4);
        for (qsizetype k = 0; k < inner.size(); ++k) {
            if (inner[k] == QLatin1Char('\\') && k + 1 < inner.size()) {
                cell += inner[++k];
            } else if (inner.mid(k, 3) == QLatin1String(" | ")) {
                cells.append(cell);
                cell.clear();
                k += 2;
            } else {
                cell += inner[k];
            }
        }
        cells.append(cell);
        rows.append(cells);
    }
    return rows;
}

// The text a reader sees: a table's cells row by row, anything else as it is.
QString plainText(const QString& sent, bool table) {
    if (!table)
        return sent.simplified();
    QStringList parts;
    for (const QStringList& row : markdownCells(sent))
        parts.append(row.join(QLatin1Char(' ')));
    return parts.join(QLatin1Char(' ')).simplified();
}

long distance(const QString& reference, const QString& read) {
    return editDistance(reference.simplified(), read.simplified());
}

Result evaluate(OCREngine& engine, const DrawnScreens::Screen& screen, int rounds) {
    Result result;
    std::vector<double> times, cpuTimes;
    QList<OCRBlock> blocks;
    std::optional<QString> table;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = threadCpuMs();
        blocks = engine.recognizeWithPositions(screen.picture.image).value_or(QList<OCRBlock>{});
        table = TableExtractor::tableMarkdown(blocks);
        result.sent = TextPreprocessor::condenseCitation(table ? *table : TableExtractor::flatText(blocks));
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        cpuTimes.push_back(threadCpuMs() - cpuStart);
    }
    result.milliseconds = percentile(times, 0.5);
    result.cpuMilliseconds = percentile(cpuTimes, 0.5);
    const double preparationStart = threadCpuMs();
    OCRImagePreparation::prepare(screen.picture.image);
    result.preparationMilliseconds = threadCpuMs() - preparationStart;
    result.table = table.has_value();

    const QString reference = screen.reference();
    result.characters = reference.toUcs4().size();
    result.errors = distance(reference, plainText(result.sent, result.table));
    QStringList read;
    for (const OCRBlock& block : blocks)
        read.append(block.text);
    result.ocrErrors = distance(reference, read.join(QLatin1Char(' ')));
    if (reference.isEmpty()) { // anything read from a crop without text is wrong
        result.errors = result.sent.simplified().size();
        result.ocrErrors = read.join(QLatin1Char(' ')).simplified().size();
    }

    const QList<QStringList> markdown = table ? markdownCells(*table) : QList<QStringList>{};
    for (int r = 0; r < screen.cells.size(); ++r) {
        for (int c = 0; c < screen.cells[r].size(); ++c) {
            const QString truth = QString(screen.cells[r][c]).replace(QLatin1Char('\n'), QLatin1Char(' '));
            ++result.cells;
            if (r < markdown.size() && c < markdown[r].size() && markdown[r][c].simplified() == truth)
                ++result.cellsIntact;
            bool read = true;
            for (const QString& part : screen.cells[r][c].split(QLatin1Char('\n')))
                read = read && std::any_of(blocks.begin(), blocks.end(),
                                           [&](const OCRBlock& b) { return b.text.simplified() == part; });
            result.cellsRead += read ? 1 : 0;
        }
    }
    return result;
}

void printTotals(const QString& name, const Totals& t) {
    const double cer = t.characters ? 100.0 * double(t.errors) / double(t.characters) : 0;
    const double ocrCer = t.characters ? 100.0 * double(t.ocrErrors) / double(t.characters) : 0;
    QString cells = QStringLiteral("-");
    if (t.cells)
        cells = QStringLiteral("%1/%2 (read %3)").arg(t.cellsIntact).arg(t.cells).arg(t.cellsRead);
    QString characters =
        t.characters ? QStringLiteral("%1%").arg(cer, 0, 'f', 2) : QStringLiteral("%1 chars").arg(t.errors);
    std::fprintf(stderr, "%-12s %5d %7ld %9s %8.2f%% %-20s %4d/%-3d %6d %8.0f %8.0f %8.0f\n",
                 qPrintable(name), t.crops, t.characters, qPrintable(characters), ocrCer, qPrintable(cells),
                 t.tablesFound, t.tablesExpected, t.falseTables, percentile(t.times, 0.5),
                 percentile(t.times, 0.9), percentile(t.cpuTimes, 0.5));
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const TestFonts fonts;
    QGuiApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--write-test-images") == 0) {
        if (!fonts.isComplete())
            qFatal("font files missing: %s", qPrintable(fonts.missing()));
        return TestImages::write(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    }
    AppConstants::initialize();
    const int rounds = std::max(1, qEnvironmentVariableIntValue("BENCH_OCR_ROUNDS") > 0
                                       ? qEnvironmentVariableIntValue("BENCH_OCR_ROUNDS")
                                       : 3);
    const QString filter = qEnvironmentVariable("BENCH_OCR_FILTER");
    const int verbose = qEnvironmentVariableIntValue("BENCH_OCR_VERBOSE");
    const QString dump = qEnvironmentVariable("BENCH_OCR_DUMP");
    if (!dump.isEmpty())
        QDir().mkpath(dump);

    TesseractRecognizer::Config config = TesseractRecognizer::Config::defaults();
    if (qEnvironmentVariableIsSet("BENCH_OCR_LANGUAGES"))
        config.languages = qEnvironmentVariable("BENCH_OCR_LANGUAGES");

    // Start-up: a new recogniser loads its models on the first call.
    for (int i = 0; i < 3; ++i) {
        TesseractRecognizer fresh(config);
        QElapsedTimer timer;
        timer.start();
        if (!fresh.warmUp()) {
            std::fprintf(stderr, "Tesseract could not be initialised\n");
            return 1;
        }
        std::fprintf(stderr, "start-up (%s), run %d: %lld ms\n", qPrintable(config.languages), i + 1,
                     timer.elapsed());
    }

    OCREngine engine(std::make_unique<TesseractRecognizer>(config));
    engine.warmUp();
    QMap<QString, Totals> byKind;
    Totals all, withText;
    QStringList order;
    for (const DrawnSet::Sample& sample : DrawnSet::samples()) {
        const QString id = sample.kind + QLatin1Char('/') + sample.name;
        if (!filter.isEmpty() && !id.contains(filter))
            continue;
        const DrawnScreens::Screen screen = sample.draw();
        if (!dump.isEmpty()) {
            const QString file =
                dump + QLatin1Char('/') +
                QString(id).replace(QRegularExpression(QStringLiteral("[^\\w.-]+")), QStringLiteral("_"));
            screen.picture.image.save(file + QStringLiteral(".png"));
            OCRImagePreparation::prepare(screen.picture.image)
                .gray.save(file + QStringLiteral(".prepared.png"));
        }
        const Result r = evaluate(engine, screen, rounds);
        const bool expectsTable = !screen.cells.isEmpty();
        if (!byKind.contains(sample.kind))
            order.append(sample.kind);
        byKind[sample.kind].add(r, expectsTable);
        all.add(r, expectsTable);
        if (r.characters)
            withText.add(r, expectsTable);
        if (verbose) {
            std::fprintf(
                stderr, "%-64s %4dx%-4d CER %6.2f%%  OCR %6.2f%%  %s%s %6.0f ms\n", qPrintable(id),
                screen.picture.image.width(), screen.picture.image.height(),
                r.characters ? 100.0 * double(r.errors) / double(r.characters) : double(r.errors),
                r.characters ? 100.0 * double(r.ocrErrors) / double(r.characters) : double(r.ocrErrors),
                r.table ? "table" : "flat ",
                r.cells ? qPrintable(QStringLiteral(" %1/%2 cells").arg(r.cellsIntact).arg(r.cells)) : "",
                r.milliseconds);
            if (verbose > 1 && (r.errors > 0 || (r.table != expectsTable)))
                std::fprintf(stderr, "    expected: %s\n    sent:\n%s\n", qPrintable(screen.reference()),
                             qPrintable(r.sent));
        }
    }
    std::fprintf(stderr, "\n%-12s %5s %7s %9s %9s %-20s %8s %6s %8s %8s %8s\n", "class", "crops", "chars",
                 "CER sent", "CER OCR", "cells intact", "tables", "false", "median", "p90", "CPU med");
    for (const QString& kind : order)
        printTotals(kind, byKind[kind]);
    printTotals(QStringLiteral("with text"), withText);
    printTotals(QStringLiteral("all"), all);
    std::fprintf(stderr,
                 "(times in ms per crop, %d runs each, median taken; CER OCR: the blocks in the order "
                 "read, before table or paragraph rebuilding)\n",
                 rounds);
    std::fprintf(stderr,
                 "image preparation, part of the above: CPU median %.1f ms, p90 %.1f ms, max %.1f ms\n",
                 percentile(all.preparationTimes, 0.5), percentile(all.preparationTimes, 0.9),
                 percentile(all.preparationTimes, 1.0));
    return 0;
}
