// The preferences window: from show() to the first paint of a freshly built window, and the
// main thread's part of "保存并应用" with all five hotkeys recorded (the key store's part runs
// on its own thread and is left out). Needs an X server: xvfb-run scripts/bench.sh
// bench_settings_window with QT_QPA_PLATFORM=xcb.
#include "BenchTiming.h"
#include "base/AppConstants.h"
#include "settings/KeyStore.h"
#include "settings/SettingsManager.h"
#include "support/FakeKeyStore.h"
#include "support/ScriptedAlerts.h"
#include "windows/settings/HotkeyRecorder.h"
#include "windows/settings/SettingsWindow.h"
#include "windows/settings/SettingsWindowController.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Notes the first paint of a window.
class PaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

void openAndWaitForPaint(SettingsWindowController& controller) {
    PaintWatch watch;
    qApp->installEventFilter(&watch);
    controller.show();
    while (!watch.painted)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    qApp->removeEventFilter(&watch);
}

void closeWindow(SettingsWindowController& controller) {
    controller.window()->close();
    while (controller.window())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Records a combination by handing the window a key press, as the keyboard would.
void record(SettingsWindowController& controller, SettingsWindowController::Hotkey hotkey, Qt::Key key) {
    HotkeyRecorder& recorder = controller.recorder(hotkey);
    recorder.reset();
    QTest::mouseClick(controller.window()->hotkeySections[int(hotkey)].button, Qt::LeftButton);
    QKeyEvent press(QEvent::KeyPress, key, Qt::MetaModifier);
    QApplication::sendEvent(controller.window()->windowHandle(), &press);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_XCB_GL_INTEGRATION", "none");
    QApplication app(argc, argv);
    AppConstants::initialize();
    QTemporaryDir dir;
    SettingsManager settings(dir.path() + QStringLiteral("/preferences.json"),
                             std::make_unique<FakeKeyStore>());
    ScriptedAlerts alerts;
    SettingsWindowController controller(settings, alerts, [] {});

    const auto coldStart = std::chrono::steady_clock::now();
    openAndWaitForPaint(controller);
    std::fprintf(
        stderr, "%-42s %.3f ms\n", "first window of the process shown -> painted",
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - coldStart).count());
    closeWindow(controller);
    reportTiming("window shown -> painted", 20, [&] {
        openAndWaitForPaint(controller);
        closeWindow(controller);
    });

    openAndWaitForPaint(controller);
    using H = SettingsWindowController::Hotkey;
    const std::pair<H, Qt::Key> combinations[] = {{H::screenshot, Qt::Key_Y},
                                                  {H::selection, Qt::Key_U},
                                                  {H::closePanel, Qt::Key_J},
                                                  {H::togglePanel, Qt::Key_K},
                                                  {H::split, Qt::Key_B}};
    std::vector<double> wall, cpu;
    for (int run = 0; run < 53; ++run) {
        for (const auto& [hotkey, key] : combinations)
            record(controller, hotkey, key);
        controller.window()->templateTextView->setPlainText(QStringLiteral("自定义模板 %1").arg(run));
        const double cpuStart = threadCpuMs();
        const auto start = std::chrono::steady_clock::now();
        controller.saveAllSettings();
        if (run >= 3) { // after warm-ups
            wall.push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            cpu.push_back(threadCpuMs() - cpuStart);
        }
        controller.keyStoreQueue().waitForIdle();
    }
    if (settings.splitHotkeyKeyCode() != 11)
        std::fprintf(stderr, "the recorded hotkeys were not saved\n");
    reportSamples("save, main thread, wall (5 hotkeys, template)", wall, "ms");
    reportSamples("save, main thread, cpu", cpu, "ms");
    return 0;
}
