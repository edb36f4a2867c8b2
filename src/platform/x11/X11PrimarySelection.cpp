#include "platform/x11/X11PrimarySelection.h"

X11PrimarySelection::X11PrimarySelection(std::shared_ptr<X11SelectionConnection> connection)
    : m_connection(std::move(connection)), m_reader(m_connection) {}

std::optional<PrimarySelectionOwner> X11PrimarySelection::owner() {
    const xcb_window_t window = m_connection->selectionOwner(XCB_ATOM_PRIMARY);
    if (window == XCB_WINDOW_NONE)
        return std::nullopt;
    return PrimarySelectionOwner{window, m_connection->clientPid(window), m_connection->resourceIdMask()};
}

void X11PrimarySelection::readText(TextDone done) {
    m_reader.readText(XCB_ATOM_PRIMARY, silenceLimit, std::move(done));
}
