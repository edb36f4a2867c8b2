#pragma once

#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>

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
