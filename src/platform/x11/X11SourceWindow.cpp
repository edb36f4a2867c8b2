#include "platform/x11/X11SourceWindow.h"

#include <QCoreApplication>

#include <cstdlib>

namespace {

quint32 firstCardinal(const std::optional<X11SelectionConnection::Property>& property) {
    if (!property || property->format != 32 || property->data.size() < 4)
        return 0;
    return *reinterpret_cast<const quint32*>(property->data.constData());
}

} // namespace

X11SourceWindow::X11SourceWindow(std::shared_ptr<X11SelectionConnection> connection)
    : m_connection(std::move(connection)) {}

xcb_window_t X11SourceWindow::activeWindow() {
    if (const xcb_window_t active = firstCardinal(
            m_connection->property(m_connection->root(), m_connection->atom("_NET_ACTIVE_WINDOW")));
        active != XCB_WINDOW_NONE)
        return active;
    // No window manager, or one that does not say.
    auto focus = std::unique_ptr<xcb_get_input_focus_reply_t, decltype(&std::free)>(
        xcb_get_input_focus_reply(m_connection->get(), xcb_get_input_focus(m_connection->get()), nullptr),
        &std::free);
    m_connection->dispatchSoon();
    if (!focus || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT || focus->focus == XCB_WINDOW_NONE ||
        focus->focus == m_connection->root())
        return XCB_WINDOW_NONE;
    return clientWindowOf(focus->focus);
}

// The focus may sit on a child window; the program's top-level window carries WM_CLASS.
xcb_window_t X11SourceWindow::clientWindowOf(xcb_window_t window) {
    for (int depth = 0; window != XCB_WINDOW_NONE && depth < 16; ++depth) {
        if (m_connection->property(window, XCB_ATOM_WM_CLASS))
            return window;
        auto tree = std::unique_ptr<xcb_query_tree_reply_t, decltype(&std::free)>(
            xcb_query_tree_reply(m_connection->get(), xcb_query_tree(m_connection->get(), window), nullptr),
            &std::free);
        m_connection->dispatchSoon();
        if (!tree || tree->parent == tree->root)
            return window;
        window = tree->parent;
    }
    return window;
}

std::optional<SelectionSource> X11SourceWindow::capture() {
    SelectionSource source;
    source.window = activeWindow();
    if (source.window == XCB_WINDOW_NONE)
        return std::nullopt;
    source.pid = firstCardinal(m_connection->property(source.window, m_connection->atom("_NET_WM_PID")));
    if (source.pid == 0)
        source.pid = m_connection->clientPid(source.window);
    if (source.pid == QCoreApplication::applicationPid())
        return std::nullopt;
    if (const auto wmClass = m_connection->property(source.window, XCB_ATOM_WM_CLASS)) {
        const QList<QByteArray> names = wmClass->data.split('\0');
        source.windowInstance = QString::fromLocal8Bit(names.value(0));
        source.windowClass = QString::fromLocal8Bit(names.value(1));
    }
    return source;
}
