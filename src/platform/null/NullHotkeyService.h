#pragma once

#include "platform/HotkeyService.h"

// Where no X11 server can be reached: every grab fails with a reason the user can act on.
class NullHotkeyService final : public HotkeyService {
    Q_OBJECT
public:
    enum class Reason { Wayland, NoSession, DisplayUnreachable };
    explicit NullHotkeyService(Reason reason);

    KeyGrabResult<HotkeyRegistration> registerHotkey(int keyCode, int modifiers) override;
    KeyGrabResult<TemporaryKeyGrab> grabTemporarily(int keyCode, int modifiers) override;
    std::optional<KeyGrabFailure> unavailable() const override { return m_failure; }

private:
    void release(int) override {}

    KeyGrabFailure m_failure;
};
