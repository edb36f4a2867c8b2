#include "app/Application.h"

#include "app/AppDelegate.h"
#include "app/CommandLine.h"
#include "app/UnixSignalWatcher.h"
#include "app/UpgradeRestart.h"
#include "base/AppConstants.h"
#include "base/AppIcon.h"
#include "base/Logger.h"
#include "base/SessionType.h"
#include "pipeline/TranslationPipeline.h"
#include "platform/PlatformLoader.h"
#include "platform/freedesktop/InstallationCheck.h"
#include "platform/freedesktop/SessionBusInstance.h"
#include "windows/capture/ScreenshotEngine.h"
#include "windows/result/ResultWebEngine.h"
#include "windows/settings/SettingsWindow.h"
#include "windows/settings/SettingsWindowController.h"

#include <QApplication>

#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// A running instance that takes longer than this to answer is taken for hung.
constexpr std::chrono::milliseconds kAnswerLimit{1000};

void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

// Set for the process that VYRN replaces itself with once it knows no instance runs. Its
// value is the caller's OMP_THREAD_LIMIT ("=value", or empty when it had none), so that the
// programs VYRN starts (a browser, a file manager) get the environment VYRN was given.
const char* const kAskedMarker = "VYRN_INSTANCE_ASKED";
const char* const kThreadLimit = "OMP_THREAD_LIMIT";
// Set for the newer program an older instance made way for: that instance's version.
const char* const kRestartedFrom = "VYRN_RESTARTED_FROM";

// The program file itself. Executed through /proc/self/exe, the process would be named
// "exe" in ps, top and pkill; a file replaced since this start (an upgrade) is run as it
// is now.
std::string programPath() {
    std::array<char, 4096> buffer{};
    const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length <= 0)
        return "/proc/self/exe";
    std::string path(buffer.data(), std::size_t(length));
    const std::string deleted = " (deleted)";
    if (path.ends_with(deleted))
        path.resize(path.size() - deleted.size());
    return ::access(path.c_str(), X_OK) == 0 ? path : "/proc/self/exe";
}

void restoreThreadLimit(const char* marker) {
    if (marker[0] == '=')
        ::setenv(kThreadLimit, marker + 1, 1);
    else
        ::unsetenv(kThreadLimit);
}

// Becomes the running instance in a fresh process: the one that asked the bus had a
// QCoreApplication, and Tesseract's OpenMP pool reads OMP_THREAD_LIMIT only when the
// runtime loads, so the limit must be in the environment from the process's start.
void reexecuteAsTheInstance(char** argv) {
    const char* limit = ::getenv(kThreadLimit);
    const std::string marker = limit ? std::string("=") + limit : std::string();
    ::setenv(kThreadLimit, "1", 1);
    ::setenv(kAskedMarker, marker.c_str(), 1);
    ::execv(programPath().c_str(), argv);
    // execv failed: carry on; the bus is asked again below, and OCR is only slower.
    restoreThreadLimit(marker.c_str());
    ::unsetenv(kAskedMarker);
}

// True in the process VYRN replaced itself with. The runtime has read the thread limit by
// now; the caller's own value goes back into the environment.
bool takeAskedMarker() {
    const char* marker = ::getenv(kAskedMarker);
    if (!marker)
        return false;
    restoreThreadLimit(marker);
    ::unsetenv(kAskedMarker);
    return true;
}

// Test platforms draw nowhere and need no display.
bool headlessPlatform() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    return platform == "offscreen" || platform == "minimal";
}

AppRequest requestOf(const CommandLine& line) {
    AppRequest request = line.request();
    request.startupId = qgetenv("DESKTOP_STARTUP_ID");
    request.activationToken = qgetenv("XDG_ACTIVATION_TOKEN");
    return request;
}

// Hands the request to a running instance. The exit code when this start is done, or
// nothing when it is to become the running instance itself.
std::optional<int> handOver(const AppRequest& request) {
    using Outcome = SessionBusInstance::Delivery::Outcome;
    const SessionBusInstance::Delivery delivery = SessionBusInstance::deliver(request, kAnswerLimit);
    switch (delivery.outcome) {
    case Outcome::Delivered:
        return 0;
    case Outcome::NoAnswer:
        print(stderr,
              QStringLiteral("已有 VYRN 实例无响应\n") +
                  (delivery.pid ? QStringLiteral("请结束它（kill %1）后重新启动 VYRN。\n").arg(delivery.pid)
                                : QStringLiteral("请结束它后重新启动 VYRN。\n")));
        return 1;
    case Outcome::Refused:
        print(stderr, QStringLiteral("正在运行的 VYRN 拒绝了请求: ") + delivery.problem + QLatin1Char('\n'));
        return 1;
    case Outcome::NoInstance:
    case Outcome::NoBus:
        break;
    }
    return std::nullopt;
}

