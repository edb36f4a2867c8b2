// The real program as a desktop starts it, on an X server, tray and session bus of the
// benchmark's own: launch to the ready line, launch to the tray icon on screen, a second
// start's round trip, and the memory of the idle program.
#include "BenchTiming.h"
#include "PrivateDisplay.h"
#include "support/PrivateSessionBus.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <xcb/xcb.h>

#include <csignal>
#include <cstring>
#include <functional>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 30000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QThread::usleep(500);
    }
    return true;
}

// A viewable window of `pid` below another window than the root: the tray has docked the
// icon and shows it.
class TrayWatch {
public:
    TrayWatch() : m_connection(xcb_connect(nullptr, nullptr)) {
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        const char* name = "_NET_WM_PID";
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name), nullptr);
        m_pidAtom = reply ? reply->atom : 0;
        free(reply);
    }
    ~TrayWatch() { xcb_disconnect(m_connection); }

    bool iconShown(qint64 pid) { return search(m_root, pid, false); }

private:
    bool search(xcb_window_t window, qint64 pid, bool insideAnother) {
        xcb_query_tree_reply_t* tree =
            xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, window), nullptr);
        if (!tree)
            return false;
        const xcb_window_t* children = xcb_query_tree_children(tree);
        const int count = xcb_query_tree_children_length(tree);
        bool found = false;
        for (int i = 0; i < count && !found; ++i) {
            if (insideAnother && ownedBy(children[i], pid) && viewable(children[i]))
                found = true;
            else
                found = search(children[i], pid, true);
        }
        free(tree);
        return found;
    }

    bool ownedBy(xcb_window_t window, qint64 pid) {
        xcb_get_property_reply_t* reply = xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, window, m_pidAtom, XCB_ATOM_CARDINAL, 0, 1),
            nullptr);
        const bool owned = reply && xcb_get_property_value_length(reply) == 4 &&
                           *static_cast<const uint32_t*>(xcb_get_property_value(reply)) == uint32_t(pid);
        free(reply);
        return owned;
    }

    bool viewable(xcb_window_t window) {
        xcb_get_window_attributes_reply_t* reply = xcb_get_window_attributes_reply(
            m_connection, xcb_get_window_attributes(m_connection, window), nullptr);
        const bool shown = reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
        free(reply);
        return shown;
    }

    xcb_connection_t* m_connection;
    xcb_window_t m_root = 0;
    xcb_atom_t m_pidAtom = 0;
};

QProcessEnvironment programEnvironment(const PrivateSessionBus& bus, const QString& home) {
    QProcessEnvironment environment = bus.environment(QProcessEnvironment::systemEnvironment());
    // As a desktop starts it: the platform and thread limit are the program's own business.
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));
    environment.remove(QStringLiteral("OMP_THREAD_LIMIT"));
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/.config"));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), home + QStringLiteral("/.local/state"));
    return environment;
}

void stopProgram(QProcess& vyrn) {
    ::kill(pid_t(vyrn.processId()), SIGTERM);
    vyrn.waitForFinished(20000);
}

// Proportional set size of the process, in MB.
double pssMb(qint64 pid) {
    QFile file(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.startsWith("Pss:"))
            return line.mid(4).trimmed().split(' ').constFirst().toDouble() / 1024.0;
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    PrivateDisplay display;
    if (const QString failure = display.start({1920, 1080}, true); !failure.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(failure));
        return 1;
    }
    QProcess tray;
    tray.start(QStringLiteral("trayer"),
               {QStringLiteral("--edge"), QStringLiteral("top"), QStringLiteral("--align"),
                QStringLiteral("right"), QStringLiteral("--widthtype"), QStringLiteral("pixel"),
                QStringLiteral("--width"), QStringLiteral("96")});
    PrivateSessionBus bus;
    QTemporaryDir home;
    if (!tray.waitForStarted() || !bus.isRunning() || !home.isValid()) {
        std::fprintf(stderr, "trayer, dbus-daemon or a temporary folder is missing\n");
        return 1;
    }
    QDir().mkpath(home.filePath(QStringLiteral(".config/vyrn")));
    // The update check (3 s after launch) must not wait for a network during the PSS reading.
    QFile preferences(home.filePath(QStringLiteral(".config/vyrn/preferences.json")));
    preferences.open(QIODevice::WriteOnly);
    preferences.write(
        R"({"kavelin.updateBaseURL": "http://127.0.0.1:9", "kavelin.telemetryEnabled": false})");
    preferences.close();
    const QProcessEnvironment environment = programEnvironment(bus, home.path());
    TrayWatch watch;
    QThread::sleep(1); // trayer maps its panel

    std::vector<double> ready, icon, roundTrip;
    double idlePss = -1;
    for (int run = 0; run < 12; ++run) {
        QProcess vyrn;
        vyrn.setProcessEnvironment(environment);
        QByteArray output;
        const Clock::time_point start = Clock::now();
        vyrn.start(QStringLiteral(VYRN_BINARY), {QStringLiteral("--background")});
        double readyMs = -1, iconMs = -1;
        waitUntil([&] {
            vyrn.waitForReadyRead(0);
            output += vyrn.readAllStandardOutput();
            if (readyMs < 0 && output.contains(" 就绪 — "))
                readyMs = msSince(start);
            if (iconMs < 0 && watch.iconShown(vyrn.processId()))
                iconMs = msSince(start);
            return readyMs >= 0 && iconMs >= 0;
        });
        if (run >= 2) { // the first runs warm the disk cache
            ready.push_back(readyMs);
            icon.push_back(iconMs);
        }
        if (run == 2) {
            QThread::sleep(5); // past the update check: the program as it waits for a hotkey
            idlePss = pssMb(vyrn.processId());
        }
        for (int second = 0; second < 4; ++second) {
            QProcess other;
            other.setProcessEnvironment(environment);
            const Clock::time_point asked = Clock::now();
            other.start(QStringLiteral(VYRN_BINARY), {QStringLiteral("--settings")});
            other.waitForFinished(10000);
            if (run >= 2)
                roundTrip.push_back(msSince(asked));
        }
        stopProgram(vyrn);
    }
    reportSamples("launch -> ready line", ready, "ms");
    reportSamples("launch -> tray icon shown", icon, "ms");
    reportSamples("second start -> request handed over, exit", roundTrip, "ms");
    std::fprintf(stderr, "%-42s %.1f MB\n", "idle PSS (ready, after the update check)", idlePss);
    tray.kill();
    tray.waitForFinished();
    return 0;
}
