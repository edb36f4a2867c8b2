#pragma once

#include "pipeline/AccessibilitySupport.h"
#include "pipeline/PipelineDesktop.h"
#include "pipeline/SelectedTextReader.h"
#include "pipeline/SelectionSource.h"

#include <QObject>
#include <QThreadPool>

#include <atomic>
#include <memory>
#include <optional>

class AlertPresenter;
class OCREngine;

// Conducts both translation flows, from the hotkey to the result panel: one translation
// at a time, the loading panel with its Esc, and the task generation that makes the late
// steps of a cancelled or replaced translation do nothing. Main thread, except that
// recognition and the call of the translator run on workers of its own.
class TranslationPipeline : public QObject {
    Q_OBJECT
public:
    struct Services {
        std::unique_ptr<PipelineDesktop> desktop;
        std::shared_ptr<Translator> translator;
        std::unique_ptr<SelectedTextReader> selection;
        std::unique_ptr<AccessibilitySupport> accessibility;
        OCREngine* ocr = nullptr;         // outlives the pipeline
        AlertPresenter* alerts = nullptr; // outlives the pipeline
    };

    explicit TranslationPipeline(Services services, QObject* parent = nullptr);
    ~TranslationPipeline() override;

    // The window in front now: call it when the selection hotkey fires or the tray's menu
    // opens. The next selection translation reads that window's selection.
    void captureSelectionSource();
    // Selection translation.
    void startTextTranslation();
    // Screenshot translation.
    void start();
    // Esc while the loading panel is up: the running translation ends without a trace.
    void cancelByUser(const QString& line = QStringLiteral("用户 ESC 取消了翻译任务"));
    // Loads the recogniser on a worker, so that the first screenshot does not pay for it;
    // a screenshot taken meanwhile waits for this load instead of starting another.
    void warmUpRecognizer();
    // Builds the loading panel ahead of the first translation (its fonts take a while).
    void prepareLoadingPanel() { m_services.desktop->prepareLoadingPanel(); }

    // Until recognitions and calls of the translator now under way have returned.
    void waitForWorkers() { m_workers.waitForDone(); }

    qint64 currentTaskGeneration() const { return m_generation->load(); }
    bool isLoading() const { return m_loading; }

    static constexpr int failureExcerptLength = 200;

private:
    bool refused(const QString& busyLine);
    bool isCurrent(qint64 generation) const { return m_generation->load() == generation; }
    // What a flow hands on with the text it translates: where the answer goes, and what the
    // user is told when it fails or is done.
    struct AnswerContext {
        ResultSource source;
        QString failureDetail;
        QString notification;
        QString doneLine;
    };

    void selectionRead(qint64 generation, const QPointF& pointer, const std::optional<QString>& text);
    void regionDelivered(qint64 generation, const CapturedRegion& region);
    void recognizeAndTranslate(qint64 generation, const QImage& crop, const QRectF& sourceRect,
                               const std::shared_ptr<std::atomic<bool>>& cancel);
    // On a worker: hands `text` to the translator; the pieces of the answer and its end reach
    // answerArrived() and finishTranslation() on the main thread.
    void translateFromWorker(qint64 generation, const QString& text, const AnswerContext& context);
    void answerArrived(qint64 generation, const TranslationEngine::AnswerProgress& progress,
                       const ResultSource& source);
    // The user closed the result panel while the answer was still arriving.
    void answerAbandoned(qint64 generation);
    // The key store has not answered for a while (a keyring waiting to be unlocked), or has now.
    void showKeyStoreWait(qint64 generation, bool waiting);
    void finishTranslation(qint64 generation, const TranslationEngine::Outcome& outcome,
                           const AnswerContext& context);
    void showLoadingPanel(const QString& title, const QString& subtitle);
    void hideLoading();
    void offerAccessibilitySupport();

    Services m_services;
    // Shared with requests that may outlive the pipeline: they ask it whether they are still wanted.
    std::shared_ptr<std::atomic<qint64>> m_generation = std::make_shared<std::atomic<qint64>>(0);
    std::optional<SelectionSource> m_selectionSource;
    bool m_readingSelection = false;
    bool m_loading = false;
    QString m_loadingSubtitle; // as shown first, for when the key store has answered after all
    bool m_cancelKeyHeld = false;
    bool m_accessibilityOffered = false;
    // The generation whose answer the result panel shows while it still arrives, or 0.
    qint64 m_streaming = 0;
    QString m_streamedSoFar;
    std::shared_ptr<std::atomic<bool>> m_recognitionCancel;
    // Last member: destroyed first, waiting for the workers, which use the others.
    QThreadPool m_workers;
};
