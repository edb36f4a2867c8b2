#include "result/HTMLRenderer.h"
#include "result/StreamedPage.h"
#include "support/LocalHttpServer.h"
#include "support/PageScript.h"
#include "support/PixelCount.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QMutex>
#include <QSignalSpy>
#include <QTest>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <utility>

namespace {

// Every sub-resource the page asks for, whatever its scheme.
class RequestRecorder : public QWebEngineUrlRequestInterceptor {
public:
    void interceptRequest(QWebEngineUrlRequestInfo& info) override {
        if (info.requestUrl().scheme() == u"data")
            return; // the page itself, handed over by setHtml
        QMutexLocker lock(&m_mutex);
        m_urls.append(info.requestUrl().toString());
    }
    QStringList takeUrls() {
        QMutexLocker lock(&m_mutex);
        return std::exchange(m_urls, {});
    }

private:
    QMutex m_mutex;
    QStringList m_urls;
};

} // namespace

class TestResultPageWebView : public QObject {
    Q_OBJECT
    TestEnvironment env;
    LocalHttpServer server;
    RequestRecorder recorder;
    QWebEngineView* view = nullptr;
    QString answer, original;

    bool load(const QString& html, bool javaScript) {
        view->settings()->setAttribute(QWebEngineSettings::JavascriptEnabled, javaScript);
        QSignalSpy finished(view, &QWebEngineView::loadFinished);
        view->setHtml(html);
        return finished.wait(15000) && finished.first().first().toBool();
    }

private Q_SLOTS:
    void initTestCase() {
        answer = QString::fromUtf8(readFileBytes(QStringLiteral(VYRN_RESULT_TEST_DATA "/answer.md")));
        original = QString::fromUtf8(readFileBytes(QStringLiteral(VYRN_RESULT_TEST_DATA "/original.txt")));
        QVERIFY(!answer.isEmpty() && !original.isEmpty());
        auto* profile = new QWebEngineProfile(this); // off the record: nothing written to disk
        profile->setUrlRequestInterceptor(&recorder);
        view = new QWebEngineView(profile);
        view->resize(640, 720);
        view->show();
        QVERIFY(QTest::qWaitForWindowExposed(view));
    }
    void cleanupTestCase() {
        // Qt 6.4 can abort ("pure virtual method called") when a view is deleted while its
        // compositor still draws a frame: let it stop first.
        view->hide();
        QTest::qWait(100);
        delete view;
    }

    // The same markup written straight into a page does fetch and run: the checks
    // below would notice an answer that got through.
    void controlPageFetchesAndRuns() {
        server.enqueue({200, QByteArray("x"), "text/plain"});
        const QString html =
            QStringLiteral("<html><body><img src=\"%1/img\"><div style=\"width:10px;height:10px;"
                           "background:url(%1/css)\"></div><script>document.title='ran'</script>"
                           "</body></html>")
                .arg(server.baseUrl().toString());
        QVERIFY(load(html, true));
        QVERIFY(server.waitForRequests(2, 5000));
        QTRY_COMPARE(view->title(), QStringLiteral("ran"));
        QVERIFY(recorder.takeUrls().size() >= 2);
    }

