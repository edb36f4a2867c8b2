#pragma once

#include "pipeline/ClipboardSnapshot.h"
#include "platform/x11/X11SelectionConnection.h"

#include <QList>
#include <QObject>

#include <memory>

// Offers a snapshot's targets as the owner of a selection, byte for byte, with
// TARGETS, TIMESTAMP and MULTIPLE as ICCCM asks of every owner, and INCR for
// contents too large for one request. The contents stay on offer until another
// program takes the selection or VYRN quits.
class X11SelectionServer : public QObject {
    Q_OBJECT
public:
    X11SelectionServer(std::shared_ptr<X11SelectionConnection> connection, xcb_atom_t selection,
                       QObject* parent = nullptr);
    ~X11SelectionServer() override;

    // False when the server did not make VYRN the owner.
    bool own(const ClipboardSnapshot::Item& contents, xcb_timestamp_t time);
    bool owns() const { return m_owned; }
    const ClipboardSnapshot::Item& contents() const { return m_contents; }

private:
    struct Outgoing; // an INCR transfer in progress

    void onEvent(const xcb_generic_event_t* event);
    void answer(const xcb_selection_request_event_t& request);
    // Puts `target` on the requestor's property; false when it cannot be offered.
    bool serve(xcb_window_t requestor, xcb_atom_t target, xcb_atom_t property);
    bool serveMultiple(xcb_window_t requestor, xcb_atom_t property);
    void sendNextPiece(Outgoing& transfer);
    void endTransfer(xcb_window_t requestor, xcb_atom_t property);
    void watchRequestor(xcb_window_t requestor, bool watch);
    QList<xcb_atom_t> offeredTargets();

    std::shared_ptr<X11SelectionConnection> m_connection;
    xcb_atom_t m_selection;
    bool m_owned = false;
    xcb_timestamp_t m_time = XCB_CURRENT_TIME;
    ClipboardSnapshot::Item m_contents;
    std::vector<std::unique_ptr<Outgoing>> m_transfers;
    int m_pieceSize = 0;
};
