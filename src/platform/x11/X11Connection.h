#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <xcb/xcb.h>

class QSocketNotifier;

// VYRN's own xcb connection, read on the main thread through a QSocketNotifier.
// The hotkeys use it and listen to eventReceived.
//
// Why not Qt's connection through a native event filter: Qt's connection speaks
// XKB, and the server withholds some core MappingNotify events from XKB clients,
// which is how a moved Super or Num Lock is noticed; an own connection also works
// under any Qt platform plugin. The cost is one more socket; press to handler
// stays well under a millisecond (bench_hotkeys).
//
// After any call that blocks for a reply (xcb_*_reply, xcb_request_check), xcb may
// have read events off the socket into its own queue, where the notifier cannot
// see them: check() handles this itself, other callers call dispatchSoon().
class X11Connection : public QObject {
    Q_OBJECT
public:
    // Opens `displayName`, or DISPLAY when empty. See isOpen().
    explicit X11Connection(const QByteArray& displayName = {});
    ~X11Connection() override;
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    bool isOpen() const { return m_connection && !xcb_connection_has_error(m_connection); }
    // Chinese, for the log and the user; empty while open.
    QString error() const;
    xcb_connection_t* get() const { return m_connection; }
    xcb_window_t root() const { return m_root; }

    // Waits for a checked request; the X error code (BadAccess is 10), or 0.
    int check(xcb_void_cookie_t cookie);
    void flush();
    void dispatchSoon();

Q_SIGNALS:
    // Every event, in arrival order, on the main thread. Handlers must not delete
    // the connection.
    void eventReceived(const xcb_generic_event_t* event);
    void connectionLost();

private:
    void dispatch();

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = 0;
    QByteArray m_displayName;
    QSocketNotifier* m_notifier = nullptr;
    bool m_dispatchQueued = false;
    bool m_lost = false;
};
