// Needs an X server (run under xvfb-run). Measures an XTest key press until the
// hotkey handler runs on the main thread, over VYRN's own connection and, for
// comparison, over Qt's connection with a native event filter; then installing and
// removing the result panel's three key grabs.
#include "BenchTiming.h"
#include "base/AppConstants.h"
#include "keys/HotkeyNames.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11HotkeyService.h"

#include <QAbstractNativeEventFilter>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>

#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <thread>

namespace {

constexpr int kPresses = 200;
constexpr xcb_keysym_t kSuperL = 0xffeb, kT = 0x74, kY = 0x79;

using Clock = std::chrono::steady_clock;

// A second client typing, as xdotool would.
class Typist {
public:
    explicit Typist(X11Connection& connection) : m_connection(connection) {
        m_symbols = xcb_key_symbols_alloc(connection.get());
    }
    ~Typist() { xcb_key_symbols_free(m_symbols); }
    xcb_keycode_t keycode(xcb_keysym_t keysym) {
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(m_symbols, keysym);
        const xcb_keycode_t code = codes ? codes[0] : 0;
        std::free(codes);
        return code;
    }
    void send(uint8_t type, xcb_keycode_t keycode) {
        xcb_test_fake_input(m_connection.get(), type, keycode, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
        xcb_flush(m_connection.get());
    }

private:
    X11Connection& m_connection;
    xcb_key_symbols_t* m_symbols;
};

// Presses Super+<key> kPresses times, each time running the event loop until
// `handled` says the handler has seen it; the press-to-handler times in ms.
std::vector<double> measurePresses(Typist& typist, xcb_keysym_t key, const std::function<bool()>& handled) {
    const xcb_keycode_t super = typist.keycode(kSuperL), code = typist.keycode(key);
    std::vector<double> samples;
    for (int i = 0; i < kPresses; ++i) {
        typist.send(XCB_KEY_PRESS, super);
        const Clock::time_point start = Clock::now();
        typist.send(XCB_KEY_PRESS, code);
        QElapsedTimer guard;
        guard.start();
        bool seen = false;
        while (!(seen = handled()) && guard.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        if (!seen)
            std::fprintf(stderr, "bench_hotkeys: press %d never reached the handler\n", i);
        samples.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        typist.send(XCB_KEY_RELEASE, code);
        typist.send(XCB_KEY_RELEASE, super);
        // A press in the millisecond of the key's release is how X reports auto-repeat.
        std::this_thread::sleep_for(std::chrono::milliseconds(3));
    }
    return samples;
}

class RootKeyFilter : public QAbstractNativeEventFilter {
public:
    xcb_window_t root = 0;
    int presses = 0;
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override {
        if (type != "xcb_generic_event_t")
            return false;
        auto* event = static_cast<xcb_generic_event_t*>(message);
        if ((event->response_type & 0x7f) != XCB_KEY_PRESS ||
            reinterpret_cast<xcb_key_press_event_t*>(event)->event != root)
            return false;
        ++presses;
        return true;
    }
};

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fprintf(stderr, "bench_hotkeys: no X server (DISPLAY unset); run it under xvfb-run\n");
        return 0;
    }
    qputenv("QT_QPA_PLATFORM", "xcb");
    QGuiApplication app(argc, argv);
    AppConstants::initialize();
    X11Connection connection, typing;
    X11HotkeyService service(connection);
    Typist typist(typing);

    {
        auto registration = service.registerHotkey(17, CarbonModifier::control);
        if (!registration) {
            std::fprintf(stderr, "bench_hotkeys: Super+T: %s\n", qPrintable(registration.failure->message));
            return 1;
        }
        int presses = 0, seen = 0;
        QObject::connect(registration.handle.get(), &HotkeyRegistration::pressed, [&] { ++presses; });
        reportSamples("press -> handler, own connection",
                      measurePresses(typist, kT, [&] { return presses > seen ? (++seen, true) : false; }),
                      "ms");
    }

    {
        auto* x11 = app.nativeInterface<QNativeInterface::QX11Application>();
        RootKeyFilter filter;
        xcb_connection_t* qtConnection = x11->connection();
        filter.root = xcb_setup_roots_iterator(xcb_get_setup(qtConnection)).data->root;
        app.installNativeEventFilter(&filter);
        const xcb_keycode_t y = typist.keycode(kY);
        xcb_grab_key(qtConnection, 0, filter.root, XCB_MOD_MASK_4, y, XCB_GRAB_MODE_ASYNC,
                     XCB_GRAB_MODE_ASYNC);
        xcb_flush(qtConnection);
        int seen = 0;
        reportSamples(
            "press -> handler, Qt's connection + filter",
            measurePresses(typist, kY, [&] { return filter.presses > seen ? (++seen, true) : false; }), "ms");
        xcb_ungrab_key(qtConnection, y, filter.root, XCB_MOD_MASK_4);
        app.removeNativeEventFilter(&filter);
    }

    reportTiming("grab and release the three panel keys", kPresses, [&] {
        auto close = service.grabTemporarily(53, 0);
        auto move = service.grabTemporarily(50, 0);
        auto split = service.grabTemporarily(2, CarbonModifier::control);
        if (!close || !move || !split)
            std::fprintf(stderr, "bench_hotkeys: a panel key was refused\n");
    });
    return 0;
}
