#pragma once

#include "settings/AIProvider.h"
#include "settings/ApiKeys.h"
#include "settings/KeyLookup.h"
#include "settings/PreferenceStore.h"

#include <QString>

#include <memory>
#include <mutex>
#include <optional>

// The factory setting of one hotkey, which "恢复默认" restores: Super+T, Super+Shift+T,
// Esc, ` and Super+D (control is Super on Linux, see LinuxKeyMap.h).
struct HotkeyDefault {
    int keyCode;
    int modifiers;
    QString display; // hotkeyDisplayString of the two
};
struct HotkeyDefaults {
    HotkeyDefault screenshot, selection, closePanel, togglePanel, split;
};

// Every persistent setting of the application. Safe from any thread: each typed
// accessor holds `lock` for its one read or write; compound reads hold it once.
//
// The stored format, which existing files and the key store rely on and which therefore
// never changes: every key starts with "kavelin." (API keys live in the key store under
// the accounts "kavelin.apikey.<provider>"); a hotkey is a key code of the Mac keyboard
// layout (KeyTable.h) and a modifier mask of Carbon bits (HotkeyNames.h). Those bits keep
// their names but take their Linux meaning: command is Ctrl, control is Super, option is
// Alt, shift is Shift (LinuxKeyMap.h), so a stored "control" bit is the Super key.
class SettingsManager {
public:
    // Runs the migrations, which may move keys into `keyStore`. Without a key store, every
    // key operation fails as with a store that cannot be asked. `fileKeyStore`, `otherKeyStore`:
    // see ApiKeys.
    explicit SettingsManager(const QString& filePath, std::unique_ptr<KeyStoreBackend> keyStore = nullptr,
                             std::unique_ptr<KeyStoreBackend> fileKeyStore = nullptr,
                             std::unique_ptr<KeyStoreBackend> otherKeyStore = nullptr);
    ~SettingsManager();

    static QString preferencesPath(); // $XDG_CONFIG_HOME/vyrn/preferences.json

    AIProvider apiProvider() const;
    void setApiProvider(AIProvider provider);

    // The key store's answer, else the legacy copy in the preference file. Logs hit or miss.
    KeyLookup apiKey(AIProvider provider) const;
    bool setApiKey(const std::optional<QString>& key, AIProvider provider);
    KeyLookup activeApiKey() const;
    // The current provider and the key read for that very provider, so that a concurrent
    // switch can never pair one provider's key with the other's endpoint. No log line.
    // The key store may take seconds (a locked keyring): it is asked without holding lock(),
    // and waited for as `wait` says.
    struct ActiveKey {
        AIProvider provider;
        KeyLookup key;
    };
    ActiveKey activeProviderAndKey(const KeyWait& wait = {}) const;
    // The key kept in memory since its first read goes; the next read asks the key store.
    void forgetApiKey(AIProvider provider) const;

    std::optional<QString> modelOverride(AIProvider provider) const;
    void setModelOverride(const std::optional<QString>& model, AIProvider provider);
    // `kavelin.baseURL.<raw>`: replaces scheme and host of the provider's endpoint when set.
    std::optional<QString> baseURLOverride(AIProvider provider) const;
    // The provider's chat-completions address and model, overrides applied.
    QUrl endpointURL(AIProvider provider) const;
    QString model(AIProvider provider) const;
    // `kavelin.updateBaseURL`: replaces the compiled-in update service address when set.
    std::optional<QString> updateBaseURL() const;

    std::optional<QString> customPrompt() const;
    void setCustomPrompt(const std::optional<QString>& prompt);
    bool usesDefaultPrompt() const;
    void setUsesDefaultPrompt(bool value);
    QString effectivePrompt() const;
    // For a caller that already holds lock() and needs flag and text together.
    std::mutex& lock() const { return m_lock; }
    std::optional<QString> _customPromptUnlocked() const;
    bool _usesDefaultPromptUnlocked() const;

    static HotkeyDefaults hotkeyDefaults();
    int hotkeyKeyCode() const;
    void setHotkeyKeyCode(int value);
    int hotkeyModifiers() const;
    void setHotkeyModifiers(int value);
    QString hotkeyDisplay() const;
    void setHotkeyDisplay(const QString& value);
    int selectionHotkeyKeyCode() const;
    void setSelectionHotkeyKeyCode(int value);
    int selectionHotkeyModifiers() const;
    void setSelectionHotkeyModifiers(int value);
    QString selectionHotkeyDisplay() const;
    void setSelectionHotkeyDisplay(const QString& value);
    int closePanelHotkeyKeyCode() const;
    void setClosePanelHotkeyKeyCode(int value);
    int closePanelHotkeyModifiers() const;
    void setClosePanelHotkeyModifiers(int value);
    QString closePanelHotkeyDisplay() const;
    void setClosePanelHotkeyDisplay(const QString& value);
    int togglePanelHotkeyKeyCode() const;
    void setTogglePanelHotkeyKeyCode(int value);
    int togglePanelHotkeyModifiers() const;
    void setTogglePanelHotkeyModifiers(int value);
    QString togglePanelHotkeyDisplay() const;
    void setTogglePanelHotkeyDisplay(const QString& value);
    int splitHotkeyKeyCode() const;
    void setSplitHotkeyKeyCode(int value);
    int splitHotkeyModifiers() const;
    void setSplitHotkeyModifiers(int value);
    QString splitHotkeyDisplay() const;
    void setSplitHotkeyDisplay(const QString& value);

    int popupFontSize() const;
    void setPopupFontSize(int value);
    bool defaultSplitMode() const;
    void setDefaultSplitMode(bool value);
    std::optional<QString> windowFrame() const;
    void setWindowFrame(const std::optional<QString>& value);
    QString installID() const;
    bool telemetryEnabled() const;
    void setTelemetryEnabled(bool value);
    std::optional<QString> skipUpdateVersion() const;
    void setSkipUpdateVersion(const std::optional<QString>& value);
    // `kavelin.ocrTraditionalChinese`: OCR also loads the traditional Chinese model. Off
    // unless set: that model turns simplified text traditional and slows every recognition.
    bool ocrTraditionalChinese() const;
    // `kavelin.desktopKeybindings`: the user agreed that VYRN's two translation hotkeys be
    // bound in the desktop's own keyboard settings (GNOME on Wayland). Off unless set.
    bool desktopKeybindings() const;
    void setDesktopKeybindings(bool value);
    // `kavelin.desktopKeybindingsOffered`: the offer to bind them was made once.
    bool desktopKeybindingsOffered() const;
    void setDesktopKeybindingsOffered(bool value);

    void migrateLegacyPrompt();

    PreferenceStore& store() const { return *m_store; }

private:
    void migrateAPIKeysToKeyStore();
    std::optional<qint64> storedInteger(const QString& key) const;
    int integerOr(const QString& key, int fallback) const;
    void storeInteger(const QString& key, int value);
    KeyLookup withLegacyFallback(const KeyLookup& lookup, AIProvider provider) const;

    std::unique_ptr<PreferenceStore> m_store;
    mutable ApiKeys m_keys;
    mutable std::mutex m_lock;
};
