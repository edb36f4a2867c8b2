#pragma once

#include "ocr/TextRecognizer.h"

#include <QString>

#include <memory>

// Tesseract behind the recogniser interface. Instances of the Tesseract API are
// expensive to create (two languages take ~0.35 s) and not thread-safe, so they
// are kept warm in a small pool: each recognition borrows one for its duration
// and concurrent recognitions each get their own.
class TesseractRecognizer final : public TextRecognizer {
public:
    struct Config {
        QString dataPath;  // folder holding <language>.traineddata; empty: Tesseract's own
        QString languages; // Tesseract's "eng+chi_sim" form, first one primary
        // Those of `languages` that recognition goes on without when their data is missing.
        QStringList optional{};
        // English and simplified Chinese, and traditional Chinese when asked for.
        static Config defaults(bool traditionalChinese = false);
    };

    explicit TesseractRecognizer(Config config = Config::defaults());
    ~TesseractRecognizer() override;

    RecognitionOutcome recognize(const QImage& image, const std::atomic<bool>* cancel) override;
    bool warmUp() override;

    // The folder the language data was loaded from; empty before the first load.
    QString dataFolder() const;

    class Pool;

private:
    std::unique_ptr<Pool> m_pool;
};
