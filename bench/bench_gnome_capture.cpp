// Run inside scripts/wayland/gnome-session.sh (a headless GNOME Shell); elsewhere it says so
// and ends. Screen capture through GNOME's Screenshot portal, the permission given beforehand:
// the call until the picture is read (its file deleted), and the screenshot engine's start
// until the frozen desktop is painted, with the share of each.
#include "BenchTiming.h"
#include "DesktopBench.h"
#include "platform/freedesktop/PortalScreenCapture.h"
#include "windows/capture/OverlayView.h"
#include "windows/capture/ScreenshotEngine.h"

#include <QApplication>
#include <QDBusInterface>
#include <QElapsedTimer>

#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr int kRuns = 20;

// The answer GNOME keeps for host programs without an application id, as this one is.
bool grantScreenshots() {
    QDBusInterface store(QStringLiteral("org.freedesktop.impl.portal.PermissionStore"),
                         QStringLiteral("/org/freedesktop/impl/portal/PermissionStore"),
                         QStringLiteral("org.freedesktop.impl.portal.PermissionStore"));
    return store
               .call(QStringLiteral("SetPermission"), QStringLiteral("screenshot"), true,
                     QStringLiteral("screenshot"), QString(), QStringList{QStringLiteral("yes")})
               .type() == QDBusMessage::ReplyMessage;
}

// Passes the portal's pictures on and notes when each arrived.
class StampedCapture final : public ScreenCapture {
public:
    StampedCapture(std::unique_ptr<ScreenCapture> inner, QElapsedTimer& clock, qint64& arrived)
        : m_inner(std::move(inner)), m_clock(clock), m_arrived(arrived) {}
    QString unavailableReason() const override { return m_inner->unavailableReason(); }
    Overlay overlay() const override { return m_inner->overlay(); }
    void capture(QScreen* screen, PictureReady ready) override {
        m_inner->capture(screen, [this, ready = std::move(ready)](Picture picture) {
            m_arrived = m_clock.nsecsElapsed();
            ready(std::move(picture));
        });
    }
    void cancelCapture() override { m_inner->cancelCapture(); }

private:
    std::unique_ptr<ScreenCapture> m_inner;
    QElapsedTimer& m_clock;
    qint64& m_arrived;
};

// Notes when the first frozen screen has been painted: connected as it is shown, before any paint.
class PaintWatch final : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (auto* view = qobject_cast<OverlayView*>(watched); view && event->type() == QEvent::Show)
            connect(view, &OverlayView::painted, this, [this] { painted = true; });
        return false;
    }
};

void restBetweenPresses() {
    // As a user presses the hotkey: not while GNOME still flashes the last picture.
    QElapsedTimer pause;
    pause.start();
    spinUntil([&] { return pause.elapsed() > 1000; }, "a pause");
}

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QStringLiteral("GNOME")) ||
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "bench_gnome_capture: not in a GNOME Wayland session "
                             "(scripts/wayland/gnome-session.sh); skipped\n");
        return 0;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication app(argc, argv);
    if (!grantScreenshots()) {
        std::fprintf(stderr, "bench_gnome_capture: the permission store did not answer\n");
        return 1;
    }
    PortalScreenCapture::Options options;
    options.askFirst = true;
    options.mutterLayout = true;
    PortalScreenCapture capture(options);
    std::vector<double> samples;
    for (int run = -2; run < kRuns; ++run) { // the first calls start the portal's services
        std::optional<ScreenCapture::Picture> picture;
        QElapsedTimer clock;
        clock.start();
        capture.capture(nullptr, [&](ScreenCapture::Picture answer) { picture = std::move(answer); });
        spinUntil([&] { return picture.has_value(); }, "the portal's picture");
        if (picture->status != ScreenCapture::Picture::Status::Taken) {
            std::fprintf(stderr, "bench_gnome_capture: %s\n", qPrintable(picture->failedCall));
            return 1;
        }
        if (run >= 0)
            samples.push_back(double(clock.nsecsElapsed()) / 1e6);
        restBetweenPresses();
    }
    reportSamples("GNOME portal: call → picture read", samples, "ms");

    QElapsedTimer clock;
    qint64 arrived = 0;
    ScreenshotEngine engine(
        std::make_unique<StampedCapture>(std::make_unique<PortalScreenCapture>(options), clock, arrived));
    std::vector<double> total, portal, window;
    PaintWatch watch;
    app.installEventFilter(&watch);
    for (int run = 0; run < kRuns; ++run) {
        watch.painted = false;
        clock.start();
        engine.start([](const QRectF&, const QImage&) {});
        spinUntil([&] { return watch.painted; }, "the frozen desktop painted");
        const qint64 done = clock.nsecsElapsed();
        total.push_back(double(done) / 1e6);
        portal.push_back(double(arrived) / 1e6);
        window.push_back(double(done - arrived) / 1e6);
        engine.cancel();
        restBetweenPresses();
    }
    reportSamples("GNOME: start → frozen desktop painted", total, "ms");
    reportSamples("  of which the portal's picture", portal, "ms");
    reportSamples("  of which the window", window, "ms");
    return 0;
}
