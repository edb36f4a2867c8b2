#include "engine/SettingsManager.h"
#include "result/HTMLRenderer.h"
#include "support/LocalHttpServer.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <functional>

namespace {

QString readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// Every sub-resource the page asks for, whatever its scheme.
class RequestRecorder : public QWebEngineUrlRequestInterceptor {
public:
    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        if (info.requestUrl().scheme() == u"data")
            return; // the page itself, handed over by setHtml
        QMutexLocker lock(&m_mutex);
        m_urls.append(info.requestUrl().toString());
    }
    QStringList urls() const {
        QMutexLocker lock(&m_mutex);
        return m_urls;
    }
    void clear() {
        QMutexLocker lock(&m_mutex);
        m_urls.clear();
    }

private:
    mutable QMutex m_mutex;
    QStringList m_urls;
};

int countColor(const QImage& image, QRgb color, QRect area = {}) {
    if (area.isNull())
        area = image.rect();
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            count += (image.pixel(x, y) & 0xffffff) == (color & 0xffffff);
    return count;
}

int countInk(const QImage& image, QRgb background, QRect area) {
    int count = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            const int d = qAbs(qRed(p) - qRed(background)) + qAbs(qGreen(p) - qGreen(background)) +
                          qAbs(qBlue(p) - qBlue(background));
            count += d > 150;
        }
    return count;
}

} // namespace

class TestResultPageWebView : public QObject {
    Q_OBJECT
    TestEnvironment env;
    LocalHttpServer server;
    RequestRecorder recorder;
    QWebEngineProfile* profile = nullptr;
    QWebEngineView* view = nullptr;
    QString answer, original;

    bool load(const QString& html, bool javaScript) {
        view->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, javaScript);
        QSignalSpy finished(view, &QWebEngineView::loadFinished);
        view->setHtml(html);
        return finished.wait(15000) && finished.first().first().toBool();
    }

    // A grab right after loadFinished may show the previous frame; wait for one that
    // satisfies `painted`.
    QImage grabWhen(const std::function<bool(const QImage&)>& painted) {
        QElapsedTimer timer;
        timer.start();
        QImage image;
        do {
            QTest::qWait(50);
            image = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
        } while (!painted(image) && timer.elapsed() < 8000);
        return image;
    }

    QString hostileAnswer() const {
        const QString base = server.baseUrl().toString();
        return QStringLiteral(
                   "<img src=\"%1/img\">\n## 中文翻译\n<script>new Image().src='%1/js';document.title='ran'"
                   "</script>第一句。<style>body{background:url(%1/css)}</style>第二句。\n## 重要词汇\n"
                   "| a | b |\n|---|---|\n| <img src=%1/cell> | `<img src=%1/code>` |\n"
                   "<link rel=stylesheet href=%1/link><iframe src=\"%1/frame\"></iframe>\n"
                   "<div style=\"background:url(%1/inline)\">x</div><object data=%1/obj></object>"
                   "<svg><image href=%1/svg /></svg><meta http-equiv=refresh content=\"0;url=%1/go\">")
            .arg(base);
    }

