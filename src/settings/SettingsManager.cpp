#include "settings/SettingsManager.h"

#include "base/AppConstants.h"
#include "base/Logger.h"
#include "keys/HotkeyNames.h"
#include "settings/KeyStore.h"
#include "settings/PromptTemplates.h"

#include <QUuid>

#include <algorithm>
#include <limits>

namespace {

QString key(const char* name) {
    return QStringLiteral("kavelin.") + QLatin1String(name);
}
QString apiKeyAccount(AIProvider provider) {
    return ApiKeys::account(provider);
}

// Blank prompts count as none; QString::trimmed() drops line breaks as well as spaces.
bool isBlank(const QString& text) {
    return text.trimmed().isEmpty();
}

} // namespace

SettingsManager::~SettingsManager() = default;

QString SettingsManager::preferencesPath() {
    return AppConstants::configDirectory() + QStringLiteral("/preferences.json");
}

SettingsManager::SettingsManager(const QString& filePath, std::unique_ptr<KeyStoreBackend> keyStore,
                                 std::unique_ptr<KeyStoreBackend> fileKeyStore,
                                 std::unique_ptr<KeyStoreBackend> otherKeyStore)
    : m_store(std::make_unique<PreferenceStore>(filePath)),
      m_keys(*m_store, std::move(keyStore), std::move(fileKeyStore), std::move(otherKeyStore)) {
    if (m_store->boolean(key("keychain_migrated_v2")) != true)
        migrateAPIKeysToKeyStore();
    migrateLegacyPrompt();
}

void SettingsManager::migrateAPIKeysToKeyStore() {
    bool allMoved = true;
    for (AIProvider provider : AIProviders::allCases()) {
        const QString account = apiKeyAccount(provider);
        const std::optional<QString> legacy = m_store->text(account);
        if (!legacy || legacy->isEmpty())
            continue;
        if (m_keys.save(*legacy, provider)) {
            m_store->remove(account);
            logi(QStringLiteral("迁移：") + AIProviders::displayName(provider) +
                 QStringLiteral(" Key 从偏好设置文件 → 密钥存储"));
        } else {
            logi(QStringLiteral("迁移失败：") + AIProviders::displayName(provider) +
                 QStringLiteral(" Key 保留在偏好设置文件，下次启动重试"));
            allMoved = false;
        }
    }
    if (allMoved)
        m_store->setValue(key("keychain_migrated_v2"), true);
}

void SettingsManager::migrateLegacyPrompt() {
    const std::optional<QString> legacy = m_store->text(key("prompt"));
    if (!legacy || isBlank(*legacy))
        return;
    m_store->setValue(key("prompt.custom"), *legacy);
    m_store->setValue(key("prompt.usesDefault"), false);
    m_store->remove(key("prompt"));
}

// MARK: provider, keys, model

AIProvider SettingsManager::apiProvider() const {
    std::lock_guard guard(m_lock);
    return AIProviders::fromRawValue(m_store->text(key("apiProvider")).value_or(QString()))
        .value_or(AIProvider::deepseek);
}

void SettingsManager::setApiProvider(AIProvider provider) {
    std::lock_guard guard(m_lock);
    m_store->setValue(key("apiProvider"), AIProviders::rawValue(provider));
}

// A key that an older version left in the preference file (its move failed) still counts,
// also while the key store cannot be asked.
KeyLookup SettingsManager::withLegacyFallback(const KeyLookup& lookup, AIProvider provider) const {
    if (lookup.key())
        return lookup;
    if (const std::optional<QString> legacy = m_store->text(apiKeyAccount(provider)))
        return KeyLookup::found(*legacy);
    return lookup;
}

KeyLookup SettingsManager::apiKey(AIProvider provider) const {
    const QString raw = AIProviders::rawValue(provider);
    const KeyLookup stored = m_keys.read(provider);
    if (stored.key()) {
        logi(QStringLiteral("密钥存储读取: provider=") + raw + QStringLiteral(", hit=true"));
        return stored;
    }
    logi(QStringLiteral("密钥存储读取: provider=") + raw +
         QStringLiteral(", hit=false, fallback to preference file"));
    return withLegacyFallback(stored, provider);
}

