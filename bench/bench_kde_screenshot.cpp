// Run inside scripts/wayland/kde-session.sh (a headless KWin); elsewhere it says so and ends.
// The frozen screen on KDE Plasma: from the screenshot hotkey's keys down in the compositor
// (kinput's stamp) until the overlay has painted the picture, and its two parts: KWin's
// capture call, and the windows from the picture to their first paint.
#include "BenchTiming.h"
#include "keys/HotkeyNames.h"
#include "platform/kde/KGlobalAccelHotkeyService.h"
#include "platform/kde/KWinScreenCapture.h"
#include "platform/null/NullScreenCapture.h"
#include "windows/capture/OverlayView.h"
#include "windows/capture/ScreenshotEngine.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 20;

qint64 now() {
    return QDateTime::currentMSecsSinceEpoch();
}

// KWin's service, with the moments it was asked and it answered.
struct Stamped : ScreenCapture {
    std::unique_ptr<ScreenCapture> inner;
    qint64 asked = 0, answered = 0;
    QString unavailableReason() const override { return inner->unavailableReason(); }
    Overlay overlay() const override { return inner->overlay(); }
    void capture(QScreen* screen, PictureReady ready) override {
        asked = now();
        inner->capture(screen, [this, ready](Picture picture) {
            answered = now();
            ready(std::move(picture));
        });
    }
    void cancelCapture() override { inner->cancelCapture(); }
    InputGrab grabInput(QWindow* window) override { return inner->grabInput(window); }
    void releaseInput() override { inner->releaseInput(); }
};

// The first paint of an overlay window after the picture came.
struct PaintStamp : QObject {
    qint64 painted = 0;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !painted && qobject_cast<OverlayView*>(watched))
            painted = now();
        return false;
    }
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString applications = qEnvironmentVariable("VYRN_KDE_APPLICATIONS");
    if (applications.isEmpty()) {
        std::fprintf(
            stderr, "bench_kde_screenshot: not in a KDE session (scripts/wayland/kde-session.sh); skipped\n");
        return 0;
    }
    QFile entry(applications + QStringLiteral("/vyrn-bench-screenshot.desktop"));
    if (!entry.open(QIODevice::WriteOnly))
        return 1;
    entry.write("[Desktop Entry]\nType=Application\nName=bench\nExec=\"" +
                QCoreApplication::applicationFilePath().toUtf8() +
                "\"\nX-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n");
    entry.close();
    QThread::msleep(2000); // KWin rereads its entries every 1.5 s at most

    auto stamped = std::make_unique<Stamped>();
    stamped->inner = std::make_unique<KWinScreenCapture>(
        QDBusConnection::sessionBus(), std::make_unique<NullScreenCapture>(QStringLiteral("KWin refused")));
    Stamped& capture = *stamped;
    ScreenshotEngine engine(std::move(stamped));
    PaintStamp paint;
    app.installEventFilter(&paint);

    KGlobalAccelHotkeyService keys(QDBusConnection::sessionBus(), QStringLiteral("vyrn-bench"));
    auto hotkey = keys.registerNamedHotkey(16, CarbonModifier::control, // Super+Y
                                           {QStringLiteral("shot"), QStringLiteral("bench")});
    if (!hotkey) {
        std::fprintf(stderr, "bench_kde_screenshot: %s\n", qPrintable(hotkey.failure->message));
        return 1;
    }
    QObject::connect(hotkey.handle.get(), &HotkeyRegistration::pressed, &engine,
                     [&] { engine.start([](const QRectF&, const QImage&) {}); });

    std::vector<double> total, call, window;
    for (int i = 0; i < kRuns; ++i) {
        paint.painted = 0;
        QProcess press;
        press.start(qEnvironmentVariable("VYRN_KINPUT"), {QStringLiteral("key:125+21")});
        QElapsedTimer clock;
        clock.start();
        while ((!paint.painted || !capture.answered || paint.painted < capture.answered) &&
               clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
        press.waitForFinished();
        const qint64 pressed =
            QString::fromUtf8(press.readAllStandardOutput()).section(QLatin1Char(' '), 1).toLongLong();
        if (!paint.painted || paint.painted < capture.answered || !pressed) {
            std::fprintf(stderr, "bench_kde_screenshot: run %d: no frozen screen\n", i + 1);
            return 1;
        }
        total.push_back(double(paint.painted - pressed));
        call.push_back(double(capture.answered - capture.asked));
        window.push_back(double(paint.painted - capture.answered));
        engine.cancel();
        capture.answered = 0;
        QThread::msleep(300);
        QCoreApplication::processEvents();
    }
    reportSamples("KDE screenshot hotkey: keys down → frozen screen painted", total, "ms");
    reportSamples("  KWin capture call", call, "ms");
    reportSamples("  picture → overlay painted", window, "ms");
    return 0;
}
