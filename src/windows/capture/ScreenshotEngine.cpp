#include "windows/capture/ScreenshotEngine.h"

#include "base/Logger.h"
#include "capture/CaptureGeometry.h"
#include "capture/ScreenCrop.h"
#include "windows/capture/OverlayView.h"

#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

namespace {

constexpr std::chrono::milliseconds kSafetyTimeout{60000};
// A desktop shortcut's own grab lasts until its keys are released.
constexpr std::chrono::milliseconds kGrabRetryInterval{20};
constexpr qint64 kGrabRetryLimitMs = 1000;

struct ChosenScreen {
    QScreen* screen = nullptr;
    QRectF frame; // global bottom-left points
};

ChosenScreen screenUnderPointer() {
    const QList<QScreen*> screens = QGuiApplication::screens();
    QScreen* primary = QGuiApplication::primaryScreen();
    if (screens.isEmpty() || !primary)
        return {};
    const QRect primaryGeometry = primary->geometry();
    const qreal primaryBottom = primaryGeometry.y() + primaryGeometry.height();
    QList<QRectF> frames;
    for (QScreen* screen : screens)
        frames.append(CaptureGeometry::flipped(QRectF(screen->geometry()), primaryBottom));
    // The centre of the pointer's pixel, which lies inside exactly one screen.
    const QPointF pointer =
        CaptureGeometry::flipped(QPointF(QCursor::pos()) + QPointF(0.5, 0.5), primaryBottom);
    const auto index = CaptureGeometry::screenIndexAt(frames, pointer, screens.indexOf(primary));
    if (!index)
        return {};
    return {screens.at(*index), frames.at(*index)};
}

} // namespace

ScreenshotEngine::ScreenshotEngine(std::unique_ptr<ScreenCapture> capture) : m_capture(std::move(capture)) {
    m_safetyTimer.setSingleShot(true);
    m_safetyTimer.setInterval(kSafetyTimeout);
    connect(&m_safetyTimer, &QTimer::timeout, this, [this] {
        if (!m_isActive)
            return;
        logi(QStringLiteral("安全超时：自动关闭遮罩"));
        finish(QRectF(), QImage());
    });
    m_grabRetryTimer.setSingleShot(true);
    m_grabRetryTimer.setInterval(kGrabRetryInterval);
    connect(&m_grabRetryTimer, &QTimer::timeout, this, &ScreenshotEngine::grabInput);
}

ScreenshotEngine::~ScreenshotEngine() {
    if (QCoreApplication::instance())
        delete m_overlayView.data();
    cleanup();
}

OverlayView* ScreenshotEngine::overlayView() const {
    return m_overlayView;
}

void ScreenshotEngine::start(DoneCallback done) {
    if (m_isActive) {
        logi(QStringLiteral("截图引擎已在运行中，忽略重复请求"));
        if (done)
            done(QRectF(), QImage());
        return;
    }
    const ChosenScreen chosen = screenUnderPointer();
    if (!chosen.screen) {
        if (done)
            done(QRectF(), QImage());
        return;
    }
    ScreenCapture::Picture picture = m_capture->grabScreen(chosen.screen);
    if (picture.image.isNull()) {
        loge(QStringLiteral("全屏截图失败 (%1)").arg(picture.failedCall));
        logi(QStringLiteral("全屏截图失败"));
        if (done)
            done(QRectF(), QImage());
        return;
    }
    m_fullScreenImage = std::move(picture.image);
    m_capturedFrame = chosen.frame;
    m_done = std::move(done);
    ++m_captureCount;
    logi(QStringLiteral("截图引擎启动：屏幕={%1x%2}")
             .arg(qint64(m_capturedFrame.width()))
             .arg(qint64(m_capturedFrame.height())));
    m_isActive = true;

    m_overlayView = new OverlayView(this, m_fullScreenImage);
    m_overlayView->winId();
    m_overlayView->windowHandle()->setScreen(chosen.screen);
    m_overlayView->setGeometry(chosen.screen->geometry());
    m_overlayView->show();
    m_grabClock.start();
    grabInput();
    if (m_isActive)
        m_safetyTimer.start();
}

void ScreenshotEngine::grabInput() {
    if (!m_isActive || !m_overlayView)
        return;
    switch (m_capture->grabInput(m_overlayView->windowHandle())) {
    case ScreenCapture::InputGrab::Held:
        m_holdsInput = true;
        return;
    case ScreenCapture::InputGrab::Busy:
        if (m_grabClock.elapsed() < kGrabRetryLimitMs) {
            m_grabRetryTimer.start();
            return;
        }
        break;
    case ScreenCapture::InputGrab::Failed:
        break;
    }
    loge(QStringLiteral("遮罩无法获取键盘/鼠标"));
    finish(QRectF(), QImage());
}

void ScreenshotEngine::mouseDown(const QPointF& point) {
    if (!m_isActive)
        return;
    m_startPoint = point;
    m_isSelecting = true;
    m_selectionRect = QRectF();
    if (m_overlayView)
        m_overlayView->selectionChanged();
}

void ScreenshotEngine::mouseDragged(const QPointF& point) {
    if (!m_isSelecting)
        return;
    m_selectionRect = CaptureGeometry::selectionRect(m_startPoint, point);
    if (m_overlayView)
        m_overlayView->selectionChanged();
}

void ScreenshotEngine::mouseUp(const QPointF& point) {
    if (!m_isSelecting)
        return;
    m_isSelecting = false;
    m_selectionRect = CaptureGeometry::selectionRect(m_startPoint, point);
    if (!CaptureGeometry::isLargeEnough(m_selectionRect)) {
        finish(QRectF(), QImage());
        return;
    }
    const QRectF selection = m_selectionRect;
    finish(selection, ScreenCrop::cropFromFull(m_fullScreenImage, m_capturedFrame, selection));
}

void ScreenshotEngine::cancel() {
    if (m_isActive)
        finish(QRectF(), QImage());
}

void ScreenshotEngine::finish(const QRectF& selection, const QImage& crop) {
    // Taken out first: whatever the callback does, it runs once; and a capture it starts
    // after cleaning up this one is not ended here.
    DoneCallback done = std::exchange(m_done, {});
    const quint64 capture = m_captureCount;
    if (done)
        done(selection, crop);
    if (capture == m_captureCount)
        cleanup();
}

void ScreenshotEngine::cleanup() {
    m_safetyTimer.stop();
    m_grabRetryTimer.stop();
    m_isActive = false;
    m_done = {};
    m_fullScreenImage = QImage();
    m_capturedFrame = QRectF();
    // Without the application object the display connection, the grabs and the windows
    // are gone already (the process is ending).
    if (QCoreApplication::instance()) {
        m_capture->releaseInput();
        // The crosshair cursor belongs to the overlay and goes with it.
        if (m_overlayView) {
            m_overlayView->hide();
            // Clean-up may run inside one of the overlay's own event handlers.
            m_overlayView->deleteLater();
        }
    }
    m_overlayView = nullptr;
    m_holdsInput = false;
    m_isSelecting = false;
    m_selectionRect = QRectF();
}
