#include "platform/x11/X11SelectionServer.h"

#include <QTimer>

#include <algorithm>
#include <cstring>

namespace {

// A requestor that stops reading an INCR transfer is given up after this long.
constexpr std::chrono::seconds abandonedTransfer{5};

} // namespace

struct X11SelectionServer::Outgoing {
    xcb_window_t requestor = XCB_WINDOW_NONE;
    xcb_atom_t property = XCB_ATOM_NONE;
    xcb_atom_t type = XCB_ATOM_NONE;
    int format = 8;
    QByteArray data;
    qsizetype offset = 0;
    QTimer silence;
};

X11SelectionServer::X11SelectionServer(std::shared_ptr<X11SelectionConnection> connection,
                                       xcb_atom_t selection, QObject* parent)
    : QObject(parent), m_connection(std::move(connection)), m_selection(selection) {
    // As large as one request allows, at most 256 KiB as other toolkits use, whole units of 32 bits.
    const qint64 requestBytes = qint64(xcb_get_maximum_request_length(m_connection->get())) * 4 - 100;
    m_pieceSize = int(std::min<qint64>(256 * 1024, requestBytes)) & ~3;
    connect(m_connection.get(), &X11SelectionConnection::eventReceived, this, &X11SelectionServer::onEvent);
}

X11SelectionServer::~X11SelectionServer() {
    if (m_owned) {
        xcb_set_selection_owner(m_connection->get(), XCB_WINDOW_NONE, m_selection, m_time);
        m_connection->flush();
    }
    for (const auto& transfer : m_transfers)
        watchRequestor(transfer->requestor, false);
}

bool X11SelectionServer::own(const ClipboardSnapshot::Item& contents, xcb_timestamp_t time) {
    m_contents = contents;
    m_time = time;
    xcb_set_selection_owner(m_connection->get(), m_connection->window(), m_selection, time);
    m_owned = m_connection->selectionOwner(m_selection) == m_connection->window();
    if (!m_owned)
        m_contents = {};
    return m_owned;
}

void X11SelectionServer::onEvent(const xcb_generic_event_t* event) {
    switch (event->response_type & 0x7f) {
    case XCB_SELECTION_REQUEST: {
        const auto* request = reinterpret_cast<const xcb_selection_request_event_t*>(event);
        if (request->owner == m_connection->window() && request->selection == m_selection)
            answer(*request);
        break;
    }
    case XCB_SELECTION_CLEAR: {
        const auto* clear = reinterpret_cast<const xcb_selection_clear_event_t*>(event);
        if (clear->owner == m_connection->window() && clear->selection == m_selection) {
            m_owned = false;
            m_contents = {};
        }
        break;
    }
    case XCB_PROPERTY_NOTIFY: {
        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (notify->state != XCB_PROPERTY_DELETE)
            break;
        for (const auto& transfer : m_transfers)
            if (transfer->requestor == notify->window && transfer->property == notify->atom) {
                sendNextPiece(*transfer);
                break;
            }
        break;
    }
    default:
        break;
    }
}

void X11SelectionServer::answer(const xcb_selection_request_event_t& request) {
    // Requestors from before ICCCM 2.0 leave the property out.
    const xcb_atom_t property = request.property == XCB_ATOM_NONE ? request.target : request.property;
    const bool inTime = request.time == XCB_CURRENT_TIME || request.time >= m_time;
    bool served = false;
    if (m_owned && inTime)
        served = request.target == m_connection->atom("MULTIPLE")
                     ? serveMultiple(request.requestor, property)
                     : serve(request.requestor, request.target, property);

    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    notify.property = served ? property : xcb_atom_t(XCB_ATOM_NONE);
    char event[32] = {};
    std::memcpy(event, &notify, sizeof notify);
    xcb_send_event(m_connection->get(), false, request.requestor, XCB_EVENT_MASK_NO_EVENT, event);
    m_connection->flush();
}

QList<xcb_atom_t> X11SelectionServer::offeredTargets() {
    QList<xcb_atom_t> targets = {m_connection->atom("TARGETS"), m_connection->atom("TIMESTAMP"),
                                 m_connection->atom("MULTIPLE")};
    for (const ClipboardSnapshot::Entry& entry : m_contents.types)
        if (const xcb_atom_t target = m_connection->atom(entry.target); !targets.contains(target))
            targets.append(target);
    return targets;
}

