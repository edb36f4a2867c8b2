#include "ocr/OCREngine.h"

#include "base/Logger.h"
#include "ocr/TesseractRecognizer.h"
#include "settings/SettingsManager.h"

#include <mutex>

namespace {

// Tesseract with the languages the preferences ask for, read on every call. A change of
// language set loads the new one on its next use; the old one goes once no call uses it.
class PreferredLanguagesRecognizer final : public TextRecognizer {
public:
    explicit PreferredLanguagesRecognizer(const SettingsManager& settings) : m_settings(settings) {}
    RecognitionOutcome recognize(const QImage& image, const std::atomic<bool>* cancel) override {
        return current()->recognize(image, cancel);
    }
    bool warmUp() override { return current()->warmUp(); }

private:
    std::shared_ptr<TesseractRecognizer> current() {
        const bool traditional = m_settings.ocrTraditionalChinese();
        std::lock_guard lock(m_mutex);
        if (!m_recognizer || m_traditional != traditional) {
            m_recognizer =
                std::make_shared<TesseractRecognizer>(TesseractRecognizer::Config::defaults(traditional));
            m_traditional = traditional;
        }
        return m_recognizer;
    }

    const SettingsManager& m_settings;
    std::mutex m_mutex;
    std::shared_ptr<TesseractRecognizer> m_recognizer;
    bool m_traditional = false;
};

} // namespace

OCREngine::OCREngine(const SettingsManager& settings)
    : m_recognizer(std::make_unique<PreferredLanguagesRecognizer>(settings)) {}

OCREngine::OCREngine(std::unique_ptr<TextRecognizer> recognizer) : m_recognizer(std::move(recognizer)) {}

OCREngine::~OCREngine() = default;

bool OCREngine::warmUp() {
    return m_recognizer->warmUp();
}

QRectF OCREngine::pixelBox(const QRectF& box, double width, double height) {
    return {box.x() * width, (1.0 - box.y() - box.height()) * height, box.width() * width,
            box.height() * height};
}

std::optional<QList<OCRBlock>> OCREngine::recognizeWithPositions(const QImage& image,
                                                                 const std::atomic<bool>* cancel) {
    logi(QStringLiteral("OCR: 图像 %1x%2 px%3")
             .arg(image.width())
             .arg(image.height())
             .arg(image.hasAlphaChannel() ? QStringLiteral("，带透明度") : QString()));
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
