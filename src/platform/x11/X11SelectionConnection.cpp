#include "platform/x11/X11SelectionConnection.h"

#include "base/Logger.h"

#include <QSocketNotifier>
#include <QTimer>

#include <xcb/res.h>
#include <xcb/xfixes.h>
#include <xcb/xtest.h>

#include <cstdlib>
#include <limits>

namespace {

template <typename Reply> using ReplyPtr = std::unique_ptr<Reply, decltype(&std::free)>;
template <typename Reply> ReplyPtr<Reply> owned(Reply* reply) {
    return ReplyPtr<Reply>(reply, &std::free);
}

constexpr quint32 maxPropertyLength = std::numeric_limits<quint32>::max() / 4;

} // namespace

std::shared_ptr<X11SelectionConnection> X11SelectionConnection::open(const QByteArray& displayName) {
    int screen = 0;
    xcb_connection_t* connection =
        xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(), &screen);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return nullptr;
    }
    return std::shared_ptr<X11SelectionConnection>(new X11SelectionConnection(connection, screen));
}

X11SelectionConnection::X11SelectionConnection(xcb_connection_t* connection, int screen)
    : m_connection(connection) {
    const xcb_setup_t* setup = xcb_get_setup(m_connection);
    m_resourceIdMask = setup->resource_id_mask;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screen && screens.rem; ++i)
        xcb_screen_next(&screens);
    m_root = screens.data->root;

    if (const xcb_query_extension_reply_t* xtest = xcb_get_extension_data(m_connection, &xcb_test_id))
        m_hasXTest = xtest->present;
    if (const xcb_query_extension_reply_t* xfixes = xcb_get_extension_data(m_connection, &xcb_xfixes_id);
        xfixes && xfixes->present) {
        // The version must be asked before any other XFixes request.
        if (auto version = owned(xcb_xfixes_query_version_reply(
                m_connection, xcb_xfixes_query_version(m_connection, 5, 0), nullptr)))
            m_xfixesFirstEvent = xfixes->first_event;
    }
    if (const xcb_query_extension_reply_t* res = xcb_get_extension_data(m_connection, &xcb_res_id);
        res && res->present) {
        auto version = owned(
            xcb_res_query_version_reply(m_connection, xcb_res_query_version(m_connection, 1, 2), nullptr));
        m_hasXRes = version && (version->server_major > 1 || version->server_minor >= 2);
    }

    m_window = createTransferWindow();
    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11SelectionConnection::dispatch);
    flush();
    dispatchSoon();
}

X11SelectionConnection::~X11SelectionConnection() {
    delete m_notifier;
    xcb_disconnect(m_connection);
}

xcb_atom_t X11SelectionConnection::atom(const QByteArray& name) {
    if (const auto known = m_atoms.constFind(name); known != m_atoms.constEnd())
        return *known;
    auto reply = owned(xcb_intern_atom_reply(
        m_connection, xcb_intern_atom(m_connection, false, quint16(name.size()), name.constData()), nullptr));
    dispatchSoon();
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    if (atom != XCB_ATOM_NONE) {
        m_atoms.insert(name, atom);
        m_atomNames.insert(atom, name);
    }
    return atom;
}

QByteArray X11SelectionConnection::atomName(xcb_atom_t atom) {
    if (const auto known = m_atomNames.constFind(atom); known != m_atomNames.constEnd())
        return *known;
    auto reply = owned(xcb_get_atom_name_reply(m_connection, xcb_get_atom_name(m_connection, atom), nullptr));
    dispatchSoon();
    if (!reply)
        return {};
    const QByteArray name(xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()));
    m_atoms.insert(name, atom);
    m_atomNames.insert(atom, name);
    return name;
}

xcb_atom_t X11SelectionConnection::selectionOwner(xcb_atom_t selection) {
    auto reply = owned(xcb_get_selection_owner_reply(
        m_connection, xcb_get_selection_owner(m_connection, selection), nullptr));
    dispatchSoon();
    return reply ? reply->owner : xcb_window_t(XCB_WINDOW_NONE);
}

std::optional<X11SelectionConnection::Property>
X11SelectionConnection::property(xcb_window_t window, xcb_atom_t property, bool remove) {
    auto reply =
        owned(xcb_get_property_reply(m_connection,
                                     xcb_get_property(m_connection, remove, window, property,
                                                      XCB_GET_PROPERTY_TYPE_ANY, 0, maxPropertyLength),
                                     nullptr));
    dispatchSoon();
    if (!reply || reply->type == XCB_ATOM_NONE)
        return std::nullopt;
    Property result;
    result.type = reply->type;
    result.format = reply->format;
    result.data = QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                             xcb_get_property_value_length(reply.get()));
    return result;
}

qint64 X11SelectionConnection::clientPid(xcb_window_t window) {
    if (!m_hasXRes || window == XCB_WINDOW_NONE)
        return 0;
    xcb_res_client_id_spec_t wanted{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
    auto reply = owned(xcb_res_query_client_ids_reply(
        m_connection, xcb_res_query_client_ids(m_connection, 1, &wanted), nullptr));
    dispatchSoon();
    if (!reply)
        return 0;
    for (auto ids = xcb_res_query_client_ids_ids_iterator(reply.get()); ids.rem;
         xcb_res_client_id_value_next(&ids))
        if ((ids.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) &&
            xcb_res_client_id_value_value_length(ids.data) >= 1)
            return *xcb_res_client_id_value_value(ids.data);
    return 0;
}

xcb_window_t X11SelectionConnection::createTransferWindow() {
    const xcb_window_t window = xcb_generate_id(m_connection);
    const quint32 events = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, window, m_root, -1, -1, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &events);
    return window;
}

void X11SelectionConnection::requestServerTime(std::function<void(xcb_timestamp_t)> done) {
    m_timeRequests.push_back(std::move(done));
    // Appending nothing still changes the property, and the PropertyNotify carries the time.
    xcb_change_property(m_connection, XCB_PROP_MODE_APPEND, m_window, atom("VYRN_TIMESTAMP"),
                        XCB_ATOM_INTEGER, 32, 0, nullptr);
    flush();
}

void X11SelectionConnection::flush() {
    xcb_flush(m_connection);
}

void X11SelectionConnection::dispatchSoon() {
    if (m_dispatchQueued)
        return;
    m_dispatchQueued = true;
    QTimer::singleShot(0, this, &X11SelectionConnection::dispatch);
}

void X11SelectionConnection::dispatch() {
    m_dispatchQueued = false;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        onEvent(event);
        Q_EMIT eventReceived(event);
        std::free(event);
    }
    if (xcb_connection_has_error(m_connection) && !m_lost) {
        m_lost = true;
        m_notifier->setEnabled(false);
        loge(QStringLiteral("X11 连接中断：读取选中文本与恢复剪贴板不再可用"));
    }
}

void X11SelectionConnection::onEvent(const xcb_generic_event_t* event) {
    if ((event->response_type & 0x7f) != XCB_PROPERTY_NOTIFY || m_timeRequests.empty())
        return;
    const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
    if (notify->window != m_window || notify->atom != atom("VYRN_TIMESTAMP"))
        return;
    std::function<void(xcb_timestamp_t)> done = std::move(m_timeRequests.front());
    m_timeRequests.pop_front();
    done(notify->time);
}
