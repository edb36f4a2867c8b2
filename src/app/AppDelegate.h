#pragma once

#include "base/AppRequest.h"
#include "base/SessionType.h"
#include "platform/PlatformLoader.h"

#include <QObject>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <chrono>
#include <memory>

class AlertPresenter;
class GlobalHotkeys;
class MessageBoxAlertPresenter;
class NotificationManager;
class OCREngine;
class PanelFocus;
class ResultWindowController;
class ScreenshotEngine;
class SettingsManager;
class SettingsWindowController;
class TranslationEngine;
class TranslationPipeline;
class TrayMenu;
class UpdateChecker;
struct PlatformServices;

// The program's owner: builds every service and controller, hands each what it needs, and
// destroys them in reverse order; launch, the two global translation hotkeys, requests from
// other starts of `vyrn`, shutdown. One instance, for the life of the process; main thread.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    struct Setup {
        SessionType session = SessionType::None;
        QString preferencesPath; // empty: the user's preference file
        PlatformLoader::Options platform;
        AlertPresenter* alerts = nullptr; // null: message boxes; tests answer alerts themselves
    };
    struct LaunchOptions {
        // What this start was asked for: a plain start opens the settings window after a
        // moment, an action runs once launching has finished.
        AppRequest request;
        // --background (autostart): no settings window.
        bool background = false;
    };

    // Needs the application object. Opens the preferences, which runs their migrations;
    // heavy parts (the web engine, the recogniser) are made later, when first useful.
    explicit AppDelegate(const Setup& setup);
    ~AppDelegate() override;

    void start(const LaunchOptions& options);
    // A later start of `vyrn`: its action, or the settings window for a plain start.
    void handleRequest(const AppRequest& request);
    void stop();

    // What it built, for tests and benchmarks that drive the program from inside.
    SettingsManager& settings() const { return *m_settings; }
    GlobalHotkeys& hotkeys() const { return *m_hotkeys; }
    ResultWindowController& results() const { return *m_results; }
    ScreenshotEngine& screenshots() const { return *m_screenshots; }
    SettingsWindowController& settingsWindow() const { return *m_settingsWindow; }
    TranslationPipeline& pipeline() const { return *m_pipeline; }

    static constexpr std::chrono::milliseconds settingsWindowDelay{600};
    // The recogniser and the loading panel are made this long after launch, off the start's
    // path, before a first translation.
    static constexpr std::chrono::milliseconds recognizerWarmUpDelay{1000};

private:
    // `launchId`: the desktop's startup id or activation token for a request that carried one.
    void startScreenshot(const QByteArray& launchId = {});
    void startSelection(const QByteArray& launchId = {});
    void reregisterHotkeys();
    // Ends the launch's feedback (the window opened for it may take the focus) and runs it.
    void perform(const AppRequest& request);
    void logFirstRunWithoutKey();
    void announceWaylandLimits();
    // How the hotkeys reach VYRN on this desktop, for the settings window and its recorders.
    void useHotkeyRoute(const PlatformServices& platform);
    // Once, where the desktop can bind the hotkeys in its own settings: asks whether to.
    void offerDesktopKeybindings();

    // In the order they are made; each may use those above it.
    std::unique_ptr<PlatformServices> m_platform;
    std::unique_ptr<SettingsManager> m_settings;
    QThreadPool m_startupWork;
    // Set once VYRN quits: the start's key read stops waiting for the key store.
    std::shared_ptr<std::atomic<bool>> m_quitting = std::make_shared<std::atomic<bool>>(false);
    std::unique_ptr<MessageBoxAlertPresenter> m_messageBoxes;
    AlertPresenter* m_alerts = nullptr;
    std::unique_ptr<NotificationManager> m_notifications;
    std::unique_ptr<TranslationEngine> m_engine;
    std::unique_ptr<OCREngine> m_ocr;
    std::unique_ptr<UpdateChecker> m_updateChecker;
    std::unique_ptr<ScreenshotEngine> m_screenshots;
    // Where keys cannot be grabbed: the panels take the keyboard for their keys. Null elsewhere.
    std::unique_ptr<PanelFocus> m_panelFocus;
    std::unique_ptr<ResultWindowController> m_results;
    std::unique_ptr<SettingsWindowController> m_settingsWindow;
    std::unique_ptr<TranslationPipeline> m_pipeline;
    std::unique_ptr<GlobalHotkeys> m_hotkeys;
    std::unique_ptr<TrayMenu> m_tray;
    bool m_loggedConnection = false;
};
