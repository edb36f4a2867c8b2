#include "windows/capture/OverlayView.h"

#include "capture/CaptureGeometry.h"
#include "capture/OverlayLayout.h"
#include "windows/capture/ScreenshotEngine.h"

#include <QApplication>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

const QColor kSelectionBlue(0x00, 0x7a, 0xff);

QColor black(qreal alpha) {
    return QColor::fromRgbF(0, 0, 0, float(alpha));
}

QColor white(qreal alpha) {
    return QColor::fromRgbF(1, 1, 1, float(alpha));
}

// Sizes are in screen points; set as point sizes (3/4 of them at 96 dpi) they also grow
// with the desktop's font resolution.
QFont fontOf(QFont font, qreal points, QFont::Weight weight) {
    font.setPointSizeF(points * 72 / 96);
    font.setWeight(weight);
    return font;
}

QFont sizeLabelFont() {
    return fontOf(QFontDatabase::systemFont(QFontDatabase::FixedFont), 11, QFont::Medium);
}

QSizeF textSize(const QFont& font, const QString& text) {
    const QFontMetricsF metrics(font);
    return {metrics.horizontalAdvance(text), metrics.height()};
}

// `box` is the text's line box, top-left convention.
void drawText(QPainter& painter, const QRectF& box, const QFont& font, const QColor& color,
              const QString& text) {
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(QPointF(box.x(), box.y() + QFontMetricsF(font).ascent()), text);
}

} // namespace

OverlayView::OverlayView(ScreenshotEngine* engine, const QImage& picture, Kind kind)
    : m_engine(engine), m_picture(picture) {
    if (kind == Kind::Grabbing) {
        // Bypassing the window manager keeps panels and docks below the overlay and shows it
        // without taking the focus from the application the user is reading.
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
                       Qt::WindowStaysOnTopHint | Qt::NoDropShadowWindowHint);
        setAttribute(Qt::WA_ShowWithoutActivating);
    } else {
        // Under Xwayland only a window the compositor manages and focuses gets the keys.
        setWindowFlags(Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                       Qt::NoDropShadowWindowHint);
    }
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setWindowTitle(QStringLiteral("VYRN 截图"));
    setCursor(Qt::CrossCursor);
    qApp->installEventFilter(this);
}

OverlayView::~OverlayView() {
    qApp->removeEventFilter(this);
}

QPointF OverlayView::toView(const QPointF& widgetPosition) const {
    return CaptureGeometry::flipped(widgetPosition, height());
}

QRectF OverlayView::toWidget(const QRectF& viewRect) const {
    return CaptureGeometry::flipped(viewRect, height());
}

bool OverlayView::hasSelection() const {
    return m_engine && m_engine->isSelecting() && m_engine->overlayView() == this &&
           m_engine->selectionRect() != QRectF();
}

OverlayView::SelectionArea OverlayView::selectionArea() const {
    if (!hasSelection())
        return {};
    const QRectF selection = m_engine->selectionRect();
    const QRectF inWidget = toWidget(selection);
    const QSizeF labelText = textSize(sizeLabelFont(), OverlayLayout::sizeLabelText(selection));
    const QRectF label = toWidget(OverlayLayout::sizeLabel(selection, labelText).box);
    // Two points around each edge hold the 2-point frame and its anti-aliasing.
    const QRegion frame = QRegion(inWidget.adjusted(-2, -2, 2, 2).toAlignedRect())
                              .subtracted(QRegion(inWidget.adjusted(2, 2, -2, -2).toRect()));
    return {QRegion(inWidget.toAlignedRect()), frame.united(label.adjusted(-1, -1, 1, 1).toAlignedRect())};
}

void OverlayView::hideInstructions() {
    if (!m_showInstructions)
        return;
    m_showInstructions = false;
    update();
}

void OverlayView::selectionChanged() {
    // Only what changed: during a drag most of the selection stays as it was.
    const SelectionArea now = selectionArea();
    update(m_paintedSelection.inside.xored(now.inside)
               .united(m_paintedSelection.decoration)
               .united(now.decoration));
    m_paintedSelection = now;
}

