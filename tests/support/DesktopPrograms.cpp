#include "support/DesktopPrograms.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QTest>

#include <xcb/xcb.h>

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

namespace Desktop {

QString xdotool(const QStringList& arguments, int timeoutMs) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    if (!process.waitForFinished(timeoutMs) || process.exitCode() != 0)
        return {};
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

quint32 waitForWindow(const QString& title, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        const QString found = xdotool({"search", "--onlyvisible", "--name", "^" + title + "$"});
        if (!found.isEmpty())
            return found.split('\n').first().toUInt();
        QTest::qWait(50);
    }
    return 0;
}

bool activate(quint32 window) {
    const QString id = QString::number(window);
    xdotool({"windowactivate", "--sync", id});
    const QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        // The focus may sit on a child of the window.
        const quint32 focused = xdotool({"getwindowfocus", "-f"}).toUInt();
        if (focused == window || xdotool({"getactivewindow"}) == id)
            return true;
        QTest::qWait(20);
    }
    return false;
}

namespace {

xcb_atom_t internAtom(xcb_connection_t* connection, const QByteArray& name) {
    auto* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, false, quint16(name.size()), name.constData()), nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

} // namespace

bool hasWindowManager() {
    int screen = 0;
    xcb_connection_t* connection = xcb_connect(nullptr, &screen);
    bool found = false;
    if (!xcb_connection_has_error(connection)) {
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
        auto* reply = xcb_get_property_reply(
            connection,
            xcb_get_property(connection, false, root, internAtom(connection, "_NET_SUPPORTING_WM_CHECK"),
                             XCB_ATOM_WINDOW, 0, 1),
            nullptr);
        found = reply && xcb_get_property_value_length(reply) == 4;
        std::free(reply);
    }
    xcb_disconnect(connection);
    return found;
}

bool hasAccessibilityBus() {
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    // The launcher may still be starting.
    return bus && QTest::qWaitFor(
                      [&] { return bus->isServiceRegistered(QStringLiteral("org.a11y.Bus")).value(); }, 5000);
}

void clearSelections() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(connection)) {
        xcb_disconnect(connection);
        return;
    }
    xcb_set_selection_owner(connection, XCB_WINDOW_NONE, internAtom(connection, "CLIPBOARD"),
                            XCB_CURRENT_TIME);
    xcb_set_selection_owner(connection, XCB_WINDOW_NONE, XCB_ATOM_PRIMARY, XCB_CURRENT_TIME);
    free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr)); // a round trip
    xcb_disconnect(connection);
}

} // namespace Desktop
