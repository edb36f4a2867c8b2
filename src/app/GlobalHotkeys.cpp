#include "app/GlobalHotkeys.h"

#include "base/Alerts.h"
#include "base/Logger.h"
#include "keys/HotkeyNames.h"
#include "platform/DesktopKeybindings.h"
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

void GlobalHotkeys::useDesktopKeybindings(DesktopKeybindings* bindings, const QString& program) {
    m_desktop = bindings;
    m_program = program;
}

void GlobalHotkeys::setDesktopKeybindingsWanted(bool wanted) {
    if (!m_desktop)
        return;
    m_settings.setDesktopKeybindings(wanted);
    if (wanted) {
        writeDesktopKeybindings();
        return;
    }
    m_desktop->remove();
    m_desktopWritten.clear();
    logi(QStringLiteral("已从 ") + m_desktop->place() + QStringLiteral(" 中移除 VYRN 的快捷键"));
}

void GlobalHotkeys::suspendDesktopKeybindings(bool suspended) {
    // The state is kept even without consent: consent given during a recording writes nothing
    // until it ends.
    if (!m_desktop || std::exchange(m_desktopSuspended, suspended) == suspended ||
        !m_settings.desktopKeybindings())
        return;
    if (suspended)
        m_desktop->remove();
    else
        writeDesktopKeybindings();
}

void GlobalHotkeys::writeDesktopKeybindings() {
    m_desktopWritten.clear();
    if (m_desktopSuspended)
        return;
    const QString place = m_desktop->place();
    const int keyCodes[] = {m_settings.hotkeyKeyCode(), m_settings.selectionHotkeyKeyCode()};
    const int modifiers[] = {m_settings.hotkeyModifiers(), m_settings.selectionHotkeyModifiers()};
    const QString names[] = {QStringLiteral("截图翻译"), QStringLiteral("划词翻译")};
    const QString labels[] = {QStringLiteral("截图快捷键"), QStringLiteral("划词快捷键")};
    const QString options[] = {QStringLiteral(" --screenshot"), QStringLiteral(" --selection")};
    QList<DesktopKeybindings::Binding> bindings;
    for (int i = 0; i < 2; ++i)
        bindings.append(
            {QStringLiteral("VYRN ") + names[i], m_program + options[i], keyCodes[i], modifiers[i]});
    const QList<std::optional<QString>> outcome = m_desktop->write(bindings);
    std::vector<HotkeyFailure> failures;
    for (int i = 0; i < 2 && i < outcome.size(); ++i) {
        const QString display = hotkeyDisplayString(keyCodes[i], modifiers[i]);
        if (outcome[i]) {
            loge(labels[i] + QStringLiteral("未写入 ") + place + QStringLiteral(": ") + display +
                 QStringLiteral(" — ") + *outcome[i]);
            failures.push_back({names[i], display, *outcome[i]});
            continue;
        }
        logi(labels[i] + QStringLiteral(": ") + display + QStringLiteral("（") + place +
             QStringLiteral("）"));
        m_desktopWritten.append(display + QLatin1Char(' ') + names[i]);
    }
    if (!failures.empty())
        presentConflictAlert(failures);
}

QString GlobalHotkeys::route() const {
    const QString command = m_program.isEmpty() ? QStringLiteral("vyrn") : m_program;
    if (!m_wayland && !m_service.unavailable())
        return QStringLiteral("当前方式：X11 全局快捷键，由 VYRN 自己注册。");
    // Under Wayland a service that answers is the desktop's own: KDE's.
    if (!m_service.unavailable())
        return QStringLiteral(
            "当前方式：KDE 全局快捷键（kglobalaccel），由 VYRN 注册。也可在 系统设置 → 快捷键 → VYRN "
            "中修改，立即生效，VYRN 的设置会随之更新。");
    if (m_desktop && m_settings.desktopKeybindings())
        return QStringLiteral("当前方式：") + m_desktop->place() + QStringLiteral("。两个快捷键运行 ") +
               command + QStringLiteral(" --screenshot 和 --selection，在这里修改并保存后会一并更新。");
    if (m_desktop)
        return QStringLiteral(
            "当前方式：无。GNOME 的 Wayland 会话不允许程序自己注册全局快捷键：点击下方按钮，"
            "把两个快捷键添加到 GNOME 键盘快捷键。");
    return QStringLiteral("当前方式：无。请在系统设置的键盘快捷键中，把 ") + command +
           QStringLiteral(" --screenshot 和 ") + command + QStringLiteral(" --selection 绑定到组合键。");
}

void GlobalHotkeys::reregister() {
    // Under Wayland only a desktop's own shortcut service can give VYRN its hotkeys.
    if (m_wayland && m_service.unavailable()) {
        release();
        if (m_desktop && m_settings.desktopKeybindings()) {
            writeDesktopKeybindings();
            return;
        }
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
    QStringList registered = m_desktopWritten;
    if (m_screenshot)
        registered.append(hotkeyDisplayString(m_screenshot->keyCode(), m_screenshot->modifiers()) +
                          QStringLiteral(" 截图翻译"));
    if (m_selection)
        registered.append(hotkeyDisplayString(m_selection->keyCode(), m_selection->modifiers()) +
                          QStringLiteral(" 划词翻译"));
    return registered;
}
