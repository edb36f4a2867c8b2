#pragma once

#include "engine/ConnectionTest.h"

#include <QFont>

class QLabel;
class QPalette;
class QWidget;

// Type sizes and colours of the settings window. Sizes are given as on the other platform's
// 13-point system font and scale with the desktop's own font; colours follow the palette, so
// the window reads in light and dark themes alike.
namespace StatusStyle {

QFont font(qreal designSize, QFont::Weight weight = QFont::Normal);
QColor toneColor(StatusTone tone, const QPalette& palette);

// A label in the secondary colour, or in a tone's colour; the colour is applied again when
// the palette changes (see refreshTones).
void setTone(QLabel* label, StatusTone tone);
void showStatus(QLabel* label, const StatusMessage& status);
// After a palette change: every label below `root` takes its tone's colour anew.
void refreshTones(QWidget* root);

} // namespace StatusStyle
