// Run inside scripts/wayland/kde-session.sh (a headless KWin); elsewhere it says so and ends.
// KWin's screenshot interface: one capture of the whole desktop, from the call until the
// picture is built on the main thread.
#include "BenchTiming.h"
#include "platform/kde/KWinScreenCapture.h"
#include "platform/null/NullScreenCapture.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QThread>

#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr int kRuns = 20;

// KWin grants the interface to a program whose desktop entry asks for it; it rereads its
// entries every 1.5 s at most.
bool grant(const QString& program, const QString& name) {
    QFile entry(qEnvironmentVariable("VYRN_KDE_APPLICATIONS") + QLatin1Char('/') + name);
    if (!entry.open(QIODevice::WriteOnly))
        return false;
    entry.write("[Desktop Entry]\nType=Application\nName=bench\nExec=\"" + program.toUtf8() +
                "\"\nX-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2\n");
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("VYRN_KDE_APPLICATIONS")) {
        std::fprintf(stderr,
                     "bench_kde_capture: not in a KDE session (scripts/wayland/kde-session.sh); skipped\n");
        return 0;
    }
    if (!grant(QCoreApplication::applicationFilePath(), QStringLiteral("vyrn-bench-capture.desktop")))
        return 1;
    QThread::msleep(2000);

    KWinScreenCapture capture(QDBusConnection::sessionBus(),
                              std::make_unique<NullScreenCapture>(QStringLiteral("KWin refused")));
    std::vector<double> samples;
    QSize size;
    for (int i = 0; i < kRuns; ++i) {
        std::optional<ScreenCapture::Picture> picture;
        QElapsedTimer clock;
        clock.start();
        capture.capture(nullptr, [&picture](ScreenCapture::Picture answer) { picture = std::move(answer); });
        while (!picture && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 5);
        if (!picture || picture->image.isNull()) {
            std::fprintf(stderr, "bench_kde_capture: capture %d failed (%s)\n", i + 1,
                         picture ? qPrintable(picture->failedCall) : "no answer");
            return 1;
        }
        samples.push_back(double(clock.nsecsElapsed()) / 1e6);
        size = picture->image.size();
    }
    const QByteArray name =
        QStringLiteral("KWin CaptureWorkspace %1×%2").arg(size.width()).arg(size.height()).toUtf8();
    reportSamples(name.constData(), samples, "ms");
    return 0;
}
