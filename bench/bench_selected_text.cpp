// Hotkey to text, per reader, against real programs: AT-SPI and PRIMARY on a GTK text
// view (zenity), PRIMARY on xterm, the copy fallback on the GTK view, and the whole
// reader for both programs. It opens windows, moves the focus and types, so it runs
// itself inside a private xvfb-run and dbus-run-session, never on the desktop it was
// started from, and brings up at-spi-bus-launcher and openbox there.

#include "BenchTiming.h"

#include "pipeline/CopySelectionFallback.h"
#include "pipeline/SelectedTextReader.h"
#include "platform/PlatformLoader.h"
#include "platform/PlatformServices.h"
#include "platform/atspi/AtspiAccessibilityReader.h"
#include "platform/x11/X11Clipboard.h"
#include "platform/x11/X11PrimarySelection.h"
#include "platform/x11/X11SourceWindow.h"
#include "platform/x11/X11SyntheticCopy.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <unistd.h>

namespace {

QString xdotool(const QStringList& arguments) {
    QProcess process;
    process.start(QStringLiteral("xdotool"), arguments);
    process.waitForFinished(10000);
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

bool hasWindowManager() {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start(QStringLiteral("xdotool"), {"get_num_desktops"});
    return process.waitForFinished(10000) && process.exitCode() == 0;
}

void spin(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool waitUntil(const std::function<bool()>& condition, int ms = 10000) {
    const QDeadlineTimer deadline(ms);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        spin(20);
    }
    return true;
}

quint32 focusWindow(const QString& title) {
    quint32 window = 0;
    waitUntil([&] {
        window =
            xdotool({"search", "--onlyvisible", "--name", "^" + title + "$"}).split('\n').first().toUInt();
        return window != 0;
    });
    // The window manager may still be taking the window in.
    const bool active = window && waitUntil([&] {
                            xdotool({"windowactivate", "--sync", QString::number(window)});
                            return xdotool({"getactivewindow"}).toUInt() == window;
                        });
    spin(300);
    return active ? window : 0;
}

using Answer = std::function<void(std::optional<QString>)>;

// Runs `start` with a callback and waits for it; wall-clock ms from start to answer,
// or -1 when the answer held no text.
template <typename Start> double timeAnswer(Start start) {
    QEventLoop loop;
    bool done = false;
    bool found = false;
    QElapsedTimer elapsed;
    elapsed.start();
    start(Answer([&](std::optional<QString> text) {
        done = true;
        found = text && !text->isEmpty();
        loop.quit();
    }));
    if (!done)
        loop.exec();
    return found ? double(elapsed.nsecsElapsed()) / 1e6 : -1;
}

template <typename Start> void measure(const char* name, int runs, Start start) {
    std::vector<double> samples;
    timeAnswer(start); // warm-up
    int empty = 0;
    for (int i = 0; i < runs; ++i)
        if (const double ms = timeAnswer(start); ms >= 0)
            samples.push_back(ms);
        else
            ++empty;
    reportSamples(name, samples, "ms");
    if (empty)
        std::fprintf(stderr, "%-42s %d of %d runs found no text\n", name, empty, runs);
}

std::unique_ptr<QProcess> startDetached(const QString& program, const QStringList& arguments) {
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->start(program, arguments);
    process->waitForStarted();
    return process;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        ::execlp("xvfb-run", "xvfb-run", "-a", "-s", "-screen 0 1920x1080x24 -nolisten tcp",
                 "dbus-run-session", "--", argv[0], static_cast<char*>(nullptr));
        std::fprintf(
            stderr,
            "bench_selected_text runs on a private X display: install xvfb (scripts/deps.sh --test)\n");
        return 1;
    }
    QCoreApplication app(argc, argv);
    std::vector<std::unique_ptr<QProcess>> desktop;
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    if (!bus->isServiceRegistered(QStringLiteral("org.a11y.Bus")))
        desktop.push_back(
            startDetached("/usr/libexec/at-spi-bus-launcher", {"--launch-immediately", "--a11y=0"}));
    if (!hasWindowManager())
        desktop.push_back(startDetached("openbox", {"--sm-disable"}));
    waitUntil([&] { return bus->isServiceRegistered(QStringLiteral("org.a11y.Bus")) && hasWindowManager(); });

    QTemporaryDir folder;
    QFile text(folder.filePath("zenity.txt"));
    text.open(QIODevice::WriteOnly);
    text.write("The quick brown fox jumps over the lazy dog.\nSecond line.\n");
    text.close();

    AtspiAccessibilityReader atspi(QStringLiteral(VYRN_ATSPI_READER));
    waitUntil([&] { return atspi.isReady(); });
    auto zenity = startDetached(
        "zenity", {"--text-info", "--editable", "--filename=" + text.fileName(), "--title=bench zenity"});
    if (!focusWindow("bench zenity")) {
        std::fprintf(stderr, "zenity did not show its window\n");
        return 1;
    }
    xdotool({"key", "ctrl+Home", "shift+End"});
    spin(300);

    std::shared_ptr<X11SelectionConnection> connection = X11SelectionConnection::open();
    X11SourceWindow probe(connection);
    const std::optional<SelectionSource> zenitySource = probe.capture();
    if (!zenitySource) {
        std::fprintf(stderr, "no active window (%s, window manager %s)\n",
                     qPrintable(xdotool({"getactivewindow"})), hasWindowManager() ? "running" : "missing");
        return 1;
    }
    measure("AT-SPI, GTK text view", 40,
            [&](Answer done) { atspi.read(zenitySource->pid, std::chrono::milliseconds(1000), done); });

    X11PrimarySelection primary(connection);
    measure("PRIMARY, GTK text view", 40, [&](Answer done) {
        primary.owner();
        primary.readText(done);
    });

    X11Clipboard clipboard(connection);
    X11SyntheticCopy keyboard(connection);
    CopySelectionFallback copy(clipboard, keyboard, probe);
    measure("copy fallback, GTK text view", 20, [&](Answer done) { copy.run(zenitySource, done); });

    SelectedTextReader reader(
        std::move(PlatformLoader::load(SessionType::X11, {QStringLiteral(VYRN_ATSPI_READER)})->selection));
    spin(500); // its AT-SPI reader starting
    measure("reader, zenity (AT-SPI)", 20, [&](Answer done) { reader.read(reader.captureSource(), done); });

    auto xterm = startDetached("xterm", {"-T", "bench xterm", "-geometry", "60x5+0+0", "-e", "sh", "-c",
                                         "echo a line in the terminal; exec sleep 600"});
    const quint32 xtermWindow = focusWindow("bench xterm");
    if (!xtermWindow) {
        std::fprintf(stderr, "xterm did not show its window\n");
        return 1;
    }
    xdotool({"mousemove", "--window", QString::number(xtermWindow), "40", "8", "click", "--repeat", "3",
             "--delay", "50", "1"});
    spin(300);
    measure("PRIMARY, xterm", 40, [&](Answer done) {
        primary.owner();
        primary.readText(done);
    });
    measure("reader, xterm (AT-SPI none, PRIMARY)", 20,
            [&](Answer done) { reader.read(reader.captureSource(), done); });

    for (auto* process : {xterm.get(), zenity.get()}) {
        process->kill();
        process->waitForFinished();
    }
    for (auto& process : desktop) {
        process->terminate();
        process->waitForFinished();
    }
    return 0;
}
