#include "windows/result/ResultWebEngine.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QOpenGLContext>
#include <QQuickWindow>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
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

const QByteArray& ResultWebEngine::schemeName() {
    static const QByteArray name = QByteArrayLiteral("vyrn");
    return name;
}

void ResultWebEngine::registerUrlScheme() {
    QWebEngineUrlScheme scheme(schemeName());
    // One host, so that every answer is a page of the same site and reuses the page
    // process: pages without a host, or with NoAccessAllowed, each start a new one.
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme);
    QWebEngineUrlScheme::registerScheme(scheme);
}

QString ResultWebEngine::chooseRendering() {
    // The user's own choice of renderer stands.
    if (const QString backend = qEnvironmentVariable("QT_QUICK_BACKEND");
        !backend.isEmpty() && backend != QLatin1String("rhi"))
        return QStringLiteral("结果面板按 QT_QUICK_BACKEND=%1 绘制").arg(backend);
    const QString display = QGuiApplication::platformName() == QLatin1String("xcb")
                                ? QStringLiteral("显示 ") + qEnvironmentVariable("DISPLAY")
                                : QGuiApplication::platformName();
    // The context the application object makes for pages to share is the probe; made here
    // only when it was not asked for.
    const QOpenGLContext* shared = QOpenGLContext::globalShareContext();
    if (shared ? shared->isValid() : QOpenGLContext().create())
        return QStringLiteral("结果面板使用 OpenGL 绘制（%1 提供 OpenGL）").arg(display);
    // The web engine follows: it then composes pages without OpenGL too.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    return QStringLiteral("%1 无法创建 OpenGL 上下文：结果面板改用软件绘制").arg(display);
}

ResultWebEngine::ResultWebEngine(QObject* parent)
    : QObject(parent), m_profile(new QWebEngineProfile(this)), m_source(new ResultPageSource(this)) {
    m_profile->setHttpCacheType(QWebEngineProfile::MemoryHttpCache);
    m_profile->setPersistentCookiesPolicy(QWebEngineProfile::NoPersistentCookies);
    m_profile->installUrlSchemeHandler(schemeName(), m_source);
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
    // The profile must go before the handler it points to.
    delete m_profile;
}

QUrl ResultWebEngine::publish(const QByteArray& page) {
    const QUrl address(QString::fromLatin1(schemeName()) + QStringLiteral("://result/") +
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
