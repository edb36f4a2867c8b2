#pragma once

#include "pipeline/ClipboardAccess.h"
#include "platform/x11/X11SelectionReader.h"
#include "platform/x11/X11SelectionServer.h"

#include <QObject>

#include <memory>

// The CLIPBOARD selection: a snapshot of everything its owner offers, read target by
// target with a bound on each, and the restore, which VYRN then serves itself.
class X11Clipboard : public QObject, public ClipboardAccess {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds targetSilenceLimit{300};
    // What a snapshot holds at most, all targets together: an image copied in some programs
    // comes in a dozen formats, hundreds of MB, which VYRN would keep serving afterwards.
    static constexpr qsizetype snapshotLimit = 32 * 1024 * 1024;

    explicit X11Clipboard(std::shared_ptr<X11SelectionConnection> connection, QObject* parent = nullptr);

    quint64 changeCount() const override { return m_changeCount; }
    void setChangeListener(std::function<void()> listener) override { m_listener = std::move(listener); }
    void capture(SnapshotDone done) override;
    void readText(TextDone done) override;
    void restore(const ClipboardSnapshot& snapshot, RestoreDone done) override;
    void setSnapshotLimitForTesting(qsizetype bytes) { m_snapshotLimit = bytes; }

private:
    struct Capture;
    void onEvent(const xcb_generic_event_t* event);
    void captureNext(std::shared_ptr<Capture> capture);

    std::shared_ptr<X11SelectionConnection> m_connection;
    xcb_atom_t m_clipboard;
    X11SelectionReader m_reader;
    X11SelectionServer m_server;
    quint64 m_changeCount = 0;
    qsizetype m_snapshotLimit = snapshotLimit;
    std::function<void()> m_listener;
};
