// Needs an X server (run under xvfb-run; openbox is started when no window manager runs).
// The translation flows with their real windows, engine and recogniser against a local
// service that holds its answer: the selection flow's start until the loading panel is
// painted (the text comes from a stand-in reader at once), and the release of the mouse
// on the frozen screen until the loading panel is painted and until the request arrives.
#include "BenchTiming.h"
#include "DesktopBench.h"
#include "ProcessMemory.h"
#include "base/AppConstants.h"
#include "drawing/DrawnText.h"
#include "engine/TranslationEngine.h"
#include "ocr/OCREngine.h"
#include "pipeline/SelectedTextReader.h"
#include "pipeline/TranslationPipeline.h"
#include "platform/DesktopColorScheme.h"
#include "platform/HotkeyService.h"
#include "platform/NotificationService.h"
#include "platform/PlatformLoader.h"
#include "platform/PlatformServices.h"
#include "platform/ScreenCapture.h"
#include "settings/AIProvider.h"
#include "settings/KeyStore.h"
#include "settings/SettingsManager.h"
#include "support/FakeKeyStore.h"
#include "support/FakeSelectionServices.h"
#include "support/LocalHttpServer.h"
#include "support/ScriptedAlerts.h"
#include "windows/NotificationManager.h"
#include "windows/capture/ScreenshotEngine.h"
#include "windows/pipeline/DesktopPipeline.h"
#include "windows/pipeline/LoadingPanel.h"
#include "windows/result/ResultWebEngine.h"
#include "windows/result/ResultWindowController.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>

#include <cstdio>

