#include "support/X11Desktop.h"

#include <QDeadlineTimer>
#include <QMap>
#include <QTest>

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>

namespace {
bool windowManagerRuns() {
    const QString check = X11Desktop::run(
        QStringLiteral("xprop"), {QStringLiteral("-root"), QStringLiteral("_NET_SUPPORTING_WM_CHECK")});
    const QString id = check.section(QLatin1Char('#'), 1).trimmed();
    // A window manager that went away may leave the property behind: its window must exist.
    return !id.isEmpty() && X11Desktop::run(QStringLiteral("xprop"),
                                            {QStringLiteral("-id"), id, QStringLiteral("_NET_WM_NAME")})
                                .contains(QLatin1Char('='));
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
    if (windowManagerRuns())
        return true;
    m_windowManager.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    for (QDeadlineTimer deadline(10000); !windowManagerRuns(); QTest::qWait(50)) {
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

void X11Desktop::stopTray() {
    stop(m_tray);
}

QString X11Desktop::run(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(10000);
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

qulonglong X11Desktop::activeWindow() {
    return run(QStringLiteral("xdotool"), {QStringLiteral("getactivewindow")}).toULongLong();
}

namespace {
QList<qulonglong> search(const QString& by, const QString& value) {
    QList<qulonglong> windows;
    const QString found = X11Desktop::run(
        QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"), by, value});
    for (const QString& line : found.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        windows.append(line.toULongLong());
    return windows;
}
} // namespace

QList<qulonglong> X11Desktop::windowsOf(qint64 pid) {
    return search(QStringLiteral("--pid"), QString::number(pid));
}

QList<qulonglong> X11Desktop::windowsNamed(const QString& pattern) {
    return search(QStringLiteral("--name"), pattern);
}

QString X11Desktop::windowName(qulonglong window) {
    return run(QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), QString::number(window)});
}

QRect X11Desktop::geometryOf(qulonglong window) {
    QMap<QString, int> values;
    const QString shell =
        run(QStringLiteral("xdotool"),
            {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), QString::number(window)});
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

void X11Desktop::click(QPoint at, int button) {
    run(QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
         QStringLiteral("click"), QString::number(button)});
}

void X11Desktop::key(const QString& keys) {
    run(QStringLiteral("xdotool"), {QStringLiteral("key"), keys});
}

void X11Desktop::requestClose(qulonglong window) {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection) == 0) {
        static const char name[] = "_NET_CLOSE_WINDOW";
        xcb_intern_atom_reply_t* atom =
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        if (atom) {
            xcb_client_message_event_t message{};
            message.response_type = XCB_CLIENT_MESSAGE;
            message.format = 32;
            message.window = xcb_window_t(window);
            message.type = atom->atom;
            message.data.data32[0] = XCB_CURRENT_TIME;
            message.data.data32[1] = 2; // from a pager or a user's tool
            xcb_send_event(connection, 0, root,
                           XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                           reinterpret_cast<const char*>(&message));
            xcb_flush(connection);
            std::free(atom);
        }
    }
    xcb_disconnect(connection);
}
