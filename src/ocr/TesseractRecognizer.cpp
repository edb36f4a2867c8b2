#include "ocr/TesseractRecognizer.h"

#include "base/Logger.h"
#include "ocr/OCRImagePreparation.h"
#include "ocr/RecognizedLine.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>

#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

namespace {

// Screen text is around 96 dpi; telling Tesseract so keeps its size heuristics
// (and its "invalid resolution" warning) quiet. Upscaled images scale it too.
constexpr int kScreenDpi = 96;

struct InitFailure {
    QString description;
};

using Api = std::unique_ptr<tesseract::TessBaseAPI>;

bool cancelRequested(void* flag, int /*words*/) {
    return flag && static_cast<const std::atomic<bool>*>(flag)->load(std::memory_order_relaxed);
}

QString takeText(char* utf8) {
    const QString text = QString::fromUtf8(utf8);
    delete[] utf8;
    return text;
}

QList<RecognizedLine> readLines(tesseract::TessBaseAPI& api, const OCRImagePreparation::Prepared& prepared) {
    using tesseract::RIL_TEXTLINE;
    using tesseract::RIL_WORD;
    QList<RecognizedLine> lines;
    std::unique_ptr<tesseract::ResultIterator> it(api.GetIterator());
    if (!it)
        return lines;
    it->Begin();
    do {
        if (it->Empty(RIL_TEXTLINE))
            continue;
        RecognizedLine line;
        int left, top, right, bottom;
        if (!it->BoundingBox(RIL_TEXTLINE, &left, &top, &right, &bottom))
            continue;
        line.box = QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
        do {
            RecognizedWord word;
            if (it->BoundingBox(RIL_WORD, &left, &top, &right, &bottom))
                word.box = QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
            word.text = takeText(it->GetUTF8Text(RIL_WORD));
            word.confidence = it->Confidence(RIL_WORD);
            word.inkCoverage =
                OCRImagePreparation::inkCoverage(prepared.gray, word.box, prepared.inkThreshold);
            line.words.append(word);
            if (it->IsAtFinalElement(RIL_TEXTLINE, RIL_WORD))
                break;
        } while (it->Next(RIL_WORD));
        lines.append(line);
    } while (it->Next(RIL_TEXTLINE));
    return lines;
}

} // namespace

class TesseractRecognizer::Pool {
public:
    explicit Pool(Config config) : config(std::move(config)) {}

    // An idle instance, else a new one. While the warm-up is loading one, a caller waits for
    // it rather than loading a second instance beside it (another 110 MB and as much time).
    std::variant<Api, InitFailure> acquire() {
        std::unique_lock lock(mutex);
        changed.wait(lock, [this] { return !idle.empty() || !warming; });
        if (!idle.empty()) {
            Api api = std::move(idle.back());
            idle.pop_back();
            return api;
        }
        ++instances;
        lock.unlock();
        return uncountIfFailed(create());
    }

    // Loads an instance into the pool, unless one exists or is being loaded already.
    std::optional<InitFailure> warmUp() {
        {
            std::lock_guard lock(mutex);
            if (instances > 0)
                return std::nullopt;
            ++instances;
            warming = true;
        }
        auto created = uncountIfFailed(create());
        std::lock_guard lock(mutex);
        warming = false;
        changed.notify_all();
        if (auto* failure = std::get_if<InitFailure>(&created))
            return *failure;
        idle.push_back(std::move(std::get<Api>(created)));
        return std::nullopt;
    }

    void release(Api api) {
        api->Clear();
        std::lock_guard lock(mutex);
        idle.push_back(std::move(api));
        changed.notify_all();
    }

    QString dataFolder() const {
        std::lock_guard lock(mutex);
        return folder;
    }

    const Config config;

private:
    std::variant<Api, InitFailure> uncountIfFailed(std::variant<Api, InitFailure> created) {
        if (std::holds_alternative<InitFailure>(created)) {
            std::lock_guard lock(mutex);
            --instances;
        }
        return created;
    }