private Q_SLOTS:
    void initTestCase() {
        SettingsManager::resetSharedForTesting(env.newPreferencesPath());
        answer = readFile(QStringLiteral(VYRN_RESULT_TEST_DATA "/answer.md"));
        original = readFile(QStringLiteral(VYRN_RESULT_TEST_DATA "/original.txt"));
        QVERIFY(!answer.isEmpty() && !original.isEmpty());
        server.enqueue({200, QByteArray("x"), "text/plain"});
        profile = new QWebEngineProfile(this); // off the record: nothing written to disk
        profile->setUrlRequestInterceptor(&recorder);
        view = new QWebEngineView(profile);
        view->resize(640, 720);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view));
    }
    void cleanupTestCase() {
        delete view;
        view = nullptr;
    }

    void pagesPaint_data() {
        QTest::addColumn<bool>("split");
        QTest::addColumn<bool>("isDark");
        QTest::addColumn<QRgb>("background");
        QTest::addColumn<QRgb>("accent"); // h2 underline, or the split pair's background
        QTest::newRow("normal light") << false << false << qRgb(0xff, 0xff, 0xff) << qRgb(0x00, 0x71, 0xe3);
        QTest::newRow("normal dark") << false << true << qRgb(0x1c, 0x1c, 0x1e) << qRgb(0x0a, 0x84, 0xff);
        QTest::newRow("split light") << true << false << qRgb(0xff, 0xff, 0xff) << qRgb(0xf5, 0xf5, 0xf7);
        QTest::newRow("split dark") << true << true << qRgb(0x1c, 0x1c, 0x1e) << qRgb(0x2c, 0x2c, 0x2e);
    }
    void pagesPaint() {
        QFETCH(bool, split);
        QFETCH(bool, isDark);
        QFETCH(QRgb, background);
        QFETCH(QRgb, accent);
        QVERIFY(HTMLRenderer::canSplit(answer, original));
        const QString html = split ? HTMLRenderer::renderSplit(answer, original, isDark, 15)
                                   : HTMLRenderer::renderPage(answer, original, isDark, 15);
        QVERIFY(load(html, false));
        const QRect lowerHalf(0, view->height() / 2, view->width() - 20, view->height() / 2 - 1);
        auto painted = [&](const QImage& image) {
            return (image.pixel(5, image.height() - 5) & 0xffffff) == (background & 0xffffff) &&
                   countColor(image, accent) > 200 && countInk(image, background, lowerHalf) > 500;
        };
        const QImage image = grabWhen(painted);
        QVERIFY2(painted(image), qPrintable(QStringLiteral("corner %1, accent %2, ink %3")
                                                .arg(image.pixel(5, image.height() - 5), 0, 16)
                                                .arg(countColor(image, accent))
                                                .arg(countInk(image, background, lowerHalf))));
        if (!split) // the sticky original box at the top has its own light colour
            QCOMPARE(image.pixel(5, 5) & 0xffffff, isDark ? 0x1c1c1eu : 0xe8f0feu);
    }

    // The same markup written straight into a page does fetch and run: the checks
    // below would notice an answer that got through.
    void controlPageFetchesAndRuns() {
        recorder.clear();
        server.reset();
        server.enqueue({200, QByteArray("x"), "text/plain"});
        const QString base = server.baseUrl().toString();
        const QString html =
            QStringLiteral("<html><body><img src=\"%1/img\"><div style=\"width:10px;height:10px;"
                           "background:url(%1/css)\"></div><script>document.title='ran'</script>"
                           "</body></html>")
                .arg(base);
        QVERIFY(load(html, true));
        QVERIFY(server.waitForRequests(2, 5000));
        QTRY_COMPARE(view->title(), QStringLiteral("ran"));
        QVERIFY(recorder.urls().size() >= 2);
    }

    void answerCannotFetchOrRun_data() {
        QTest::addColumn<bool>("split");
        QTest::addColumn<bool>("javaScript");
        QTest::newRow("normal page") << false << false;
        QTest::newRow("split page") << true << false;
        QTest::newRow("normal page, even with JavaScript on") << false << true;
        QTest::newRow("split page, even with JavaScript on") << true << true;
    }
    void answerCannotFetchOrRun() {
        QFETCH(bool, split);
        QFETCH(bool, javaScript);
        recorder.clear();
        server.reset();
        const QString hostile = hostileAnswer();
        const QString hostileOriginal = hostile + QStringLiteral("\n\nSecond part.");
        QVERIFY(HTMLRenderer::canSplit(hostile, hostileOriginal));
        const QString html = split ? HTMLRenderer::renderSplit(hostile, hostileOriginal, false, 15)
                                   : HTMLRenderer::renderPage(hostile, hostileOriginal, false, 15);
        QVERIFY(load(html, javaScript));
        QTest::qWait(400); // late style and image loads would have started by now
        QCOMPARE(server.requests().size(), 0);
        QCOMPARE(recorder.urls(), QStringList());
        QVERIFY(view->title() != QStringLiteral("ran"));
    }
};

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestResultPageWebView test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_resultpage_webview.moc"
