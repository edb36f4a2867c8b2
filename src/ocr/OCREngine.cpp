#include "ocr/OCREngine.h"

#include "app/Logger.h"
#include "ocr/TesseractRecognizer.h"
#include "settings/SettingsManager.h"

#include <mutex>

namespace {

// Tesseract with the languages the preferences ask for, read on every call. A change of
// language set loads the new one on its next use; the old one goes once no call uses it.
class PreferredLanguagesRecognizer final : public TextRecognizer {
public:
    RecognitionOutcome recognize(const QImage& image, const std::atomic<bool>* cancel) override {
        return current()->recognize(image, cancel);
    }
    bool warmUp() override { return current()->warmUp(); }

private:
    std::shared_ptr<TesseractRecognizer> current() {
        const bool traditional = SettingsManager::shared().ocrTraditionalChinese();
        std::lock_guard lock(m_mutex);
        if (!m_recognizer || m_traditional != traditional) {
            m_recognizer =
                std::make_shared<TesseractRecognizer>(TesseractRecognizer::Config::defaults(traditional));
            m_traditional = traditional;
        }
        return m_recognizer;
    }

    std::mutex m_mutex;
    std::shared_ptr<TesseractRecognizer> m_recognizer;
    bool m_traditional = false;
};

} // namespace

OCREngine& OCREngine::shared() {
    static OCREngine engine(std::make_unique<PreferredLanguagesRecognizer>());
    return engine;
}

OCREngine::OCREngine(std::unique_ptr<TextRecognizer> recognizer) : m_recognizer(std::move(recognizer)) {}

OCREngine::~OCREngine() = default;

bool OCREngine::warmUp() {
    return m_recognizer->warmUp();
}

QRectF OCREngine::pixelBox(const QRectF& box, double width, double height) {
    return {box.x() * width, (1.0 - box.y() - box.height()) * height, box.width() * width,
            box.height() * height};
}

int OCREngine::alphaInfoCode(QImage::Format format) {
    // CGImageAlphaInfo: 0 none, 1 premultipliedLast, 2 premultipliedFirst, 3 last,
    // 4 first, 5 noneSkipLast, 6 noneSkipFirst, 7 only. "First" is the high byte of
    // a 32-bit ARGB word, which is how QImage's 32-bit formats are defined.
    switch (format) {
    case QImage::Format_RGB32:
    case QImage::Format_RGB30:
    case QImage::Format_BGR30:
        return 6;
    case QImage::Format_ARGB32:
        return 4;
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_ARGB8565_Premultiplied:
    case QImage::Format_ARGB6666_Premultiplied:
    case QImage::Format_ARGB8555_Premultiplied:
    case QImage::Format_ARGB4444_Premultiplied:
    case QImage::Format_A2RGB30_Premultiplied:
    case QImage::Format_A2BGR30_Premultiplied:
        return 2;
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBX64:
    case QImage::Format_RGBX16FPx4:
    case QImage::Format_RGBX32FPx4:
        return 5;
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA64:
    case QImage::Format_RGBA16FPx4:
    case QImage::Format_RGBA32FPx4:
        return 3;
    case QImage::Format_RGBA8888_Premultiplied:
    case QImage::Format_RGBA64_Premultiplied:
    case QImage::Format_RGBA16FPx4_Premultiplied:
    case QImage::Format_RGBA32FPx4_Premultiplied:
        return 1;
    case QImage::Format_Alpha8:
        return 7;
    default:
        return 0;
    }
}

std::optional<QList<OCRBlock>> OCREngine::recognizeWithPositions(const QImage& image,
                                                                 const std::atomic<bool>* cancel) {
    logi(QStringLiteral("OCR: CGImage %1x%2 px, alpha=%3")
             .arg(image.width())
             .arg(image.height())
             .arg(alphaInfoCode(image.format())));
    const double width = image.width(), height = image.height();
    const RecognitionOutcome outcome = m_recognizer->recognize(image, cancel);
    switch (outcome.status) {
    case RecognitionOutcome::Status::PerformFailed:
        loge(QStringLiteral("OCR 执行失败: ") + outcome.errorDescription);
        return std::nullopt;
    case RecognitionOutcome::Status::ServiceError:
        loge(QStringLiteral("OCR Vision 错误: ") + outcome.errorDescription);
        return std::nullopt;
    case RecognitionOutcome::Status::Cancelled:
        logi(QStringLiteral("OCR: 识别已取消"));
        return std::nullopt;
    case RecognitionOutcome::Status::Recognized:
        break;
    }
    QList<OCRBlock> blocks;
    blocks.reserve(outcome.observations.size());
    for (const TextObservation& observation : outcome.observations)
        blocks.append({observation.text, pixelBox(observation.normalizedBox, width, height)});
    logi(QStringLiteral("OCR: 识别到 ") + QString::number(blocks.size()) +
         QStringLiteral(" 块文本（含坐标）"));
    return blocks;
}
