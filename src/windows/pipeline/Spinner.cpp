#include "windows/pipeline/Spinner.h"

#include <QPainter>

#include <cmath>

Spinner::Spinner(QWidget* parent) : QWidget(parent) {
    // One turn a second, as platform spinners go.
    m_timer.setInterval(1000 / ticks);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % ticks;
        update();
    });
}

void Spinner::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    m_timer.start();
}

void Spinner::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    m_timer.stop();
}

void Spinner::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal radius = std::min(width(), height()) / 2.0;
    painter.translate(width() / 2.0, height() / 2.0);
    QColor colour = palette().color(QPalette::WindowText);
    QPen pen(colour, radius / 5.5, Qt::SolidLine, Qt::RoundCap);
    for (int i = 0; i < ticks; ++i) {
        // The tick at the head is solid; those behind it fade.
        const int age = (m_step - i + ticks) % ticks;
        colour.setAlphaF(1.0 - 0.75 * age / (ticks - 1));
        pen.setColor(colour);
        painter.setPen(pen);
        painter.save();
        painter.rotate(360.0 * i / ticks);
        painter.drawLine(QPointF(0, -radius * 0.5), QPointF(0, -radius + pen.widthF() / 2));
        painter.restore();
    }
}
