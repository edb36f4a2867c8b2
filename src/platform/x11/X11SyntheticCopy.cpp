#include "platform/x11/X11SyntheticCopy.h"

#include "base/Logger.h"

#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

constexpr quint32 keysymControlL = 0xffe3;
constexpr quint32 keysymC = 0x0063;
constexpr std::chrono::milliseconds keymapPollInterval{15};

// Key down and up as a person types them: Ctrl, 30 ms, C, 40 ms, C up, 30 ms, Ctrl up.
struct Stroke {
    bool control;
    bool down;
    int pauseAfterMs;
};
constexpr Stroke copyStrokes[] = {{true, true, 30}, {false, true, 40}, {false, false, 30}, {true, false, 0}};

} // namespace

X11SyntheticCopy::X11SyntheticCopy(std::shared_ptr<X11SelectionConnection> connection, QObject* parent)
    : QObject(parent), m_connection(std::move(connection)) {}

X11SyntheticCopy::~X11SyntheticCopy() {
    while (!m_pressed.empty())
        press(m_pressed.back(), false);
}

bool X11SyntheticCopy::anyKeyDown() {
    auto reply = std::unique_ptr<xcb_query_keymap_reply_t, decltype(&std::free)>(
        xcb_query_keymap_reply(m_connection->get(), xcb_query_keymap(m_connection->get()), nullptr),
        &std::free);
    m_connection->dispatchSoon();
    return reply &&
           std::any_of(std::begin(reply->keys), std::end(reply->keys), [](quint8 bits) { return bits; });
}

void X11SyntheticCopy::waitUntilNoKeyDown(std::chrono::milliseconds limit, Done done) {
    auto since = std::make_shared<QElapsedTimer>();
    since->start();
    auto check = std::make_shared<std::function<void()>>();
    *check = [this, self = QPointer<X11SyntheticCopy>(this), since, limit, done = std::move(done),
              weakCheck = std::weak_ptr(check)] {
        if (!self)
            return;
        if (!anyKeyDown()) {
            done(true);
            return;
        }
        if (since->elapsed() >= limit.count()) {
            done(false);
            return;
        }
        if (auto again = weakCheck.lock())
            QTimer::singleShot(keymapPollInterval, this, [again] { (*again)(); });
    };
    QTimer::singleShot(0, this, [check] { (*check)(); });
}

xcb_keycode_t X11SyntheticCopy::keycodeFor(quint32 keysym) {
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(m_connection->get());
    xcb_keycode_t* codes = symbols ? xcb_key_symbols_get_keycode(symbols, keysym) : nullptr;
    const xcb_keycode_t code = codes ? codes[0] : XCB_NO_SYMBOL;
    std::free(codes);
    if (symbols)
        xcb_key_symbols_free(symbols);
    m_connection->dispatchSoon();
    return code;
}

void X11SyntheticCopy::press(xcb_keycode_t key, bool down) {
    if (down)
        m_pressed.push_back(key);
    else
        m_pressed.erase(std::remove(m_pressed.begin(), m_pressed.end(), key), m_pressed.end());
    xcb_test_fake_input(m_connection->get(), down ? XCB_KEY_PRESS : XCB_KEY_RELEASE, key, XCB_CURRENT_TIME,
                        XCB_WINDOW_NONE, 0, 0, 0);
    m_connection->flush();
}

void X11SyntheticCopy::sendCopyShortcut(Done done) {
    const xcb_keycode_t control = keycodeFor(keysymControlL);
    const xcb_keycode_t c = keycodeFor(keysymC);
    if (!m_connection->hasXTest() || control == XCB_NO_SYMBOL || c == XCB_NO_SYMBOL) {
        loge(m_connection->hasXTest() ? QStringLiteral("当前键盘布局没有 Ctrl 或 C 键，无法发送 Ctrl+C")
                                      : QStringLiteral("X 服务器不支持 XTest，无法发送 Ctrl+C"));
        QTimer::singleShot(0, this, [done = std::move(done)] { done(false); });
        return;
    }
    auto step = std::make_shared<std::function<void(size_t)>>();
    *step = [this, self = QPointer<X11SyntheticCopy>(this), control, c, done = std::move(done),
             weakStep = std::weak_ptr(step)](size_t index) {
        if (!self)
            return;
        if (index == std::size(copyStrokes)) {
            done(true);
            return;
        }
        const Stroke& stroke = copyStrokes[index];
        press(stroke.control ? control : c, stroke.down);
        if (auto next = weakStep.lock())
            QTimer::singleShot(stroke.pauseAfterMs, this, [next, index] { (*next)(index + 1); });
    };
    (*step)(0);
}
