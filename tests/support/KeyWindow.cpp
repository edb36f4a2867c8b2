#include "support/KeyWindow.h"

#include <QKeyEvent>
#include <QPainter>
#include <QProcess>
#include <QTest>

KeyWindow::Keys KeyWindow::pressAndMark(const QStringList& names) {
    const qsizetype before = keys.size();
    [&] {
        QCOMPARE(QProcess::execute(QStringLiteral("xdotool"), QStringList{QStringLiteral("key")} + names +
                                                                  QStringList{QStringLiteral("m")}),
                 0);
        QTRY_VERIFY_WITH_TIMEOUT(keys.size() > before && keys.last().first == Qt::Key_M, 10000);
    }();
    if (keys.size() <= before || keys.last().first != Qt::Key_M)
        return {};
    return keys.mid(before, keys.size() - before - 1);
}

bool KeyWindow::contains(const Keys& pressed, int key) {
    return std::any_of(pressed.begin(), pressed.end(),
                       [key](const auto& press) { return press.first == key; });
}

void KeyWindow::keyPressEvent(QKeyEvent* event) {
    keys.append({event->key(), event->modifiers()});
}

void KeyWindow::paintEvent(QPaintEvent*) {
    QPainter(this).fillRect(QRect(QPoint(), size()), Qt::white);
}
