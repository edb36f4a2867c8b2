#pragma once

#include "platform/ScreenCapture.h"

// Where the screen cannot be captured: every call refuses, and says why.
class NullScreenCapture final : public ScreenCapture {
public:
    explicit NullScreenCapture(QString reason) : m_reason(std::move(reason)) {}

    QString unavailableReason() const override { return m_reason; }
    void capture(QScreen*, PictureReady ready) override { ready(Picture::failed(m_reason)); }
    InputGrab grabInput(QWindow*) override { return InputGrab::Failed; }
    void releaseInput() override {}

private:
    QString m_reason;
};
