#include "platform/x11/X11StartupFeedback.h"

#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWindow>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstring>

namespace {

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return value;
}

xcb_window_t rootOf(xcb_connection_t* connection) {
    return xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
}

// Messages go out in 20-byte client messages, the first of one type and the rest of
// another, from a window made for the purpose; the closing NUL marks the end.
void broadcast(xcb_connection_t* connection, const QByteArray& message) {
    const xcb_window_t root = rootOf(connection);
    const xcb_window_t sender = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, sender, root, -100, -100, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const xcb_atom_t begin = atom(connection, "_NET_STARTUP_INFO_BEGIN");
    const xcb_atom_t more = atom(connection, "_NET_STARTUP_INFO");
    const QByteArray bytes = message + '\0';
    for (qsizetype offset = 0; offset < bytes.size(); offset += 20) {
        xcb_client_message_event_t event{};
        event.response_type = XCB_CLIENT_MESSAGE;
        event.format = 8;
        event.window = sender;
        event.type = offset == 0 ? begin : more;
        std::memcpy(event.data.data8, bytes.constData() + offset,
                    size_t(std::min<qsizetype>(20, bytes.size() - offset)));
        xcb_send_event(connection, 0, root, XCB_EVENT_MASK_PROPERTY_CHANGE,
                       reinterpret_cast<const char*>(&event));
    }
    xcb_destroy_window(connection, sender);
    xcb_flush(connection);
}

// Qt sends a window's Show event before it maps the window, so the property is there
// when the window manager decides about the focus.
class NextWindowNamer : public QObject {
public:
    NextWindowNamer(xcb_connection_t* connection, const QByteArray& startupId)
        : QObject(qGuiApp), m_connection(connection), m_startupId(startupId) {
        qGuiApp->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* window = event->type() == QEvent::Show ? qobject_cast<QWindow*>(watched) : nullptr;
        if (window && window->isTopLevel() &&
            (window->type() == Qt::Window || window->type() == Qt::Dialog)) {
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, xcb_window_t(window->winId()),
                                atom(m_connection, "_NET_STARTUP_ID"), atom(m_connection, "UTF8_STRING"), 8,
                                uint32_t(m_startupId.size()), m_startupId.constData());
            xcb_flush(m_connection);
            qGuiApp->removeEventFilter(this);
        }
        return false;
    }

private:
    xcb_connection_t* m_connection;
    QByteArray m_startupId;
};

} // namespace

namespace X11StartupFeedback {

void completeLaunch(const QByteArray& startupId) {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (startupId.isEmpty() || !x11 || !x11->connection())
        return;
    xcb_connection_t* connection = x11->connection();
    auto* namer = new NextWindowNamer(connection, startupId);
    QTimer::singleShot(0, namer, [namer, connection, startupId] {
        broadcast(connection, removeMessage(startupId));
        namer->deleteLater();
    });
}

QByteArray removeMessage(const QByteArray& startupId) {
    const bool quote = std::any_of(startupId.begin(), startupId.end(),
                                   [](char c) { return c == ' ' || c == '"' || c == '\\'; });
    if (!quote)
        return "remove: ID=" + startupId;
    QByteArray quoted;
    for (char c : startupId) {
        if (c == '"' || c == '\\')
            quoted += '\\';
        quoted += c;
    }
    return "remove: ID=\"" + quoted + '"';
}

} // namespace X11StartupFeedback
