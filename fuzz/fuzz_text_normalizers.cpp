// Arbitrary text through the three text clean-ups, checking what must always hold.
#include "FuzzInput.h"
#include "ocr/TableExtractor.h"
#include "text/TextNormalizer.h"
#include "text/TextPreprocessor.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    QString text;
    while (!input.atEnd())
        text += input.text(32);

    const QString condensed = TextPreprocessor::condenseCitation(text);
    if (!text.contains(QStringLiteral("摘录来自")) && condensed != text)
        std::abort();

    const QString table = TableExtractor::detectAndConvertTabSeparated(condensed);
    if (table != condensed && table.contains(QLatin1Char('\t')))
        std::abort();

    const QString normalized = TextNormalizer::normalizeLineBreaks(text);
    if (TextNormalizer::normalizeLineBreaks(normalized) != normalized)
        std::abort();
    if (normalized.startsWith(QLatin1Char('\n')) || normalized.endsWith(QLatin1Char('\n')) ||
        normalized.contains(QStringLiteral("\n\n\n")))
        std::abort();
    return 0;
}
