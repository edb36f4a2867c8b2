#pragma once

#include <QColor>
#include <QObject>

class QDBusMessage;

// The desktop's wish for light or dark windows (the freedesktop "color-scheme" setting).
enum class ColorSchemePreference { NoPreference, Dark, Light };

// Dark pages when the desktop asks for them, light when it asks for light, and
// otherwise whatever the window colour of the palette suggests.
bool prefersDarkPages(ColorSchemePreference preference, const QColor& windowColor);

// Reads the setting from the settings portal (org.freedesktop.portal.Settings) without
// waiting for it, and follows its changes. Main thread only.
class DesktopColorScheme : public QObject {
    Q_OBJECT
public:
    DesktopColorScheme();

    // NoPreference until the portal has answered, and while none answers.
    ColorSchemePreference preference() const { return m_preference; }
    // Asks the portal again; changed() follows when the answer differs.
    void refresh();

    // The portal's SettingChanged signal.
public Q_SLOTS:
    void settingChanged(const QDBusMessage& message);

Q_SIGNALS:
    void changed(ColorSchemePreference preference);

private:
    void setPreference(ColorSchemePreference preference);

    ColorSchemePreference m_preference = ColorSchemePreference::NoPreference;
    bool m_failureLogged = false;
};
