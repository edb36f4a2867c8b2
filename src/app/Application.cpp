#include "app/Application.h"

#include "app/AppConstants.h"
#include "app/Logger.h"
#include "app/MessageBoxAlertPresenter.h"
#include "app/UnixSignalWatcher.h"
#include "platform/KeyStoreFactory.h"
#include "result/ResultWebEngine.h"
#include "settings/KeychainHelper.h"
#include "settings/SettingsManager.h"
#include "update/UpdateChecker.h"

#include <QApplication>

#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace {

// Tesseract's OpenMP pool reads OMP_THREAD_LIMIT once, when the runtime loads, so
// the limit must be in the environment before the process starts: re-execute once.
void ensureSingleThreadedOpenMP(char** argv) {
    const char* limit = std::getenv("OMP_THREAD_LIMIT");
    if (limit && std::strcmp(limit, "1") == 0)
        return;
    ::setenv("OMP_THREAD_LIMIT", "1", 1);
    ::execv("/proc/self/exe", argv);
    // execv failed: carry on, only slower.
}

// Qt would abort with an English platform-plugin message; say what to do instead.
bool hasGraphicalSession() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM");
}

} // namespace

namespace Application {

int run(int argc, char** argv) {
    ensureSingleThreadedOpenMP(argv);
    AppConstants::initialize();
    logi(QStringLiteral("===== ") + APP_DISPLAY_NAME + QLatin1Char(' ') + APP_FULL_VERSION +
         QStringLiteral(" 启动 ====="));

    if (!hasGraphicalSession()) {
        loge(QStringLiteral(
            "没有图形桌面会话（未设置 DISPLAY）：VYRN 需要在 X11 桌面中运行，请在桌面会话的终端里启动它。"));
        Logger::shared().flush();
        return 1;
    }
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    ResultWebEngine::registerUrlScheme();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vyrn"));
    QApplication::setApplicationDisplayName(APP_DISPLAY_NAME);
    QApplication::setApplicationVersion(APP_SHORT_VERSION);
    QApplication::setQuitOnLastWindowClosed(false);

    // Before anything is logged that could tell a watcher the program is up.
    UnixSignalWatcher signalWatcher({SIGINT, SIGTERM});
    // exit(), not quit(): quit() first asks windows to close, and an open modal alert refuses.
    QObject::connect(&signalWatcher, &UnixSignalWatcher::received, &app, [] { QCoreApplication::exit(0); });

    MessageBoxAlertPresenter alertPresenter;
    Alerts::setPresenter(&alertPresenter);
    KeychainHelper::setBackend(KeyStoreFactory::create());
    SettingsManager::shared();

    UpdateChecker::shared().check();
    const int code = app.exec();
    Alerts::setPresenter(nullptr);
    logi(APP_DISPLAY_NAME + QStringLiteral(" 已退出"));
    Logger::shared().flush();
    return code;
}

} // namespace Application
