#include "windows/settings/StatusStyle.h"

#include <QApplication>
#include <QLabel>
#include <QPalette>

namespace {
const char toneProperty[] = "vyrnStatusTone";

bool isDark(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < 128;
}

QColor blend(const QColor& a, const QColor& b, qreal t) {
    return QColor::fromRgbF(float(a.redF() * (1 - t) + b.redF() * t),
                            float(a.greenF() * (1 - t) + b.greenF() * t),
                            float(a.blueF() * (1 - t) + b.blueF() * t));
}
} // namespace

namespace StatusStyle {

QFont font(qreal designSize, QFont::Weight weight) {
    QFont font = QApplication::font();
    const qreal base = font.pointSizeF() > 0 ? font.pointSizeF() : 10;
    font.setPointSizeF(base * designSize / 13);
    font.setWeight(weight);
    return font;
}

QColor toneColor(StatusTone tone, const QPalette& palette) {
    const bool dark = isDark(palette);
    switch (tone) {
    case StatusTone::success:
        return dark ? QColor(0x66, 0xbb, 0x6a) : QColor(0x2e, 0x7d, 0x32);
    case StatusTone::warning:
        return dark ? QColor(0xff, 0xa7, 0x26) : QColor(0xc7, 0x5b, 0x00);
    case StatusTone::failure:
        return dark ? QColor(0xef, 0x53, 0x50) : QColor(0xc6, 0x28, 0x28);
    case StatusTone::secondary:
        break;
    }
    return blend(palette.color(QPalette::WindowText), palette.color(QPalette::Window), 0.4);
}

void setTone(QLabel* label, StatusTone tone) {
    label->setProperty(toneProperty, int(tone));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, toneColor(tone, QApplication::palette(label)));
    label->setPalette(palette);
}

void showStatus(QLabel* label, const StatusMessage& status) {
    label->setText(status.text);
    setTone(label, status.tone);
}

void refreshTones(QWidget* root) {
    for (QLabel* label : root->findChildren<QLabel*>()) {
        const QVariant tone = label->property(toneProperty);
        if (tone.isValid())
            setTone(label, StatusTone(tone.toInt()));
    }
}

} // namespace StatusStyle
