#pragma once

#include <QImage>
#include <QList>
#include <QRect>
#include <QString>

#include <functional>

class QScreen;
class QWindow;

// Takes the picture of the screen for the selection overlay and holds the keyboard and
// pointer for it, since nothing of ours has the focus when a global hotkey fires.
class ScreenCapture {
public:
    // One monitor's part of a whole-desktop picture, as the compositor lays the desktop out.
    struct MonitorArea {
        QRect logical; // in the compositor's logical coordinates
        QRect pixels;  // its part of the picture
        qreal scale = 1;
    };
    struct Picture {
        enum class Status {
            Taken,
            Failed,
            // The desktop asks the user once before it hands out pictures, and that question
            // can only be asked from a focused window of ours (GNOME's Screenshot portal).
            NeedsPermission,
        };
        QImage image;       // full pixel density, top-left origin; null unless Taken
        QString failedCall; // what failed, for the log
        Status status = Status::Failed;
        // When not Taken and the user can do something about it: the alert's text. Empty for
        // a failure with nothing to tell beyond the usual line.
        QString userMessage;
        // Empty: the picture shows exactly the screen asked for. Otherwise it shows the whole
        // desktop and these are its monitors, as far as the desktop told.
        QList<MonitorArea> monitors;
        bool wholeDesktop = false;

        static Picture taken(QImage image) {
            Picture picture;
            picture.image = std::move(image);
            picture.status = Status::Taken;
            return picture;
        }
        static Picture failed(QString call, QString userMessage = {}) {
            Picture picture;
            picture.failedCall = std::move(call);
            picture.userMessage = std::move(userMessage);
            return picture;
        }
    };
    using PictureReady = std::function<void(Picture)>;

    enum class Overlay {
        // One override-redirect window on the pointer's screen, with the keyboard and
        // pointer grabbed (X11 sessions).
        GrabbedWindow,
        // A managed full-screen window on every screen, which takes the focus (Xwayland,
        // where grabs do not reach the compositor's input and the pointer position is stale).
        FocusedWindows,
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
    virtual Overlay overlay() const { return Overlay::GrabbedWindow; }
    // Takes the picture of `screen` (or, for desktop services, of the whole desktop) as it
    // is now. `ready` runs exactly once on the main thread unless cancelCapture() comes
    // first; a service that can answer at once calls it before returning.
    virtual void capture(QScreen* screen, PictureReady ready) = 0;
    // Abandons a pending capture: its `ready` is never called. Harmless when none is pending.
    virtual void cancelCapture() {}
    // Both the keyboard and the pointer for `window`, which must be mapped; what one call
    // gets is kept when the other one has to be retried. Only asked for a GrabbedWindow
    // overlay: focused windows get their input from the desktop.
    virtual InputGrab grabInput(QWindow*) { return InputGrab::Held; }
    // Gives back whatever grabInput took; harmless when it took nothing.
    virtual void releaseInput() {}
};
