// Random blocks, including degenerate boxes, through both layout reconstructions.
#include "FuzzInput.h"
#include "ocr/TableExtractor.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzInput input(data, size);
    QList<OCRBlock> blocks;
    qsizetype textUnits = 0;
    while (!input.atEnd() && blocks.size() < 400) {
        OCRBlock block;
        block.text = input.text(6);
        const double x = input.coordinate(), y = input.coordinate();
        block.boundingBox = QRectF(x, y, input.coordinate(), input.coordinate());
        textUnits += block.text.size();
        blocks.append(block);
    }

    TableExtractor::tableMarkdown(blocks);
    const QString flat = TableExtractor::flatText(blocks);
    // Every block's text appears once, with one or two separator units between blocks:
    // a lost or repeated block shows in the length.
    const qsizetype n = blocks.size();
    if (n > 0 && (flat.size() < textUnits + n - 1 || flat.size() > textUnits + 2 * (n - 1)))
        std::abort();
    return 0;
}
