#pragma once

#include "base/Alerts.h"
#include "ocr/TextRecognizer.h"
#include "pipeline/AccessibilitySupport.h"
#include "pipeline/PipelineDesktop.h"

#include <QCoreApplication>
#include <QList>
#include <QMutex>
#include <QThread>

#include <atomic>

// Stand-ins for what the translation flows drive, recording what they were asked to do.

struct FakeDesktop : PipelineDesktop {
    struct Result {
        QString markdown; // the whole answer once finished, else what has arrived
        QString originalText;
        QRectF sourceRect;
        QString notice;
        QStringList endLines;
    };

    QStringList loadingShown; // "title | subtitle"
    bool loadingVisible = false;
    std::optional<QString> cancelKeyFailure;
    std::function<void()> cancelKey;    // set while held: pressing Esc
    std::function<void()> closeLoading; // the loading panel's close button
    bool resultPanelOpen = false;
    QList<Result> results;             // finished ones
    std::optional<Result> shown;       // the panel's, from its first piece
    std::function<void()> closeResult; // the user closes the panel while the answer arrives
    QStringList notifications;         // "title | body"
    QPointF pointer{400, 300};
    std::function<void(bool)> promptAnswer;
    int prompts = 0;
    QString unavailableReason;
    bool capturing = false;
    std::function<void(const CapturedRegion&)> captureDone;
    int captures = 0;

    void showLoadingPanel(const QString& title, const QString& subtitle,
                          std::function<void()> closed) override {
        loadingShown.append(title + QStringLiteral(" | ") + subtitle);
        closeLoading = std::move(closed);
        loadingVisible = true;
    }
    void hideLoadingPanel() override { loadingVisible = false; }
    void setLoadingSubtitle(const QString& subtitle) override { loadingShown.append(subtitle); }
    std::optional<QString> grabCancelKey(std::function<void()> pressed) override {
        if (cancelKeyFailure)
            return cancelKeyFailure;
        cancelKey = std::move(pressed);
        return std::nullopt;
    }
    void releaseCancelKey() override { cancelKey = nullptr; }
    bool isResultPanelOpen() const override { return resultPanelOpen; }
    void beginResult(const ResultSource& source, const QString& answerSoFar,
                     std::function<void()> abandoned) override {
        shown = Result{answerSoFar, source.originalText, source.sourceRect, source.notice, {}};
        closeResult = std::move(abandoned);
    }
    void updateResult(const QString& answerSoFar) override { shown->markdown = answerSoFar; }
    void finishResult(const QString& answer, const QStringList& endLines) override {
        shown->markdown = answer;
        shown->endLines = endLines;
        results.append(*shown);
        closeResult = nullptr;
    }
    void notify(const QString& title, const QString& body) override {
        notifications.append(title + QStringLiteral(" | ") + body);
    }
    QPointF pointerPosition() const override { return pointer; }
    void promptForAccessibility(std::function<void(bool)> answer) override {
        ++prompts;
        promptAnswer = std::move(answer);
    }
    QString captureUnavailableReason() const override { return unavailableReason; }
    bool isCapturing() const override { return capturing; }
    void startCapture(std::function<void(const CapturedRegion&)> done) override {
        ++captures;
        capturing = true;
        captureDone = std::move(done);
    }
    // The user's drag ends (a null crop: cancelled).
    void deliver(const CapturedRegion& region) {
        capturing = false;
        std::exchange(captureDone, nullptr)(region);
    }
};

// Answers when the test says so, as the network would; a failure found before sending is
// answered at once on the calling thread, as the engine does.
struct FakeTranslator : Translator {
    struct Call {
        QString text;
        TranslationEngine::Completion completion;
        std::function<bool()> stillWanted;
        bool onMainThread = false;
        KeyWait wait;
        TranslationEngine::Progress progress;
    };

    mutable QMutex mutex;
    QList<Call> calls;
    std::optional<TranslationEngine::Outcome> answerAtOnce;
    std::atomic<int> cancels{0};

    void translate(const QString& text, TranslationEngine::Completion completion,
                   std::function<bool()> stillWanted, KeyWait wait,
                   TranslationEngine::Progress progress) override {
        if (answerAtOnce)
            completion(*answerAtOnce);
        QMutexLocker lock(&mutex);
        calls.append({text, std::move(completion), std::move(stillWanted),
                      QThread::currentThread() == qApp->thread(), std::move(wait), std::move(progress)});
    }
    void cancel() override { ++cancels; }

    int count() const {
        QMutexLocker lock(&mutex);
        return int(calls.size());
    }
    Call call(int i) const {
        QMutexLocker lock(&mutex);
        return calls.value(i);
    }
};

// Reads the preset lines at once, or runs until it is cancelled.
struct FakeRecognizer : TextRecognizer {
    QList<TextObservation> lines;
    bool runUntilCancelled = false;
    std::atomic<bool> running{false};

    RecognitionOutcome recognize(const QImage&, const std::atomic<bool>* cancel) override {
        if (!runUntilCancelled)
            return RecognitionOutcome::recognized(lines);
        running = true;
        while (!(cancel && cancel->load()))
            QThread::msleep(1);
        running = false;
        return RecognitionOutcome::failed(RecognitionOutcome::Status::Cancelled, {});
    }
};

struct FakeAccessibilitySupport : AccessibilitySupport {
    State state = State::disabled;
    std::optional<QString> enableFailure;
    int enables = 0;

    void query(std::function<void(State)> done) override { done(state); }
    void enable(std::function<void(std::optional<QString>)> done) override {
        ++enables;
        done(enableFailure);
    }
};

// Keeps every alert the flows open.
struct RecordingAlerts : AlertPresenter {
    QList<AlertRequest> opened;
    QList<AlertAnswer> answers; // beside `opened`: pressing a button
    void open(const AlertRequest& alert, AlertAnswer answer) override {
        opened.append(alert);
        answers.append(std::move(answer));
    }
};
