#pragma once

#include <QString>

// Program-wide constants. All but LOG_PATH are fixed at compile time; LOG_PATH follows the
// XDG folders and is fixed by AppConstants::initialize() before anything is logged.
extern const QString APP_NAME;
extern const QString APP_DISPLAY_NAME;
extern const QString APP_SHORT_VERSION;
extern const QString APP_BUILD_VERSION;
extern const QString APP_FULL_VERSION;
extern const QString& LOG_PATH;
// The application's reverse-DNS name: its session bus name, its desktop entry
// (app.vyrn.Vyrn.desktop) and its AppStream component.
inline constexpr char APP_ID[] = "app.vyrn.Vyrn";
inline constexpr int DEFAULT_HOTKEY_KEYCODE = 17;
inline constexpr int DEFAULT_SELECTION_HOTKEY_KEYCODE = 17;
inline constexpr int DEFAULT_SPLIT_HOTKEY_KEYCODE = 2;

namespace AppConstants {
// Fixes LOG_PATH from the environment; later calls change nothing.
void initialize();
// $XDG_STATE_HOME/vyrn/vyrn.log, with the XDG default when the variable is unset or relative.
QString defaultLogPath();
// $XDG_CONFIG_HOME/vyrn, with the XDG default.
QString configDirectory();
} // namespace AppConstants
