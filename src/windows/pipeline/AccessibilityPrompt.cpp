#include "windows/pipeline/AccessibilityPrompt.h"

#include "base/AppConstants.h"
#include "platform/FloatingPanelWindow.h"

#include <QCloseEvent>
#include <QCursor>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

AccessibilityPrompt::AccessibilityPrompt()
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint),
      m_enable(new QPushButton(QStringLiteral("开启辅助功能"), this)),
      m_later(new QPushButton(QStringLiteral("稍后"), this)) {
    setWindowTitle(QStringLiteral("需要开启辅助功能支持"));
    auto* body = new QLabel(
        QStringLiteral("为了读取您在浏览器、办公软件等程序中选中的文本（划词翻译），") + APP_DISPLAY_NAME +
            QStringLiteral(" 需要开启桌面的辅助功能支持。\n\n"
                           "开启后，程序会通过辅助功能接口提供选中的文本；该设置会一直保持，"
                           "以后登录也有效。已经打开的程序需要重新启动后才能被读取。"),
        this);
    body->setWordWrap(true);
    QFont font = body->font();
    font.setPointSizeF(13 * 0.75);
    body->setFont(font);
    m_enable->setDefault(true);
    m_enable->setMinimumWidth(140);
    m_later->setMinimumWidth(100);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_enable);
    buttons->addStretch(1);
    buttons->addWidget(m_later);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 20);
    layout->setSpacing(16);
    layout->addWidget(body, 1);
    layout->addLayout(buttons);
    setFixedWidth(460);
    connect(m_enable, &QPushButton::clicked, this, [this] { answer(true); });
    connect(m_later, &QPushButton::clicked, this, [this] { answer(false); });
    winId();
}

void AccessibilityPrompt::ask(std::function<void(bool)> answer) {
    if (!m_answer)
        m_answer = std::move(answer);
    if (isVisible()) {
        raise();
        return;
    }
    // The wrapped body needs the height for this width; adjustSize() would size it for one line.
    setFixedHeight(layout()->totalHeightForWidth(width()));
    FloatingPanelWindow::prepare(windowHandle());
    const QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen) {
        QRect frame(QPoint(), size());
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
    show();
    raise();
    activateWindow();
}

void AccessibilityPrompt::answer(bool enable) {
    std::function<void(bool)> answer = std::exchange(m_answer, nullptr);
    hide();
    if (answer)
        answer(enable);
}

void AccessibilityPrompt::closeEvent(QCloseEvent* event) {
    event->accept();
    answer(false);
}

void AccessibilityPrompt::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier)
        answer(false);
    else
        QWidget::keyPressEvent(event);
}
