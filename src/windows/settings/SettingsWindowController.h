#pragma once

#include "engine/ConnectionTest.h"
#include "settings/AIProvider.h"
#include "settings/ApiKeyInput.h"
#include "settings/KeyStoreQueue.h"

#include <QObject>
#include <QPointer>

#include <memory>
#include <vector>

class AlertPresenter;
class HotkeyRecorder;
class SettingsManager;
class ProviderCard;
class SettingsWindow;
class ScreenshotPermission;

// The preferences window: provider, key and model, the five hotkeys, the default view, the
// prompt template, statistics and starting at login. Most settings take effect on
// "保存并应用"; the provider choice (which also stores the outgoing provider's key and
// model), statistics and starting at login take effect at once. Key store calls run off the
// main thread. One instance, for the life of the program; main thread.
class SettingsWindowController : public QObject {
    Q_OBJECT
public:
    enum class Hotkey { screenshot, selection, closePanel, togglePanel, split };
    static constexpr int hotkeyCount = 5;

    // How the translation hotkeys reach VYRN; all optional.
    struct HotkeyRoute {
        std::function<QString()> describe;
        // The desktop can bind them in its own settings with the user's consent (GNOME on
        // Wayland): the tab offers the button, which calls `setDesktopKeybindings`.
        bool desktopKeybindings = false;
        QString desktopPlace; // "GNOME 键盘快捷键"
        std::function<void(bool wanted)> setDesktopKeybindings;
        // Pauses the desktop's shortcuts, or VYRN's among them, while a recorder holds the
        // keyboard (true) and lets them work again after (false). The keyboard grab cannot
        // stop them under Wayland.
        std::function<void(bool recording)> suspend;
        // Shown under a recorder while it records.
        QString recordingNote;
    };

    // `reregisterHotkeys` runs after a save or reset changed the hotkeys, from the event loop.
    SettingsWindowController(SettingsManager& settings, AlertPresenter& alerts,
                             std::function<void()> reregisterHotkeys);
    ~SettingsWindowController() override;

    void setHotkeyRoute(HotkeyRoute route);
    void desktopKeybindingsClicked();
    // The hotkeys tab names the route again (after the desktop's bindings changed).
    void refreshHotkeyRoute();

    // Where the desktop asks the user once before it hands out screen pictures: the general
    // tab offers "允许截图". Null: no such step here.
    void setScreenshotPermission(ScreenshotPermission* permission);
    // Opens the window at that step and gives its button the focus (a capture found the
    // permission missing).
    void showScreenshotPermission();
    void screenshotPermissionClicked();

    // Opens the window, or brings the open one forward with its unsaved edits, and gives it
    // the focus.
    void show();
    SettingsWindow* window() const;

    void providerChanged(int index);
    void testAPIKeyConnection();
    void telemetryToggled(bool on);
    void launchAtLoginToggled(bool on);
    void templateModeChanged(int segment);
    // Asks first when a recorded hotkey is a known shortcut; the answer arrives later.
    void saveAllSettings();
    // Asks first; the answer arrives later. API keys, provider and models stay.
    void resetAll();
    void showAbout();

    HotkeyRecorder& recorder(Hotkey hotkey) const { return *m_recorders[size_t(hotkey)]; }
    ConnectionTest& connectionTest() { return m_connectionTest; }
    KeyStoreQueue& keyStoreQueue() { return m_keyStore; }

private:
    void windowWillClose();
    void refreshScreenshotPermission();
    void installProviderCard(AIProvider provider);
    void loadKey(ProviderCard* card);
    void storeKey(AIProvider provider, const KeySaveAction& action);
    void reportKeyStored(AIProvider provider, const KeySaveAction& action, bool confirmed);
    void showKeyStatus(const StatusMessage& status);
    void startConnectionTest(ProviderCard* card, AIProvider provider, const QString& key);
    void applyTemplateMode(bool usesDefault);
    void saveConfirmed();
    void resetConfirmed();
    void postReregisterHotkey();
    bool anyRecorderBusy() const;

    SettingsManager& m_settings;
    AlertPresenter& m_alerts;
    std::function<void()> m_reregisterHotkeys;
    HotkeyRoute m_route;
    ScreenshotPermission* m_screenshotPermission = nullptr;
    bool m_askingScreenshotPermission = false;
    std::vector<std::unique_ptr<HotkeyRecorder>> m_recorders;
    QPointer<SettingsWindow> m_window;
    ConnectionTest m_connectionTest;
    KeyStoreQueue m_keyStore;
    // Which press of "测试连接" a key read answers; a later press makes it stale.
    quint64 m_testGeneration = 0;
};
