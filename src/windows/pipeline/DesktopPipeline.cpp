#include "windows/pipeline/DesktopPipeline.h"

#include "pipeline/LoadingPanelPlacement.h"
#include "platform/FloatingPanelWindow.h"
#include "platform/HotkeyService.h"
#include "windows/NotificationManager.h"
#include "windows/PanelPalette.h"
#include "windows/capture/ScreenshotEngine.h"
#include "windows/pipeline/AccessibilityPrompt.h"
#include "windows/pipeline/LoadingPanel.h"
#include "windows/result/ResultWindowController.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

namespace {

constexpr int kEscapeKeyCode = 53;

QRect placeLoadingPanel(const QSize& frameSize, const QPointF& anchor) {
    QList<LoadingPanelPlacement::Screen> screens;
    const QList<QScreen*> all = QGuiApplication::screens();
    for (const QScreen* screen : all)
        screens.append({QRectF(screen->geometry()), QRectF(screen->availableGeometry())});
    const qsizetype mainIndex = std::max<qsizetype>(0, all.indexOf(QGuiApplication::primaryScreen()));
    return LoadingPanelPlacement::frame(screens, mainIndex, anchor, QSizeF(frameSize)).toRect();
}

} // namespace

DesktopPipeline::DesktopPipeline(const Windows& windows) : m_windows(windows) {
    connect(&m_windows.results, &ResultWindowController::streamAbandoned, this, [this] {
        if (std::function<void()> abandoned = std::exchange(m_resultAbandoned, nullptr))
            abandoned();
    });
}

DesktopPipeline::~DesktopPipeline() {
    delete m_loadingPanel.data();
    delete m_prompt.data();
}

void DesktopPipeline::prepareLoadingPanel() {
    if (m_loadingPanel)
        return;
    m_loadingPanel = new LoadingPanel;
    // The web engine starts once the panel is on the screen, so the user sees at once
    // that the key worked; its first start blocks for a moment.
    connect(m_loadingPanel, &LoadingPanel::painted, &m_windows.results,
            &ResultWindowController::prepareWebEngine);
    // Drawing the Chinese texts once loads their fallback fonts now rather than at the first press.
    m_loadingPanel->setTexts(QStringLiteral("正在翻译..."), QStringLiteral("划词翻译 → AI 翻译分析"));
    m_loadingPanel->grab();
    connect(m_loadingPanel, &LoadingPanel::closeRequested, this, [this] {
        if (m_loadingClosed)
            QMetaObject::invokeMethod(this, m_loadingClosed, Qt::QueuedConnection);
    });
}

void DesktopPipeline::showLoadingPanel(const QString& title, const QString& subtitle,
                                       std::function<void()> closed) {
    prepareLoadingPanel();
    m_loadingClosed = std::move(closed);
    LoadingPanel& panel = *m_loadingPanel;
    panel.setTexts(title, subtitle);
    panel.setPalette(PanelPalette::forScheme(PanelPalette::prefersDark(m_windows.colorScheme)));
    // The window manager says once how wide its frame is; later showings only set the states.
    const std::optional<QMargins> margins =
        FloatingPanelWindow::prepare(panel.windowHandle(), m_frameMargins ? 0 : 100);
    if (!m_frameMargins)
        m_frameMargins = margins;
    const QMargins frame = m_frameMargins.value_or(QMargins());
    // Where the pointer is stale (Xwayland), the region just selected tells the screen.
    const QPointF anchor = m_deliveredSelection ? m_deliveredSelection->center() : QPointF(QCursor::pos());
    const QRect outer = placeLoadingPanel(LoadingPanel::contentSize.grownBy(frame), anchor);
    panel.move(outer.topLeft() + QPoint(frame.left(), frame.top()));
    panel.show();
}

void DesktopPipeline::hideLoadingPanel() {
    if (m_loadingPanel)
        m_loadingPanel->hide();
}

void DesktopPipeline::setLoadingSubtitle(const QString& subtitle) {
    if (m_loadingPanel)
        m_loadingPanel->setTexts(m_loadingPanel->title(), subtitle);
}

std::optional<QString> DesktopPipeline::grabCancelKey(std::function<void()> pressed) {
    KeyGrabResult<TemporaryKeyGrab> grab = m_windows.hotkeys.grabTemporarily(kEscapeKeyCode, 0);
    if (!grab) {
        return grab.failure->error == KeyGrabError::HeldByAnotherProgram
                   ? QStringLiteral("该组合键已被其他程序占用")
                   : grab.failure->message;
    }
    m_cancelKey = std::move(grab.handle);
    // Later: the cancel releases the grab that is signalling.
    connect(m_cancelKey.get(), &TemporaryKeyGrab::triggered, this, [this, pressed = std::move(pressed)] {
        QMetaObject::invokeMethod(this, pressed, Qt::QueuedConnection);
    });
    return std::nullopt;
}

void DesktopPipeline::releaseCancelKey() {
    m_cancelKey.reset();
}

bool DesktopPipeline::isResultPanelOpen() const {
    return m_windows.results.isPanelOpen();
}

void DesktopPipeline::beginResult(const ResultSource& source, const QString& answerSoFar,
                                  std::function<void()> abandoned) {
    m_resultAbandoned = std::move(abandoned);
    m_windows.results.beginStreaming(source.originalText, source.sourceRect, answerSoFar, source.notice);
}

void DesktopPipeline::updateResult(const QString& answerSoFar) {
    m_windows.results.updateStreaming(answerSoFar);
}

void DesktopPipeline::finishResult(const QString& answer, const QStringList& endLines) {
    m_resultAbandoned = nullptr;
    m_windows.results.finishStreaming(answer, endLines);
}

void DesktopPipeline::notify(const QString& title, const QString& body) {
    m_windows.notifications.show(title, body);
}

QPointF DesktopPipeline::pointerPosition() const {
    return ResultWindowController::toBottomLeft(QRectF(QCursor::pos(), QSizeF())).topLeft();
}

void DesktopPipeline::promptForAccessibility(std::function<void(bool enable)> answer) {
    if (!m_prompt)
        m_prompt = new AccessibilityPrompt;
    m_prompt->ask(std::move(answer));
}

QString DesktopPipeline::captureUnavailableReason() const {
    return m_windows.screenshots.unavailableReason();
}

bool DesktopPipeline::isCapturing() const {
    return m_windows.screenshots.isActive();
}

void DesktopPipeline::startCapture(std::function<void(const CapturedRegion&)> done) {
    ScreenshotEngine& screenshots = m_windows.screenshots;
    screenshots.start(
        [this, &screenshots, done = std::move(done)](const QRectF& selection, const QImage& crop) {
            // The captured screen's frame is known until the overlay goes, which is after this.
            const QRectF onDesktop = selection.translated(screenshots.capturedScreenFrame().topLeft());
            if (!crop.isNull() && !screenshots.followsPointer())
                m_deliveredSelection = ResultWindowController::toBottomLeft(onDesktop);
            done({selection, onDesktop, crop, screenshots.failureMessage()});
            m_deliveredSelection.reset();
        });
}
