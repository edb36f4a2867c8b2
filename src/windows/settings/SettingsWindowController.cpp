#include "windows/settings/SettingsWindowController.h"

#include "platform/ScreenshotPermission.h"

#include "base/Alerts.h"
#include "base/Logger.h"
#include "keys/HotkeyConflicts.h"
#include "keys/HotkeyNames.h"
#include "platform/ScreenshotPermission.h"
#include "platform/freedesktop/Autostart.h"
#include "settings/PromptTemplates.h"
#include "settings/SettingsManager.h"
#include "settings/SettingsWindowRules.h"
#include "text/GraphemeCount.h"
#include "update/UpdateChecker.h"
#include "windows/settings/AboutDialog.h"
#include "windows/settings/HotkeyRecorder.h"
#include "windows/settings/ProviderCard.h"
#include "windows/settings/SegmentedControl.h"
#include "windows/settings/SettingsWindow.h"
#include "windows/settings/StatusStyle.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace {

// One hotkey of the hotkeys tab: its texts, what it accepts alone, and where it is stored.
struct HotkeySetting {
    QString title;
    QString description;
    QSet<int> allowedSoloKeyCodes;
    QString soloKeyHint;
    int (SettingsManager::*keyCode)() const;
    void (SettingsManager::*setKeyCode)(int);
    int (SettingsManager::*modifiers)() const;
    void (SettingsManager::*setModifiers)(int);
    void (SettingsManager::*setDisplay)(const QString&);
    HotkeyDefault HotkeyDefaults::*factory;
};

const std::vector<HotkeySetting>& hotkeySettings() {
    using S = SettingsManager;
    static const std::vector<HotkeySetting> settings{
        {QStringLiteral("📸 截图翻译快捷键"),
         QStringLiteral("框选屏幕区域 → OCR 识别 → AI 翻译"),
         {},
         {},
         &S::hotkeyKeyCode,
         &S::setHotkeyKeyCode,
         &S::hotkeyModifiers,
         &S::setHotkeyModifiers,
         &S::setHotkeyDisplay,
         &HotkeyDefaults::screenshot},
        {QStringLiteral("📝 划词翻译快捷键"),
         QStringLiteral("先选中文字，再按快捷键 → 直接 AI 翻译（无需截图+OCR）"),
         {},
         {},
         &S::selectionHotkeyKeyCode,
         &S::setSelectionHotkeyKeyCode,
         &S::selectionHotkeyModifiers,
         &S::setSelectionHotkeyModifiers,
         &S::setSelectionHotkeyDisplay,
         &HotkeyDefaults::selection},
        {QStringLiteral("🚪 关闭翻译面板"),
         QStringLiteral("翻译浮动面板显示时，按下自定义快捷键即可关闭"),
         {53},
         QStringLiteral("或直接按 ESC"),
         &S::closePanelHotkeyKeyCode,
         &S::setClosePanelHotkeyKeyCode,
         &S::closePanelHotkeyModifiers,
         &S::setClosePanelHotkeyModifiers,
         &S::setClosePanelHotkeyDisplay,
         &HotkeyDefaults::closePanel},
        {QStringLiteral("↔️ 切换弹窗位置"),
         QStringLiteral("翻译浮动面板显示时，按快捷键将弹窗切换到屏幕另一侧"),
         {50},
         QStringLiteral("或直接按 ` 键"),
         &S::togglePanelHotkeyKeyCode,
         &S::setTogglePanelHotkeyKeyCode,
         &S::togglePanelHotkeyModifiers,
         &S::setTogglePanelHotkeyModifiers,
         &S::setTogglePanelHotkeyDisplay,
         &HotkeyDefaults::togglePanel},
        {QStringLiteral("🔀 拆分翻译"),
         QStringLiteral("翻译浮动面板显示时，按快捷键在「整段 / 拆分」之间切换"),
         {},
         {},
         &S::splitHotkeyKeyCode,
         &S::setSplitHotkeyKeyCode,
         &S::splitHotkeyModifiers,
         &S::setSplitHotkeyModifiers,
         &S::setSplitHotkeyDisplay,
         &HotkeyDefaults::split},
    };
    return settings;
}

} // namespace

