#pragma once

#include "platform/ScreenCapture.h"

#include <memory>

namespace ScreenCaptureFactory {
// The X11 capture in an X11 session; otherwise one that refuses with a reason the user
// can act on (in a Wayland session the X11 compatibility server sees only X11 programs).
// Needs the QGuiApplication.
std::unique_ptr<ScreenCapture> create();
} // namespace ScreenCaptureFactory