    std::variant<Api, InitFailure> create() {
        const QStringList languages = config.languages.split(QLatin1Char('+'), Qt::SkipEmptyParts);
        if (languages.isEmpty())
            return InitFailure{QStringLiteral("未配置识别语言")};
        QElapsedTimer timer;
        timer.start();
        Api api = std::make_unique<tesseract::TessBaseAPI>();
        // Tesseract reports problems on stderr, from the start of Init on; ours go to the log.
        api->SetVariable("debug_file", "/dev/null");
        const std::vector<std::string> names{"debug_file"};
        const std::vector<std::string> values{"/dev/null"};
        // No folder: Tesseract's own choice, TESSDATA_PREFIX or where it was installed.
        const QByteArray path = config.dataPath.toLocal8Bit();
        const int rc = api->Init(config.dataPath.isEmpty() ? nullptr : path.constData(),
                                 config.languages.toUtf8().constData(), tesseract::OEM_LSTM_ONLY, nullptr, 0,
                                 &names, &values, false);
        const char* datapath = api->GetDatapath();
        QString loadedFrom = datapath ? QString::fromLocal8Bit(datapath) : QString();
        while (loadedFrom.size() > 1 && loadedFrom.endsWith(QLatin1Char('/')))
            loadedFrom.chop(1);
        std::vector<std::string> loaded;
        if (rc == 0)
            api->GetLoadedLanguagesAsVector(&loaded);
        QStringList missing, unloadable;
        for (const QString& language : languages) {
            if (rc == 0 && std::find(loaded.begin(), loaded.end(), language.toStdString()) != loaded.end())
                continue;
            const QString file = loadedFrom + QLatin1Char('/') + language + QStringLiteral(".traineddata");
            const QFileInfo info(file);
            (info.isFile() && info.isReadable() ? unloadable : missing).append(file);
        }
        if (!missing.isEmpty() && rc == 0 && leaveOut(languages, missing))
            missing.clear();
        if (!missing.isEmpty())
            return InitFailure{QStringLiteral("缺少语言数据文件 ") + missing.join(QStringLiteral(", "))};
        if (!unloadable.isEmpty())
            return InitFailure{QStringLiteral("无法加载语言数据文件 ") +
                               unloadable.join(QStringLiteral(", "))};
        api->SetPageSegMode(tesseract::PSM_SINGLE_BLOCK);
        logi(QStringLiteral("OCR: Tesseract 已初始化 (%1, %2), 用时 %3 ms")
                 .arg(config.languages, loadedFrom)
                 .arg(timer.elapsed()));
        std::lock_guard lock(mutex);
        folder = loadedFrom;
        return api;
    }

    // True when every missing file is of an optional language; says so once per pool.
    bool leaveOut(const QStringList& languages, const QStringList& missing) {
        QStringList packages;
        for (const QString& language : languages) {
            const bool isMissing = std::any_of(missing.begin(), missing.end(), [&](const QString& file) {
                return QFileInfo(file).completeBaseName() == language;
            });
            if (isMissing && !config.optional.contains(language))
                return false;
            if (isMissing)
                packages.append(QStringLiteral("tesseract-ocr-") + QString(language).replace(u'_', u'-'));
        }
        std::lock_guard lock(mutex);
        if (!std::exchange(toldMissing, true))
            logi(QStringLiteral("OCR: 缺少语言数据文件 ") + missing.join(QStringLiteral(", ")) +
                 QStringLiteral("，识别不使用这些语言继续进行（可安装 ") +
                 packages.join(QStringLiteral(" ")) + QStringLiteral("）"));
        return true;
    }

    mutable std::mutex mutex;
    std::condition_variable changed;
    QString folder;
    std::vector<Api> idle;
    int instances = 0; // loaded or being loaded
    bool warming = false;
    bool toldMissing = false;
};

