#include "platform/HotkeyService.h"

#include "keys/HotkeyConflicts.h"

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
