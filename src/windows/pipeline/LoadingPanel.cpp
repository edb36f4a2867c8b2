#include "windows/pipeline/LoadingPanel.h"

#include "base/AppConstants.h"
#include "windows/pipeline/Spinner.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>
#include <QWindow>

namespace {

// The design's sizes are pixels at 96 dpi; Qt's points grow with the desktop's font DPI.
QFont fontOfPixels(const QFont& base, qreal pixels) {
    QFont font(base);
    font.setPointSizeF(pixels * 0.75);
    return font;
}

QLabel* centredLabel(QWidget* parent, const QRect& geometry, qreal fontPixels) {
    auto* label = new QLabel(parent);
    label->setAlignment(Qt::AlignCenter);
    label->setGeometry(geometry);
    label->setFont(fontOfPixels(label->font(), fontPixels));
    return label;
}

} // namespace

LoadingPanel::LoadingPanel(bool takesFocus)
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           (takesFocus ? Qt::WindowFlags() : Qt::WindowDoesNotAcceptFocus)),
      m_spinner(new Spinner(this)) {
    setWindowTitle(APP_DISPLAY_NAME);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFixedSize(contentSize);
    m_spinner->setGeometry(130, 40, 40, 40);
    m_title = centredLabel(this, QRect(0, 86, 300, 24), 14);
    m_subtitle = centredLabel(this, QRect(0, 110, 300, 18), 11);
    m_subtitle->setForegroundRole(QPalette::PlaceholderText);
    winId();
}

void LoadingPanel::setTexts(const QString& title, const QString& subtitle) {
    m_title->setText(title);
    m_subtitle->setText(subtitle);
}

QString LoadingPanel::title() const {
    return m_title->text();
}

QString LoadingPanel::subtitle() const {
    return m_subtitle->text();
}

void LoadingPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_paintedSinceShown = false;
}

void LoadingPanel::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    // A drawing made while hidden (the warm-up's grab) is nothing the user saw.
    if (m_paintedSinceShown || !isVisible())
        return;
    m_paintedSinceShown = true;
    // Once this paint has been flushed to the window system.
    QTimer::singleShot(0, this, &LoadingPanel::painted);
}

void LoadingPanel::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit closeRequested();
}

void LoadingPanel::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        emit escapePressed();
    else
        QWidget::keyPressEvent(event);
}

void LoadingPanel::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && windowHandle())
        windowHandle()->startSystemMove();
}
