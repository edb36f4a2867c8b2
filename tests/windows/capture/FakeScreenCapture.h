#pragma once

#include "platform/ScreenCapture.h"

// Answers with a preset picture, at once or when the test says (`answer`), always gets the
// input, and counts the releases and cancellations.
class FakeScreenCapture final : public ScreenCapture {
public:
    Picture picture;
    bool answersLater = false;
    Overlay overlayKind = Overlay::GrabbedWindow;
    PictureReady pending;
    int releases = 0;
    int cancels = 0;

    QString unavailableReason() const override { return {}; }
    Overlay overlay() const override { return overlayKind; }
    void capture(QScreen*, PictureReady ready) override {
        if (answersLater)
            pending = std::move(ready);
        else
            ready(picture);
    }
    void cancelCapture() override { ++cancels; }
    // Even after a cancel, as a careless service might.
    void answer() {
        if (pending)
            std::exchange(pending, {})(picture);
    }
    InputGrab grabInput(QWindow*) override { return InputGrab::Held; }
    void releaseInput() override { ++releases; }
};
