#include "result/ResultWebEngine.h"

#include <QBuffer>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

class ResultPageSource : public QWebEngineUrlSchemeHandler {
public:
    explicit ResultPageSource(ResultWebEngine* engine)
        : QWebEngineUrlSchemeHandler(engine), m_engine(engine) {}

    void requestStarted(QWebEngineUrlRequestJob* job) override {
        const QByteArray* page = m_engine->page(job->requestUrl());
        if (!page) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        auto* body = new QBuffer(job);
        body->setData(*page);
        body->open(QIODevice::ReadOnly);
        job->reply(QByteArrayLiteral("text/html"), body);
    }

private:
    ResultWebEngine* m_engine;
};

// The pages are built from escaped text and never ask for anything; should one ever
// try (a renderer fault, a dropped link), nothing leaves the machine.
class LocalRequestsOnly : public QWebEngineUrlRequestInterceptor {
public:
    explicit LocalRequestsOnly(ResultWebEngine* engine)
        : QWebEngineUrlRequestInterceptor(engine), m_engine(engine) {}

    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        if (info.requestUrl().scheme().toLatin1() == ResultWebEngine::schemeName())
            return;
        info.block(true);
        QMetaObject::invokeMethod(m_engine, "requestBlocked", Qt::QueuedConnection,
                                  Q_ARG(QUrl, info.requestUrl()));
    }

private:
    ResultWebEngine* m_engine;
};

const QByteArray& ResultWebEngine::schemeName() {
    static const QByteArray name = QByteArrayLiteral("vyrn");
    return name;
}

void ResultWebEngine::registerUrlScheme() {
    QWebEngineUrlScheme scheme(schemeName());
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme |
                    QWebEngineUrlScheme::NoAccessAllowed);
    QWebEngineUrlScheme::registerScheme(scheme);
}

ResultWebEngine::ResultWebEngine(QObject* parent)
    : QObject(parent), m_profile(new QWebEngineProfile(this)), m_source(new ResultPageSource(this)),
      m_filter(new LocalRequestsOnly(this)) {
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    m_profile->installUrlSchemeHandler(schemeName(), m_source);
    m_profile->setUrlRequestInterceptor(m_filter);
    QWebEngineSettings* settings = m_profile->settings();
    settings->setAttribute(QWebEngineSettings::JavascriptEnabled, false);
    settings->setAttribute(QWebEngineSettings::PluginsEnabled, false);
    settings->setAttribute(QWebEngineSettings::PdfViewerEnabled, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    settings->setAttribute(QWebEngineSettings::LocalStorageEnabled, false);
    settings->setAttribute(QWebEngineSettings::AutoLoadIconsForPage, false);
    settings->setAttribute(QWebEngineSettings::DnsPrefetchEnabled, false);
    settings->setAttribute(QWebEngineSettings::HyperlinkAuditingEnabled, false);
    settings->setAttribute(QWebEngineSettings::NavigateOnDropEnabled, false);
    settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
}

ResultWebEngine::~ResultWebEngine() {
    // The profile must go before the handler and the filter it points to.
    delete m_profile;
}

QUrl ResultWebEngine::publish(const QByteArray& page) {
    const QUrl address(QString::fromLatin1(schemeName()) + QStringLiteral(":page/") +
                       QString::number(m_nextPage++));
    m_pages.insert(address, page);
    return address;
}

void ResultWebEngine::withdraw(const QUrl& address) {
    m_pages.remove(address);
}

const QByteArray* ResultWebEngine::page(const QUrl& address) const {
    const auto found = m_pages.constFind(address);
    return found == m_pages.constEnd() ? nullptr : &found.value();
}
