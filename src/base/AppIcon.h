#pragma once

#include <QIcon>
#include <QImage>
#include <QString>

// The book icon, compiled in so that windows, the tray and notifications have it
// whether or not the program is installed.
namespace AppIcon {
// Its name in the hicolor theme, where the installation puts it.
QString name();
QIcon icon();
// The compiled-in picture closest to `size` pixels.
QImage image(int size);
// The theme holds the installed icon, so other programs can find it by name.
bool isInstalled();
} // namespace AppIcon