void OverlayView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    drawPicture(painter);
    painter.fillRect(rect(), black(0.15));
    if (hasSelection())
        drawSelection(painter, m_engine->selectionRect());
    if (m_showInstructions)
        drawCenteredInstruction(painter, QStringLiteral("拖拽框选翻译区域"),
                                QStringLiteral("按 ESC 或右键取消"));
    painter.end();
    Q_EMIT painted();
}

void OverlayView::drawPicture(QPainter& painter) {
    // One picture pixel per device pixel, unless Qt rounded the screen's size in points.
    painter.drawImage(QRectF(rect()), m_picture, QRectF(m_picture.rect()));
}

void OverlayView::drawSelection(QPainter& painter, const QRectF& selection) {
    const QRectF inWidget = toWidget(selection);
    // The hole in the dim: the picture again, undimmed.
    painter.save();
    painter.setClipRect(inWidget, Qt::IntersectClip);
    drawPicture(painter);
    painter.restore();

    painter.setPen(QPen(kSelectionBlue, 2.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(inWidget);

    const QString text = OverlayLayout::sizeLabelText(selection);
    const QFont font = sizeLabelFont();
    const OverlayLayout::SizeLabel label = OverlayLayout::sizeLabel(selection, textSize(font, text));
    QColor boxColor = kSelectionBlue;
    boxColor.setAlphaF(0.85f);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(boxColor);
    painter.drawRoundedRect(toWidget(label.box), 4, 4);
    drawText(painter, toWidget(label.text), font, Qt::white, text);
    painter.setRenderHint(QPainter::Antialiasing, false);
}

void OverlayView::drawCenteredInstruction(QPainter& painter, const QString& text, const QString& subText) {
    const QFont titleFont = fontOf(font(), 24, QFont::DemiBold);
    const QFont subtitleFont = fontOf(font(), 14, QFont::Normal);
    const QFont iconFont = fontOf(font(), 28, QFont::Thin);
    const QString icon = QStringLiteral("⊕");
    const OverlayLayout::InstructionCard layout =
        OverlayLayout::instructionCard(QRectF(0, 0, width(), height()), textSize(titleFont, text),
                                       textSize(subtitleFont, subText), textSize(iconFont, icon));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const QRectF card = toWidget(layout.card);
    painter.setBrush(black(0.15));
    painter.drawRoundedRect(card, 10, 10);
    painter.setBrush(black(0.55));
    painter.drawRoundedRect(card, 10, 10);
    drawText(painter, toWidget(layout.icon), iconFont, white(0.8), icon);
    drawText(painter, toWidget(layout.title), titleFont, Qt::white, text);
    drawText(painter, toWidget(layout.subtitle), subtitleFont, white(0.7), subText);
    painter.restore();
}

void OverlayView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::RightButton) {
        if (m_engine)
            m_engine->cancel();
        return;
    }
    if (event->button() != Qt::LeftButton)
        return;
    hideInstructions();
    if (m_engine)
        m_engine->mouseDown(toView(event->position()), this);
}

void OverlayView::mouseMoveEvent(QMouseEvent* event) {
    if (m_engine && (event->buttons() & Qt::LeftButton) && m_engine->overlayView() == this)
        m_engine->mouseDragged(toView(event->position()));
}

void OverlayView::mouseReleaseEvent(QMouseEvent* event) {
    if (m_engine && event->button() == Qt::LeftButton && m_engine->overlayView() == this)
        m_engine->mouseUp(toView(event->position()));
}

bool OverlayView::eventFilter(QObject*, QEvent* event) {
    // The overlay holds the keyboard, so every key the program sees is meant for it,
    // whichever of our windows Qt would hand it to; no shortcut elsewhere may fire.
    // Consumed at its first stop (the window), a key is seen here once.
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        event->accept();
        return true;
    case QEvent::KeyPress:
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && m_engine)
            m_engine->cancel();
        return true;
    case QEvent::KeyRelease:
        return true;
    default:
        return false;
    }
}
