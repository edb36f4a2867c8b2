#include "platform/x11/X11HotkeyService.h"

#include "base/Logger.h"
#include "keys/HotkeyNames.h"
#include "platform/x11/X11Connection.h"

#include <QTimer>

#include <xcb/xcb_keysyms.h>

#include <cstdlib>

using namespace LinuxKeyMap;

namespace {

constexpr int kBadAccess = 10;
constexpr int kKeysymColumns = 4; // both groups, both levels: enough to find the modifier keys

KeyGrabFailure failure(KeyGrabError error, const QString& message) {
    return {error, message};
}

} // namespace

X11HotkeyService::X11HotkeyService(X11Connection& connection) : m_connection(connection) {
    m_keySymbols = xcb_key_symbols_alloc(m_connection.get());
    readKeyboard();
    connect(&m_connection, &X11Connection::eventReceived, this, &X11HotkeyService::handleEvent);
}

X11HotkeyService::~X11HotkeyService() {
    for (Grab& grab : m_grabs)
        ungrab(grab);
    m_connection.flush();
    // Handles that outlive the service are inert; their QPointer to it is cleared by now.
    xcb_key_symbols_free(m_keySymbols);
}

std::optional<KeyGrabFailure> X11HotkeyService::unavailable() const {
    if (m_connection.isOpen())
        return std::nullopt;
    return failure(KeyGrabError::ServerError, m_connection.error());
}

X11HotkeyService::Grab* X11HotkeyService::findGrab(int keyCode, int modifiers) {
    for (Grab& grab : m_grabs) {
        if (grab.keyCode == keyCode && grab.modifiers == (modifiers & CarbonModifier::all))
            return &grab;
    }
    return nullptr;
}

KeyGrabResult<HotkeyRegistration> X11HotkeyService::registerHotkey(int keyCode, int modifiers) {
    if (Grab* existing = findGrab(keyCode, modifiers)) {
        if (existing->registrationId)
            return {nullptr,
                    failure(KeyGrabError::HeldByVyrn, QStringLiteral("已被 VYRN 的另一个快捷键使用"))};
        logi(QStringLiteral("全局快捷键 ") + hotkeyDisplayString(keyCode, modifiers) +
             QStringLiteral(" 接管了面板按键"));
        existing->registrationId = m_nextId++;
        auto handle = makeHandle<HotkeyRegistration>(existing->registrationId, keyCode, modifiers);
        m_handles.insert(existing->registrationId, handle.get());
        return {std::move(handle), std::nullopt};
    }
    Grab grab{keyCode, modifiers & CarbonModifier::all, {}, m_nextId, {}};
    if (std::optional<KeyGrabFailure> refused = this->grab(grab))
        return {nullptr, refused};
    ++m_nextId;
    m_grabs.append(grab);
    auto handle = makeHandle<HotkeyRegistration>(grab.registrationId, keyCode, modifiers);
    m_handles.insert(grab.registrationId, handle.get());
    return {std::move(handle), std::nullopt};
}

KeyGrabResult<TemporaryKeyGrab> X11HotkeyService::grabTemporarily(int keyCode, int modifiers) {
    const int id = m_nextId;
    Grab* grab = findGrab(keyCode, modifiers);
    if (grab && grab->registrationId) {
        loge(QStringLiteral("面板按键 ") + hotkeyDisplayString(keyCode, modifiers) +
             QStringLiteral(" 与全局快捷键相同，未抓取"));
        return {nullptr, failure(KeyGrabError::HeldByVyrn, QStringLiteral("已被 VYRN 的另一个快捷键使用"))};
    }
    if (!grab) {
        Grab fresh{keyCode, modifiers & CarbonModifier::all, {}, 0, {}};
        if (std::optional<KeyGrabFailure> refused = this->grab(fresh))
            return {nullptr, refused};
        m_grabs.append(fresh);
        grab = &m_grabs.last();
    }
    ++m_nextId;
    grab->temporaryIds.append(id);
    auto handle = makeHandle<TemporaryKeyGrab>(id, keyCode, modifiers);
    m_handles.insert(id, handle.get());
    return {std::move(handle), std::nullopt};
}

