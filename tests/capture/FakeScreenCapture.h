#pragma once

#include "platform/ScreenCapture.h"

#include <QList>

// Answers with a preset picture and preset grab results, and counts the releases.
class FakeScreenCapture final : public ScreenCapture {
public:
    QImage picture;
    QString failedCall = QStringLiteral("xcb_get_image");
    QList<InputGrab> grabAnswers; // one per call; the last one repeats
    int grabCalls = 0;
    int releases = 0;

    QString unavailableReason() const override { return {}; }
    Picture grabScreen(QScreen*) override { return {picture, failedCall}; }
    InputGrab grabInput(QWindow*) override {
        ++grabCalls;
        if (grabAnswers.isEmpty())
            return InputGrab::Held;
        return grabAnswers.size() > 1 ? grabAnswers.takeFirst() : grabAnswers.first();
    }
    void releaseInput() override { ++releases; }
};
