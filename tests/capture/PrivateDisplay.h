#pragma once

#include <QSize>
#include <QString>

#include <sys/types.h>

// An X server of its own (Xvfb, optionally with openbox as window manager) for one test
// or benchmark process: grabs and synthetic input there cannot disturb anything else,
// and the screen size is the caller's. Start it before the QApplication; it sets DISPLAY
// for this process and its children, and both servers die with the process.
class PrivateDisplay {
public:
    PrivateDisplay() = default;
    ~PrivateDisplay();
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    // Empty on success, else what went wrong.
    QString start(QSize size, bool windowManager);

private:
    pid_t m_server = 0;
    pid_t m_windowManager = 0;
};
