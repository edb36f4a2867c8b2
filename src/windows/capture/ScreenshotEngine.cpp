#include "windows/capture/ScreenshotEngine.h"

#include "base/Logger.h"
#include "capture/CaptureGeometry.h"
#include "capture/DesktopPicture.h"
#include "capture/ScreenCrop.h"
#include "platform/WindowActivation.h"
#include "windows/capture/OverlayView.h"

#include <QCursor>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace {

constexpr std::chrono::milliseconds kSafetyTimeout{60000};
// Longer than the services' own limits, which can say better what went wrong.
constexpr std::chrono::milliseconds kCaptureTimeout{15000};
// A desktop shortcut's own grab lasts until its keys are released.
constexpr std::chrono::milliseconds kGrabRetryInterval{20};
constexpr qint64 kGrabRetryLimitMs = 1000;
constexpr std::chrono::milliseconds kFocusRetryInterval{200};
constexpr qint64 kFocusLimitMs = 3000;

struct Screens {
    QList<QScreen*> screens;
    QList<QRectF> frames; // global bottom-left points
    qsizetype primary = -1;
};

Screens allScreens() {
    Screens all;
    all.screens = QGuiApplication::screens();
    QScreen* primary = QGuiApplication::primaryScreen();
    if (all.screens.isEmpty() || !primary)
        return {};
    all.primary = all.screens.indexOf(primary);
    const QRect primaryGeometry = primary->geometry();
    const qreal primaryBottom = primaryGeometry.y() + primaryGeometry.height();
    for (QScreen* screen : std::as_const(all.screens))
        all.frames.append(CaptureGeometry::flipped(QRectF(screen->geometry()), primaryBottom));
    return all;
}

std::optional<qsizetype> screenUnderPointer(const Screens& all) {
    // The centre of the pointer's pixel, which lies inside exactly one screen.
    const QRect primaryGeometry = all.screens.value(all.primary)->geometry();
    const QPointF pointer = CaptureGeometry::flipped(QPointF(QCursor::pos()) + QPointF(0.5, 0.5),
                                                     primaryGeometry.y() + primaryGeometry.height());
    return CaptureGeometry::screenIndexAt(all.frames, pointer, all.primary);
}

QRect nativeGeometry(const QScreen* screen) {
    return CaptureGeometry::nativeRect(screen->geometry(), screen->devicePixelRatio(),
                                       QRect(-0x8000, -0x8000, 0x10000, 0x10000));
}

QList<DesktopPicture::Monitor> monitorsOf(const QList<ScreenCapture::MonitorArea>& areas) {
    QList<DesktopPicture::Monitor> monitors;
    for (const ScreenCapture::MonitorArea& area : areas)
        monitors.append({area.logical, area.pixels, area.scale});
    return monitors;
}

// `area` of `whole` without copying it: a picture of all monitors is large. Shares `whole`'s
// pixels, which must outlive it.
QImage partOf(const QImage& whole, const QRect& area) {
    if (whole.depth() % 8 != 0)
        return whole.copy(area);
    const uchar* first =
        whole.constBits() + qsizetype(area.y()) * whole.bytesPerLine() + area.x() * (whole.depth() / 8);
    return QImage(first, area.width(), area.height(), whole.bytesPerLine(), whole.format());
}

// What the overlay shows: one picture pixel per device pixel, so that painting never scales.
QImage shownOn(const QImage& picture, const QScreen* screen) {
    const QSize device = (QSizeF(screen->geometry().size()) * screen->devicePixelRatio()).toSize();
    if (picture.size() == device)
        return picture;
    QImage shown(device, QImage::Format_RGB32);
    QPainter painter(&shown);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(), device), picture);
    return shown;
}

} // namespace

ScreenshotEngine::ScreenshotEngine(std::unique_ptr<ScreenCapture> capture) : m_capture(std::move(capture)) {
    m_safetyTimer.setSingleShot(true);
    m_safetyTimer.setInterval(kSafetyTimeout);
    connect(&m_safetyTimer, &QTimer::timeout, this, [this] {
        if (!m_isActive || m_waiting)
            return;
        logi(QStringLiteral("安全超时：自动关闭遮罩"));
        finish(QRectF(), QImage());
    });
    m_captureTimer.setSingleShot(true);
    m_captureTimer.setInterval(kCaptureTimeout);
    connect(&m_captureTimer, &QTimer::timeout, this, [this] {
        if (!isWaiting())
            return;
        loge(QStringLiteral("全屏截图失败 (等待截图服务超时 %1 秒)").arg(m_captureTimer.interval() / 1000.0));
        m_failureMessage = QStringLiteral("桌面的截图服务没有回应，请稍后再试。");
        finish(QRectF(), QImage());
    });
    m_grabRetryTimer.setSingleShot(true);
    m_grabRetryTimer.setInterval(kGrabRetryInterval);
    connect(&m_grabRetryTimer, &QTimer::timeout, this, &ScreenshotEngine::grabInput);
    m_focusRetryTimer.setSingleShot(true);
    m_focusRetryTimer.setInterval(kFocusRetryInterval);
    connect(&m_focusRetryTimer, &QTimer::timeout, this, &ScreenshotEngine::requestFocus);
}

