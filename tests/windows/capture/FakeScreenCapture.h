#pragma once

#include "platform/ScreenCapture.h"

// Answers with a preset picture, always gets the input, and counts the releases.
class FakeScreenCapture final : public ScreenCapture {
public:
    QImage picture;
    QString failedCall = QStringLiteral("xcb_get_image");
    int releases = 0;

    QString unavailableReason() const override { return {}; }
    Picture grabScreen(QScreen*) override { return {picture, failedCall}; }
    InputGrab grabInput(QWindow*) override { return InputGrab::Held; }
    void releaseInput() override { ++releases; }
};
