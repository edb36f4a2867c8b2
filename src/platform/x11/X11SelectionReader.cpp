#include "platform/x11/X11SelectionReader.h"

#include "pipeline/ClipboardSnapshot.h"

X11SelectionReader::X11SelectionReader(std::shared_ptr<X11SelectionConnection> connection, QObject* parent)
    : QObject(parent), m_connection(std::move(connection)) {
    m_property = m_connection->atom("VYRN_SELECTION");
    m_silence.setSingleShot(true);
    connect(&m_silence, &QTimer::timeout, this, [this] { finish(Result{std::nullopt, true}); });
    connect(m_connection.get(), &X11SelectionConnection::eventReceived, this, &X11SelectionReader::onEvent);
}

X11SelectionReader::~X11SelectionReader() {
    if (m_window != XCB_WINDOW_NONE) {
        xcb_destroy_window(m_connection->get(), m_window);
        m_connection->flush();
    }
}

void X11SelectionReader::read(xcb_atom_t selection, xcb_atom_t target, std::chrono::milliseconds silenceLimit,
                              Done done, qsizetype byteLimit) {
    m_queue.push_back(Request{selection, target, silenceLimit, std::move(done), byteLimit});
    if (!m_active)
        startNext();
}

void X11SelectionReader::readText(xcb_atom_t selection, std::chrono::milliseconds silenceLimit,
                                  TextDone done) {
    const xcb_atom_t utf8 = m_connection->atom("UTF8_STRING");
    // Some owners answer a request for UTF-8 with Latin-1 text; the answer's type says which.
    auto decode = [](const QByteArray& target, const Result& result) -> std::optional<QString> {
        if (!result.data)
            return std::nullopt;
        const QByteArray kind = result.data->type == XCB_ATOM_STRING ? QByteArray("STRING") : target;
        return ClipboardSnapshot::decodePlainText({kind, {}, result.data->format, result.data->data});
    };
    read(selection, utf8, silenceLimit,
         [this, selection, silenceLimit, decode, done = std::move(done)](Result result) {
             if (result.data || result.timedOut) {
                 done(decode("UTF8_STRING", result));
                 return;
             }
             // Old programs offer Latin-1 text only.
             read(selection, XCB_ATOM_STRING, silenceLimit,
                  [decode, done](Result latin1) { done(decode("STRING", latin1)); });
         });
}

void X11SelectionReader::startNext() {
    if (m_queue.empty())
        return;
    m_active = std::move(m_queue.front());
    m_queue.pop_front();
    m_incremental = false;
    m_collected = {};
    m_window = m_connection->createTransferWindow();
    xcb_convert_selection(m_connection->get(), m_window, m_active->selection, m_active->target, m_property,
                          XCB_CURRENT_TIME);
    m_connection->flush();
    m_silence.start(m_active->silenceLimit);
}

void X11SelectionReader::onEvent(const xcb_generic_event_t* event) {
    if (!m_active)
        return;
    const quint8 type = event->response_type & 0x7f;
    if (type == XCB_SELECTION_NOTIFY) {
        const auto* notify = reinterpret_cast<const xcb_selection_notify_event_t*>(event);
        if (notify->requestor != m_window || notify->selection != m_active->selection ||
            notify->target != m_active->target || m_incremental)
            return;
        if (notify->property == XCB_ATOM_NONE) {
            finish({});
            return;
        }
        // Reading with delete also tells an INCR owner to send the first piece.
        std::optional<X11SelectionConnection::Property> answer =
            m_connection->property(m_window, notify->property, true);
        if (answer && answer->type == m_connection->atom("INCR")) {
            // Its value is a lower bound of the size to come.
            if (answer->format == 32 && answer->data.size() >= 4 &&
                *reinterpret_cast<const quint32*>(answer->data.constData()) > m_active->byteLimit) {
                finish(Result{std::nullopt, false, true});
                return;
            }
            m_incremental = true;
            m_silence.start(m_active->silenceLimit);
            return;
        }
        if (answer && answer->data.size() > m_active->byteLimit)
            finish(Result{std::nullopt, false, true});
        else
            finish(Result{std::move(answer), false});
        return;
    }
    if (type == XCB_PROPERTY_NOTIFY && m_incremental) {
        const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event);
        if (notify->window != m_window || notify->atom != m_property ||
            notify->state != XCB_PROPERTY_NEW_VALUE)
            return;
        std::optional<X11SelectionConnection::Property> piece =
            m_connection->property(m_window, m_property, true);
        if (!piece) {
            finish({});
            return;
        }
        if (piece->data.isEmpty()) { // the empty piece ends the transfer
            if (m_collected.type == XCB_ATOM_NONE)
                m_collected = std::move(*piece);
            finish(Result{std::move(m_collected), false});
            return;
        }
        if (m_collected.type == XCB_ATOM_NONE) {
            m_collected.type = piece->type;
            m_collected.format = piece->format;
        }
        m_collected.data.append(piece->data);
        if (m_collected.data.size() > m_active->byteLimit) {
            finish(Result{std::nullopt, false, true});
            return;
        }
        m_silence.start(m_active->silenceLimit);
    }
}

void X11SelectionReader::finish(Result result) {
    m_silence.stop();
    xcb_destroy_window(m_connection->get(), m_window);
    m_connection->flush();
    m_window = XCB_WINDOW_NONE;
    Done done = std::move(m_active->done);
    m_active.reset();
    done(std::move(result));
    if (!m_active)
        startNext();
}
