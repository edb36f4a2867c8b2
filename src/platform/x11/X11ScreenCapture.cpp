#include "platform/x11/X11ScreenCapture.h"

#include "capture/CaptureGeometry.h"

#include <QPixmap>
#include <QScreen>
#include <QSysInfo>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

xcb_screen_t* defaultScreen(xcb_connection_t* connection) {
    int number = 0;
    char* host = nullptr;
    int display = 0;
    if (xcb_parse_display(nullptr, &host, &display, &number))
        std::free(host);
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; it.rem && i < number; ++i)
        xcb_screen_next(&it);
    return it.rem ? it.data : nullptr;
}

bool isRetryable(uint8_t status) {
    return status == XCB_GRAB_STATUS_ALREADY_GRABBED || status == XCB_GRAB_STATUS_NOT_VIEWABLE ||
           status == XCB_GRAB_STATUS_FROZEN;
}

} // namespace

X11ScreenCapture::X11ScreenCapture(xcb_connection_t* connection) : m_connection(connection) {
    if (xcb_screen_t* screen = defaultScreen(connection)) {
        m_root = screen->root;
        m_rootRect = QRect(0, 0, screen->width_in_pixels, screen->height_in_pixels);
        m_rgb32 = rootMatchesRgb32();
    }
}

bool X11ScreenCapture::rootMatchesRgb32() const {
    const xcb_setup_t* setup = xcb_get_setup(m_connection);
    const uint8_t hostOrder =
        QSysInfo::ByteOrder == QSysInfo::LittleEndian ? XCB_IMAGE_ORDER_LSB_FIRST : XCB_IMAGE_ORDER_MSB_FIRST;
    xcb_screen_t* screen = defaultScreen(m_connection);
    if (!screen || screen->root_depth != 24 || setup->image_byte_order != hostOrder)
        return false;
    bool formatOk = false;
    for (auto it = xcb_setup_pixmap_formats_iterator(setup); it.rem; xcb_format_next(&it))
        if (it.data->depth == 24)
            formatOk = it.data->bits_per_pixel == 32 && it.data->scanline_pad == 32;
    for (auto depths = xcb_screen_allowed_depths_iterator(screen); depths.rem; xcb_depth_next(&depths))
        for (auto visuals = xcb_depth_visuals_iterator(depths.data); visuals.rem;
             xcb_visualtype_next(&visuals))
            if (visuals.data->visual_id == screen->root_visual)
                return formatOk && visuals.data->red_mask == 0xff0000 && visuals.data->green_mask == 0xff00 &&
                       visuals.data->blue_mask == 0xff;
    return false;
}

ScreenCapture::Picture X11ScreenCapture::grabScreen(QScreen* screen) {
    if (!screen)
        return Picture::failed(QStringLiteral("QScreen"));
    if (!m_rgb32) {
        // An unusual visual: let Qt convert it.
        QImage image = screen->grabWindow(0).toImage();
        image.setDevicePixelRatio(1);
        if (image.isNull())
            return Picture::failed(QStringLiteral("QScreen::grabWindow"));
        return Picture::taken(std::move(image));
    }
    return getImage(CaptureGeometry::nativeRect(screen->geometry(), screen->devicePixelRatio(), m_rootRect));
}

ScreenCapture::Picture X11ScreenCapture::getImage(const QRect& area) {
    const QString call = QStringLiteral("xcb_get_image");
    if (area.isEmpty())
        return Picture::failed(call);
    const auto cookie =
        xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, m_root, int16_t(area.x()), int16_t(area.y()),
                      uint16_t(area.width()), uint16_t(area.height()), ~0u);
    xcb_generic_error_t* error = nullptr;
    Reply<xcb_get_image_reply_t> reply(xcb_get_image_reply(m_connection, cookie, &error));
    std::free(error);
    const qsizetype bytes = qsizetype(area.width()) * area.height() * 4;
    if (!reply || xcb_get_image_data_length(reply.get()) != bytes)
        return Picture::failed(call);
    // The pad byte is undefined; Format_RGB32 promises 0xff there.
    auto* pixels = reinterpret_cast<uint32_t*>(xcb_get_image_data(reply.get()));
    for (qsizetype i = 0, n = bytes / 4; i < n; ++i)
        pixels[i] |= 0xff000000u;
    xcb_get_image_reply_t* owner = reply.release();
    QImage image(
        reinterpret_cast<uchar*>(pixels), area.width(), area.height(), area.width() * 4, QImage::Format_RGB32,
        [](void* data) { std::free(data); }, owner);
    return Picture::taken(std::move(image));
}

ScreenCapture::InputGrab X11ScreenCapture::grabInput(QWindow* window) {
    if (!window)
        return InputGrab::Failed;
    const auto id = xcb_window_t(window->winId());
    bool busy = false;
    if (!m_keyboardHeld) {
        Reply<xcb_grab_keyboard_reply_t> reply(
            xcb_grab_keyboard_reply(m_connection,
                                    xcb_grab_keyboard(m_connection, 0, id, XCB_CURRENT_TIME,
                                                      XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
                                    nullptr));
        if (!reply)
            return InputGrab::Failed;
        m_keyboardHeld = reply->status == XCB_GRAB_STATUS_SUCCESS;
        if (!m_keyboardHeld && !isRetryable(reply->status))
            return InputGrab::Failed;
        busy = !m_keyboardHeld;
    }
    if (!m_pointerHeld) {
        const uint16_t events = XCB_EVENT_MASK_BUTTON_PRESS | XCB_EVENT_MASK_BUTTON_RELEASE |
                                XCB_EVENT_MASK_POINTER_MOTION | XCB_EVENT_MASK_ENTER_WINDOW |
                                XCB_EVENT_MASK_LEAVE_WINDOW;
        // Confined to the overlay, so a drag cannot wander onto another screen.
        Reply<xcb_grab_pointer_reply_t> reply(
            xcb_grab_pointer_reply(m_connection,
                                   xcb_grab_pointer(m_connection, 0, id, events, XCB_GRAB_MODE_ASYNC,
                                                    XCB_GRAB_MODE_ASYNC, id, XCB_NONE, XCB_CURRENT_TIME),
                                   nullptr));
        if (!reply)
            return InputGrab::Failed;
        m_pointerHeld = reply->status == XCB_GRAB_STATUS_SUCCESS;
        if (!m_pointerHeld && !isRetryable(reply->status))
            return InputGrab::Failed;
        busy = busy || !m_pointerHeld;
    }
    return busy ? InputGrab::Busy : InputGrab::Held;
}

void X11ScreenCapture::releaseInput() {
    if (m_keyboardHeld)
        xcb_ungrab_keyboard(m_connection, XCB_CURRENT_TIME);
    if (m_pointerHeld)
        xcb_ungrab_pointer(m_connection, XCB_CURRENT_TIME);
    if (m_keyboardHeld || m_pointerHeld)
        xcb_flush(m_connection);
    m_keyboardHeld = m_pointerHeld = false;
}
