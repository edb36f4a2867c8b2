#include "windows/result/ResultWebView.h"

#include "windows/result/ResultWebEngine.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QWebEngineLoadingInfo>
#include <QWebEnginePage>

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
    : QWebEngineView(parent), m_engine(engine) {
    setPage(new ResultPage(engine.profile(), this));
    connect(page(), &QWebEnginePage::loadingChanged, this, [this](const QWebEngineLoadingInfo& loading) {
        if (loading.url() == m_address && loading.status() != QWebEngineLoadingInfo::LoadStartedStatus)
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

void ResultWebView::contextMenuEvent(QContextMenuEvent* event) {
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction* copy =
        menu->addAction(QStringLiteral("复制"), this, [this] { triggerPageAction(QWebEnginePage::Copy); });
    copy->setEnabled(hasSelection());
    menu->addAction(QStringLiteral("全选"), this, [this] { triggerPageAction(QWebEnginePage::SelectAll); });
    menu->popup(event->globalPos());
}