    // The real answer paints in the scheme's colours; a hostile one, even with
    // JavaScript on, neither fetches nor runs anything.
    void pagesPaintAndAnswersCannotFetchOrRun_data() {
        QTest::addColumn<bool>("split");
        QTest::addColumn<bool>("isDark");
        QTest::addColumn<bool>("javaScript");
        QTest::addColumn<QRgb>("background");
        QTest::addColumn<QRgb>("accent"); // h2 underline, or the split pair's background
        QTest::newRow("normal light")
            << false << false << false << qRgb(255, 255, 255) << qRgb(0x00, 0x71, 0xe3);
        QTest::newRow("normal dark, JS on")
            << false << true << true << qRgb(0x1c, 0x1c, 0x1e) << qRgb(0x0a, 0x84, 0xff);
        QTest::newRow("split light, JS on")
            << true << false << true << qRgb(255, 255, 255) << qRgb(0xf5, 0xf5, 0xf7);
        QTest::newRow("split dark") << true << true << false << qRgb(0x1c, 0x1c, 0x1e)
                                    << qRgb(0x2c, 0x2c, 0x2e);
    }
    void pagesPaintAndAnswersCannotFetchOrRun() {
        QFETCH(bool, split);
        QFETCH(bool, isDark);
        QFETCH(bool, javaScript);
        QFETCH(QRgb, background);
        QFETCH(QRgb, accent);
        auto render = [&](const QString& markdown, const QString& originalText) {
            if (!HTMLRenderer::canSplit(markdown, originalText))
                return QStringLiteral("not splittable");
            const QString label = QStringLiteral("DeepSeek");
            return split ? HTMLRenderer::renderSplit(markdown, originalText, isDark, 15, label)
                         : HTMLRenderer::renderPage(markdown, originalText, isDark, 15, label);
        };
        QVERIFY(load(render(answer, original), false));
        // A grab right after loadFinished may still show the previous page.
        const QRect lowerHalf(0, view->height() / 2, view->width() - 20, view->height() / 2 - 1);
        QImage image;
        QString problem;
        QTRY_VERIFY2_WITH_TIMEOUT(
            (problem = pageProblem(image = view->grab().toImage().convertToFormat(QImage::Format_RGB32),
                                   background, lowerHalf, 500, accent, 200))
                .isEmpty(),
            qPrintable(problem), 8000);
        if (!split) // the sticky original box at the top has its own light colour
            QCOMPARE(image.pixel(5, 5) & 0xffffff, isDark ? 0x1c1c1eu : 0xe8f0feu);

        server.reset();
        const QString hostile =
            QStringLiteral(
                "<img src=\"%1/img\">\n## 中文翻译\n<script>new Image().src='%1/js';document.title='ran'"
                "</script>第一句。<style>body{background:url(%1/css)}</style>第二句。\n## 重要词汇\n"
                "| a | b |\n|---|---|\n| <img src=%1/cell> | `<img src=%1/code>` |\n"
                "<link rel=stylesheet href=%1/link><iframe src=\"%1/frame\"></iframe>\n"
                "<div style=\"background:url(%1/inline)\">x</div><object data=%1/obj></object>"
                "<svg><image href=%1/svg /></svg><meta http-equiv=refresh content=\"0;url=%1/go\">")
                .arg(server.baseUrl().toString());
        recorder.takeUrls();
        // The test's own image and style loads at the very end: once they arrive, every load the
        // answer's text could have started, earlier in the page, would have arrived before them.
        QString page = render(hostile, hostile + QStringLiteral("\n\nSecond part."));
        page.insert(page.lastIndexOf(QStringLiteral("</body>")),
                    QStringLiteral("<img src=\"%1/last-img\"><div style=\"width:9px;height:9px;"
                                   "background:url(%1/last-css)\"></div>")
                        .arg(server.baseUrl().toString()));
        QVERIFY(load(page, javaScript));
        QVERIFY(server.waitForRequests(2));
        QStringList paths;
        for (const LocalHttpServer::Request& request : server.requests())
            paths.append(QString::fromUtf8(request.path));
        paths.sort();
        QCOMPARE(paths, QStringList({QStringLiteral("/last-css"), QStringLiteral("/last-img")}));
        QCOMPARE(recorder.takeUrls().size(), 2);
        QVERIFY(view->title() != QStringLiteral("ran"));
    }

    // Updates reach a page whose scripts are off through the program's own world, replace
    // only the blocks that changed (the reader's place holds), and markup that gets into a
    // block still runs nothing there: the control with scripts on shows it would.
    void streamUpdatesThroughOwnWorld_data() {
        QTest::addColumn<bool>("javaScript");
        QTest::newRow("scripts off") << false;
        QTest::newRow("control: scripts on") << true;
    }
    void streamUpdatesThroughOwnWorld() {
        QFETCH(bool, javaScript);
        QStringList blocks;
        for (int i = 0; i < 60; ++i)
            blocks.append(HTMLRenderer::markdownBodyToHTML(QStringLiteral("第 %1 段。").arg(i)));
        QVERIFY(load(StreamedPage::page(blocks, QStringLiteral("<b>只翻译了前 80%</b>"), false, original,
                                        false, 15, QStringLiteral("Qwen")),
                     javaScript));
        QWebEnginePage* page = view->page();
        QCOMPARE(runInOwnWorld(page, QStringLiteral("window.scrollTo(0,600);window.scrollY")).toInt(), 600);
        QStringList next = blocks.mid(0, 59);
        next << HTMLRenderer::markdownBodyToHTML(QStringLiteral("第 59 段，更长。\n\n<script>x</script>"))
             << QStringLiteral("<img src=\"data:,\" onerror=\"document.title='ran'\">");
        const QString script = StreamedPage::updateScript(blocks, next);
        QVERIFY(script.contains(
            QStringLiteral("\"<img src=\\\"data:,\\\" onerror=\\\"document.title='ran'\\\">\"")));
        QCOMPARE(runInOwnWorld(page, script).toInt(), 61);
        QCOMPARE(runInOwnWorld(page, QStringLiteral("window.scrollY")).toInt(), 600);
        const QString text = runInOwnWorld(page, QStringLiteral("document.body.innerText")).toString();
        QVERIFY(text.contains(QStringLiteral("<b>只翻译了前 80%</b>")));
        QVERIFY(text.contains(QStringLiteral("更长。\n")) &&
                text.contains(QStringLiteral("<script>x</script>")));
        QTest::qWait(300);
        QCOMPARE(view->title() == QStringLiteral("ran"), javaScript);
        // The page's own world has no script at all while they are off.
        QVariant main = QStringLiteral("unset");
        page->runJavaScript(QStringLiteral("1+1"), [&](const QVariant& value) { main = value; });
        QTRY_VERIFY(main != QStringLiteral("unset"));
        QCOMPARE(main.toInt(), javaScript ? 2 : 0);
    }
};

int main(int argc, char** argv) {
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    TestResultPageWebView test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_resultpage_webview.moc"