namespace {

// Returns the borrowed instance to the pool on every path out of a recognition.
class Lease {
public:
    Lease(TesseractRecognizer::Pool& pool, Api api) : m_pool(pool), m_api(std::move(api)) {}
    ~Lease() { m_pool.release(std::move(m_api)); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    tesseract::TessBaseAPI* operator->() const { return m_api.get(); }
    tesseract::TessBaseAPI* get() const { return m_api.get(); }

private:
    TesseractRecognizer::Pool& m_pool;
    Api m_api;
};

} // namespace

TesseractRecognizer::Config TesseractRecognizer::Config::defaults(bool traditionalChinese) {
    // With the traditional model loaded, simplified text comes back in traditional
    // characters, and every recognition takes a quarter longer.
    if (!traditionalChinese)
        return {QString(), QStringLiteral("eng+chi_sim"), {}};
    return {QString(), QStringLiteral("eng+chi_sim+chi_tra"), {QStringLiteral("chi_tra")}};
}

TesseractRecognizer::TesseractRecognizer(Config config) : m_pool(std::make_unique<Pool>(std::move(config))) {}

TesseractRecognizer::~TesseractRecognizer() = default;

QString TesseractRecognizer::dataFolder() const {
    return m_pool->dataFolder();
}

bool TesseractRecognizer::warmUp() {
    if (const std::optional<InitFailure> failure = m_pool->warmUp()) {
        loge(QStringLiteral("OCR 执行失败: ") + failure->description);
        return false;
    }
    return true;
}

RecognitionOutcome TesseractRecognizer::recognize(const QImage& image, const std::atomic<bool>* cancel) {
    using Status = RecognitionOutcome::Status;
    if (image.isNull() || image.width() < 1 || image.height() < 1)
        return RecognitionOutcome::failed(Status::PerformFailed, QStringLiteral("图像为空"));
    if (cancel && cancel->load())
        return RecognitionOutcome::failed(Status::Cancelled, {});

    auto acquired = m_pool->acquire();
    if (auto* failure = std::get_if<InitFailure>(&acquired))
        return RecognitionOutcome::failed(Status::PerformFailed, failure->description);
    const Lease api(*m_pool, std::move(std::get<Api>(acquired)));

    const OCRImagePreparation::Prepared prepared = OCRImagePreparation::prepare(image);
    const QImage& gray = prepared.gray;
    api->SetImage(gray.constBits(), gray.width(), gray.height(), 1, int(gray.bytesPerLine()));
    api->SetSourceResolution(kScreenDpi * prepared.scale);

    // Tesseract asks the monitor before each word whether to stop.
    tesseract::ETEXT_DESC monitor;
    monitor.cancel = &cancelRequested;
    monitor.cancel_this = const_cast<std::atomic<bool>*>(cancel);
    const int rc = api->Recognize(&monitor);
    if (cancel && cancel->load())
        return RecognitionOutcome::failed(Status::Cancelled, {});
    if (rc != 0)
        return RecognitionOutcome::failed(Status::ServiceError,
                                          QStringLiteral("Tesseract Recognize 返回 %1").arg(rc));

    const double width = gray.width(), height = gray.height();
    QList<RecognizedLine> lines;
    for (const RecognizedLine& read : readLines(*api.get(), prepared)) {
        RecognizedLine line = RecognizedLineRules::withoutNoiseWords(read);
        if (!RecognizedLineRules::isNoise(line))
            lines.append(std::move(line));
    }
    const double lineHeight = RecognizedLineRules::medianLineHeight(lines);
    QList<TextObservation> observations;
    for (const RecognizedLine& line : lines) {
        for (const LineSegment& segment : RecognizedLineRules::splitAtColumnGaps(line, lineHeight)) {
            const QRectF box(segment.box.x(), segment.box.y(), segment.box.width(), segment.box.height());
            observations.append({segment.text, QRectF(box.x() / width, 1.0 - box.bottom() / height,
                                                      box.width() / width, box.height() / height)});
        }
    }
    return RecognitionOutcome::recognized(std::move(observations));
}
