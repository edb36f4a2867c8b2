#include "base/AppConstants.h"

#include "base/BuildInfo.h"

#include <QDir>

const QString APP_NAME = QStringLiteral("VYRN");
const QString APP_DISPLAY_NAME = QStringLiteral("VYRN");
const QString APP_SHORT_VERSION = QStringLiteral(VYRN_VERSION_STRING);
const QString APP_BUILD_VERSION = QStringLiteral(VYRN_BUILD_NUMBER_STRING);
const QString APP_FULL_VERSION = QStringLiteral(VYRN_VERSION_STRING " (" VYRN_BUILD_NUMBER_STRING ")");

namespace {
QString g_logPath;

// The XDG base-directory rule: an unset, empty or relative value means the default under $HOME.
QString xdgDirectory(const char* variable, const QString& fallbackUnderHome) {
    const QString value = qEnvironmentVariable(variable);
    if (!value.isEmpty() && QDir::isAbsolutePath(value))
        return value;
    return QDir::homePath() + QLatin1Char('/') + fallbackUnderHome;
}
} // namespace

const QString& LOG_PATH = g_logPath;

namespace AppConstants {

QString defaultLogPath() {
    return xdgDirectory("XDG_STATE_HOME", QStringLiteral(".local/state")) + QStringLiteral("/vyrn/vyrn.log");
}

QString configDirectory() {
    return xdgDirectory("XDG_CONFIG_HOME", QStringLiteral(".config")) + QStringLiteral("/vyrn");
}

void initialize() {
    if (g_logPath.isEmpty())
        g_logPath = defaultLogPath();
}

} // namespace AppConstants
