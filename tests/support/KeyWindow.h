#pragma once

#include <QList>
#include <QPair>
#include <QRasterWindow>
#include <QStringList>

// The application the user types in: records every key press that reaches it.
class KeyWindow : public QRasterWindow {
public:
    using Keys = QList<QPair<int, Qt::KeyboardModifiers>>;
    Keys keys;

    // Sends `names` (xdotool key names) through the X server, then a marker key nobody
    // grabs, and gives what reached the window before the marker: everything sent
    // earlier has been delivered once the marker arrives. The window must be active.
    Keys pressAndMark(const QStringList& names);
    static bool contains(const Keys& pressed, int key);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};
