#pragma once

#include "keys/LinuxKeyMap.h"
#include "platform/HotkeyService.h"

#include <QHash>
#include <QList>
#include <QMap>

#include <xcb/xcb.h>

class X11Connection;
struct _XCBKeySymbols;

// Passive key grabs on the root window, one per keycode of the key and per lock
// state. The server refuses (BadAccess) a grab another client holds; it would
// quietly accept a repeated grab from this client, so combinations VYRN holds are
// tracked here. The server's modifier map is read at start and on every
// MappingNotify, and every grab is then made again for the new keycodes and bits.
class X11HotkeyService final : public HotkeyService {
    Q_OBJECT
public:
    explicit X11HotkeyService(X11Connection& connection);
    ~X11HotkeyService() override;

    KeyGrabResult<HotkeyRegistration> registerHotkey(int keyCode, int modifiers) override;
    KeyGrabResult<TemporaryKeyGrab> grabTemporarily(int keyCode, int modifiers) override;
    std::optional<KeyGrabFailure> unavailable() const override;

    LinuxKeyMap::X11ModifierMap modifierMap() const { return m_modifierMap; }

Q_SIGNALS:
    // After a keyboard or modifier mapping change has been read and the grabs renewed.
    void keyboardMappingChanged();

private:
    struct KeyAndState {
        xcb_keycode_t keycode;
        quint16 state;
        bool operator==(const KeyAndState&) const = default;
    };
    struct Grab {
        int keyCode;
        int modifiers;
        QList<KeyAndState> held; // what the server grants now; empty after a failed renewal
        int registrationId = 0;  // 0: no global hotkey
        QList<int> temporaryIds; // oldest first
    };

    void release(int id) override;
    std::optional<KeyGrabFailure> grab(Grab& grab);
    void ungrab(Grab& grab);
    Grab* findGrab(int keyCode, int modifiers);
    void readKeyboard();
    void renewGrabs();
    void handleEvent(const xcb_generic_event_t* event);
    void handlePress(xcb_keycode_t keycode, quint16 state, xcb_timestamp_t time);

    X11Connection& m_connection;
    _XCBKeySymbols* m_keySymbols = nullptr;
    LinuxKeyMap::X11ModifierMap m_modifierMap;
    QList<Grab> m_grabs;
    QMap<int, QPointer<KeyGrabHandle>> m_handles;
    int m_nextId = 1;
    // An auto-repeating key sends release and press with one time stamp.
    QHash<xcb_keycode_t, xcb_timestamp_t> m_lastRelease;
    bool m_renewQueued = false;
};
