#pragma once

#include "pipeline/PipelineDesktop.h"
#include "windows/pipeline/AccessibilityPrompt.h"
#include "windows/pipeline/LoadingPanel.h"

#include <QMargins>
#include <QObject>
#include <QPointer>

#include <memory>

class DesktopColorScheme;
class HotkeyService;
class NotificationManager;
class ResultWindowController;
class ScreenshotEngine;
class TemporaryKeyGrab;

// The flows' windows and services on this desktop: the loading panel and the
// accessibility prompt (made when first needed), the Esc grab, the result window, the
// screenshot engine and the notifications.
class DesktopPipeline final : public QObject, public PipelineDesktop {
    Q_OBJECT
public:
    // The windows and services the flows show themselves through; all outlive the pipeline.
    struct Windows {
        ResultWindowController& results;
        ScreenshotEngine& screenshots;
        NotificationManager& notifications;
        HotkeyService& hotkeys;
        const DesktopColorScheme& colorScheme;
    };

    explicit DesktopPipeline(const Windows& windows);
    ~DesktopPipeline() override;

    void showLoadingPanel(const QString& title, const QString& subtitle,
                          std::function<void()> closed) override;
    void prepareLoadingPanel() override;
    void hideLoadingPanel() override;
    void setLoadingSubtitle(const QString& subtitle) override;
    std::optional<QString> grabCancelKey(std::function<void()> pressed) override;
    void releaseCancelKey() override;
    bool isResultPanelOpen() const override;
    void beginResult(const ResultSource& source, const QString& answerSoFar,
                     std::function<void()> abandoned) override;
    void updateResult(const QString& answerSoFar) override;
    void finishResult(const QString& answer, const QStringList& endLines) override;
    void notify(const QString& title, const QString& body) override;
    QPointF pointerPosition() const override;
    void promptForAccessibility(std::function<void(bool enable)> answer) override;
    QString captureUnavailableReason() const override;
    bool isCapturing() const override;
    void startCapture(std::function<void(const CapturedRegion&)> done) override;

    LoadingPanel* loadingPanel() const { return m_loadingPanel; }
    AccessibilityPrompt* accessibilityPrompt() const { return m_prompt; }

private:
    Windows m_windows;
    QPointer<LoadingPanel> m_loadingPanel;
    std::function<void()> m_loadingClosed;
    std::function<void()> m_resultAbandoned;
    QPointer<AccessibilityPrompt> m_prompt;
    std::optional<QMargins> m_frameMargins;
    // While a selected region is being handed over, in Qt's global coordinates.
    std::optional<QRectF> m_deliveredSelection;
    std::unique_ptr<TemporaryKeyGrab> m_cancelKey;
};
