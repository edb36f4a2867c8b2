#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

// System-wide keys: the two translation hotkeys, registered for the life of the
// program, and the panel keys (Esc, `, Super+D...), grabbed only while a panel is up.
// Keys are given as stored in the preferences: a key code and a CarbonModifier mask.
//
//   HotkeyService& keys = ...; // from the platform loader
//   KeyGrabResult<HotkeyRegistration> r = keys.registerHotkey(17, CarbonModifier::control);
//   if (r) {
//       m_screenshotHotkey = std::move(r.handle);  // the grab lives as long as the handle
//       connect(m_screenshotHotkey.get(), &HotkeyRegistration::pressed, this, [](quint32 time) {...});
//   } else {
//       reason = hotkeyFailureReason(*r.failure, 17, CarbonModifier::control);
//   }
//
// Signals arrive on the main thread, once per press (a held key's auto-repeat is
// dropped), carrying the X server's time stamp of the press. Everything here is
// main-thread only.

enum class KeyGrabError {
    NoX11Session,          // Wayland, or no display: the Null service
    KeyNotOnKeyboard,      // the key code has no X11 key, or the layout lacks the key
    ModifierNotOnKeyboard, // no key of the layout produces Super (or Alt)
    HeldByVyrn,            // VYRN already holds this combination as a global hotkey
    HeldByAnotherProgram,  // the X server refused the grab (BadAccess)
    HeldByDesktopShortcut, // the desktop's shortcut settings give it to another action; the message names it
    ServerError,           // any other X error, or the connection is gone
};

struct KeyGrabFailure {
    KeyGrabError error;
    QString message; // Chinese: what happened, fit for an alert and the log
};

// The text an alert shows for a failed hotkey: the catalogue's description when
// another program holds a known shortcut, "该键已被其他程序占用" for an unknown one,
// the failure's own message otherwise.
QString hotkeyFailureReason(const KeyGrabFailure& failure, int keyCode, int modifiers);

class HotkeyService;

// One held combination. Destroying the handle lets the key go (a temporary grab
// only when its last holder lets go). Handles may outlive the service; they are
// inert then.
class KeyGrabHandle : public QObject {
    Q_OBJECT
public:
    ~KeyGrabHandle() override;
    int keyCode() const { return m_keyCode; }
    int modifiers() const { return m_modifiers; }

protected:
    KeyGrabHandle(HotkeyService* service, int id, int keyCode, int modifiers);

private:
    friend class HotkeyService;
    QPointer<HotkeyService> m_service;
    int m_id;
    int m_keyCode;
    int m_modifiers;
};

class HotkeyRegistration final : public KeyGrabHandle {
    Q_OBJECT
Q_SIGNALS:
    void pressed(quint32 timestamp);
    // The desktop's own shortcut settings gave the hotkey another combination, which
    // keyCode() and modifiers() now report; presses of it keep coming.
    void rebound();

private:
    using KeyGrabHandle::KeyGrabHandle;
    friend class HotkeyService;
};

// Matches the exact modifiers (Shift+Esc is not Esc); Caps Lock, Num Lock and
// Scroll Lock are ignored. The key never reaches the focused application; every
// other key does. When several holders share a combination (the loading panel's
// Esc handing over to the result panel's), the newest one is triggered.
class TemporaryKeyGrab final : public KeyGrabHandle {
    Q_OBJECT
Q_SIGNALS:
    void triggered(quint32 timestamp);

private:
    using KeyGrabHandle::KeyGrabHandle;
    friend class HotkeyService;
};

template <typename Handle> struct KeyGrabResult {
    std::unique_ptr<Handle> handle;
    std::optional<KeyGrabFailure> failure; // set exactly when handle is null
    explicit operator bool() const { return handle != nullptr; }
};

class HotkeyService : public QObject {
    Q_OBJECT
public:
    // Fails with HeldByVyrn for a combination VYRN already registered: release the
    // old handle before registering its combination again.
    virtual KeyGrabResult<HotkeyRegistration> registerHotkey(int keyCode, int modifiers) = 0;
    // The same, where the desktop lists each program's shortcuts by name (KDE's shortcut
    // settings): `id` stays the same across starts, `label` is what the user reads there.
    struct Action {
        QString id;
        QString label;
    };
    virtual KeyGrabResult<HotkeyRegistration> registerNamedHotkey(int keyCode, int modifiers,
                                                                  const Action& action) {
        Q_UNUSED(action);
        return registerHotkey(keyCode, modifiers);
    }
    // Refused (HeldByVyrn, logged) when the combination is a registered global
    // hotkey. A later registration of a temporarily grabbed combination takes its
    // presses over.
    virtual KeyGrabResult<TemporaryKeyGrab> grabTemporarily(int keyCode, int modifiers) = 0;
    // Set when no key can ever be grabbed here (the Null service's reason).
    virtual std::optional<KeyGrabFailure> unavailable() const = 0;

protected:
    template <typename Handle> std::unique_ptr<Handle> makeHandle(int id, int keyCode, int modifiers) {
        return std::unique_ptr<Handle>(new Handle(this, id, keyCode, modifiers));
    }
    static void rebind(KeyGrabHandle& handle, int keyCode, int modifiers) {
        handle.m_keyCode = keyCode;
        handle.m_modifiers = modifiers;
    }
    // Called by a handle's destructor.
    virtual void release(int id) = 0;
    friend class KeyGrabHandle;
};