// Asked before the full program starts, so that passing a request on costs no display
// connection and no second execution.
std::optional<int> handOverEarly(int argc, char** argv, const CommandLine& line, const AppRequest& request) {
    QCoreApplication application(argc, argv);
    if (line.action != AppAction::Quit)
        return handOver(request);
    const SessionBusInstance::Delivery delivery = SessionBusInstance::deliver(request, kAnswerLimit);
    if (delivery.outcome == SessionBusInstance::Delivery::Outcome::NoInstance) {
        print(stdout, QStringLiteral("没有正在运行的 VYRN\n"));
        return 0;
    }
    if (delivery.outcome == SessionBusInstance::Delivery::Outcome::NoBus) {
        print(stderr, QStringLiteral("无法连接 D-Bus 会话总线（") + delivery.problem +
                          QStringLiteral("），找不到正在运行的 VYRN。请在桌面会话中运行此命令。\n"));
        return 1;
    }
    return handOver(request).value_or(0);
}

// Everything Qt reads only while the application object is being made.
class BeforeApplication {
public:
    BeforeApplication() {
        // VYRN's windows use X11 in both session types; in a Wayland session through its
        // compatibility server, where the result panel can still be placed.
        if (!headlessPlatform()) {
            m_platform = qgetenv("QT_QPA_PLATFORM");
            m_hadPlatform = qEnvironmentVariableIsSet("QT_QPA_PLATFORM");
            qputenv("QT_QPA_PLATFORM", "xcb");
            m_setPlatform = true;
        }
        // Pages share one OpenGL context, made with the application object: whether it could
        // be made chooses how they are drawn.
        QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
        ResultWebEngine::registerUrlScheme();
        // Qt would hand the launch to the first window it maps, the tray icon's; the owner
        // completes it with the window opened for it.
        qunsetenv("DESKTOP_STARTUP_ID");
    }

    // Programs VYRN starts (a browser, a file viewer) keep the session's own choices and
    // get no launch of VYRN's to claim.
    void restoreEnvironment() {
        if (m_setPlatform && m_hadPlatform)
            qputenv("QT_QPA_PLATFORM", m_platform);
        else if (m_setPlatform)
            qunsetenv("QT_QPA_PLATFORM");
        qunsetenv("XDG_ACTIVATION_TOKEN");
    }

private:
    QByteArray m_platform;
    bool m_hadPlatform = false;
    bool m_setPlatform = false;
};

// The running instance's name on the session bus; nothing when another start owns it and
// took the request (then the exit code).
std::optional<int> becomeTheRunningInstance(SessionBusInstance& instance, const AppRequest& request) {
    for (int attempt = 0; attempt < 3; ++attempt) {
        QString problem;
        switch (instance.claim(&problem)) {
        case SessionBusInstance::Claim::Owner:
            return std::nullopt;
        case SessionBusInstance::Claim::NoBus:
            logi(QStringLiteral("无法连接 D-Bus 会话总线（") + problem +
                 QStringLiteral(
                     "）：VYRN 单独运行，vyrn --screenshot 等命令行操作和再次启动 vyrn 都无法到达它"));
            return std::nullopt;
        case SessionBusInstance::Claim::TakenByAnother:
            if (const std::optional<int> code = handOver(request))
                return code;
            break; // the owner left meanwhile: try again
        }
    }
    logi(QStringLiteral("会话总线上的 ") + SessionBusInstance::serviceName +
         QStringLiteral(" 反复易主：VYRN 单独运行"));
    return std::nullopt;
}

// A translation is running, or the settings window is open with what the user typed.
bool busy(const AppDelegate& delegate) {
    const SettingsWindow* settings = delegate.settingsWindow().window();
    return delegate.pipeline().isLoading() || delegate.screenshots().isActive() ||
           (settings && settings->isVisible());
}