ScreenshotEngine::~ScreenshotEngine() {
    if (QCoreApplication::instance())
        for (const Part& part : std::as_const(m_parts))
            delete part.view.data();
    cleanup();
}

const ScreenshotEngine::Part* ScreenshotEngine::selectingPart() const {
    if (m_parts.isEmpty())
        return nullptr;
    return &m_parts.at(m_selecting >= 0 && m_selecting < m_parts.size() ? m_selecting : 0);
}

OverlayView* ScreenshotEngine::overlayView() const {
    const Part* part = selectingPart();
    return part ? part->view.data() : nullptr;
}

QList<OverlayView*> ScreenshotEngine::overlayViews() const {
    QList<OverlayView*> views;
    for (const Part& part : m_parts)
        if (part.view)
            views.append(part.view);
    return views;
}

void ScreenshotEngine::start(DoneCallback done) {
    if (m_isActive) {
        logi(QStringLiteral("截图引擎已在运行中，忽略重复请求"));
        if (done)
            done(QRectF(), QImage());
        return;
    }
    const Screens all = allScreens();
    if (all.screens.isEmpty()) {
        if (done)
            done(QRectF(), QImage());
        return;
    }
    // Where the pointer is not known (Wayland), the screen where the drag starts decides later.
    QScreen* pointerScreen = all.screens.at(all.primary);
    if (m_capture->overlay() == ScreenCapture::Overlay::GrabbedWindow) {
        const std::optional<qsizetype> index = screenUnderPointer(all);
        if (!index) {
            if (done)
                done(QRectF(), QImage());
            return;
        }
        pointerScreen = all.screens.at(*index);
    }
    m_done = std::move(done);
    m_failureMessage.clear();
    m_isActive = true;
    m_waiting = true;
    const quint64 capture = ++m_captureCount;
    // Until the overlay is up, Esc reaches us only where one of our windows has the focus.
    qApp->installEventFilter(this);
    m_captureTimer.start();
    m_capture->capture(pointerScreen, [this, capture, pointerScreen = QPointer<QScreen>(pointerScreen)](
                                          ScreenCapture::Picture picture) {
        pictureReady(capture, std::move(picture), pointerScreen);
    });
}

