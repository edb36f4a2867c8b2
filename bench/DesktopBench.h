#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

// Benchmarks of windows: on X11 only (under xvfb-run), with settings in `home`. Call before
// the application object is made.
inline bool prepareDesktopBench(const char* name, const QTemporaryDir& home) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "%s needs an X server: run it under xvfb-run\n", name);
        return false;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("XDG_CONFIG_HOME", home.path().toUtf8());
    return true;
}

// Starts openbox when no window manager runs; the caller gives it time to take the screen.
inline bool startWindowManagerIfNone(QProcess& windowManager) {
    if (QProcess::execute(QStringLiteral("sh"),
                          {QStringLiteral("-c"),
                           QStringLiteral("xprop -root _NET_SUPPORTING_WM_CHECK | grep -q '#'")}) == 0)
        return false;
    windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
    return true;
}

// Runs the event loop until `done`; a bench that waits a minute for something has failed.
template <typename Done> void spinUntil(Done done, const char* what) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        if (timer.elapsed() > 60000) {
            std::fprintf(stderr, "timed out waiting for %s\n", what);
            std::exit(1);
        }
    }
}
