#pragma once

#include "ocr/TextRecognizer.h"

#include <QString>

#include <memory>

// Tesseract behind the recogniser interface. Instances of the Tesseract API are
// expensive to create (three languages take ~0.6 s) and not thread-safe, so they
// are kept warm in a small pool: each recognition borrows one for its duration
// and concurrent recognitions each get their own.
class TesseractRecognizer final : public TextRecognizer {
public:
    struct Config {
        QString dataPath;  // folder holding <language>.traineddata
        QString languages; // Tesseract's "eng+chi_sim" form, first one primary
        static Config defaults();
    };

    explicit TesseractRecognizer(Config config = Config::defaults());
    ~TesseractRecognizer() override;

    RecognitionOutcome recognize(const QImage& image, const std::atomic<bool>* cancel) override;
    bool warmUp() override;

    // The traineddata file of each configured language, in order.
    QStringList dataFiles() const;

    class Pool;

private:
    std::unique_ptr<Pool> m_pool;
};
