// Image preparation and line rules on arbitrary input: no crash, and the
// invariants the OCR adapter relies on.

#include "ocr/OCRImagePreparation.h"
#include "ocr/RecognizedLine.h"

#include <QImage>

#include <cstdint>
#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3)
        return 0;
    const int width = 1 + data[0] % 64, height = 1 + data[1] % 64;
    const uint8_t mode = data[2];
    data += 3;
    size -= 3;

    QImage image(width, height, (mode & 1) ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t i = size_t(y * width + x) * 2;
            const uint8_t v = size ? data[i % size] : 0, a = size ? data[(i + 1) % size] : 255;
            image.setPixel(x, y, qRgba(v, v ^ mode, v, (mode & 1) ? a : 255));
        }
    const auto prepared = OCRImagePreparation::prepare(image);
    if (prepared.gray.size() != image.size() * prepared.scale ||
        prepared.gray.format() != QImage::Format_Grayscale8)
        std::abort();
    if (prepared.textHeight < 0 || prepared.textHeight > height || prepared.glyphHeight < 0 ||
        prepared.glyphHeight > height)
        std::abort();

    // The same bytes as UTF-16 text and as words of one line.
    QString text(reinterpret_cast<const QChar*>(data), qsizetype(size / 2));
    const QString cleaned = RecognizedLineRules::removeSpacesBetweenCJK(text);
    if (cleaned.size() > text.size() ||
        QString(cleaned).remove(QLatin1Char(' ')) != QString(text).remove(QLatin1Char(' ')))
        std::abort();

    RecognizedLine line;
    line.box = QRect(0, 10, 2000, 1 + mode % 40);
    int x = 0;
    for (size_t i = 0; i + 3 < size && line.words.size() < 40; i += 4) {
        const int width = data[i] % 60;
        x += data[i + 1] % 80;
        line.words.append({text.mid(qsizetype(i / 2), 1 + data[i + 2] % 3),
                           QRect(x, 10, width, line.box.height()), float(data[i + 3] % 101),
                           data[i + 3] / 255.0});
        x += width;
    }
    line.box.setRight(std::max(x, 1));
    const RecognizedLine kept = RecognizedLineRules::withoutNoiseWords(line);
    (void)RecognizedLineRules::isNoise(kept);
    for (const LineSegment& segment :
         RecognizedLineRules::splitAtColumnGaps(kept, RecognizedLineRules::medianLineHeight({kept})))
        if (segment.text.isEmpty() || segment.box.top() != line.box.top() ||
            segment.box.bottom() != line.box.bottom())
            std::abort();
    return 0;
}
