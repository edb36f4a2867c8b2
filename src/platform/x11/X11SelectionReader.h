#pragma once

#include "platform/x11/X11SelectionConnection.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <optional>

// Asks a selection's owner for one target and collects the answer, also when it comes
// in pieces (INCR). A request ends when the owner refuses, or stays silent for the
// given limit; a slow owner that keeps sending is not cut off. Requests run one at a
// time, each with a window of its own, so a late answer to an abandoned request
// cannot end up in the next one.
class X11SelectionReader : public QObject {
    Q_OBJECT
public:
    struct Result {
        std::optional<X11SelectionConnection::Property> data; // type INCR never appears here
        bool timedOut = false;
        bool tooLarge = false; // more than the request's byte limit; no data then
    };
    using Done = std::function<void(Result)>;
    using TextDone = std::function<void(std::optional<QString>)>;

    explicit X11SelectionReader(std::shared_ptr<X11SelectionConnection> connection,
                                QObject* parent = nullptr);
    ~X11SelectionReader() override;

    // An answer beyond `byteLimit` is given up as soon as its size shows, not read to the end.
    void read(xcb_atom_t selection, xcb_atom_t target, std::chrono::milliseconds silenceLimit, Done done,
              qsizetype byteLimit = std::numeric_limits<qsizetype>::max());
    // UTF8_STRING, else STRING; nothing when neither comes.
    void readText(xcb_atom_t selection, std::chrono::milliseconds silenceLimit, TextDone done);

private:
    struct Request {
        xcb_atom_t selection = XCB_ATOM_NONE;
        xcb_atom_t target = XCB_ATOM_NONE;
        std::chrono::milliseconds silenceLimit{0};
        Done done;
        qsizetype byteLimit = 0;
    };
    void startNext();
    void onEvent(const xcb_generic_event_t* event);
    void finish(Result result);

    std::shared_ptr<X11SelectionConnection> m_connection;
    std::deque<Request> m_queue;
    std::optional<Request> m_active;
    xcb_window_t m_window = XCB_WINDOW_NONE;
    xcb_atom_t m_property = XCB_ATOM_NONE;
    bool m_incremental = false;
    X11SelectionConnection::Property m_collected;
    QTimer m_silence;
};