void ScreenshotEngine::stopWaiting() {
    if (!m_waiting)
        return;
    m_waiting = false;
    m_captureTimer.stop();
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

bool ScreenshotEngine::eventFilter(QObject*, QEvent* event) {
    if (event->type() == QEvent::KeyPress && isWaiting() &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        logi(QStringLiteral("等待截图时按下 ESC，已取消"));
        cancel();
        return true;
    }
    return false;
}

void ScreenshotEngine::pictureReady(quint64 capture, ScreenCapture::Picture picture, QScreen* pointerScreen) {
    // A service that answers after being told to stop is not believed.
    if (capture != m_captureCount || !isWaiting())
        return;
    stopWaiting();
    using Status = ScreenCapture::Picture::Status;
    if (picture.status != Status::Taken || picture.image.isNull()) {
        loge(QStringLiteral("全屏截图失败 (%1)").arg(picture.failedCall));
        logi(QStringLiteral("全屏截图失败"));
        if (picture.status == Status::NeedsPermission) {
            logi(QStringLiteral("截图需要桌面授权，打开授权步骤"));
            finish(QRectF(), QImage());
            Q_EMIT permissionNeeded();
            return;
        }
        m_failureMessage = picture.userMessage;
        finish(QRectF(), QImage());
        return;
    }

    const Screens all = allScreens();
    QList<Part> parts;
    if (!picture.wholeDesktop) {
        const qsizetype index = all.screens.indexOf(pointerScreen);
        if (index < 0) {
            loge(QStringLiteral("全屏截图失败 (截图期间屏幕已变化)"));
            finish(QRectF(), QImage());
            return;
        }
        parts.append({nullptr, picture.image, all.frames.at(index), pointerScreen});
    } else {
        QRect desktop;
        for (QScreen* screen : all.screens)
            desktop = desktop.united(nativeGeometry(screen));
        const QList<DesktopPicture::Monitor> monitors = monitorsOf(picture.monitors);
        for (qsizetype i = 0; i < all.screens.size(); ++i) {
            QScreen* screen = all.screens.at(i);
            const QRect area =
                DesktopPicture::screenPart(nativeGeometry(screen), desktop, picture.image.size(), monitors);
            logi(QStringLiteral("截图屏幕 %1: (%2,%3 %4x%5) ← 图像 (%6,%7 %8x%9)")
                     .arg(screen->name())
                     .arg(screen->geometry().x())
                     .arg(screen->geometry().y())
                     .arg(screen->geometry().width())
                     .arg(screen->geometry().height())
                     .arg(area.x())
                     .arg(area.y())
                     .arg(area.width())
                     .arg(area.height()));
            if (!area.isEmpty())
                parts.append({nullptr, partOf(picture.image, area), all.frames.at(i), screen});
        }
        if (parts.isEmpty()) {
            loge(QStringLiteral("全屏截图失败 (图像中没有任何屏幕)"));
            finish(QRectF(), QImage());
            return;
        }
    }
    m_wholePicture = std::move(picture.image);
    showOverlays(std::move(parts));
}

void ScreenshotEngine::showOverlays(QList<Part> parts) {
    const bool focused = m_capture->overlay() == ScreenCapture::Overlay::FocusedWindows;
    m_parts = std::move(parts);
    m_selecting = -1;
    m_capturedFrame = m_parts.first().frame;
    logi(QStringLiteral("截图引擎启动：屏幕={%1x%2}")
             .arg(qint64(m_capturedFrame.width()))
             .arg(qint64(m_capturedFrame.height())));
    for (Part& part : m_parts) {
        part.view = new OverlayView(this, shownOn(part.picture, part.screen),
                                    focused ? OverlayView::Kind::Focused : OverlayView::Kind::Grabbing);
        part.view->winId();
        part.view->windowHandle()->setScreen(part.screen);
        part.view->setGeometry(part.screen->geometry());
        if (focused)
            part.view->showFullScreen();
        else
            part.view->show();
    }
    m_grabClock.start();
    if (focused) {
        // The desktop gives the keys to one window; the others still take the pointer. Asked
        // once the window is on the screen, and again while the window manager has not taken
        // it on yet and ignores the request.
        OverlayView* first = m_parts.first().view;
        auto connection = std::make_shared<QMetaObject::Connection>();
        *connection = connect(first, &OverlayView::painted, this, [this, connection] {
            disconnect(*connection);
            requestFocus();
        });
        m_holdsInput = true;
    } else {
        grabInput();
    }
    if (m_isActive)
        m_safetyTimer.start();
}

void ScreenshotEngine::requestFocus() {
    OverlayView* first = m_parts.isEmpty() ? nullptr : m_parts.first().view.data();
    if (!m_isActive || !first)
        return;
    for (const Part& part : std::as_const(m_parts))
        if (part.view && part.view->isActiveWindow())
            return;
    if (m_grabClock.elapsed() > kFocusLimitMs) {
        loge(QStringLiteral("遮罩未获得键盘焦点（窗口管理器拒绝），ESC 无效，可用右键取消"));
        return;
    }
    WindowActivation::activateNow(first->windowHandle());
    m_focusRetryTimer.start();
}

void ScreenshotEngine::grabInput() {
    OverlayView* view = overlayView();
    if (!m_isActive || !view)
        return;
    switch (m_capture->grabInput(view->windowHandle())) {
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

void ScreenshotEngine::mouseDown(const QPointF& point, OverlayView* view) {
    if (!m_isActive || m_parts.isEmpty())
        return;
    qsizetype index = 0;
    for (qsizetype i = 0; i < m_parts.size(); ++i)
        if (view && m_parts.at(i).view == view)
            index = i;
    // One selection per capture, on the screen where it began.
    if (m_isSelecting && index != m_selecting)
        return;
    const qsizetype previous = m_selecting;
    m_selecting = index;
    for (const Part& part : std::as_const(m_parts))
        if (part.view)
            part.view->hideInstructions();
    m_capturedFrame = m_parts.at(index).frame;
    m_startPoint = point;
    m_isSelecting = true;
    m_selectionRect = QRectF();
    if (previous >= 0 && previous != index && m_parts.at(previous).view)
        m_parts.at(previous).view->selectionChanged();
    if (OverlayView* selecting = overlayView())
        selecting->selectionChanged();
}

void ScreenshotEngine::mouseDragged(const QPointF& point) {
    if (!m_isSelecting)
        return;
    m_selectionRect = CaptureGeometry::selectionRect(m_startPoint, point);
    if (OverlayView* view = overlayView())
        view->selectionChanged();
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
    const Part* part = selectingPart();
    finish(selection, part ? ScreenCrop::cropFromFull(part->picture, part->frame, selection) : QImage());
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
    if (m_waiting) {
        stopWaiting();
        m_capture->cancelCapture();
    }
    if (done)
        done(selection, crop);
    if (capture == m_captureCount)
        cleanup();
}

void ScreenshotEngine::cleanup() {
    if (m_waiting) {
        stopWaiting();
        m_capture->cancelCapture();
    }
    m_safetyTimer.stop();
    m_grabRetryTimer.stop();
    m_focusRetryTimer.stop();
    m_isActive = false;
    m_done = {};
    m_capturedFrame = QRectF();
    m_failureMessage.clear();
    // Without the application object the display connection, the grabs and the windows
    // are gone already (the process is ending).
    if (QCoreApplication::instance()) {
        if (m_capture->overlay() == ScreenCapture::Overlay::GrabbedWindow)
            m_capture->releaseInput();
        // The crosshair cursor belongs to the overlay and goes with it.
        for (const Part& part : std::as_const(m_parts)) {
            if (!part.view)
                continue;
            part.view->hide();
            // Clean-up may run inside one of the overlay's own event handlers.
            part.view->deleteLater();
        }
    }
    m_parts.clear();
    m_wholePicture = QImage();
    m_selecting = -1;
    m_holdsInput = false;
    m_isSelecting = false;
    m_selectionRect = QRectF();
}
