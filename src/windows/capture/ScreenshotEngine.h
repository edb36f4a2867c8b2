#pragma once

#include "platform/ScreenCapture.h"

#include <QElapsedTimer>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>

class OverlayView;
class QScreen;

// Freezes the screen under the pointer, lets the user drag a rectangle over the frozen
// picture and hands back that part of the picture. Main thread only.
class ScreenshotEngine : public QObject {
    Q_OBJECT
public:
    // The selection in the overlay's points (origin at the captured screen's bottom-left
    // corner, y upwards) and its pixels. Called exactly once per start, before the
    // overlay goes away. A null crop means nothing to translate; a null rectangle with
    // it means cancelled, timed out, refused or failed.
    using DoneCallback = std::function<void(const QRectF& selection, const QImage& crop)>;

    explicit ScreenshotEngine(std::unique_ptr<ScreenCapture> capture);
    ~ScreenshotEngine() override;

    // Returns at once; the callback comes later from a mouse, key or timer event, or at
    // once when the engine is busy or the screen cannot be captured.
    void start(DoneCallback done);
    // Empty when captures can work here; otherwise what to tell the user.
    QString unavailableReason() const { return m_capture->unavailableReason(); }

    bool isActive() const { return m_isActive; }
    // The captured screen's frame in global points (origin at the primary screen's
    // bottom-left corner, y upwards), from start until clean-up, so also inside the
    // callback: a selection plus this frame's origin is the selection on the desktop.
    QRectF capturedScreenFrame() const { return m_capturedFrame; }

    // From the overlay, with positions in its points.
    void mouseDown(const QPointF& point);
    void mouseDragged(const QPointF& point);
    void mouseUp(const QPointF& point);
    // Esc or right-click: the callback with the null rectangle, then clean-up.
    void cancel();
    // Ends a capture without calling back.
    void cleanup();

    bool isSelecting() const { return m_isSelecting; }
    QRectF selectionRect() const { return m_selectionRect; }
    bool holdsInput() const { return m_holdsInput; }
    OverlayView* overlayView() const;
    // Tests shorten the safety timer (60 s).
    void setSafetyTimeout(std::chrono::milliseconds timeout) { m_safetyTimer.setInterval(timeout); }

private:
    void finish(const QRectF& selection, const QImage& crop);
    void grabInput();

    std::unique_ptr<ScreenCapture> m_capture;
    DoneCallback m_done;
    QPointer<OverlayView> m_overlayView;
    QPointF m_startPoint;
    bool m_isSelecting = false;
    QRectF m_selectionRect;
    bool m_isActive = false;
    quint64 m_captureCount = 0;
    bool m_holdsInput = false;
    QTimer m_safetyTimer;
    QTimer m_grabRetryTimer;
    QElapsedTimer m_grabClock;
    QImage m_fullScreenImage;
    QRectF m_capturedFrame;
};
