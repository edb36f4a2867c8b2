// Screen capture on private X servers of 1920 × 1080 and 3840 × 2160: the two ways to
// read the screen's pixels, the start of a capture until the overlay is on the screen,
// and the mouse release until the crop is delivered.

#include "BenchTiming.h"
#include "PrivateDisplay.h"
#include "base/AppConstants.h"
#include "platform/PlatformLoader.h"
#include "platform/PlatformServices.h"
#include "platform/ScreenCapture.h"
#include "windows/capture/OverlayView.h"
#include "windows/capture/ScreenshotEngine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QProcess>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <xcb/xcb.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kRuns = 20;

double elapsedMs(const QElapsedTimer& clock) {
    return double(clock.nsecsElapsed()) / 1e6;
}

xcb_connection_t* qtConnection() {
    return qApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

// Returns once the server has handled everything sent before.
void sync() {
    std::free(xcb_get_input_focus_reply(qtConnection(), xcb_get_input_focus(qtConnection()), nullptr));
}

void fakeInput(uint8_t type, uint8_t detail, QPoint at = {}) {
    xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(qtConnection())).data->root;
    xcb_test_fake_input(qtConnection(), type, detail, XCB_CURRENT_TIME, root, int16_t(at.x()),
                        int16_t(at.y()), 0);
    xcb_flush(qtConnection());
}

template <typename Condition> void waitFor(Condition condition) {
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
    if (!condition()) {
        std::fprintf(stderr, "timed out\n");
        std::exit(1);
    }
}

class ReleaseStamp : public QObject {
public:
    explicit ReleaseStamp(QElapsedTimer* clock) : m_clock(clock) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease)
            m_clock->start();
        return false;
    }

private:
    QElapsedTimer* m_clock;
};

void benchReads(const QString& size) {
    QScreen* screen = QGuiApplication::primaryScreen();
    std::unique_ptr<ScreenCapture> capture = std::move(PlatformLoader::load(SessionType::X11)->screenCapture);
    reportTiming(qPrintable(size + QStringLiteral(" QScreen::grabWindow(0)")), kRuns,
                 [&] { screen->grabWindow(0).toImage(); });
    reportTiming(qPrintable(size + QStringLiteral(" xcb GetImage (kept)")), kRuns,
                 [&] { capture->capture(screen, [](ScreenCapture::Picture) {}); });
}

void benchEngine(const QString& size) {
    ScreenshotEngine engine(std::move(PlatformLoader::load(SessionType::X11)->screenCapture));
    bool delivered = false;
    QElapsedTimer sinceReleaseEvent;
    double handled = 0;
    const auto done = [&](const QRectF&, const QImage&) {
        delivered = true;
        handled = elapsedMs(sinceReleaseEvent);
    };
    // Stamps the release when Qt hands it to the overlay, to tell our work from the trip
    // through the X server.
    ReleaseStamp stamp(&sinceReleaseEvent);
    std::vector<double> startToPainted, releaseToCrop, releaseEventToCrop;
    for (int run = 0; run < kRuns + 3; ++run) {
        fakeInput(XCB_MOTION_NOTIFY, 0, QPoint(100, 100));
        sync();
        QCoreApplication::processEvents();
        delivered = false;
        bool painted = false;
        QElapsedTimer clock;
        clock.start();
        engine.start(done);
        // The backing store is flushed right after the paint event; the sync waits for
        // the server to have drawn it.
        qreal paintedWidth = 0;
        QObject::connect(engine.overlayView(), &OverlayView::painted, engine.overlayView(), [&] {
            paintedWidth = engine.selectionRect().width();
            QTimer::singleShot(0, engine.overlayView(), [&] {
                sync();
                painted = true;
            });
        });
        waitFor([&] { return painted && engine.holdsInput(); });
        engine.overlayView()->installEventFilter(&stamp);
        const double shown = elapsedMs(clock);

        fakeInput(XCB_BUTTON_PRESS, 1);
        fakeInput(XCB_MOTION_NOTIFY, 0, QPoint(700, 500));
        // Released once the selection is on the screen, as a user would.
        waitFor([&] { return paintedWidth > 500; });
        sync();
        clock.restart();
        fakeInput(XCB_BUTTON_RELEASE, 1);
        waitFor([&] { return delivered; });
        const double released = elapsedMs(clock);
        if (run >= 3) { // warm-ups
            startToPainted.push_back(shown);
            releaseToCrop.push_back(released);
            releaseEventToCrop.push_back(handled);
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    reportSamples(qPrintable(size + QStringLiteral(" start -> overlay painted")), startToPainted, "ms");
    reportSamples(qPrintable(size + QStringLiteral(" mouse release -> crop delivered")), releaseToCrop, "ms");
    reportSamples(qPrintable(size + QStringLiteral("   of which in the overlay and engine")),
                  releaseEventToCrop, "ms");
}

int runOn(QSize size, int argc, char** argv) {
    PrivateDisplay display;
    const QString failure = display.start(size, false);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(failure));
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    AppConstants::initialize();
    // Something on the screen to capture, as a desktop would have.
    QLabel desktop(QStringLiteral("The quick brown fox jumps over the lazy dog. ").repeated(400));
    desktop.setWordWrap(true);
    desktop.setGeometry(QGuiApplication::primaryScreen()->geometry());
    desktop.show();
    waitFor([&] { return desktop.windowHandle()->isExposed(); });
    const QString name = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
    benchReads(name);
    benchEngine(name);
    return 0;
}

} // namespace

// Each screen size needs its own X server and QApplication, so the parent runs one
// child per size.
int main(int argc, char** argv) {
    if (argc > 1) {
        const QList<QByteArray> size = QByteArray(argv[1]).split('x');
        return runOn(QSize(size.value(0).toInt(), size.value(1).toInt()), argc, argv);
    }
    for (const char* size : {"1920x1080", "3840x2160"}) {
        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedChannels);
        child.start(QString::fromLocal8Bit(argv[0]), {QString::fromLatin1(size)});
        if (!child.waitForFinished(300000) || child.exitCode() != 0)
            return 1;
    }
    return 0;
}