SettingsWindowController::SettingsWindowController(SettingsManager& settings, AlertPresenter& alerts,
                                                   std::function<void()> reregisterHotkeys)
    : m_settings(settings), m_alerts(alerts), m_reregisterHotkeys(std::move(reregisterHotkeys)),
      m_connectionTest(settings), m_keyStore(settings) {
    for (const HotkeySetting& hotkey : hotkeySettings()) {
        // Buttons name what is stored by its code and mask: a stored display text may be
        // one an older version wrote.
        auto defaultDisplay = [this, &hotkey] {
            return hotkeyDisplayString((m_settings.*hotkey.keyCode)(), (m_settings.*hotkey.modifiers)());
        };
        m_recorders.push_back(std::make_unique<HotkeyRecorder>(
            hotkey.allowedSoloKeyCodes, hotkey.soloKeyHint, defaultDisplay,
            [this] { return anyRecorderBusy(); },
            [this](bool recording) {
                if (m_route.suspend)
                    m_route.suspend(recording);
            }));
    }
    connect(&m_connectionTest, &ConnectionTest::finished, this, [this](const StatusMessage& status) {
        if (ProviderCard* card = m_window ? m_window->providerCard() : nullptr)
            card->showTestStatus(status);
    });
}

SettingsWindowController::~SettingsWindowController() {
    for (const auto& recorder : m_recorders)
        recorder->reset();
    delete m_window.data();
}

SettingsWindow* SettingsWindowController::window() const {
    return m_window;
}

bool SettingsWindowController::anyRecorderBusy() const {
    return std::any_of(m_recorders.begin(), m_recorders.end(), [](const auto& r) { return r->isBusy(); });
}

