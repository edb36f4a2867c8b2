#include "platform/RecordingKeyboard.h"

#include "keys/LinuxKeyMap.h"

#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>

namespace {

bool onX11() {
    return QGuiApplication::platformName() == QLatin1String("xcb");
}

// The first group's and the second group's unshifted symbols, in that order: a layout whose
// first group is not Latin (ru, with us as the second) still names letter keys.
// Asked on Qt's connection, which delivered the press: its event reader does not depend on
// this wait.
QList<quint32> unshiftedKeysyms(xcb_connection_t* connection, xcb_keycode_t keycode) {
    QList<quint32> keysyms;
    xcb_get_keyboard_mapping_reply_t* reply =
        xcb_get_keyboard_mapping_reply(connection, xcb_get_keyboard_mapping(connection, keycode, 1), nullptr);
    if (!reply)
        return keysyms;
    const xcb_keysym_t* symbols = xcb_get_keyboard_mapping_keysyms(reply);
    const int count = xcb_get_keyboard_mapping_keysyms_length(reply);
    for (int column : {0, 2})
        if (column < count && symbols[column] != 0)
            keysyms.append(symbols[column]);
    free(reply);
    return keysyms;
}

} // namespace

namespace RecordingKeyboard {

bool hold(QWindow* window) {
    return window->setKeyboardGrabEnabled(true);
}

void release(QWindow* window) {
    window->setKeyboardGrabEnabled(false);
    // Qt sends its requests when it next handles an event; until then the desktop's keys
    // would still come here.
    if (onX11())
        if (auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>())
            xcb_flush(x11->connection());
}

std::optional<int> keyCodeOfPress(quint32 nativeScanCode, int qtKey, Qt::KeyboardModifiers modifiers) {
    auto* x11 = onX11() ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 && x11->connection() && nativeScanCode > 0 && nativeScanCode < 256) {
        for (quint32 keysym : unshiftedKeysyms(x11->connection(), xcb_keycode_t(nativeScanCode)))
            if (const std::optional<int> keyCode = LinuxKeyMap::keyCodeForX11Keysym(keysym))
                return keyCode;
        return std::nullopt;
    }
    return LinuxKeyMap::keyCodeForQtKey(qtKey, modifiers);
}

} // namespace RecordingKeyboard
