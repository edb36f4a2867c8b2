#include "app/GlobalHotkeys.h"

#include "base/Alerts.h"
#include "base/Logger.h"
#include "keys/HotkeyNames.h"
#include "platform/HotkeyService.h"
#include "settings/PreferenceStore.h"
#include "settings/SettingsManager.h"

#include <iterator>

GlobalHotkeys::GlobalHotkeys(SettingsManager& settings, HotkeyService& service, AlertPresenter& alerts,
                             bool waylandSession)
    : m_settings(settings), m_service(service), m_alerts(alerts), m_wayland(waylandSession) {}

GlobalHotkeys::~GlobalHotkeys() = default;

void GlobalHotkeys::release() {
    m_screenshot.reset();
    m_selection.reset();
}

void GlobalHotkeys::reregister() {
    // Under Wayland only a desktop's own shortcut service can give VYRN its hotkeys.
    if (m_wayland && m_service.unavailable()) {
        release();
        logi(QStringLiteral("Wayland 会话：不注册全局快捷键"));
        return;
    }
    if (const std::optional<KeyGrabFailure> reason = m_service.unavailable()) {
        release();
        if (!std::exchange(m_reportedUnavailable, true))
            loge(QStringLiteral("全局快捷键不可用: ") + reason->message);
        loge(QStringLiteral("键盘事件处理器安装失败: 无法连接 X 服务器"));
        presentConflictAlert(
            {{QStringLiteral("键盘事件处理器"), QString(), QStringLiteral("无法连接 X 服务器")}});
        return;
    }

    struct Hotkey {
        QString id; // the desktop's name for it, where the desktop lists hotkeys
        QString name;
        QString logLabel;
        int (SettingsManager::*keyCode)() const;
        int (SettingsManager::*modifiers)() const;
        QString (SettingsManager::*display)() const;
        void (SettingsManager::*setKeyCode)(int);
        void (SettingsManager::*setModifiers)(int);
        void (SettingsManager::*setDisplay)(const QString&);
        std::unique_ptr<HotkeyRegistration> GlobalHotkeys::*registration;
        void (GlobalHotkeys::*pressed)();
    };
    using S = SettingsManager;
    // Static: the handlers of a change made in the desktop's settings refer to it later.
    static const Hotkey hotkeys[] = {
        {QStringLiteral("screenshot"), QStringLiteral("截图翻译"), QStringLiteral("截图快捷键"),
         &S::hotkeyKeyCode, &S::hotkeyModifiers, &S::hotkeyDisplay, &S::setHotkeyKeyCode,
         &S::setHotkeyModifiers, &S::setHotkeyDisplay, &GlobalHotkeys::m_screenshot,
         &GlobalHotkeys::screenshotPressed},
        {QStringLiteral("selection"), QStringLiteral("划词翻译"), QStringLiteral("划词快捷键"),
         &S::selectionHotkeyKeyCode, &S::selectionHotkeyModifiers, &S::selectionHotkeyDisplay,
         &S::setSelectionHotkeyKeyCode, &S::setSelectionHotkeyModifiers, &S::setSelectionHotkeyDisplay,
         &GlobalHotkeys::m_selection, &GlobalHotkeys::selectionPressed},
    };

    // Only a hotkey whose combination changed lets go, and every such one before any is taken
    // anew: the service refuses a combination VYRN still holds, which swapping the two hotkeys
    // would otherwise meet. The combinations let go are kept to fall back on.
    std::optional<std::pair<int, int>> previous[std::size(hotkeys)];
    for (size_t i = 0; i < std::size(hotkeys); ++i) {
        const Hotkey& hotkey = hotkeys[i];
        std::unique_ptr<HotkeyRegistration>& held = this->*hotkey.registration;
        if (held && held->keyCode() == (m_settings.*hotkey.keyCode)() &&
            held->modifiers() == (m_settings.*hotkey.modifiers)())
            continue;
        if (held)
            previous[i] = {held->keyCode(), held->modifiers()};
        held.reset();
    }

    std::vector<HotkeyFailure> failures;
    for (size_t i = 0; i < std::size(hotkeys); ++i) {
        const Hotkey& hotkey = hotkeys[i];
        if (this->*hotkey.registration)
            continue;
        const int keyCode = (m_settings.*hotkey.keyCode)();
        const int modifiers = (m_settings.*hotkey.modifiers)();
        const QString display = hotkeyDisplayString(keyCode, modifiers);
        const HotkeyService::Action action{hotkey.id, hotkey.name};
        KeyGrabResult<HotkeyRegistration> result = m_service.registerNamedHotkey(keyCode, modifiers, action);
        if (!result) {
            QString reason = hotkeyFailureReason(*result.failure, keyCode, modifiers);
            loge(hotkey.logLabel + QStringLiteral("注册失败: ") + display + QStringLiteral(" — ") + reason);
            // A change that cannot be taken must not cost the hotkey that worked, now or at
            // the next start: the old combination is taken again and stored again.
            if (previous[i])
                result = m_service.registerNamedHotkey(previous[i]->first, previous[i]->second, action);
            if (result) {
                const PreferenceStore::Batch oneWrite(m_settings.store());
                (m_settings.*hotkey.setKeyCode)(previous[i]->first);
                (m_settings.*hotkey.setModifiers)(previous[i]->second);
                reason += QStringLiteral("，仍使用原快捷键「") +
                          hotkeyDisplayString(previous[i]->first, previous[i]->second) + QStringLiteral("」");
            }
            failures.push_back({hotkey.name, display, reason});
            if (!result)
                continue;
        }
        HotkeyRegistration* registration = result.handle.get();
        connect(registration, &HotkeyRegistration::pressed, this, hotkey.pressed);
        this->*hotkey.registration = std::move(result.handle);
        // What the desktop's shortcut settings hold wins, at start and when changed there.
        // No member of this object in it: GCC's vptr sanitizer then checks the wrong pointer.
        const auto store = [&settings = m_settings, &hotkey, registration] {
            const PreferenceStore::Batch oneWrite(settings.store());
            if ((settings.*hotkey.keyCode)() != registration->keyCode() ||
                (settings.*hotkey.modifiers)() != registration->modifiers()) {
                (settings.*hotkey.setKeyCode)(registration->keyCode());
                (settings.*hotkey.setModifiers)(registration->modifiers());
            }
            const QString heldDisplay =
                hotkeyDisplayString(registration->keyCode(), registration->modifiers());
            // Only a registration rewrites the stored text, and only when it changed.
            if ((settings.*hotkey.display)() != heldDisplay)
                (settings.*hotkey.setDisplay)(heldDisplay);
        };
        connect(registration, &HotkeyRegistration::rebound, this, [store, &hotkey, &settings = m_settings] {
            store();
            logi(hotkey.logLabel + QStringLiteral("已在桌面的快捷键设置中改为: ") +
                 (settings.*hotkey.display)());
        });
        store();
        logi(hotkey.logLabel + QStringLiteral(": ") + (m_settings.*hotkey.display)());
    }
    if (!failures.empty())
        presentConflictAlert(failures);
}

void GlobalHotkeys::presentConflictAlert(const std::vector<HotkeyFailure>& failures) {
    QStringList lines;
    for (const HotkeyFailure& failure : failures) {
        const QString shown = failure.display.isEmpty()
                                  ? QString()
                                  : QStringLiteral("「") + failure.display + QStringLiteral("」");
        lines.append(failure.name + shown + QStringLiteral("：") + failure.reason);
    }
    m_alerts.openLater({QStringLiteral("快捷键注册失败"),
                        QStringLiteral("以下快捷键无法使用：\n\n") + lines.join(QLatin1Char('\n')) +
                            QStringLiteral("\n\n请前往 设置 → 快捷键，修改为其他组合。"),
                        AlertRequest::Style::Warning,
                        {QStringLiteral("知道了")}});
}

QStringList GlobalHotkeys::registered() const {
    QStringList registered;
    if (m_screenshot)
        registered.append(hotkeyDisplayString(m_screenshot->keyCode(), m_screenshot->modifiers()) +
                          QStringLiteral(" 截图翻译"));
    if (m_selection)
        registered.append(hotkeyDisplayString(m_selection->keyCode(), m_selection->modifiers()) +
                          QStringLiteral(" 划词翻译"));
    return registered;
}
