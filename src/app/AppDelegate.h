#pragma once

#include "base/AppRequest.h"
#include "windows/MessageBoxAlertPresenter.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>
#include <vector>

class HotkeyRegistration;
class SettingsManager;
class TranslationPipeline;

// One global hotkey that could not be registered, as the alert lists it.
struct HotkeyFailure {
    QString name;    // "截图翻译"
    QString display; // "Super+T"; empty for a failure of the keyboard handling as a whole
    QString reason;
};

// The program's owner: launch, the two global translation hotkeys, requests from other
// starts of `vyrn`, shutdown. One instance, kept for the life of the process; main thread.
class AppDelegate : public QObject {
    Q_OBJECT
public:
    struct LaunchOptions {
        // What this start was asked for: a plain start opens the settings window after a
        // moment, an action runs once launching has finished.
        AppRequest request;
        // --background (autostart): no settings window.
        bool background = false;
    };

    // Takes the settings store, which runs its migrations.
    AppDelegate();
    ~AppDelegate() override;

    void start(const LaunchOptions& options);
    // A later start of `vyrn`: its action, or the settings window for a plain start.
    void handleRequest(const AppRequest& request);
    void stop();

    // Releases both translation hotkeys and registers them again from the settings;
    // failures are explained in one alert. The settings window calls it after saving
    // (through HotkeyHook).
    void reregisterHotkey();
    void presentHotkeyConflictAlert(const std::vector<HotkeyFailure>& failures);

    // The hotkeys registered now, as the ready line names them ("Super+T 截图翻译").
    QStringList registeredHotkeys() const;

    static constexpr std::chrono::milliseconds settingsWindowDelay{600};
    // The recogniser and the loading panel are made this long after launch, off the start's
    // path, before a first translation.
    static constexpr std::chrono::milliseconds recognizerWarmUpDelay{1000};

private:
    enum class Flow { Screenshot, Selection };
    void hotkeyPressed(Flow flow, quint32 pressTime);
    // Ends the launch's feedback (the window opened for it may take the focus) and runs it.
    void perform(const AppRequest& request);
    void logFirstRunWithoutKey();
    void announceWaylandLimits();

    SettingsManager& m_settings;
    MessageBoxAlertPresenter m_alertPresenter;
    std::unique_ptr<HotkeyRegistration> m_screenshotHotkey;
    std::unique_ptr<HotkeyRegistration> m_selectionHotkey;
    std::unique_ptr<TranslationPipeline> m_pipeline;
};
