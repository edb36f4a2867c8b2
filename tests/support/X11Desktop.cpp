#include "support/X11Desktop.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QMap>
#include <QTest>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>

DesktopProgram::DesktopProgram(const QString& program, const QStringList& arguments,
                               const QProcessEnvironment& environment) {
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(program, arguments);
    m_process.waitForStarted(10000);
}

DesktopProgram::~DesktopProgram() {
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

bool DesktopProgram::waitForLine(const QByteArray& line, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        m_output += m_process.readAllStandardOutput();
        const qsizetype at = m_output.indexOf(line);
        if (at >= 0 && (at == 0 || m_output.at(at - 1) == '\n')) {
            m_output.remove(0, at + line.size());
            return true;
        }
        if (m_process.state() != QProcess::Running)
            return false;
        QTest::qWait(10);
    }
    return false;
}

void DesktopProgram::write(const QByteArray& data) {
    m_process.write(data);
    m_process.waitForBytesWritten(3000);
}

namespace {

xcb_atom_t internAtom(xcb_connection_t* connection, const QByteArray& name) {
    auto* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, false, quint16(name.size()), name.constData()), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

QList<qulonglong> search(const QString& by, const QString& value) {
    QList<qulonglong> windows;
    const QString found =
        X11Desktop::xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), by, value});
    for (const QString& line : found.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        windows.append(line.toULongLong());
    return windows;
}

} // namespace

X11Desktop::~X11Desktop() {
    stop(m_tray);
    stop(m_windowManager);
}

void X11Desktop::stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000))
        process.kill();
    process.waitForFinished(5000);
}

bool X11Desktop::startWindowManager() {
    if (hasWindowManager())
        return true;
    m_windowManager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    for (QDeadlineTimer deadline(10000); !hasWindowManager(); QTest::qWait(50)) {
        if (deadline.hasExpired())
            return false;
        // Started again when it could not open the display: an X server whose last client
        // has just left resets and refuses connections for a moment.
        if (m_windowManager.state() == QProcess::NotRunning) {
            m_windowManager.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable")});
            if (!m_windowManager.waitForStarted())
                return false;
        }
    }
    return true;
}

bool X11Desktop::startTray() {
    m_tray.start(QStringLiteral("trayer"),
                 {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                  QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                  QStringLiteral("--width"), QStringLiteral("96"), QStringLiteral("--height"),
                  QStringLiteral("24"), QStringLiteral("--SetDockType"), QStringLiteral("true"),
                  QStringLiteral("--transparent"), QStringLiteral("false")});
    return m_tray.waitForStarted();
}

bool X11Desktop::hasWindowManager() {
    const QString check =
        run(QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
    const QString id = check.section(QLatin1Char('#'), 1).trimmed();
    // A window manager that went away may leave the property behind: its window must exist.
    return !id.isEmpty() &&
           run(QStringLiteral("xprop"), {QStringLiteral("-id"), id, QStringLiteral("_NET_WM_NAME")})
               .contains(QLatin1Char('='));
}

bool X11Desktop::hasAccessibilityBus() {
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    // The launcher may still be starting.
    return bus && QTest::qWaitFor(
                      [&] { return bus->isServiceRegistered(QStringLiteral("org.a11y.Bus")).value(); }, 5000);
}

QString X11Desktop::run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(15000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

qulonglong X11Desktop::activeWindow() {
    return xdotool({QStringLiteral("getactivewindow")}).toULongLong();
}

QList<qulonglong> X11Desktop::windowsOf(qint64 pid) {
    return search(QStringLiteral("--pid"), QString::number(pid));
}

QList<qulonglong> X11Desktop::windowsNamed(const QString& pattern) {
    return search(QStringLiteral("--name"), pattern);
}

qulonglong X11Desktop::waitForWindow(const QString& title) {
    QList<qulonglong> found;
    (void)QTest::qWaitFor([&] { return !(found = windowsNamed(u'^' + title + u'$')).isEmpty(); }, 15000);
    return found.value(0);
}

bool X11Desktop::activate(qulonglong window) {
    xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(window)});
    // The focus may sit on a child of the window.
    return QTest::qWaitFor(
        [&] {
            return xdotool({QStringLiteral("getwindowfocus"), QStringLiteral("-f")}).toULongLong() ==
                       window ||
                   activeWindow() == window;
        },
        5000);
}

QString X11Desktop::windowName(qulonglong window) {
    return xdotool({QStringLiteral("getwindowname"), QString::number(window)});
}

QRect X11Desktop::geometryOf(qulonglong window) {
    QMap<QString, int> values;
    const QString shell =
        xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::number(window)});
    for (const QString& line : shell.split(QLatin1Char('\n')))
        values.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1).toInt());
    return {values.value(QStringLiteral("X")), values.value(QStringLiteral("Y")),
            values.value(QStringLiteral("WIDTH")), values.value(QStringLiteral("HEIGHT"))};
}

bool X11Desktop::showsAlert(qint64 pid) {
    const QList<qulonglong> windows = windowsOf(pid);
    return std::any_of(windows.begin(), windows.end(), [](qulonglong window) {
        return windowName(window) == QStringLiteral("VYRN") && geometryOf(window).width() > 100;
    });
}

bool X11Desktop::isManaged(qulonglong window) {
    return run(QStringLiteral("xprop"),
               {QStringLiteral("-id"), QString::number(window), QStringLiteral("_NET_FRAME_EXTENTS")})
        .contains(QLatin1Char('='));
}

bool X11Desktop::inputIsFree(bool pointerToo) {
    // A grab of this connection ends with it.
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    auto* keyboard = xcb_grab_keyboard_reply(
        connection,
        xcb_grab_keyboard(connection, 0, root, XCB_CURRENT_TIME, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC),
        nullptr);
    auto* pointer = pointerToo
                        ? xcb_grab_pointer_reply(connection,
                                                 xcb_grab_pointer(connection, 0, root, 0, XCB_GRAB_MODE_ASYNC,
                                                                  XCB_GRAB_MODE_ASYNC, XCB_NONE, XCB_NONE,
                                                                  XCB_CURRENT_TIME),
                                                 nullptr)
                        : nullptr;
    const bool free = keyboard && keyboard->status == XCB_GRAB_STATUS_SUCCESS &&
                      (!pointerToo || (pointer && pointer->status == XCB_GRAB_STATUS_SUCCESS));
    std::free(keyboard);
    std::free(pointer);
    xcb_disconnect(connection);
    return free;
}

void X11Desktop::click(QPoint at, int button) {
    xdotool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
             QStringLiteral("click"), QString::number(button)});
}

void X11Desktop::key(const QString& keys) {
    xdotool({QStringLiteral("key"), keys});
}

void X11Desktop::requestClose(qulonglong window) {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) == 0) {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = xcb_window_t(window);
        message.type = internAtom(connection, "_NET_CLOSE_WINDOW");
        message.data.data32[0] = XCB_CURRENT_TIME;
        message.data.data32[1] = 2; // from a pager or a user's tool
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        xcb_send_event(connection, 0, root,
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
        xcb_flush(connection);
    }
    xcb_disconnect(connection);
}

void X11Desktop::clearSelections() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) == 0) {
        xcb_set_selection_owner(connection, XCB_WINDOW_NONE, internAtom(connection, "CLIPBOARD"),
                                XCB_CURRENT_TIME);
        xcb_set_selection_owner(connection, XCB_WINDOW_NONE, XCB_ATOM_PRIMARY, XCB_CURRENT_TIME);
        std::free(
            xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr)); // a round trip
    }
    xcb_disconnect(connection);
}
