#pragma once

#include <QByteArray>
#include <QHash>
#include <QObject>

#include <xcb/xcb.h>

#include <deque>
#include <functional>
#include <memory>
#include <optional>

class QSocketNotifier;

// The X11 connection behind selected-text reading: PRIMARY and CLIPBOARD transfers,
// the restored clipboard, synthetic keys and the focus window.
//
// Its own connection rather than Qt's: QClipboard waits up to 5 s on the main thread
// for an owner that does not answer and cannot offer arbitrary targets byte for byte,
// while serving a restored clipboard means answering SelectionRequest events on a
// window whose events only we read. Events arrive on the main thread through a
// QSocketNotifier.
//
// Only requests the X server answers itself are waited for (atoms, properties,
// selection owners, the keymap, client ids); whatever another client must answer
// goes through events and timers, so a frozen program never holds VYRN.
class X11SelectionConnection : public QObject {
    Q_OBJECT
public:
    struct Property {
        xcb_atom_t type = XCB_ATOM_NONE;
        int format = 0;
        QByteArray data;
    };

    // Null when the display cannot be opened (DISPLAY when `displayName` is empty).
    static std::shared_ptr<X11SelectionConnection> open(const QByteArray& displayName = {});
    ~X11SelectionConnection() override;
    X11SelectionConnection(const X11SelectionConnection&) = delete;
    X11SelectionConnection& operator=(const X11SelectionConnection&) = delete;

    xcb_connection_t* get() const { return m_connection; }
    xcb_window_t root() const { return m_root; }
    // An unmapped window of ours: it owns the restored clipboard and hears of every
    // change of the clipboard's owner.
    xcb_window_t window() const { return m_window; }
    quint32 resourceIdMask() const { return m_resourceIdMask; }
    bool hasXTest() const { return m_hasXTest; }
    bool hasXFixes() const { return m_xfixesFirstEvent != 0; }
    quint8 xfixesFirstEvent() const { return m_xfixesFirstEvent; }

    xcb_atom_t atom(const QByteArray& name);
    QByteArray atomName(xcb_atom_t atom);
    xcb_atom_t selectionOwner(xcb_atom_t selection);
    std::optional<Property> property(xcb_window_t window, xcb_atom_t property, bool remove = false);
    // The process of the X client that created `window` (X-Resource), or 0.
    qint64 clientPid(xcb_window_t window);
    // An unmapped window that hears of its own property changes, for one transfer.
    xcb_window_t createTransferWindow();
    // A server timestamp: SetSelectionOwner must not use CurrentTime (ICCCM 2.1).
    void requestServerTime(std::function<void(xcb_timestamp_t)> done);

    void flush();
    // Events a waiting call has already read off the socket are delivered on the next turn.
    void dispatchSoon();

Q_SIGNALS:
    // Every event in arrival order, on the main thread.
    void eventReceived(const xcb_generic_event_t* event);

private:
    explicit X11SelectionConnection(xcb_connection_t* connection, int screen);
    void dispatch();
    void onEvent(const xcb_generic_event_t* event);

    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_root = 0;
    xcb_window_t m_window = 0;
    quint32 m_resourceIdMask = 0;
    bool m_hasXTest = false;
    bool m_hasXRes = false;
    quint8 m_xfixesFirstEvent = 0;
    QSocketNotifier* m_notifier = nullptr;
    bool m_dispatchQueued = false;
    bool m_lost = false;
    QHash<QByteArray, xcb_atom_t> m_atoms;
    QHash<xcb_atom_t, QByteArray> m_atomNames;
    std::deque<std::function<void(xcb_timestamp_t)>> m_timeRequests;
};
