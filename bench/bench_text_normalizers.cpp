// The three text clean-ups on 100 KB of text.
#include "BenchTiming.h"
#include "ocr/TableExtractor.h"
#include "text/TextNormalizer.h"
#include "text/TextPreprocessor.h"

namespace {

QString repeatTo(const QString& unit, qsizetype size) {
    QString text;
    while (text.size() < size)
        text += unit;
    return text;
}

} // namespace

int main() {
    const qsizetype size = 100 * 1024;
    const QString prose = repeatTo(QStringLiteral("The quick brown fox jumps over the lazy dog and keeps\n"
                                                  "running until the evening comes, then it rests.\n"
                                                  "  An indented line opens the next paragraph here.\n\n"
                                                  "摘录来自\n某本书\n某位作者\n此材料受版权保护。\n"),
                                   size);
    const QString tabbed =
        repeatTo(QStringLiteral("Name\tQuantity\tPrice|unit\tNote\r\nApple\t3\t1.20\tfresh\\ripe\r\n"), size);
    reportTiming("condenseCitation, 100 KB", 200, [&] { TextPreprocessor::condenseCitation(prose); });
    reportTiming("detectAndConvertTabSeparated, 100 KB", 200,
                 [&] { TableExtractor::detectAndConvertTabSeparated(tabbed); });
    reportTiming("normalizeLineBreaks, 100 KB", 200, [&] { TextNormalizer::normalizeLineBreaks(prose); });
    return 0;
}
