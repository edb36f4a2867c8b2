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
        // The engine keeps the old page's frame until the new one has painted its content,
        // which follows the load by a frame or two; paints of the view before then may be either.
        if (m_cover->isVisible())
            m_uncoverLater.start();
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
    m_uncoverLater.stop();
}

bool ResultWebView::isCovered() const {
    return m_cover->isVisible();
}

void ResultWebView::uncover() {
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

void ResultWebView::contextMenuEvent(QContextMenuEvent* event) {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* copy =
        menu->addAction(QStringLiteral("复制"), this, [this] { triggerPageAction(QWebEnginePage::Copy); });
    copy->setEnabled(hasSelection());
    menu->addAction(QStringLiteral("全选"), this, [this] { triggerPageAction(QWebEnginePage::SelectAll); });
    menu->popup(event->globalPos());
}
