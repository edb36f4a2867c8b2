#pragma once

#include <QImage>
#include <QString>

class QScreen;
class QWindow;

// Takes the picture of a screen for the selection overlay and holds the keyboard and
// pointer for it, since nothing of ours has the focus when a global hotkey fires.
class ScreenCapture {
public:
    struct Picture {
        QImage image;       // full pixel density, top-left origin; null when the capture failed
        QString failedCall; // what failed, for the log
    };
    enum class InputGrab {
        Held,
        Busy,   // another client holds the keyboard or the pointer: try again shortly
        Failed, // will not work however often it is tried
    };

    virtual ~ScreenCapture() = default;

    // Empty when captures work in this session; otherwise a sentence telling the user why
    // not and what to do.
    virtual QString unavailableReason() const = 0;
    // Everything on `screen` at this moment.
    virtual Picture grabScreen(QScreen* screen) = 0;
    // Both the keyboard and the pointer for `window`, which must be mapped; what one call
    // gets is kept when the other one has to be retried.
    virtual InputGrab grabInput(QWindow* window) = 0;
    // Gives back whatever grabInput took; harmless when it took nothing.
    virtual void releaseInput() = 0;
};
