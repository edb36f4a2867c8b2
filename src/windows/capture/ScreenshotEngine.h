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

// Freezes the screen, lets the user drag a rectangle over the frozen picture and hands back
// that part of the picture. Main thread only. On X11 the picture is of the screen under the
// pointer, taken at once, and one window holding the keyboard and pointer covers it; desktop
// services answer later with the whole desktop, and a focused window covers every screen.
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

    // Returns at once; the callback comes later from a mouse, key or timer event or the
    // capture service's answer, or at once when the engine is busy or the screen cannot be
    // captured. While the picture is awaited the engine is active already.
    void start(DoneCallback done);
    // Empty when captures can work here; otherwise what to tell the user.
    QString unavailableReason() const { return m_capture->unavailableReason(); }

    bool isActive() const { return m_isActive; }
    // The overlay opens on the screen under the pointer, whose position is known (X11).
    bool followsPointer() const { return m_capture->overlay() == ScreenCapture::Overlay::GrabbedWindow; }
    // Waiting for the capture service's picture.
    bool isWaiting() const { return m_isActive && m_waiting; }
    // Inside the callback: when the capture failed with something to tell the user, what.
    QString failureMessage() const { return m_failureMessage; }
    // The captured screen's frame in global points (origin at the primary screen's
    // bottom-left corner, y upwards), from start until clean-up, so also inside the
    // callback: a selection plus this frame's origin is the selection on the desktop.
    QRectF capturedScreenFrame() const { return m_capturedFrame; }

    // From an overlay, with positions in its points; the overlay pressed first (the first
    // one when none is named) holds the selection.
    void mouseDown(const QPointF& point, OverlayView* view = nullptr);
    void mouseDragged(const QPointF& point);
    void mouseUp(const QPointF& point);
    // Esc, right-click or Esc while waiting: the callback with the null rectangle, then clean-up.
    void cancel();
    // Ends a capture without calling back.
    void cleanup();

    bool isSelecting() const { return m_isSelecting; }
    QRectF selectionRect() const { return m_selectionRect; }
    bool holdsInput() const { return m_holdsInput; }
    // The overlay holding the selection, else the first one.
    OverlayView* overlayView() const;
    QList<OverlayView*> overlayViews() const;
    // Tests shorten the safety timer (60 s) and the wait for the picture (15 s).
    void setSafetyTimeout(std::chrono::milliseconds timeout) { m_safetyTimer.setInterval(timeout); }
    void setCaptureTimeout(std::chrono::milliseconds timeout) { m_captureTimer.setInterval(timeout); }

Q_SIGNALS:
    // The desktop hands out pictures only once the user has allowed it, which has to be
    // asked from a window of ours.
    void permissionNeeded();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Part {
        QPointer<OverlayView> view;
        QImage picture;  // the screen's own pixels
        QRectF frame;    // global bottom-left points
        QScreen* screen; // never dereferenced after the screen list may have changed
    };
    void pictureReady(quint64 capture, ScreenCapture::Picture picture, QScreen* pointerScreen);
    void stopWaiting();
    void showOverlays(QList<Part> parts);
    void finish(const QRectF& selection, const QImage& crop);
    void grabInput();
    void requestFocus();
    const Part* selectingPart() const;

    std::unique_ptr<ScreenCapture> m_capture;
    DoneCallback m_done;
    QImage m_wholePicture; // the parts' pixels
    QList<Part> m_parts;
    qsizetype m_selecting = -1; // index in m_parts
    bool m_waiting = false;
    QString m_failureMessage;
    QTimer m_captureTimer;
    QPointF m_startPoint;
    bool m_isSelecting = false;
    QRectF m_selectionRect;
    bool m_isActive = false;
    quint64 m_captureCount = 0;
    bool m_holdsInput = false;
    QTimer m_safetyTimer;
    QTimer m_grabRetryTimer;
    QTimer m_focusRetryTimer;
    QElapsedTimer m_grabClock;
    QRectF m_capturedFrame;
};
