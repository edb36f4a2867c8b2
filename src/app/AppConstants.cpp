#include "app/AppConstants.h"

#include "app/BuildInfo.h"

#include <QDir>

QString APP_NAME = QStringLiteral("VYRN");
QString APP_DISPLAY_NAME = QStringLiteral("VYRN");
QString LOG_PATH;
QString APP_SHORT_VERSION = QStringLiteral(VYRN_VERSION_STRING);
QString APP_BUILD_VERSION = QStringLiteral(VYRN_BUILD_NUMBER_STRING);
QString APP_FULL_VERSION = APP_SHORT_VERSION + QStringLiteral(" (") + APP_BUILD_VERSION + QStringLiteral(")");
int DEFAULT_HOTKEY_KEYCODE = 17;
int DEFAULT_SELECTION_HOTKEY_KEYCODE = 17;
int DEFAULT_SPLIT_HOTKEY_KEYCODE = 2;

namespace {
// The XDG base-directory rule: an unset, empty or relative value means the default under $HOME.
QString xdgDirectory(const char* variable, const QString& fallbackUnderHome) {
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return value;
    return QDir::homePath() + QLatin1Char('/') + fallbackUnderHome;
}
} // namespace

namespace AppConstants {

QString defaultLogPath() {
    return xdgDirectory("XDG_STATE_HOME", QStringLiteral(".local/state")) + QStringLiteral("/vyrn/vyrn.log");
}

QString configDirectory() {
    return xdgDirectory("XDG_CONFIG_HOME", QStringLiteral(".config")) + QStringLiteral("/vyrn");
}

void initialize() {
    APP_NAME = QStringLiteral("VYRN");
    APP_DISPLAY_NAME = QStringLiteral("VYRN");
    LOG_PATH = defaultLogPath();
    DEFAULT_HOTKEY_KEYCODE = 17;
    DEFAULT_SELECTION_HOTKEY_KEYCODE = 17;
    DEFAULT_SPLIT_HOTKEY_KEYCODE = 2;
    APP_SHORT_VERSION = QStringLiteral(VYRN_VERSION_STRING);
    APP_BUILD_VERSION = QStringLiteral(VYRN_BUILD_NUMBER_STRING);
    APP_FULL_VERSION = APP_SHORT_VERSION + QStringLiteral(" (") + APP_BUILD_VERSION + QStringLiteral(")");
}

} // namespace AppConstants
