// Run inside scripts/wayland/gnome-session.sh (a headless GNOME Shell); elsewhere it says so
// and ends. Screen capture through GNOME's Screenshot portal, the permission given beforehand:
// the call until the picture is read (its file deleted).
#include "BenchTiming.h"
#include "DesktopBench.h"
#include "platform/freedesktop/PortalScreenCapture.h"

#include <QDBusInterface>
#include <QElapsedTimer>
#include <QGuiApplication>

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

} // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(QStringLiteral("GNOME")) ||
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "bench_gnome_capture: not in a GNOME Wayland session "
                             "(scripts/wayland/gnome-session.sh); skipped\n");
        return 0;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
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
        // As a user presses the hotkey: not while GNOME still flashes the last picture.
        QElapsedTimer pause;
        pause.start();
        spinUntil([&] { return pause.elapsed() > 1000; }, "a pause");
    }
    reportSamples("GNOME portal: call → picture read", samples, "ms");
    return 0;
}
