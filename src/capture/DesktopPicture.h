#pragma once

#include <QList>
#include <QRect>
#include <QSize>

// A picture of the whole desktop, as a compositor hands it out, cut into the X screens that
// Xwayland shows. All rectangles here have a top-left origin.
//
// What the desktops report, measured in headless sessions on Debian 12 (Xwayland 22), with a
// 2560 × 1600 monitor at scale 2 left of a 1920 × 1080 one at scale 1:
// - GNOME 43, physical layout (the default): mutter's monitors, Xwayland's screens and the
//   Screenshot portal's picture (4480 × 1600) all count device pixels; scale changes nothing.
// - GNOME 43, logical layout (scale-monitor-framebuffer): mutter's monitors and Xwayland's
//   screens are in points (1280 × 800 at 0,0 and 1920 × 1080 at 1280,0); the portal paints
//   the whole layout at the highest scale (6400 × 2160), the scale-1 monitor enlarged.
// - KWin 5.27 at scale 2: outputs and Xwayland's screens in points (1280 × 800 each); the
//   native-resolution workspace picture in device pixels of each output.
namespace DesktopPicture {

// One monitor as the compositor describes it.
struct Monitor {
    QRect logical; // in the compositor's layout coordinates
    QRect pixels;  // its part of the picture
    qreal scale = 1;
};

// The part of a `picture` large picture that shows `screen`, one of the X screens whose
// union is `desktop` (both in X11 pixels). The monitors' layout may differ from the X
// screens' by one factor (Xwayland scaling its clients) and an offset; each monitor keeps
// its own pixels per point. Without monitors the picture is taken to cover `desktop`
// evenly. Empty when the screen is not in the picture.
QRect screenPart(const QRect& screen, const QRect& desktop, const QSize& picture,
                 const QList<Monitor>& monitors);

} // namespace DesktopPicture
