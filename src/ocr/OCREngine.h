#pragma once

#include "ocr/OCRBlock.h"

#include <QImage>
#include <QList>
#include <QRectF>

#include <atomic>
#include <memory>
#include <optional>

class SettingsManager;
class TextRecognizer;

// Recognises the text lines of a cropped screenshot with their positions. Blocks
// the calling thread (never call it on the GUI thread); safe from several threads.
class OCREngine {
public:
    // Tesseract, with the languages the preferences ask for at each call.
    explicit OCREngine(const SettingsManager& settings);

    explicit OCREngine(std::unique_ptr<TextRecognizer> recognizer);
    ~OCREngine();
    OCREngine(const OCREngine&) = delete;
    OCREngine& operator=(const OCREngine&) = delete;

    // Absent when recognition failed or was cancelled; otherwise the lines in the
    // recogniser's order, possibly none. Setting *cancel stops a running call soon.
    std::optional<QList<OCRBlock>> recognizeWithPositions(const QImage& image,
                                                          const std::atomic<bool>* cancel = nullptr);

    // Loads the recogniser ahead of the first call; false when it cannot be loaded.
    bool warmUp();

    // A box in the unit square with a bottom-left origin, as pixels of a
    // width x height image with a top-left origin.
    static QRectF pixelBox(const QRectF& normalizedBox, double width, double height);

private:
    std::unique_ptr<TextRecognizer> m_recognizer;
};
