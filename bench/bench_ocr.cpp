// Recognition time and accuracy of the warm OCR engine on drawn crops, plus the
// one-time initialisation cost and the memory it takes.

#include "app/AppConstants.h"
#include "ocr/OCREngine.h"
#include "ocr/RecognizedLine.h"
#include "ocr/TesseractRecognizer.h"
#include "support/DrawnText.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

long residentKiB() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// Wall time suffers when other processes share the cores; CPU time of this thread does not.
double threadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

// Every drawn line matched with the block whose centre lies in it.
double cellErrorRate(const DrawnText::Picture& picture, const QList<OCRBlock>& blocks) {
    long errors = 0, characters = 0;
    for (const DrawnText::Line& line : picture.lines) {
        QStringList texts;
        for (const OCRBlock& block : blocks)
            if (line.box.adjusted(-4, -4, 4, 4).contains(block.boundingBox.center()))
                texts.append(block.text);
        errors += DrawnText::editDistance(line.text, texts.join(QLatin1Char(' ')).simplified());
        characters += line.text.size();
    }
    return double(errors) / double(characters);
}

double proseErrorRate(const DrawnText::Picture& picture, const QList<OCRBlock>& blocks) {
    QStringList expected, read;
    for (const DrawnText::Line& line : picture.lines)
        expected.append(line.text);
    for (const OCRBlock& block : blocks)
        read.append(block.text);
    return DrawnText::characterErrorRate(expected.join(QLatin1Char(' ')), read.join(QLatin1Char(' ')));
}

void run(OCREngine& engine, const char* name, const DrawnText::Picture& picture, bool cells, int rounds) {
    std::vector<double> times, cpuTimes;
    double cer = 0;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        const double cpuStart = threadCpuMs();
        const auto blocks = engine.recognizeWithPositions(picture.image);
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        cpuTimes.push_back(threadCpuMs() - cpuStart);
        if (!blocks) {
            std::fprintf(stderr, "%s: recognition failed\n", name);
            return;
        }
        cer = cells ? cellErrorRate(picture, *blocks) : proseErrorRate(picture, *blocks);
        if (i == 0 && qEnvironmentVariableIsSet("BENCH_OCR_VERBOSE"))
            for (const OCRBlock& b : *blocks)
                std::fprintf(stderr, "    [%s] %.0f,%.0f %.0fx%.0f\n", qPrintable(b.text), b.boundingBox.x(),
                             b.boundingBox.y(), b.boundingBox.width(), b.boundingBox.height());
    }
    std::fprintf(stderr, "%-28s %4dx%-4d median %6.1f ms  p90 %6.1f ms  (CPU median %6.1f ms)  CER %5.2f%%\n",
                 name, picture.image.width(), picture.image.height(), percentile(times, 0.5),
                 percentile(times, 0.9), percentile(cpuTimes, 0.5), cer * 100);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    AppConstants::initialize();
    const int rounds = qEnvironmentVariableIntValue("BENCH_OCR_ROUNDS") > 0
                           ? qEnvironmentVariableIntValue("BENCH_OCR_ROUNDS")
                           : 15;

    const long before = residentKiB();
    OCREngine engine(std::make_unique<TesseractRecognizer>());
    QElapsedTimer init;
    init.start();
    if (!engine.warmUp()) {
        std::fprintf(stderr, "Tesseract could not be initialised\n");
        return 1;
    }
    std::fprintf(stderr, "initialisation (eng+chi_sim+chi_tra): %lld ms, RSS %ld -> %ld MiB\n",
                 init.elapsed(), before / 1024, residentKiB() / 1024);
    std::fprintf(stderr, "segmentation: single block (PSM 6), lines cut at word gaps > %.1f line heights\n",
                 RecognizedLineRules::kColumnGapInLineHeights);

    using namespace DrawnText;
    const QStringList lines = proseLines();
    for (const double size : {13.0, 14.0, 16.0, 18.0})
        run(engine, qPrintable(QStringLiteral("prose %1 px light").arg(size)),
            prose(lines, size, Theme::Light), false, rounds);
    run(engine, "prose 14 px dark", prose(lines, 14, Theme::Dark), false, rounds);
    run(engine, "prose 16 px dark", prose(lines, 16, Theme::Dark), false, rounds);
    run(engine, "prose 14 px HiDPI 2x", prose(lines, 14, Theme::Light, 2), false, rounds);
    run(engine, "prose 15 px serif", prose(lines, 15, Theme::Light, 1, QStringLiteral("DejaVu Serif")), false,
        rounds);
    run(engine, "table 15 px (cells)", table(sampleTable(), 15, Theme::Light), true, rounds);
    run(engine, "table 14 px dark (cells)", table(sampleTable(), 14, Theme::Dark), true, rounds);
    run(engine, "table 16 px tight (cells)", table(sampleTable(), 16, Theme::Light, 24), true, rounds);
    std::fprintf(stderr, "RSS with one warm instance: %ld MiB\n", residentKiB() / 1024);

    // What the two Chinese models cost on English text.
    TesseractRecognizer::Config englishOnly = TesseractRecognizer::Config::defaults();
    englishOnly.languages = QStringLiteral("eng");
    OCREngine english(std::make_unique<TesseractRecognizer>(englishOnly));
    english.warmUp();
    run(english, "eng only: prose 16 px light", prose(lines, 16, Theme::Light), false, rounds);
    run(english, "eng only: table 15 px", table(sampleTable(), 15, Theme::Light), true, rounds);
    std::fprintf(stderr, "RSS after the runs: %ld MiB\n", residentKiB() / 1024);
    return 0;
}