void X11HotkeyService::release(int id) {
    m_handles.remove(id);
    for (qsizetype i = 0; i < m_grabs.size(); ++i) {
        Grab& grab = m_grabs[i];
        if (grab.registrationId == id)
            grab.registrationId = 0;
        else if (!grab.temporaryIds.removeOne(id))
            continue;
        if (!grab.registrationId && grab.temporaryIds.isEmpty()) {
            ungrab(grab);
            m_connection.flush();
            m_grabs.removeAt(i);
        }
        return;
    }
}

std::optional<KeyGrabFailure> X11HotkeyService::grab(Grab& grab) {
    if (!m_connection.isOpen())
        return failure(KeyGrabError::ServerError, m_connection.error());
    const std::optional<quint32> keysym = x11KeysymForKeyCode(grab.keyCode);
    if (!keysym)
        return failure(KeyGrabError::KeyNotOnKeyboard, QStringLiteral("这个键在 Linux 键盘上没有对应的键"));
    const std::optional<quint16> state = x11StateFromCarbonModifiers(grab.modifiers, m_modifierMap);
    if (!state) {
        const bool superMissing = (grab.modifiers & CarbonModifier::control) && !m_modifierMap.super;
        return failure(KeyGrabError::ModifierNotOnKeyboard,
                       superMissing ? QStringLiteral("当前键盘布局中没有 Super 键")
                                    : QStringLiteral("当前键盘布局中没有 Alt 键"));
    }

    QList<KeyAndState> wanted;
    if (xcb_keycode_t* keycodes = xcb_key_symbols_get_keycode(m_keySymbols, *keysym)) {
        for (xcb_keycode_t* keycode = keycodes; *keycode != XCB_NO_SYMBOL; ++keycode) {
            for (quint16 locks : lockStateVariants(*state, m_modifierMap)) {
                const KeyAndState pair{*keycode, quint16(*state | locks)};
                if (!wanted.contains(pair))
                    wanted.append(pair);
            }
        }
        std::free(keycodes);
    }
    m_connection.dispatchSoon();
    if (wanted.isEmpty())
        return failure(KeyGrabError::KeyNotOnKeyboard, QStringLiteral("当前键盘布局中没有这个键"));
    // Two key codes can share a physical key (Print and Alt+Print's Sys_Req).
    for (const Grab& other : std::as_const(m_grabs)) {
        for (const KeyAndState& pair : other.held) {
            if (&other != &grab && wanted.contains(pair))
                return failure(KeyGrabError::HeldByVyrn, QStringLiteral("已被 VYRN 的另一个快捷键使用"));
        }
    }

    QList<xcb_void_cookie_t> cookies;
    for (const KeyAndState& pair : std::as_const(wanted))
        cookies.append(xcb_grab_key_checked(m_connection.get(), 0, m_connection.root(), pair.state,
                                            pair.keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    int firstError = 0;
    for (qsizetype i = 0; i < cookies.size(); ++i) {
        const int error = m_connection.check(cookies[i]);
        if (error == 0)
            grab.held.append(wanted[i]);
        else if (!firstError)
            firstError = error;
    }
    if (!firstError)
        return std::nullopt;
    ungrab(grab);
    m_connection.flush();
    if (firstError == kBadAccess)
        return failure(KeyGrabError::HeldByAnotherProgram, QStringLiteral("该键已被其他程序占用"));
    return failure(KeyGrabError::ServerError, QStringLiteral("X 服务器拒绝了按键抓取（错误码 ") +
                                                  QString::number(firstError) + QLatin1Char(')'));
}

void X11HotkeyService::ungrab(Grab& grab) {
    for (const KeyAndState& pair : std::as_const(grab.held))
        xcb_ungrab_key(m_connection.get(), pair.keycode, m_connection.root(), pair.state);
    grab.held.clear();
}

void X11HotkeyService::readKeyboard() {
    xcb_connection_t* connection = m_connection.get();
    xcb_get_modifier_mapping_reply_t* reply =
        xcb_get_modifier_mapping_reply(connection, xcb_get_modifier_mapping(connection), nullptr);
    m_connection.dispatchSoon();
    if (!reply)
        return;
    std::array<QList<quint32>, 8> keysyms;
    const xcb_keycode_t* keycodes = xcb_get_modifier_mapping_keycodes(reply);
    const int perModifier = reply->keycodes_per_modifier;
    for (int modifier = 0; modifier < 8; ++modifier) {
        for (int i = 0; i < perModifier; ++i) {
            const xcb_keycode_t keycode = keycodes[modifier * perModifier + i];
            for (int column = 0; keycode && column < kKeysymColumns; ++column) {
                if (const xcb_keysym_t keysym = xcb_key_symbols_get_keysym(m_keySymbols, keycode, column))
                    keysyms[size_t(modifier)].append(keysym);
            }
        }
    }
    std::free(reply);
    m_modifierMap = X11ModifierMap::fromModifierKeysyms(keysyms);
}

void X11HotkeyService::renewGrabs() {
    m_renewQueued = false;
    for (Grab& grab : m_grabs)
        ungrab(grab);
    readKeyboard();
    for (Grab& grab : m_grabs) {
        if (std::optional<KeyGrabFailure> refused = this->grab(grab))
            loge(QStringLiteral("键盘映射改变后无法重新抓取 ") +
                 hotkeyDisplayString(grab.keyCode, grab.modifiers) + QStringLiteral(": ") + refused->message);
    }
    m_connection.flush();
    Q_EMIT keyboardMappingChanged();
}

void X11HotkeyService::handleEvent(const xcb_generic_event_t* event) {
    switch (event->response_type & ~0x80) {
    case XCB_KEY_PRESS: {
        const auto* press = reinterpret_cast<const xcb_key_press_event_t*>(event);
        if (press->event == m_connection.root())
            handlePress(press->detail, press->state & X11Modifier::all, press->time);
        break;
    }
    case XCB_KEY_RELEASE: {
        const auto* release = reinterpret_cast<const xcb_key_release_event_t*>(event);
        m_lastRelease.insert(release->detail, release->time);
        break;
    }
    case XCB_MAPPING_NOTIFY: {
        auto* mapping = const_cast<xcb_mapping_notify_event_t*>(
            reinterpret_cast<const xcb_mapping_notify_event_t*>(event));
        if (mapping->request == XCB_MAPPING_POINTER)
            break;
        xcb_refresh_keyboard_mapping(m_keySymbols, mapping);
        // Tools like xmodmap send a burst of these: renew once, after the burst.
        if (!m_renewQueued) {
            m_renewQueued = true;
            QTimer::singleShot(0, this, &X11HotkeyService::renewGrabs);
        }
        break;
    }
    default:
        break;
    }
}

void X11HotkeyService::handlePress(xcb_keycode_t keycode, quint16 state, xcb_timestamp_t time) {
    if (m_lastRelease.value(keycode, XCB_CURRENT_TIME) == time && time != XCB_CURRENT_TIME)
        return;
    for (const Grab& grab : std::as_const(m_grabs)) {
        if (!grab.held.contains(KeyAndState{keycode, state}))
            continue;
        if (grab.registrationId) {
            if (auto* registration = qobject_cast<HotkeyRegistration*>(m_handles.value(grab.registrationId)))
                Q_EMIT registration->pressed(time);
        } else if (!grab.temporaryIds.isEmpty()) {
            if (auto* temporary = qobject_cast<TemporaryKeyGrab*>(m_handles.value(grab.temporaryIds.last())))
                Q_EMIT temporary->triggered(time);
        }
        return;
    }
}