bool X11SelectionServer::serve(xcb_window_t requestor, xcb_atom_t target, xcb_atom_t property) {
    xcb_connection_t* c = m_connection->get();
    if (target == m_connection->atom("TARGETS")) {
        const QList<xcb_atom_t> targets = offeredTargets();
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_ATOM, 32,
                            quint32(targets.size()), targets.constData());
        return true;
    }
    if (target == m_connection->atom("TIMESTAMP")) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_INTEGER, 32, 1, &m_time);
        return true;
    }
    const auto entry = std::find_if(
        m_contents.types.cbegin(), m_contents.types.cend(),
        [&](const ClipboardSnapshot::Entry& e) { return m_connection->atom(e.target) == target; });
    if (entry == m_contents.types.cend() ||
        (entry->format != 8 && entry->format != 16 && entry->format != 32))
        return false;
    const xcb_atom_t type = m_connection->atom(entry->type);
    if (entry->data.size() > m_pieceSize) {
        auto transfer = std::make_unique<Outgoing>();
        transfer->requestor = requestor;
        transfer->property = property;
        transfer->type = type;
        transfer->format = entry->format;
        transfer->data = entry->data;
        transfer->silence.setSingleShot(true);
        connect(&transfer->silence, &QTimer::timeout, this, [this, requestor, property] {
            // Not from inside the timer's own signal: ending the transfer deletes the timer.
            QTimer::singleShot(0, this, [this, requestor, property] { endTransfer(requestor, property); });
        });
        transfer->silence.start(abandonedTransfer);
        // Watch before announcing, so the requestor's first delete is not missed.
        watchRequestor(requestor, true);
        const quint32 size = quint32(entry->data.size());
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, m_connection->atom("INCR"), 32, 1,
                            &size);
        m_transfers.push_back(std::move(transfer));
        return true;
    }
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, type, quint8(entry->format),
                        quint32(entry->data.size() / (entry->format / 8)), entry->data.constData());
    return true;
}

bool X11SelectionServer::serveMultiple(xcb_window_t requestor, xcb_atom_t property) {
    std::optional<X11SelectionConnection::Property> pairs = m_connection->property(requestor, property);
    if (!pairs || pairs->format != 32)
        return false;
    QByteArray data = pairs->data;
    auto* atoms = reinterpret_cast<xcb_atom_t*>(data.data());
    const qsizetype count = data.size() / qsizetype(sizeof(xcb_atom_t));
    for (qsizetype i = 0; i + 1 < count; i += 2)
        if (atoms[i + 1] == XCB_ATOM_NONE || !serve(requestor, atoms[i], atoms[i + 1]))
            atoms[i] = XCB_ATOM_NONE; // ICCCM: a target that failed is replaced by None
    xcb_change_property(m_connection->get(), XCB_PROP_MODE_REPLACE, requestor, property, pairs->type, 32,
                        quint32(count), atoms);
    return true;
}

void X11SelectionServer::sendNextPiece(Outgoing& transfer) {
    const qsizetype size = std::min<qsizetype>(m_pieceSize, transfer.data.size() - transfer.offset);
    xcb_change_property(m_connection->get(), XCB_PROP_MODE_REPLACE, transfer.requestor, transfer.property,
                        transfer.type, quint8(transfer.format), quint32(size / (transfer.format / 8)),
                        transfer.data.constData() + transfer.offset);
    m_connection->flush();
    transfer.offset += size;
    if (size == 0) // the empty piece that ends the transfer is out
        endTransfer(transfer.requestor, transfer.property);
    else
        transfer.silence.start(abandonedTransfer);
}

void X11SelectionServer::endTransfer(xcb_window_t requestor, xcb_atom_t property) {
    std::erase_if(m_transfers, [&](const std::unique_ptr<Outgoing>& transfer) {
        return transfer->requestor == requestor && transfer->property == property;
    });
    const bool stillWatched =
        std::any_of(m_transfers.cbegin(), m_transfers.cend(),
                    [&](const auto& transfer) { return transfer->requestor == requestor; });
    if (!stillWatched)
        watchRequestor(requestor, false);
}

void X11SelectionServer::watchRequestor(xcb_window_t requestor, bool watch) {
    // Windows of this connection keep their own event mask.
    const quint32 mask = m_connection->resourceIdMask();
    if ((requestor & ~mask) == (m_connection->window() & ~mask))
        return;
    const quint32 events = watch ? XCB_EVENT_MASK_PROPERTY_CHANGE : XCB_EVENT_MASK_NO_EVENT;
    xcb_change_window_attributes(m_connection->get(), requestor, XCB_CW_EVENT_MASK, &events);
    m_connection->flush();
}
