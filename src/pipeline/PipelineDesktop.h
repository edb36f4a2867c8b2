#pragma once

#include "engine/TranslationEngine.h"

#include <QImage>
#include <QPointF>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// A region the user dragged out on the frozen screen.
struct CapturedRegion {
    QRectF selection; // points, origin at the captured screen's bottom-left corner, y upwards
    QRectF onDesktop; // the same in global points, origin at the primary screen's bottom-left corner
    QImage crop;      // null when the user cancelled or the capture failed
    QString failure;  // when the capture failed with something to tell the user: what
};

// What an answer is about: the text sent, and where it came from.
struct ResultSource {
    QString originalText;
    // Where the source text is, in global points with the origin at the primary screen's
    // bottom-left corner; the panel opens on the half away from it.
    QRectF sourceRect;
    QString notice; // a line above the answer, or empty
};

// The windows and desktop services the translation flows drive. Main thread only. The
// real ones are the widgets and services of the UI layer; tests put fakes in their place.
class PipelineDesktop {
public:
    virtual ~PipelineDesktop() = default;

    // The small panel that says a translation is under way: above other windows on the
    // screen under the pointer, never taking the keyboard. `closed` runs when the user
    // closes it from its window frame.
    virtual void showLoadingPanel(const QString& title, const QString& subtitle,
                                  std::function<void()> closed) = 0;
    // Builds and draws the panel once, unseen, so that the first showing is quick.
    virtual void prepareLoadingPanel() {}
    virtual void hideLoadingPanel() = 0;
    // The panel's second line, while it is shown.
    virtual void setLoadingSubtitle(const QString& subtitle) = 0;
    // Esc without modifiers, pressed in whatever program has the focus, until released.
    // Nothing on success, else why the key could not be had.
    virtual std::optional<QString> grabCancelKey(std::function<void()> pressed) = 0;
    virtual void releaseCancelKey() = 0;

    virtual bool isResultPanelOpen() const = 0;
    // Opens the result panel with the first part of an answer still arriving. `notice`, when
    // not empty, is a line above the answer. `abandoned` runs when the user closes the panel
    // before finishResult().
    virtual void beginResult(const ResultSource& source, const QString& answerSoFar,
                             std::function<void()> abandoned) = 0;
    // The whole answer so far.
    virtual void updateResult(const QString& answerSoFar) = 0;
    // The whole answer, and lines that say how it ended when not as it should (cut off,
    // broken off), shown after it.
    virtual void finishResult(const QString& answer, const QStringList& endLines) = 0;
    virtual void notify(const QString& title, const QString& body) = 0;
    // Global points, origin at the primary screen's bottom-left corner.
    virtual QPointF pointerPosition() const = 0;

    // Offers to switch the desktop's accessibility support on; `answer` runs once.
    virtual void promptForAccessibility(std::function<void(bool enable)> answer) = 0;

    // The frozen screen with its selection overlay. Empty when captures can work here.
    virtual QString captureUnavailableReason() const = 0;
    virtual bool isCapturing() const = 0;
    // `done` runs once, on the main thread.
    virtual void startCapture(std::function<void(const CapturedRegion&)> done) = 0;
};

// The chat-completions service, as the flows use it.
class Translator {
public:
    virtual ~Translator() = default;
    // Any thread; as TranslationEngine::translate.
    virtual void translate(const QString& text, TranslationEngine::Completion completion,
                           std::function<bool()> stillWanted, KeyWait wait,
                           TranslationEngine::Progress progress) = 0;
    // Ends the request in flight silently. Any thread.
    virtual void cancel() = 0;
};

// The chat-completions client itself.
class EngineTranslator final : public Translator {
public:
    explicit EngineTranslator(TranslationEngine& engine) : m_engine(engine) {}
    void translate(const QString& text, TranslationEngine::Completion completion,
                   std::function<bool()> stillWanted, KeyWait wait,
                   TranslationEngine::Progress progress) override {
        m_engine.translate(text, std::move(completion), std::move(stillWanted), std::move(wait),
                           std::move(progress));
    }
    void cancel() override { m_engine.cancelCurrentTask(); }

private:
    TranslationEngine& m_engine;
};
