#include "platform/HotkeyService.h"

#include "base/Logger.h"
#include "keys/HotkeyConflicts.h"
#include "platform/null/NullHotkeyService.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11HotkeyService.h"

#include <QCoreApplication>

QString hotkeyFailureReason(const KeyGrabFailure& failure, int keyCode, int modifiers) {
    if (failure.error == KeyGrabError::HeldByAnotherProgram)
        return checkSystemHotkeyConflict(modifiers, keyCode).value_or(QStringLiteral("该键已被其他程序占用"));
    return failure.message;
}

KeyGrabHandle::KeyGrabHandle(HotkeyService* service, int id, int keyCode, int modifiers)
    : m_service(service), m_id(id), m_keyCode(keyCode), m_modifiers(modifiers) {}

KeyGrabHandle::~KeyGrabHandle() {
    if (m_service)
        m_service->release(m_id);
}

std::unique_ptr<HotkeyService> HotkeyService::create(SessionType session) {
    switch (session) {
    case SessionType::X11:
        if (X11Connection* connection = X11Connection::shared())
            return std::make_unique<X11HotkeyService>(*connection);
        return std::make_unique<NullHotkeyService>(NullHotkeyService::Reason::DisplayUnreachable);
    case SessionType::Wayland:
        return std::make_unique<NullHotkeyService>(NullHotkeyService::Reason::Wayland);
    case SessionType::None:
        break;
    }
    return std::make_unique<NullHotkeyService>(NullHotkeyService::Reason::NoSession);
}

HotkeyService& HotkeyService::shared() {
    static HotkeyService* instance = nullptr;
    if (!instance) {
        instance = create(currentSessionType()).release();
        if (std::optional<KeyGrabFailure> reason = instance->unavailable())
            loge(QStringLiteral("全局快捷键不可用: ") + reason->message);
        // Post routines run last-added first: this goes before the X11 connection it uses.
        qAddPostRoutine([] {
            delete instance;
            instance = nullptr;
        });
    }
    return *instance;
}
