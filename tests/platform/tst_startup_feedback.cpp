#include "platform/x11/X11StartupFeedback.h"
#include "support/TestMain.h"

#include <QGuiApplication>
#include <QPainter>
#include <QRasterWindow>
#include <QTest>

#include <xcb/xcb.h>

#include <cstring>

namespace {

class PlainWindow : public QRasterWindow {
protected:
    void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(QRect(QPoint(), size()), Qt::white); }
};

xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t value = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    free(reply);
    return value;
}

} // namespace

// What a desktop's launcher and window manager see of a launch that VYRN completes on
// behalf of a second start: the window's _NET_STARTUP_ID and the "remove" message.
class TestStartupFeedback : public QObject {
    Q_OBJECT
    xcb_connection_t* listener = nullptr; // a launcher's connection
    xcb_atom_t infoBegin = 0, info = 0;

    // Startup-notification messages about the test's launches broadcast on the root window
    // since the last call (other programs on this display may broadcast too).
    QList<QByteArray> messages() {
        QList<QByteArray> complete;
        static QByteArray partial;
        while (xcb_generic_event_t* event = xcb_poll_for_event(listener)) {
            if ((event->response_type & 0x7f) == XCB_CLIENT_MESSAGE) {
                auto* message = reinterpret_cast<xcb_client_message_event_t*>(event);
                if (message->type == infoBegin)
                    partial.clear();
                if (message->type == infoBegin || message->type == info) {
                    const QByteArray chunk(reinterpret_cast<const char*>(message->data.data8), 20);
                    const qsizetype end = chunk.indexOf('\0');
                    partial += chunk.left(end < 0 ? 20 : end);
                    if (end >= 0 && partial.contains("vyrn-test-launcher"))
                        complete.append(partial);
                    if (end >= 0)
                        partial.clear();
                }
            }
            free(event);
        }
        return complete;
    }

    QByteArray startupIdOf(QWindow& window) {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            listener,
            xcb_get_property(listener, 0, xcb_window_t(window.winId()), atom(listener, "_NET_STARTUP_ID"),
                             XCB_GET_PROPERTY_TYPE_ANY, 0, 1024),
            nullptr);
        QByteArray value;
        if (reply)
            value = QByteArray(static_cast<const char*>(xcb_get_property_value(reply)),
                               xcb_get_property_value_length(reply));
        free(reply);
        return value;
    }

private Q_SLOTS:
    void initTestCase() {
        listener = xcb_connect(nullptr, nullptr);
        QVERIFY(!xcb_connection_has_error(listener));
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(listener)).data->root;
        const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
        xcb_change_window_attributes(listener, root, XCB_CW_EVENT_MASK, &mask);
        infoBegin = atom(listener, "_NET_STARTUP_INFO_BEGIN");
        info = atom(listener, "_NET_STARTUP_INFO");
    }
    void cleanupTestCase() { xcb_disconnect(listener); }

    // A plain id is sent as it is (below); one with blanks, quotes or backslashes is quoted.
    void removeMessageQuotes() {
        QCOMPARE(X11StartupFeedback::removeMessage("a \"b\"\\c"),
                 QByteArray("remove: ID=\"a \\\"b\\\"\\\\c\""));
    }

    // The window shown for the request carries the launch, the feedback ends, and a window
    // shown later for something else does not claim the launch.
    void namesTheWindowAndEndsTheFeedback() {
        const QByteArray id = "vyrn-test-launcher/vyrn/" +
                              QByteArray::number(QCoreApplication::applicationPid()) + "-0-host_TIME123456";
        PlainWindow settings, later;
        X11StartupFeedback::completeLaunch(id);
        settings.show();
        QVERIFY(QTest::qWaitForWindowExposed(&settings));
        QCOMPARE(startupIdOf(settings), id);
        QList<QByteArray> received;
        QTRY_VERIFY_WITH_TIMEOUT(!(received += messages()).isEmpty(), 10000);
        QCOMPARE(received, QList<QByteArray>{"remove: ID=" + id});

        later.show();
        QVERIFY(QTest::qWaitForWindowExposed(&later));
        QCOMPARE(startupIdOf(later), QByteArray());
    }
};

VYRN_TEST_MAIN(QGuiApplication, TestStartupFeedback, "xcb")
#include "tst_startup_feedback.moc"
