#pragma once

#include <QImage>
#include <QPointer>
#include <QRegion>
#include <QWidget>

class ScreenshotEngine;

// A full-screen window of a capture: its screen's part of the frozen picture, slightly dimmed, with the
// instruction card until the first press and the selection cut out of the dim with a
// live size label; turns mouse and key events into calls on the engine. Works in the
// engine's bottom-left points and converts Qt's positions on the way in and out.
class OverlayView : public QWidget {
    Q_OBJECT
public:
    enum class Kind {
        // Above everything, past the window manager, with the input grabbed (X11).
        Grabbing,
        // A full-screen window the desktop manages and gives the focus (Xwayland).
        Focused,
    };
    OverlayView(ScreenshotEngine* engine, const QImage& picture, Kind kind = Kind::Grabbing);
    ~OverlayView() override;

    // For good, once a drag has begun on any screen.
    void hideInstructions();
    // Repaints what the engine's new selection changed.
    void selectionChanged();

Q_SIGNALS:
    void painted();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct SelectionArea {
        QRegion inside;
        QRegion decoration; // frame and size label
    };
    QPointF toView(const QPointF& widgetPosition) const;
    QRectF toWidget(const QRectF& viewRect) const;
    bool hasSelection() const;
    SelectionArea selectionArea() const;
    void drawPicture(QPainter& painter);
    void drawSelection(QPainter& painter, const QRectF& selection);
    void drawCenteredInstruction(QPainter& painter, const QString& text, const QString& subText);

    QPointer<ScreenshotEngine> m_engine;
    QImage m_picture;
    bool m_showInstructions = true;
    SelectionArea m_paintedSelection;
};
