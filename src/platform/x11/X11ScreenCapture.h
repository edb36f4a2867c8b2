#pragma once

#include "platform/ScreenCapture.h"

#include <QRect>

#include <cstdint>

struct xcb_connection_t;

// Reads the root window's pixels with one GetImage (faster than QScreen::grabWindow,
// which copies into a server pixmap first) and grabs input on Qt's own connection, so
// that Qt delivers the grabbed events to the overlay like any others.
class X11ScreenCapture final : public ScreenCapture {
public:
    explicit X11ScreenCapture(xcb_connection_t* connection);

    QString unavailableReason() const override { return {}; }
    // Answers before returning.
    void capture(QScreen* screen, PictureReady ready) override { ready(grabScreen(screen)); }
    // Everything on `screen` at this moment.
    Picture grabScreen(QScreen* screen);
    InputGrab grabInput(QWindow* window) override;
    void releaseInput() override;

private:
    // The root's pixels are 32-bit words laid out as QImage::Format_RGB32 on this host.
    bool rootMatchesRgb32() const;
    Picture getImage(const QRect& area);

    xcb_connection_t* m_connection;
    uint32_t m_root = 0;
    QRect m_rootRect;
    bool m_rgb32 = false;
    bool m_keyboardHeld = false;
    bool m_pointerHeld = false;
};
