#include "platform/x11/X11Connection.h"

#include "base/Logger.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cstdlib>

X11Connection::X11Connection(const QByteArray& displayName) : m_displayName(displayName) {
    if (m_displayName.isEmpty())
        m_displayName = qgetenv("DISPLAY");
    int screenNumber = 0;
    m_connection = xcb_connect(m_displayName.isEmpty() ? nullptr : m_displayName.constData(), &screenNumber);
    if (xcb_connection_has_error(m_connection))
        return;
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(m_connection));
    for (int i = 0; i < screenNumber && screens.rem; ++i)
        xcb_screen_next(&screens);
    if (screens.rem)
        m_root = screens.data->root;
    m_notifier = new QSocketNotifier(xcb_get_file_descriptor(m_connection), QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &X11Connection::dispatch);
}

X11Connection::~X11Connection() {
    delete m_notifier;
    if (m_connection)
        xcb_disconnect(m_connection);
}

QString X11Connection::error() const {
    if (isOpen())
        return {};
    const QString display =
        m_displayName.isEmpty() ? QStringLiteral("（未设置）") : QString::fromLocal8Bit(m_displayName);
    if (m_lost)
        return QStringLiteral("与 X 服务器的连接已断开（DISPLAY=") + display + QLatin1Char(')');
    return QStringLiteral("无法连接 X 服务器（DISPLAY=") + display + QLatin1Char(')');
}

int X11Connection::check(xcb_void_cookie_t cookie) {
    xcb_generic_error_t* error = xcb_request_check(m_connection, cookie);
    dispatchSoon();
    if (!error)
        return 0;
    const int code = error->error_code;
    std::free(error);
    return code;
}

void X11Connection::flush() {
    xcb_flush(m_connection);
}

void X11Connection::dispatchSoon() {
    if (m_dispatchQueued)
        return;
    m_dispatchQueued = true;
    QMetaObject::invokeMethod(this, &X11Connection::dispatch, Qt::QueuedConnection);
}

void X11Connection::dispatch() {
    m_dispatchQueued = false;
    if (m_lost)
        return;
    while (xcb_generic_event_t* event = xcb_poll_for_event(m_connection)) {
        Q_EMIT eventReceived(event);
        std::free(event);
    }
    if (xcb_connection_has_error(m_connection)) {
        m_lost = true;
        m_notifier->setEnabled(false);
        loge(QStringLiteral("X11 连接已断开"));
        Q_EMIT connectionLost();
    }
}