bool SettingsManager::setApiKey(const std::optional<QString>& newKey, AIProvider provider) {
    const QString raw = AIProviders::rawValue(provider);
    const QString account = apiKeyAccount(provider);
    if (!newKey || newKey->isEmpty()) {
        logi(QStringLiteral("密钥存储删除: provider=") + raw);
        const bool deleted = m_keys.save(std::nullopt, provider);
        m_store->remove(account);
        if (deleted)
            return true;
        loge(QStringLiteral("密钥存储删除失败: provider=") + raw + QStringLiteral(" — 旧 key 可能仍残留"));
        return false;
    }
    logi(QStringLiteral("密钥存储写入: provider=") + raw + QStringLiteral(", len=") +
         QString::number(newKey->size()));
    if (m_keys.save(*newKey, provider)) {
        m_store->remove(account);
        return true;
    }
    loge(QStringLiteral("密钥存储写入失败: provider=") + raw +
         QStringLiteral(" — 新 key 未被保存，旧 key 仍生效"));
    return false;
}

KeyLookup SettingsManager::activeApiKey() const {
    const AIProvider provider = apiProvider();
    return withLegacyFallback(m_keys.read(provider), provider);
}

SettingsManager::ActiveKey SettingsManager::activeProviderAndKey(const KeyWait& wait) const {
    const AIProvider provider = apiProvider();
    return {provider, withLegacyFallback(m_keys.read(provider, &wait), provider)};
}

void SettingsManager::forgetApiKey(AIProvider provider) const {
    m_keys.forget(provider);
}

std::optional<QString> SettingsManager::modelOverride(AIProvider provider) const {
    std::lock_guard guard(m_lock);
    return m_store->text(key("model.") + AIProviders::rawValue(provider));
}

void SettingsManager::setModelOverride(const std::optional<QString>& model, AIProvider provider) {
    std::lock_guard guard(m_lock);
    const QString name = key("model.") + AIProviders::rawValue(provider);
    if (model && !model->isEmpty())
        m_store->setValue(name, *model);
    else
        m_store->remove(name);
}

std::optional<QString> SettingsManager::baseURLOverride(AIProvider provider) const {
    std::lock_guard guard(m_lock);
    return m_store->text(key("baseURL.") + AIProviders::rawValue(provider));
}

QUrl SettingsManager::endpointURL(AIProvider provider) const {
    return AIProviders::endpointURL(provider, baseURLOverride(provider));
}

QString SettingsManager::model(AIProvider provider) const {
    return AIProviders::defaultModel(provider, modelOverride(provider));
}

std::optional<QString> SettingsManager::updateBaseURL() const {
    std::lock_guard guard(m_lock);
    return m_store->text(key("updateBaseURL"));
}

// MARK: prompt

std::optional<QString> SettingsManager::_customPromptUnlocked() const {
    std::optional<QString> stored = m_store->text(key("prompt.custom"));
    if (!stored || isBlank(*stored))
        return std::nullopt;
    return stored;
}

bool SettingsManager::_usesDefaultPromptUnlocked() const {
    return m_store->boolean(key("prompt.usesDefault")).value_or(true);
}

std::optional<QString> SettingsManager::customPrompt() const {
    std::lock_guard guard(m_lock);
    return _customPromptUnlocked();
}

void SettingsManager::setCustomPrompt(const std::optional<QString>& prompt) {
    std::lock_guard guard(m_lock);
    if (prompt && !isBlank(*prompt))
        m_store->setValue(key("prompt.custom"), *prompt);
    else
        m_store->remove(key("prompt.custom"));
}

bool SettingsManager::usesDefaultPrompt() const {
    std::lock_guard guard(m_lock);
    return _usesDefaultPromptUnlocked();
}

void SettingsManager::setUsesDefaultPrompt(bool value) {
    std::lock_guard guard(m_lock);
    m_store->setValue(key("prompt.usesDefault"), value);
}

QString SettingsManager::effectivePrompt() const {
    std::lock_guard guard(m_lock);
    if (_usesDefaultPromptUnlocked())
        return PromptTemplates::defaultPromptTemplate();
    return _customPromptUnlocked().value_or(PromptTemplates::defaultPromptTemplate());
}

// MARK: integers and hotkeys

std::optional<qint64> SettingsManager::storedInteger(const QString& name) const {
    std::lock_guard guard(m_lock);
    return m_store->integer(name);
}

