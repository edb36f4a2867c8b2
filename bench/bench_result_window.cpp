// Needs an X server (run under xvfb-run; openbox is started when no window manager runs).
// Measures an answer handed to ResultWindowController::show until its page is on the
// screen: the first panel of a process (web engine prepared beforehand, as the flows do,
// and for comparison not prepared), and later panels. Then the memory (PSS) of VYRN and
// its web engine processes: idle, engine prepared, panel open, after closing.
#include "BenchTiming.h"
#include "DesktopBench.h"
#include "ProcessMemory.h"
#include "base/AppConstants.h"
#include "platform/DesktopColorScheme.h"
#include "platform/HotkeyService.h"
#include "platform/PlatformLoader.h"
#include "platform/PlatformServices.h"
#include "settings/SettingsManager.h"
#include "windows/result/ResultWebEngine.h"
#include "windows/result/ResultWebView.h"
#include "windows/result/ResultWindowController.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kLaterPanels = 30;
constexpr int kFirstPanelRuns = 5;

const QString answer = QStringLiteral(
    "## 中文翻译\n这个函数会在**后台线程**里运行。调用 `start()` 之后，界面不会卡住。\n\n## 重要词汇\n"
    "| 单词 | 词性 | 释义 |\n|------|------|------|\n| thread | n. | 线程 |\n| responsive | adj. | "
    "响应迅速的 |\n\n"
    "## 常用短语与习语\n- **in the background**：在后台\n- block the UI：使界面卡住");
const QString original = QStringLiteral(
    "This function runs on a background thread. After you call start(), the UI stays responsive.");

// The controller as the program's owner makes it.
std::unique_ptr<PlatformServices> g_platform;
std::unique_ptr<SettingsManager> g_settings;
std::unique_ptr<ResultWindowController> g_results;

ResultWindowController& results() {
    return *g_results;
}

// What the page shows when painted: the whole view starts with the original box, the
// split view has its sentence pairs near the left edge.
bool painted(bool split) {
    const QWidget* view = results().webView();
    if (!view || !view->isVisible())
        return false;
    const QPoint at = view->mapToGlobal(QPoint(0, 0));
    const QImage strip = QGuiApplication::primaryScreen()
                             ->grabWindow(0, at.x() + 28, at.y() + 2, 8, 400)
                             .toImage()
                             .convertToFormat(QImage::Format_RGB32);
    if (!split)
        return (strip.pixel(0, 0) & 0xffffff) == 0xe8f0fe;
    int pairPixels = 0;
    for (int y = 0; y < strip.height(); ++y)
        pairPixels += (strip.pixel(4, y) & 0xffffff) == 0xf5f5f7;
    return pairPixels > 20;
}

// Milliseconds from show() until the page is on the screen.
double showAndWait(bool split) {
    (*g_settings).setDefaultSplitMode(split);
    QElapsedTimer timer;
    timer.start();
    results().show(answer, original, QRectF(1500, 500, 200, 80));
    while (!painted(split)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (timer.elapsed() > 60000) {
            std::fprintf(stderr, "the page never appeared\n");
            std::exit(1);
        }
    }
    return double(timer.nsecsElapsed()) / 1e6;
}

void closePanel() {
    results().closePanel();
    QCoreApplication::processEvents();
}

void idle(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// One fresh process: the first panel, with or without the engine prepared.
int firstPanel(bool prepare) {
    QElapsedTimer timer;
    timer.start();
    if (prepare) {
        results().prepareWebEngine();
        const double prepared = double(timer.nsecsElapsed()) / 1e6;
        idle(3000); // the answer takes seconds to come
        const double shown = showAndWait(false);
        std::printf("\nRESULT %.1f %.1f\n", prepared, shown);
    } else {
        std::printf("\nRESULT 0 %.1f\n", showAndWait(false));
    }
    std::fflush(stdout);
    g_results.reset();
    return 0;
}

QList<double> runFirstPanels(const QString& mode) {
    QList<double> prepare, show;
    for (int i = 0; i < kFirstPanelRuns; ++i) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(), {mode});
        child.waitForFinished(120000);
        // The log is echoed on standard output too.
        const QByteArray output = child.readAllStandardOutput();
        const qsizetype at = output.indexOf("RESULT ");
        const QList<QByteArray> numbers =
            at < 0 ? QList<QByteArray>() : output.mid(at + 7, output.indexOf('\n', at) - at - 7).split(' ');
        if (numbers.size() != 2)
            continue;
        prepare.append(numbers.at(0).toDouble());
        show.append(numbers.at(1).toDouble());
    }
    std::sort(prepare.begin(), prepare.end());
    std::sort(show.begin(), show.end());
    return {prepare.value(prepare.size() / 2), show.value(show.size() / 2), show.value(0),
            show.value(show.size() - 1)};
}

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir home;
    if (!prepareDesktopBench("bench_result_window", home))
        return 1;
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    ResultWebEngine::registerUrlScheme();
    QApplication app(argc, argv);
    AppConstants::initialize();
    g_platform = PlatformLoader::load(SessionType::X11);
    g_settings = std::make_unique<SettingsManager>(home.path() + QStringLiteral("/preferences.json"));
    g_results =
        std::make_unique<ResultWindowController>(*g_settings, *g_platform->hotkeys, *g_platform->colorScheme);

    if (argc > 1 && std::strcmp(argv[1], "--first-prepared") == 0)
        return firstPanel(true);
    if (argc > 1 && std::strcmp(argv[1], "--first-unprepared") == 0)
        return firstPanel(false);

    QProcess windowManager;
    if (startWindowManagerIfNone(windowManager))
        idle(1500);

    const QList<double> prepared = runFirstPanels(QStringLiteral("--first-prepared"));
    const QList<double> unprepared = runFirstPanels(QStringLiteral("--first-unprepared"));
    std::fprintf(stderr, "%-42s median %.1f ms  (%d processes)\n", "prepareWebEngine (cold engine)",
                 prepared[0], kFirstPanelRuns);
    std::fprintf(stderr, "%-42s median %.1f ms  min %.1f  max %.1f\n", "first panel, engine prepared",
                 prepared[1], prepared[2], prepared[3]);
    std::fprintf(stderr, "%-42s median %.1f ms  min %.1f  max %.1f\n", "first panel, engine not prepared",
                 unprepared[1], unprepared[2], unprepared[3]);

    const double idleMB = pssMB();
    results().prepareWebEngine();
    idle(3000);
    const double preparedMB = pssMB();
    std::vector<double> later;
    showAndWait(true);
    closePanel();
    for (int i = 0; i < kLaterPanels; ++i) {
        later.push_back(showAndWait(i % 2 == 0));
        if (i + 1 < kLaterPanels)
            closePanel();
    }
    reportSamples("later panels: show -> page on screen", later, "ms");
    idle(2000);
    const double openMB = pssMB();
    closePanel();
    idle(3000);
    const double closedMB = pssMB();
    std::fprintf(
        stderr,
        "PSS (VYRN + web engine processes): idle %.0f MB, engine prepared %.0f MB, panel open %.0f MB, "
        "after closing %.0f MB\n",
        idleMB, preparedMB, openMB, closedMB);

    g_results.reset();
    if (windowManager.state() != QProcess::NotRunning) {
        windowManager.terminate();
        windowManager.waitForFinished(5000);
    }
    return 0;
}
