#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class AlertPresenter;
class DesktopKeybindings;
class HotkeyRegistration;
class HotkeyService;
class SettingsManager;

// One global hotkey that could not be registered, as the alert lists it.
struct HotkeyFailure {
    QString name;    // "截图翻译"
    QString display; // "Super+T"; empty for a failure of the keyboard handling as a whole
    QString reason;
};

// The two translation hotkeys, held for the life of the program as the preferences name
// them. Main thread only.
class GlobalHotkeys : public QObject {
    Q_OBJECT
public:
    // `waylandSession`: the desktop owns global shortcuts there; nothing is registered unless
    // the service is the desktop's own.
    GlobalHotkeys(SettingsManager& settings, HotkeyService& service, AlertPresenter& alerts,
                  bool waylandSession);
    ~GlobalHotkeys() override;

    // Where the desktop can bind the hotkeys in its own settings to run `program` with
    // --screenshot / --selection; they are written there while the user wants them
    // (SettingsManager::desktopKeybindings).
    void useDesktopKeybindings(DesktopKeybindings* bindings, const QString& program);
    DesktopKeybindings* desktopKeybindings() const { return m_desktop; }
    // The user's choice, carried out at once; conflicts are explained in one alert.
    void setDesktopKeybindingsWanted(bool wanted);
    // While a combination is recorded, VYRN's desktop entries are taken out, so that pressing
    // one runs no translation; they are written again afterwards from the stored hotkeys.
    void suspendDesktopKeybindings(bool suspended);
    // How the two hotkeys reach VYRN now, for the settings window.
    QString route() const;

    // Brings the registrations in line with the settings, letting go only of what changed. A
    // changed combination that cannot be taken gives way to the one held before, which is
    // stored again. Failures are explained in one alert.
    void reregister();
    void release();
    // The hotkeys registered now, as the ready line names them ("Super+T 截图翻译").
    QStringList registered() const;

Q_SIGNALS:
    // From the X event dispatch: handlers take what they need from the moment of the press
    // and start the flow later.
    void screenshotPressed();
    void selectionPressed();

private:
    void presentConflictAlert(const std::vector<HotkeyFailure>& failures);
    void writeDesktopKeybindings();

    SettingsManager& m_settings;
    HotkeyService& m_service;
    AlertPresenter& m_alerts;
    bool m_wayland;
    bool m_reportedUnavailable = false;
    std::unique_ptr<HotkeyRegistration> m_screenshot;
    std::unique_ptr<HotkeyRegistration> m_selection;
    DesktopKeybindings* m_desktop = nullptr;
    QString m_program;
    bool m_desktopSuspended = false;
    QStringList m_desktopWritten; // as registered() names them
};