int SettingsManager::integerOr(const QString& name, int fallback) const {
    const std::optional<qint64> stored = storedInteger(name);
    if (!stored || *stored < std::numeric_limits<int>::min() || *stored > std::numeric_limits<int>::max())
        return fallback;
    return int(*stored);
}

void SettingsManager::storeInteger(const QString& name, int value) {
    std::lock_guard guard(m_lock);
    m_store->setValue(name, value);
}

HotkeyDefaults SettingsManager::hotkeyDefaults() {
    const auto hotkey = [](int keyCode, int modifiers) {
        return HotkeyDefault{keyCode, modifiers, hotkeyDisplayString(keyCode, modifiers)};
    };
    return {hotkey(DEFAULT_HOTKEY_KEYCODE, CarbonModifier::control),
            hotkey(DEFAULT_SELECTION_HOTKEY_KEYCODE, CarbonModifier::control | CarbonModifier::shift),
            hotkey(53, 0), hotkey(50, 0), hotkey(DEFAULT_SPLIT_HOTKEY_KEYCODE, CarbonModifier::control)};
}

#define VYRN_INTEGER_SETTING(getter, setter, name, fallback)                                                 \
    int SettingsManager::getter() const {                                                                    \
        return integerOr(key(name), fallback);                                                               \
    }                                                                                                        \
    void SettingsManager::setter(int value) {                                                                \
        storeInteger(key(name), value);                                                                      \
    }

#define VYRN_TEXT_SETTING(getter, setter, name, fallback)                                                    \
    QString SettingsManager::getter() const {                                                                \
        return m_store->text(key(name)).value_or(fallback);                                                  \
    }                                                                                                        \
    void SettingsManager::setter(const QString& value) {                                                     \
        m_store->setValue(key(name), value);                                                                 \
    }

VYRN_INTEGER_SETTING(hotkeyKeyCode, setHotkeyKeyCode, "hotkeyKeyCode", hotkeyDefaults().screenshot.keyCode)
VYRN_INTEGER_SETTING(hotkeyModifiers, setHotkeyModifiers, "hotkeyModifiers",
                     hotkeyDefaults().screenshot.modifiers)
VYRN_TEXT_SETTING(hotkeyDisplay, setHotkeyDisplay, "hotkeyDisplay", hotkeyDefaults().screenshot.display)
VYRN_INTEGER_SETTING(selectionHotkeyKeyCode, setSelectionHotkeyKeyCode, "selectionHotkeyKeyCode",
                     hotkeyDefaults().selection.keyCode)
VYRN_INTEGER_SETTING(selectionHotkeyModifiers, setSelectionHotkeyModifiers, "selectionHotkeyModifiers",
                     hotkeyDefaults().selection.modifiers)
VYRN_TEXT_SETTING(selectionHotkeyDisplay, setSelectionHotkeyDisplay, "selectionHotkeyDisplay",
                  hotkeyDefaults().selection.display)
VYRN_INTEGER_SETTING(closePanelHotkeyKeyCode, setClosePanelHotkeyKeyCode, "closePanelHotkeyKeyCode",
                     hotkeyDefaults().closePanel.keyCode)
VYRN_INTEGER_SETTING(closePanelHotkeyModifiers, setClosePanelHotkeyModifiers, "closePanelHotkeyModifiers",
                     hotkeyDefaults().closePanel.modifiers)
VYRN_TEXT_SETTING(closePanelHotkeyDisplay, setClosePanelHotkeyDisplay, "closePanelHotkeyDisplay",
                  hotkeyDefaults().closePanel.display)
VYRN_INTEGER_SETTING(togglePanelHotkeyKeyCode, setTogglePanelHotkeyKeyCode, "togglePanelHotkeyKeyCode",
                     hotkeyDefaults().togglePanel.keyCode)
VYRN_INTEGER_SETTING(togglePanelHotkeyModifiers, setTogglePanelHotkeyModifiers, "togglePanelHotkeyModifiers",
                     hotkeyDefaults().togglePanel.modifiers)
VYRN_TEXT_SETTING(togglePanelHotkeyDisplay, setTogglePanelHotkeyDisplay, "togglePanelHotkeyDisplay",
                  hotkeyDefaults().togglePanel.display)