void SettingsWindowController::show() {
    if (!m_window) {
        QList<SettingsWindow::HotkeySectionText> texts;
        for (const HotkeySetting& hotkey : hotkeySettings())
            texts.append({hotkey.title, hotkey.description});
        auto* window = new SettingsWindow(texts);
        m_window = window;

        window->providerPopup->setCurrentIndex(
            window->providerPopup->findData(AIProviders::rawValue(m_settings.apiProvider())));
        connect(window->providerPopup, &QComboBox::currentIndexChanged, this,
                &SettingsWindowController::providerChanged);
        window->launchAtLoginCheckbox->setChecked(Autostart::isEnabled());
        connect(window->launchAtLoginCheckbox, &QCheckBox::toggled, this,
                &SettingsWindowController::launchAtLoginToggled);
        // The identifier only ever travels with the update check: no service, nothing to consent to.
        const bool updateService = UpdateChecker::serviceBaseURL(m_settings).has_value();
        window->telemetryCheckbox->setVisible(updateService);
        window->telemetryNote->setVisible(updateService);
        window->telemetryCheckbox->setChecked(m_settings.telemetryEnabled());
        connect(window->telemetryCheckbox, &QCheckBox::toggled, this,
                &SettingsWindowController::telemetryToggled);

        for (int i = 0; i < hotkeyCount; ++i)
            m_recorders[size_t(i)]->attach(window->hotkeySections[i].button,
                                           window->hotkeySections[i].statusLabel);
        window->defaultSplitSeg->setSelectedSegment(m_settings.defaultSplitMode() ? 1 : 0);

        bool usesDefault = true;
        {
            std::lock_guard guard(m_settings.lock());
            usesDefault = m_settings._usesDefaultPromptUnlocked();
        }
        window->templateModeSeg->setSelectedSegment(usesDefault ? 0 : 1);
        applyTemplateMode(usesDefault);
        connect(window->templateModeSeg, &SegmentedControl::segmentChanged, this,
                &SettingsWindowController::templateModeChanged);

        connect(window->saveButton, &QPushButton::clicked, this, &SettingsWindowController::saveAllSettings);
        connect(window->resetButton, &QPushButton::clicked, this, &SettingsWindowController::resetAll);
        connect(window->aboutButton, &QPushButton::clicked, this, &SettingsWindowController::showAbout);
        connect(window, &SettingsWindow::closing, this, &SettingsWindowController::windowWillClose);
        installProviderCard(m_settings.apiProvider());
        connect(window->desktopKeybindingsButton, &QPushButton::clicked, this,
                &SettingsWindowController::desktopKeybindingsClicked);
        refreshHotkeyRoute();
        connect(window->screenshotPermissionButton, &QPushButton::clicked, this,
                &SettingsWindowController::screenshotPermissionClicked);
        refreshScreenshotPermission();
    }
    logi(QStringLiteral("打开偏好设置窗口"));
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void SettingsWindowController::setHotkeyRoute(HotkeyRoute route) {
    m_route = std::move(route);
    for (const auto& recorder : m_recorders)
        recorder->setRecordingNote(m_route.recordingNote);
    refreshHotkeyRoute();
}

void SettingsWindowController::refreshHotkeyRoute() {
    if (!m_window)
        return;
    const QString route = m_route.describe ? m_route.describe() : QString();
    m_window->hotkeyRouteLabel->setText(route);
    m_window->hotkeyRouteTitle->setVisible(!route.isEmpty());
    m_window->hotkeyRouteLabel->setVisible(!route.isEmpty());
    QPushButton* button = m_window->desktopKeybindingsButton;
    button->setVisible(m_route.desktopKeybindings);
    button->setText(
        (m_settings.desktopKeybindings() ? QStringLiteral("从 %1 中移除") : QStringLiteral("添加到 %1"))
            .arg(m_route.desktopPlace));
    // Room around the text, as the window's other buttons have.
    button->setMinimumWidth(button->fontMetrics().horizontalAdvance(button->text()) + 40);
}

void SettingsWindowController::desktopKeybindingsClicked() {
    if (!m_route.desktopKeybindings || !m_route.setDesktopKeybindings)
        return;
    m_route.setDesktopKeybindings(!m_settings.desktopKeybindings());
    refreshHotkeyRoute();
}

void SettingsWindowController::setScreenshotPermission(ScreenshotPermission* permission) {
    m_screenshotPermission = permission;
    refreshScreenshotPermission();
}

void SettingsWindowController::showScreenshotPermission() {
    show();
    if (!m_screenshotPermission)
        return;
    m_window->tabView->setCurrentIndex(0);
    m_window->screenshotPermissionButton->setFocus(Qt::OtherFocusReason);
}

namespace {

StatusMessage screenshotPermissionStatus(ScreenshotPermission::State state) {
    switch (state) {
    case ScreenshotPermission::State::Granted:
        return {QStringLiteral("已允许，截图翻译可以使用。"), StatusTone::success};
    case ScreenshotPermission::State::NotAsked:
        return {QStringLiteral("尚未允许：第一次截图翻译前，请先点击「允许截图」。"), StatusTone::warning};
    case ScreenshotPermission::State::Refused:
        return {QStringLiteral("GNOME 记下的回答是“拒绝”，截图翻译无法使用。点击「允许截图」可重新询问。"),
                StatusTone::failure};
    case ScreenshotPermission::State::Unknown:
        break;
    }
    return {};
}

} // namespace

void SettingsWindowController::refreshScreenshotPermission() {
    if (!m_window)
        return;
    m_window->screenshotPermissionBox->setVisible(m_screenshotPermission);
    if (!m_screenshotPermission)
        return;
    const QString question = m_screenshotPermission->desktopQuestion();
    QString note =
        QStringLiteral("在 GNOME 中，程序要先得到你的同意才能截图。点击「允许截图」后，GNOME 会询问是否允许"
                       "（英文界面为“") +
        question +
        QStringLiteral("”），请选择“允许”（Allow）。GNOME 会记住你的回答，以后截图不再询问；"
                       "截图时屏幕会闪一下，并可能有快门声。");
    // The host programs the portal cannot name share one entry.
    if (question.startsWith(QLatin1String("Allow Applications")))
        note += QStringLiteral("这项许可不只属于 VYRN：GNOME 把它记在所有无法识别身份的程序名下。");
    m_window->screenshotPermissionNote->setText(note);
    if (m_askingScreenshotPermission)
        return;
    m_screenshotPermission->lookUpPermission([window = QPointer<SettingsWindow>(m_window), this](auto state) {
        if (window && !m_askingScreenshotPermission)
            StatusStyle::showStatus(window->screenshotPermissionStatus, screenshotPermissionStatus(state));
    });
}

void SettingsWindowController::screenshotPermissionClicked() {
    if (!m_screenshotPermission || !m_window || m_askingScreenshotPermission)
        return;
    m_askingScreenshotPermission = true;
    m_window->screenshotPermissionButton->setEnabled(false);
    StatusStyle::showStatus(m_window->screenshotPermissionStatus,
                            {QStringLiteral("正在等待 GNOME 的询问，请在它的对话框中选择“允许”（Allow）……"),
                             StatusTone::secondary});
    logi(QStringLiteral("截图许可：向 GNOME 请求"));
    m_screenshotPermission->requestPermission(
        [window = QPointer<SettingsWindow>(m_window), this](ScreenshotPermission::Outcome outcome) {
            m_askingScreenshotPermission = false;
            if (!window)
                return;
            window->screenshotPermissionButton->setEnabled(true);
            StatusMessage status = screenshotPermissionStatus(outcome.state);
            if (outcome.state != ScreenshotPermission::State::Granted)
                status = {outcome.message, StatusTone::failure};
            StatusStyle::showStatus(window->screenshotPermissionStatus, status);
        });
}

void SettingsWindowController::windowWillClose() {
    // An unfinished recording is abandoned; so is a test whose status line is going away.
    for (const auto& recorder : m_recorders)
        recorder->reset();
    ++m_testGeneration;
    m_connectionTest.cancel();
}

// MARK: provider card and key

void SettingsWindowController::installProviderCard(AIProvider provider) {
    ++m_testGeneration;
    m_connectionTest.cancel();
    auto* card = new ProviderCard(provider, modelChoices(m_settings, provider));
    connect(card->testButton(), &QPushButton::clicked, this, &SettingsWindowController::testAPIKeyConnection);
    m_window->setProviderCard(card);
    loadKey(card);
}

void SettingsWindowController::loadKey(ProviderCard* card) {
    m_keyStore.readKey(card->provider(), card,
                       [card](const KeyLookup& lookup) { card->showStoredKey(lookup); });
}

void SettingsWindowController::providerChanged(int index) {
    if (!m_window)
        return;
    const std::optional<AIProvider> chosen =
        AIProviders::fromRawValue(m_window->providerPopup->itemData(index).toString());
    const AIProvider outgoing = m_settings.apiProvider();
    if (!chosen || *chosen == outgoing)
        return;
    const PreferenceStore::Batch oneWrite(m_settings.store());
    if (ProviderCard* card = m_window->providerCard()) {
        storeKey(outgoing, resolveKeySave(card->keyState(), card->keyFieldText()));
        m_settings.setModelOverride(card->modelTitle(), outgoing);
    }
    m_settings.setApiProvider(*chosen);
    installProviderCard(*chosen);
}

void SettingsWindowController::storeKey(AIProvider provider, const KeySaveAction& action) {
    const QString name = AIProviders::displayName(provider);
    switch (action.kind) {
    case KeySaveAction::Kind::refuse:
        loge(name + QStringLiteral(" API Key 含换行或其他控制字符，未保存"));
        showKeyStatus(
            {unusableKeyStatus().text + QStringLiteral("（") + name + QStringLiteral(" 的 Key 未保存）"),
             StatusTone::failure});
        return;
    case KeySaveAction::Kind::keepStored:
        logi(QStringLiteral("未能读取已保存的 ") + name + QStringLiteral(" API Key，保留它不变"));
        return;
    case KeySaveAction::Kind::write:
    case KeySaveAction::Kind::remove:
        break;
    }
    const std::optional<QString> key =
        action.kind == KeySaveAction::Kind::write ? std::optional<QString>(action.key) : std::nullopt;
    m_keyStore.writeKey(provider, key, this, [this, provider, action](bool confirmed) {
        reportKeyStored(provider, action, confirmed);
    });
}

void SettingsWindowController::reportKeyStored(AIProvider provider, const KeySaveAction& action,
                                               bool confirmed) {
    ProviderCard* card = m_window ? m_window->providerCard() : nullptr;
    if (confirmed) {
        // The field now shows what is stored; an earlier warning about the store is over.
        if (card && card->provider() == provider) {
            card->markKeyKnown();
            showKeyStatus({});
        }
        return;
    }
    const bool removal = action.kind == KeySaveAction::Kind::remove;
    showKeyStatus(
        {QStringLiteral("⚠️ 未能确认 ") + AIProviders::displayName(provider) +
             (removal ? QStringLiteral(" 的 API Key 已删除") : QStringLiteral(" 的 API Key 已保存")) +
             QStringLiteral("：密钥存储没有响应，密钥环可能已锁定。请解锁后再保存一次。"),
         StatusTone::failure});
}

void SettingsWindowController::showKeyStatus(const StatusMessage& status) {
    if (ProviderCard* card = m_window ? m_window->providerCard() : nullptr)
        card->showKeyStatus(status);
}

void SettingsWindowController::testAPIKeyConnection() {
    ProviderCard* card = m_window ? m_window->providerCard() : nullptr;
    if (!card)
        return;
    const quint64 generation = ++m_testGeneration;
    m_connectionTest.cancel();
    const AIProvider provider = m_settings.apiProvider();
    const ApiKeyInput input = ApiKeyInput::parse(card->keyFieldText());
    if (input.kind != ApiKeyInput::Kind::blank) {
        startConnectionTest(card, provider, input.key);
        return;
    }
    // A blank field tests the stored key.
    m_keyStore.readActiveKey(card, [this, card, provider, generation](const KeyLookup& lookup) {
        if (generation != m_testGeneration)
            return;
        const std::optional<QString> key = lookup.key();
        if (lookup.isStoreUnavailable())
            card->showTestStatus({QStringLiteral("无法读取已保存的 API Key：密钥存储不可用（") +
                                      lookup.reason() + QStringLiteral("）"),
                                  StatusTone::failure});
        else if (!key || key->isEmpty())
            card->showTestStatus({QStringLiteral("请先输入 API Key"), StatusTone::failure});
        else
            startConnectionTest(card, provider, *key);
    });
}

void SettingsWindowController::startConnectionTest(ProviderCard* card, AIProvider provider,
                                                   const QString& key) {
    card->showTestStatus(m_connectionTest.start(provider, key, card->modelTitle()));
}

// MARK: switches that take effect at once

void SettingsWindowController::telemetryToggled(bool on) {
    m_settings.setTelemetryEnabled(on);
}

void SettingsWindowController::launchAtLoginToggled(bool on) {
    if (!m_window)
        return;
    QString error;
    const bool done = Autostart::setEnabled(on, &error);
    if (!done) {
        const QSignalBlocker blocker(m_window->launchAtLoginCheckbox);
        m_window->launchAtLoginCheckbox->setChecked(!on);
    }
    StatusStyle::showStatus(m_window->launchAtLoginStatus, {error, StatusTone::failure});
    m_window->launchAtLoginStatus->setVisible(!done);
}

// MARK: template

void SettingsWindowController::templateModeChanged(int segment) {
    applyTemplateMode(segment == 0);
}

void SettingsWindowController::applyTemplateMode(bool usesDefault) {
    if (!m_window)
        return;
    std::optional<QString> custom;
    {
        std::lock_guard guard(m_settings.lock());
        custom = m_settings._customPromptUnlocked();
    }
    m_window->templateTextView->setPlainText(usesDefault || !custom ? PromptTemplates::defaultPromptTemplate()
                                                                    : *custom);
    m_window->templateTextView->setReadOnly(usesDefault);
    m_window->templateModeStatusLabel->setText(usesDefault ? QStringLiteral("内置默认模板（只读）")
                                                           : QStringLiteral("自定义模板（可编辑）"));
}

// MARK: save and reset

void SettingsWindowController::saveAllSettings() {
    if (!m_window)
        return;
    QList<HotkeyCombination> recorded;
    for (const auto& recorder : m_recorders)
        recorded.append({recorder->recordedKeyCode(), recorder->recordedModifiers()});
    const QList<HotkeyConflict> conflicts = collectHotkeyConflicts(recorded);
    if (conflicts.isEmpty()) {
        saveConfirmed();
        return;
    }
    QStringList lines;
    for (const HotkeyConflict& conflict : conflicts)
        lines.append(QStringLiteral("「") + conflict.display + QStringLiteral("」：") + conflict.reason);
    const AlertRequest alert{
        QStringLiteral("快捷键可能与系统冲突"),
        QStringLiteral("以下快捷键在大多数应用中是常用功能：\n\n") + lines.join(QLatin1Char('\n')) +
            QStringLiteral("\n\n全局注册后，这些应用内按此键将触发翻译而非原功能。确定要使用吗？"),
        AlertRequest::Style::Warning,
        {QStringLiteral("确定"), QStringLiteral("取消")}};
    m_alerts.openFor(m_window, alert, [this](int answer) {
        if (answer == 0)
            saveConfirmed();
    });
}

void SettingsWindowController::saveConfirmed() {
    if (!m_window)
        return;
    SettingsManager& store = m_settings;
    const PreferenceStore::Batch oneWrite(store.store());
    const AIProvider provider = store.apiProvider();
    ProviderCard* card = m_window->providerCard();
    const QString fieldText = card ? card->keyFieldText() : QString();
    logi(QStringLiteral("保存设置: provider=") + AIProviders::rawValue(provider) +
         QStringLiteral(", keyLen=") + QString::number(graphemeCount(ApiKeyInput::parse(fieldText).key)));
    if (card) {
        storeKey(provider, resolveKeySave(card->keyState(), fieldText));
        store.setModelOverride(card->modelTitle(), provider);
    }

    for (size_t i = 0; i < m_recorders.size(); ++i) {
        const HotkeyRecorder& recorder = *m_recorders[i];
        const HotkeySetting& hotkey = hotkeySettings()[i];
        if (!recorder.recordedKeyCode())
            continue;
        const int keyCode = *recorder.recordedKeyCode();
        const int modifiers = recorder.recordedModifiers();
        (store.*hotkey.setKeyCode)(keyCode);
        (store.*hotkey.setModifiers)(modifiers);
        (store.*hotkey.setDisplay)(hotkeyDisplayString(keyCode, modifiers));
    }
    store.setDefaultSplitMode(m_window->defaultSplitSeg->selectedSegment() == 1);
    postReregisterHotkey();

    const TemplateSaveAction action = resolveTemplateSave(m_window->templateModeSeg->selectedSegment() == 0,
                                                          m_window->templateTextView->toPlainText());
    switch (action.kind) {
    case TemplateSaveAction::Kind::useDefault:
        store.setUsesDefaultPrompt(true);
        break;
    case TemplateSaveAction::Kind::rejectEmpty:
        store.setCustomPrompt(std::nullopt);
        store.setUsesDefaultPrompt(true);
        m_window->templateTextView->setPlainText(PromptTemplates::defaultPromptTemplate());
        break;
    case TemplateSaveAction::Kind::saveCustom:
        store.setCustomPrompt(action.text);
        store.setUsesDefaultPrompt(false);
        break;
    }
    logi(QStringLiteral("设置已保存"));
}

void SettingsWindowController::resetAll() {
    if (!m_window)
        return;
    const AlertRequest alert{
        QStringLiteral("恢复默认设置"),
        QStringLiteral("将恢复 API Key 以外的所有设置为默认值，包括快捷键和翻译模板。确定继续？"),
        AlertRequest::Style::Warning,
        {QStringLiteral("恢复默认"), QStringLiteral("取消")}};
    m_alerts.openFor(m_window, alert, [this](int answer) {
        if (answer == 0)
            resetConfirmed();
    });
}

void SettingsWindowController::resetConfirmed() {
    if (!m_window)
        return;
    SettingsManager& store = m_settings;
    const PreferenceStore::Batch oneWrite(store.store());
    store.setCustomPrompt(std::nullopt);
    store.setUsesDefaultPrompt(true);
    m_window->templateModeSeg->setSelectedSegment(0);
    applyTemplateMode(true);

    const HotkeyDefaults defaults = SettingsManager::hotkeyDefaults();
    for (size_t i = 0; i < m_recorders.size(); ++i) {
        const HotkeySetting& hotkey = hotkeySettings()[i];
        const HotkeyDefault& factory = defaults.*hotkey.factory;
        (store.*hotkey.setKeyCode)(factory.keyCode);
        (store.*hotkey.setModifiers)(factory.modifiers);
        (store.*hotkey.setDisplay)(factory.display);
    }
    store.setDefaultSplitMode(true);
    m_window->defaultSplitSeg->setSelectedSegment(1);

    for (size_t i = 0; i < m_recorders.size(); ++i) {
        const HotkeyDefault& factory = defaults.*hotkeySettings()[i].factory;
        const SettingsWindow::HotkeySection& section = m_window->hotkeySections[int(i)];
        section.button->setText(QStringLiteral("  ") + factory.display + QStringLiteral("  "));
        section.button->setTone(StatusTone::secondary);
        section.statusLabel->setText(QStringLiteral("已恢复默认快捷键 ") + factory.display);
        m_recorders[i]->reset();
    }
    postReregisterHotkey();
}

void SettingsWindowController::postReregisterHotkey() {
    // After the action that asked for it has returned.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_reregisterHotkeys();
            // A recorded combination that could not be taken has given way to the stored one.
            for (size_t i = 0; i < m_recorders.size(); ++i) {
                HotkeyRecorder& recorder = *m_recorders[i];
                const HotkeySetting& hotkey = hotkeySettings()[i];
                if (recorder.recordedKeyCode() &&
                    (*recorder.recordedKeyCode() != (m_settings.*hotkey.keyCode)() ||
                     recorder.recordedModifiers() != (m_settings.*hotkey.modifiers)()))
                    recorder.dropRecording();
            }
        },
        Qt::QueuedConnection);
}

void SettingsWindowController::showAbout() {
    if (m_window)
        AboutDialog::open(m_window, m_settings.store().filePath());
}