namespace {

void idle(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

double sinceMs(const QElapsedTimer& timer) {
    return double(timer.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!prepareDesktopBench("bench_pipeline", home))
        return 1;
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    ResultWebEngine::registerUrlScheme();
    QApplication app(argc, argv);
    AppConstants::initialize();

    QProcess windowManager;
    if (startWindowManagerIfNone(windowManager))
        idle(1500);

    LocalHttpServer service;
    LocalHttpServer::Response held;
    held.neverAnswer = true;
    service.enqueue(held);
    const QString provider = AIProviders::rawValue(AIProvider::deepseek);
    auto keys = std::make_unique<FakeKeyStore>();
    keys->write(KeyStore::service, QStringLiteral("kavelin.apikey.") + provider, "sk-bench");
    // The program's parts as its owner wires them, with a key of the bench's own.
    std::unique_ptr<PlatformServices> platform = PlatformLoader::load(SessionType::X11);
    SettingsManager settings(home.path() + QStringLiteral("/preferences.json"), std::move(keys));
    settings.setApiProvider(AIProvider::deepseek);
    settings.store().setValue(QStringLiteral("kavelin.baseURL.") + provider, service.baseUrl().toString());
    ScriptedAlerts alerts;
    NotificationManager notifications(std::move(platform->notifications));
    TranslationEngine engine(settings, alerts, {});
    OCREngine ocr(settings);
    ScreenshotEngine capture(std::move(platform->screenCapture));
    ResultWindowController results(settings, *platform->hotkeys, *platform->colorScheme);

    FakeSelectionServices selection;
    selection.probe->source = SelectionSource{1, 4242, QStringLiteral("gedit"), QStringLiteral("Gedit")};
    selection.accessibility->answer = QStringLiteral("The committee will review every application.");
    TranslationPipeline::Services services;
    auto* desktop =
        new DesktopPipeline({results, capture, notifications, *platform->hotkeys, *platform->colorScheme});
    services.desktop.reset(desktop);
    services.translator = std::make_shared<EngineTranslator>(engine);
    services.selection = std::make_unique<SelectedTextReader>(selection.take());
    services.ocr = &ocr;
    services.alerts = &alerts;
    TranslationPipeline pipeline(std::move(services));
    ocr.warmUp();

    // Painted once per showing; the panel exists from the first showing on.
    int paints = 0;
    bool counting = false;
    const auto waitForPaint = [&](int before) {
        spinUntil(
            [&] {
                if (!counting && desktop->loadingPanel()) {
                    QObject::connect(desktop->loadingPanel(), &LoadingPanel::painted, [&] { ++paints; });
                    counting = true;
                }
                return paints > before;
            },
            "the loading panel");
    };
    const auto endTask = [&](int requests) {
        spinUntil([&] { return service.requests().size() >= requests; }, "the request");
        pipeline.cancelByUser();
        QCoreApplication::processEvents();
    };

    // Selection: from the flow's start (what the hotkey calls) to the panel on the screen.
    const auto selectionRun = [&] {
        const int before = paints;
        const qsizetype requests = service.requests().size();
        pipeline.captureSelectionSource();
        pipeline.startTextTranslation();
        waitForPaint(before);
        endTask(int(requests) + 1);
    };
    // The first showing, with and without the panel made at launch as the program does.
    if (qEnvironmentVariableIsSet("VYRN_BENCH_PREPARED"))
        pipeline.prepareLoadingPanel();
    {
        QElapsedTimer timer;
        timer.start();
        const int before = paints;
        pipeline.captureSelectionSource();
        pipeline.startTextTranslation();
        waitForPaint(before);
        std::fprintf(stderr, "%-42s %.3f ms\n", "selection start -> panel painted, first", sinceMs(timer));
        endTask(1);
    }
    reportTiming("selection start -> panel painted", 20, selectionRun);

    // Screenshot: a 600 x 200 paragraph on the screen, a drag over it on the frozen screen.
    const DrawnText::Picture prose =
        DrawnText::prose(DrawnText::proseLines().mid(0, 5), 20, DrawnText::Theme::Light);
    QLabel page;
    page.setWindowFlags(Qt::FramelessWindowHint);
    page.setPixmap(QPixmap::fromImage(prose.image.copy(0, 0, 600, 200)));
    page.setFixedSize(600, 200);
    page.move(100, 100);
    page.show();
    idle(500);
    const QPoint topLeft = page.mapToGlobal(QPoint());
    const qreal screenHeight = QGuiApplication::primaryScreen()->geometry().height();
    // Overlay points: origin at the screen's bottom-left corner.
    const QPointF from(topLeft.x(), screenHeight - topLeft.y());
    const QPointF to(topLeft.x() + 600, screenHeight - topLeft.y() - 200);
    QList<double> toPanel, toRequest;
    const auto screenshotRun = [&](bool record) {
        const int before = paints;
        const qsizetype requests = service.requests().size();
        pipeline.start();
        spinUntil([&] { return capture.holdsInput(); }, "the overlay");
        capture.mouseDown(from);
        capture.mouseDragged(to);
        QElapsedTimer timer;
        timer.start();
        capture.mouseUp(to);
        waitForPaint(before);
        const double panel = sinceMs(timer);
        spinUntil([&] { return service.requests().size() > requests; }, "the request");
        const double request = sinceMs(timer);
        if (record) {
            toPanel.append(panel);
            toRequest.append(request);
        }
        pipeline.cancelByUser();
        QCoreApplication::processEvents();
    };
    for (int i = 0; i < 3; ++i)
        screenshotRun(false);
    for (int i = 0; i < 15; ++i)
        screenshotRun(true);
    reportSamples("mouse release -> panel painted", {toPanel.begin(), toPanel.end()}, "ms");
    reportSamples("mouse release -> request sent (warm OCR)", {toRequest.begin(), toRequest.end()}, "ms");

    // One translation answered and shown, then the memory of everything the program runs.
    LocalHttpServer::Response answer;
    answer.body = R"({"choices":[{"message":{"content":"## 中文翻译\n委员会将审核每一份申请。"}}]})";
    service.enqueue(answer);
    pipeline.start();
    spinUntil([&] { return capture.holdsInput(); }, "the overlay");
    capture.mouseDown(from);
    capture.mouseUp(to);
    spinUntil([&] { return results.isPanelOpen(); }, "the result panel");
    idle(2000); // the page loaded and drawn
    std::fprintf(stderr, "%-42s %.1f MB\n", "PSS after a screenshot translation", pssMB());
    pipeline.waitForWorkers();
    return 0;
}
