// Layout reconstruction on 1,000 OCR blocks: a table, a page of prose lines and a page of
// word blocks.
#include "BenchTiming.h"
#include "ocr/TableExtractor.h"

namespace {

// 100 rows x 10 columns of short cells, with the jitter real OCR boxes have.
QList<OCRBlock> tableBlocks() {
    QList<OCRBlock> blocks;
    for (int r = 0; r < 100; ++r)
        for (int c = 0; c < 10; ++c)
            blocks.append(
                {QStringLiteral("cell %1.%2").arg(r).arg(c),
                 QRectF(20 + c * 150 + (r % 3), r * 40 + (c % 2) * 0.7, 60 + (r * 7 + c) % 50, 18)});
    return blocks;
}

// One block per line, paragraphs of 8 lines: indented first line, short last line.
QList<OCRBlock> proseLines() {
    QList<OCRBlock> blocks;
    for (int line = 0; line < 1000; ++line) {
        const int inParagraph = line % 8;
        const double x = inParagraph == 0 ? 40 : 10;
        const double width = inParagraph == 7 ? 250 : 560 + line % 40;
        blocks.append(
            {QStringLiteral("line %1 of some running text").arg(line), QRectF(x, line * 26, width, 20)});
    }
    return blocks;
}

// 200 lines of 5 words, tops a fraction of a pixel apart as on a slightly skewed scan.
QList<OCRBlock> proseWords() {
    QList<OCRBlock> blocks;
    for (int line = 0; line < 200; ++line)
        for (int w = 0; w < 5; ++w)
            blocks.append({QStringLiteral("word%1").arg(line * 5 + w),
                           QRectF(10 + w * 120, line * 26 + (w % 3) * 0.3, 100, 20)});
    return blocks;
}

} // namespace

int main() {
    const QList<OCRBlock> table = tableBlocks(), lines = proseLines(), words = proseWords();
    if (!TableExtractor::tableMarkdown(table) || TableExtractor::tableMarkdown(lines)) {
        std::fprintf(stderr, "the sample layouts are not recognised as intended\n");
        return 1;
    }
    reportTiming("tableMarkdown, 1000-block table", 200, [&] { TableExtractor::tableMarkdown(table); });
    reportTiming("tableMarkdown, 1000 prose lines (no table)", 200,
                 [&] { TableExtractor::tableMarkdown(lines); });
    reportTiming("flatText, 1000 prose lines", 200, [&] { TableExtractor::flatText(lines); });
    reportTiming("flatText, 1000 word blocks", 200, [&] { TableExtractor::flatText(words); });
    const QList<OCRBlock> reversed(lines.rbegin(), lines.rend());
    reportTiming("flatText, 1000 lines in reverse order", 50, [&] { TableExtractor::flatText(reversed); });
    return 0;
}
