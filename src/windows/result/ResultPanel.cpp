#include "windows/result/ResultPanel.h"

#include "base/AppConstants.h"
#include "result/PanelGeometry.h"
#include "windows/result/ResultToolbar.h"
#include "windows/result/ResultWebView.h"

#include <QCloseEvent>
#include <QVBoxLayout>
#include <QWindow>

ResultPanel::ResultPanel(ResultWebEngine& engine)
    // Not a tool window: KWin hides those while their application is inactive, and this
    // panel is read while another application has the focus.
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint),
      m_toolbar(new ResultToolbar(this)), m_webView(new ResultWebView(engine, this)) {
    setWindowTitle(QStringLiteral("翻译结果 — ") + APP_DISPLAY_NAME);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setMinimumSize(PanelGeometry::minimumSize.toSize());
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_toolbar);
    layout->addWidget(m_webView, 1);
    winId();
}

void ResultPanel::closeEvent(QCloseEvent* event) {
    event->accept();
    Q_EMIT closing();
}

void ResultPanel::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    Q_EMIT frameChanged();
}

void ResultPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    Q_EMIT frameChanged();
}

void ResultPanel::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // The window is made anew when the page view first needs GPU composition.
    windowHandle()->installEventFilter(this);
}

bool ResultPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Expose && windowHandle()->isExposed())
        Q_EMIT exposed();
    return QWidget::eventFilter(watched, event);
}