// Runs the newer program in this process, once this instance has shut down.
void restartAs(const QString& program, const QStringList& arguments) {
    std::vector<std::string> strings{program.isEmpty() ? programPath() : program.toStdString()};
    for (const QString& argument : arguments)
        strings.push_back(argument.toStdString());
    std::vector<char*> argv;
    for (std::string& string : strings)
        argv.push_back(string.data());
    argv.push_back(nullptr);
    ::setenv(kRestartedFrom, APP_FULL_VERSION.toUtf8().constData(), 1);
    ::execv(argv.front(), argv.data());
    loge(QStringLiteral("无法重新启动为新版本 %1: %2")
             .arg(QString::fromStdString(strings.front()), QString::fromLocal8Bit(std::strerror(errno))));
    ::unsetenv(kRestartedFrom);
}

} // namespace

namespace Application {

int run(int argc, char** argv) {
    AppConstants::initialize();
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    const CommandLine line = parseCommandLine(arguments);
    switch (line.kind) {
    case CommandLine::Kind::Help:
        print(stdout, commandLineUsage());
        return 0;
    case CommandLine::Kind::Version:
        print(stdout, commandLineVersion() + QLatin1Char('\n'));
        return 0;
    case CommandLine::Kind::Invalid:
        print(stderr, QStringLiteral("vyrn: ") + line.error + QStringLiteral("\n\n") + commandLineUsage());
        return 2;
    case CommandLine::Kind::Run:
        break;
    }
    const AppRequest request = requestOf(line);
    const bool asked = takeAskedMarker();
    if (!asked || line.action == AppAction::Quit) {
        if (const std::optional<int> code = handOverEarly(argc, argv, line, request))
            return *code;
        reexecuteAsTheInstance(argv);
    }

    // Read once: everything that depends on the kind of session is chosen from this.
    const SessionType session = currentSessionType();
    if (const QString problem = headlessPlatform() ? QString() : PlatformLoader::displayProblem(session);
        !problem.isEmpty()) {
        loge(problem);
        Logger::shared().flush();
        return 1;
    }
    BeforeApplication beforeApplication;
    QApplication app(argc, argv);
    beforeApplication.restoreEnvironment();
    QApplication::setApplicationName(QStringLiteral("vyrn"));
    QApplication::setApplicationDisplayName(APP_DISPLAY_NAME);
    QApplication::setApplicationVersion(APP_SHORT_VERSION);
    QApplication::setDesktopFileName(QString::fromLatin1(APP_ID));
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(AppIcon::icon());

    // Before anything is logged that could tell a watcher the program is up.
    UnixSignalWatcher signalWatcher({SIGINT, SIGTERM});
    // exit(), not quit(): quit() first asks windows to close, and an open modal alert refuses.
    QObject::connect(&signalWatcher, &UnixSignalWatcher::received, &app, [] { QCoreApplication::exit(0); });

    SessionBusInstance instance;
    if (const std::optional<int> code = becomeTheRunningInstance(instance, request))
        return *code;

    logi(QStringLiteral("===== ") + APP_DISPLAY_NAME + QLatin1Char(' ') + APP_FULL_VERSION +
         QStringLiteral(" 启动 ====="));
    if (const QString from = qEnvironmentVariable(kRestartedFrom); !from.isEmpty()) {
        logi(QStringLiteral("已由 VYRN ") + from + QStringLiteral(" 重新启动为新版本"));
        qunsetenv(kRestartedFrom);
    }
    InstallationCheck::run(QCoreApplication::applicationFilePath());
    logi(ResultWebEngine::chooseRendering());
    std::optional<AppDelegate> delegate;
    delegate.emplace(AppDelegate::Setup{session, {}, {}});
    UpgradeRestart upgrade(APP_SHORT_VERSION, APP_BUILD_VERSION, [&delegate] { return busy(*delegate); });
    QObject::connect(&upgrade, &UpgradeRestart::due, &app, [] { QCoreApplication::exit(0); });
    QObject::connect(&instance, &SessionBusInstance::requested, &*delegate, [&](const AppRequest& request) {
        if (!upgrade.take(request))
            delegate->handleRequest(request);
    });
    delegate->start({request, line.background});

    const int code = app.exec();
    instance.release();
    delegate->stop();
    delegate.reset();
    Logger::shared().flush();
    if (upgrade.isDue()) {
        restartAs(upgrade.program(), upgrade.arguments());
        Logger::shared().flush();
        return 1;
    }
    return code;
}

} // namespace Application
