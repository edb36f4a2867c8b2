#include "windows/result/ResultWebView.h"

#include "windows/result/ResultWebEngine.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>
#include <QWebEngineScript>

namespace {

// Stays on its own page: whatever the page might link to is not followed.
class ResultPage : public QWebEnginePage {
public:
    using QWebEnginePage::QWebEnginePage;

protected:
    bool acceptNavigationRequest(const QUrl& url, NavigationType, bool) override {
        return url.scheme().toLatin1() == ResultWebEngine::schemeName();
    }
};

} // namespace

ResultWebView::ResultWebView(ResultWebEngine& engine, QWidget* parent)
    : QWebEngineView(parent), m_engine(engine), m_cover(new QWidget(this)) {
    setPage(new ResultPage(engine.profile(), this));
    m_cover->setAutoFillBackground(true);
    m_cover->hide();
    m_uncoverLater.setSingleShot(true);
    m_uncoverLater.setInterval(50);
    connect(&m_uncoverLater, &QTimer::timeout, this, &ResultWebView::uncover);
    connect(page(), &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& loading) {
        if (loading.url() != m_address || loading.status() == QWebEngineLoadingInfo::LoadStartedStatus)
            return;
        if (m_cover->isVisible()) {
            // The frame after the load is the new page's; one painted before may be the old one.
            m_awaitingPaint = true;
            if (QWidget* surface = focusProxy())
                surface->installEventFilter(this);
            m_uncoverLater.start();
        }
        Q_EMIT pageLoaded(loading.status() == QWebEngineLoadingInfo::LoadSucceededStatus);
    });
}

ResultWebView::~ResultWebView() {
    m_engine.withdraw(m_address);
}

void ResultWebView::showPage(const QString& html, const QColor& background) {
    // The page's own colour until it paints. Not transparent: Qt 6.4 then composes
    // nothing of the page onto an opaque window.
    page()->setBackgroundColor(background);
    const QUrl previous = m_address;
    m_address = m_engine.publish(html.toUtf8());
    load(m_address);
    m_engine.withdraw(previous);
}

void ResultWebView::coverUntilPainted(const QColor& background) {
    QPalette colours = m_cover->palette();
    colours.setColor(QPalette::Window, background);
    m_cover->setPalette(colours);
    m_cover->setGeometry(rect());
    m_cover->raise();
    m_cover->show();
    m_awaitingPaint = false;
    m_uncoverLater.stop();
}

bool ResultWebView::isCovered() const {
    return m_cover->isVisible();
}

void ResultWebView::uncover() {
    m_awaitingPaint = false;
    m_uncoverLater.stop();
    m_cover->hide();
}

void ResultWebView::runInOwnWorld(const QString& script) {
    page()->runJavaScript(script, QWebEngineScript::ApplicationWorld);
}

void ResultWebView::resizeEvent(QResizeEvent* event) {
    QWebEngineView::resizeEvent(event);
    m_cover->setGeometry(rect());
}

bool ResultWebView::eventFilter(QObject* watched, QEvent* event) {
    if (m_awaitingPaint && watched == focusProxy() && event->type() == QEvent::Paint)
        // After this paint has reached the window.
        QTimer::singleShot(16, this, [this] {
            if (m_awaitingPaint)
                uncover();
        });
    return QWebEngineView::eventFilter(watched, event);
}

void ResultWebView::contextMenuEvent(QContextMenuEvent* event) {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* copy =
        menu->addAction(QStringLiteral("复制"), this, [this] { triggerPageAction(QWebEnginePage::Copy); });
    copy->setEnabled(hasSelection());
    menu->addAction(QStringLiteral("全选"), this, [this] { triggerPageAction(QWebEnginePage::SelectAll); });
    menu->popup(event->globalPos());
}
