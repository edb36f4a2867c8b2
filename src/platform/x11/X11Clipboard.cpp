#include "platform/x11/X11Clipboard.h"

#include "base/Logger.h"

#include <QLocale>
#include <QPointer>
#include <QTimer>

#include <xcb/xfixes.h>

struct X11Clipboard::Capture {
    QList<xcb_atom_t> targets;
    qsizetype next = 0;
    qsizetype bytes = 0;
    ClipboardSnapshot::Item item;
    SnapshotDone done;
};

X11Clipboard::X11Clipboard(std::shared_ptr<X11SelectionConnection> connection, QObject* parent)
    : QObject(parent), m_connection(std::move(connection)), m_clipboard(m_connection->atom("CLIPBOARD")),
      m_reader(m_connection), m_server(m_connection, m_clipboard) {
    if (m_connection->hasXFixes()) {
        xcb_xfixes_select_selection_input(m_connection->get(), m_connection->window(), m_clipboard,
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
        m_connection->flush();
    } else {
        loge(QStringLiteral("X 服务器不支持 XFixes：无法察觉剪贴板变化，Ctrl+C 兜底只能依靠最后一次读取"));
    }
    connect(m_connection.get(), &X11SelectionConnection::eventReceived, this, &X11Clipboard::onEvent);
}

void X11Clipboard::onEvent(const xcb_generic_event_t* event) {
    if (!m_connection->hasXFixes() ||
        (event->response_type & 0x7f) != m_connection->xfixesFirstEvent() + XCB_XFIXES_SELECTION_NOTIFY)
        return;
    if (reinterpret_cast<const xcb_xfixes_selection_notify_event_t*>(event)->selection != m_clipboard)
        return;
    ++m_changeCount;
    if (m_listener)
        m_listener();
}

void X11Clipboard::capture(SnapshotDone done) {
    const xcb_window_t owner = m_connection->selectionOwner(m_clipboard);
    if (owner == XCB_WINDOW_NONE || (owner == m_connection->window() && m_server.owns())) {
        ClipboardSnapshot snapshot;
        if (owner != XCB_WINDOW_NONE)
            snapshot.items.append(m_server.contents());
        QTimer::singleShot(0, this, [done = std::move(done), snapshot] { done(snapshot); });
        return;
    }
    auto capture = std::make_shared<Capture>();
    capture->done = std::move(done);
    m_reader.read(
        m_clipboard, m_connection->atom("TARGETS"), targetSilenceLimit,
        [this, capture, self = QPointer<X11Clipboard>(this)](X11SelectionReader::Result result) {
            if (!self)
                return;
            if (!result.data || result.data->format != 32) {
                logi(result.timedOut ? QStringLiteral("剪贴板所有者 %1 ms 内未答复可用格式（TARGETS）")
                                           .arg(targetSilenceLimit.count())
                                     : QStringLiteral("剪贴板所有者拒绝列出可用格式（TARGETS）"));
                capture->done(std::nullopt);
                return;
            }
            // Protocol targets are answered by whoever owns the clipboard, not copied.
            static const QList<QByteArray> protocol = {"TARGETS",        "MULTIPLE", "TIMESTAMP",
                                                       "SAVE_TARGETS",   "DELETE",   "INSERT_SELECTION",
                                                       "INSERT_PROPERTY"};
            const auto* atoms = reinterpret_cast<const xcb_atom_t*>(result.data->data.constData());
            for (qsizetype i = 0; i < result.data->data.size() / 4; ++i)
                if (atoms[i] != XCB_ATOM_NONE && !capture->targets.contains(atoms[i]) &&
                    !protocol.contains(m_connection->atomName(atoms[i])))
                    capture->targets.append(atoms[i]);
            captureNext(capture);
        });
}

void X11Clipboard::captureNext(std::shared_ptr<Capture> capture) {
    if (capture->next == capture->targets.size()) {
        ClipboardSnapshot snapshot;
        snapshot.items.append(std::move(capture->item));
        capture->done(std::move(snapshot));
        return;
    }
    const xcb_atom_t target = capture->targets.at(capture->next++);
    m_reader.read(
        m_clipboard, target, targetSilenceLimit,
        [this, capture, target, self = QPointer<X11Clipboard>(this)](X11SelectionReader::Result result) {
            if (!self)
                return;
            const QByteArray name = m_connection->atomName(target);
            if (result.tooLarge) {
                logi(QStringLiteral("剪贴板内容超过 %1（读到格式 %2 时），无法完整保存")
                         .arg(QLocale::c().formattedDataSize(m_snapshotLimit, 0,
                                                             QLocale::DataSizeTraditionalFormat))
                         .arg(QString::fromLatin1(name)));
                capture->done(std::nullopt);
                return;
            }
            if (result.timedOut) {
                // One silence is enough: an owner that hangs on one format hangs on the next.
                logi(QStringLiteral("剪贴板格式 %1 在 %2 ms 内未答复：所有者无响应，跳过其余格式")
                         .arg(QString::fromLatin1(name))
                         .arg(targetSilenceLimit.count()));
                capture->next = capture->targets.size();
            } else if (result.data) {
                capture->bytes += result.data->data.size();
                capture->item.types.append({name, m_connection->atomName(result.data->type),
                                            result.data->format, result.data->data});
            }
            captureNext(capture);
        },
        m_snapshotLimit - capture->bytes);
}

void X11Clipboard::readText(TextDone done) {
    m_reader.readText(m_clipboard, targetSilenceLimit, std::move(done));
}

void X11Clipboard::restore(const ClipboardSnapshot& snapshot, RestoreDone done) {
    m_connection->requestServerTime(
        [this, self = QPointer<X11Clipboard>(this), snapshot, done = std::move(done)](xcb_timestamp_t time) {
            if (!self) {
                done(false);
                return;
            }
            if (!snapshot.items.isEmpty()) {
                done(m_server.own(snapshot.items.first(), time));
                return;
            }
            // Empty before the copy, empty after it.
            xcb_set_selection_owner(m_connection->get(), XCB_WINDOW_NONE, m_clipboard, time);
            done(m_connection->selectionOwner(m_clipboard) == XCB_WINDOW_NONE);
        });
}