VYRN_INTEGER_SETTING(splitHotkeyKeyCode, setSplitHotkeyKeyCode, "splitHotkeyKeyCode",
                     hotkeyDefaults().split.keyCode)
VYRN_INTEGER_SETTING(splitHotkeyModifiers, setSplitHotkeyModifiers, "splitHotkeyModifiers",
                     hotkeyDefaults().split.modifiers)
VYRN_TEXT_SETTING(splitHotkeyDisplay, setSplitHotkeyDisplay, "splitHotkeyDisplay",
                  hotkeyDefaults().split.display)

#undef VYRN_INTEGER_SETTING
#undef VYRN_TEXT_SETTING

// MARK: result panel, identity, updates

int SettingsManager::popupFontSize() const {
    // Clamped before narrowing: a hand-edited 1e12 is a large size, not a missing one.
    const std::optional<qint64> stored = storedInteger(key("popupFontSize"));
    return stored ? int(std::clamp<qint64>(*stored, 12, 22)) : 14;
}

void SettingsManager::setPopupFontSize(int value) {
    storeInteger(key("popupFontSize"), std::clamp(value, 12, 22));
}

// Lenient, for values written by hand or by older versions: booleans as they are, numbers
// when non-zero, texts that read as yes, true or a non-zero number.
static std::optional<bool> looseBoolean(const QJsonValue& v) {
    if (v.isBool())
        return v.toBool();
    if (v.isDouble())
        return v.toDouble() != 0;
    if (v.isString()) {
        const QString t = v.toString().trimmed().toLower();
        return t == QStringLiteral("yes") || t == QStringLiteral("true") || t.toInt() != 0;
    }
    if (v.isUndefined())
        return std::nullopt;
    return false;
}

bool SettingsManager::defaultSplitMode() const {
    std::lock_guard guard(m_lock);
    return looseBoolean(m_store->value(key("defaultSplitMode"))).value_or(true);
}

void SettingsManager::setDefaultSplitMode(bool value) {
    std::lock_guard guard(m_lock);
    m_store->setValue(key("defaultSplitMode"), value);
}

std::optional<QString> SettingsManager::windowFrame() const {
    return m_store->text(key("windowFrame"));
}

void SettingsManager::setWindowFrame(const std::optional<QString>& value) {
    if (value)
        m_store->setValue(key("windowFrame"), *value);
    else
        m_store->remove(key("windowFrame"));
}

QString SettingsManager::installID() const {
    std::lock_guard guard(m_lock);
    const std::optional<QString> stored = m_store->text(key("installID"));
    if (stored && !stored->isEmpty())
        return *stored;
    const QString created = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    m_store->setValue(key("installID"), created);
    return created;
}

bool SettingsManager::telemetryEnabled() const {
    std::lock_guard guard(m_lock);
    return looseBoolean(m_store->value(key("telemetryEnabled"))).value_or(true);
}

void SettingsManager::setTelemetryEnabled(bool value) {
    std::lock_guard guard(m_lock);
    m_store->setValue(key("telemetryEnabled"), value);
}

bool SettingsManager::ocrTraditionalChinese() const {
    std::lock_guard guard(m_lock);
    return looseBoolean(m_store->value(key("ocrTraditionalChinese"))).value_or(false);
}

bool SettingsManager::desktopKeybindings() const {
    std::lock_guard guard(m_lock);
    return looseBoolean(m_store->value(key("desktopKeybindings"))).value_or(false);
}

void SettingsManager::setDesktopKeybindings(bool value) {
    std::lock_guard guard(m_lock);
    m_store->setValue(key("desktopKeybindings"), value);
}

bool SettingsManager::desktopKeybindingsOffered() const {
    std::lock_guard guard(m_lock);
    return looseBoolean(m_store->value(key("desktopKeybindingsOffered"))).value_or(false);
}

void SettingsManager::setDesktopKeybindingsOffered(bool value) {
    std::lock_guard guard(m_lock);
    m_store->setValue(key("desktopKeybindingsOffered"), value);
}

std::optional<QString> SettingsManager::skipUpdateVersion() const {
    return m_store->text(key("skipUpdateVersion"));
}

void SettingsManager::setSkipUpdateVersion(const std::optional<QString>& value) {
    if (value)
        m_store->setValue(key("skipUpdateVersion"), *value);
    else
        m_store->remove(key("skipUpdateVersion"));
}
