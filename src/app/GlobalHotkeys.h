#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class AlertPresenter;
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

    SettingsManager& m_settings;
    HotkeyService& m_service;
    AlertPresenter& m_alerts;
    bool m_wayland;
    bool m_reportedUnavailable = false;
    std::unique_ptr<HotkeyRegistration> m_screenshot;
    std::unique_ptr<HotkeyRegistration> m_selection;
};
