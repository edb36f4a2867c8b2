#pragma once

#include <QString>

// Program-wide constants, fixed once by the entry function before anything else runs.
extern QString APP_NAME;
extern QString APP_DISPLAY_NAME;
extern QString LOG_PATH;
extern QString APP_SHORT_VERSION;
extern QString APP_BUILD_VERSION;
extern QString APP_FULL_VERSION;
extern int DEFAULT_HOTKEY_KEYCODE;
extern int DEFAULT_SELECTION_HOTKEY_KEYCODE;
extern int DEFAULT_SPLIT_HOTKEY_KEYCODE;

namespace AppConstants {
// Sets every constant above from the compiled-in version and the XDG folders.
void initialize();
// $XDG_STATE_HOME/vyrn/vyrn.log, with the XDG default when the variable is unset or relative.
QString defaultLogPath();
// $XDG_CONFIG_HOME/vyrn, with the XDG default.
QString configDirectory();
} // namespace AppConstants
