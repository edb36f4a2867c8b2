#include "app/AppDelegate.h"

#include "app/GlobalHotkeys.h"
#include "base/AppConstants.h"
#include "base/EnvironmentProxy.h"
#include "base/Logger.h"
#include "engine/TranslationEngine.h"
#include "keys/HotkeyNames.h"
#include "ocr/OCREngine.h"
#include "pipeline/SelectedTextReader.h"
#include "pipeline/TranslationPipeline.h"
#include "platform/DesktopColorScheme.h"
#include "platform/DesktopKeybindings.h"
#include "platform/HotkeyService.h"
#include "platform/NotificationService.h"
#include "platform/PlatformServices.h"
#include "platform/ScreenCapture.h"
#include "platform/ScreenshotPermission.h"
#include "settings/KeyStoreBackend.h"
#include "settings/SettingsManager.h"
#include "update/UpdateChecker.h"
#include "windows/MessageBoxAlertPresenter.h"
#include "windows/NotificationManager.h"
#include "windows/PanelFocus.h"
#include "windows/TrayMenu.h"
#include "windows/capture/ScreenshotEngine.h"
#include "windows/pipeline/DesktopPipeline.h"
#include "windows/result/ResultWindowController.h"
#include "windows/settings/SettingsWindowController.h"

#include <QCoreApplication>
#include <QPointer>
#include <QTimer>

namespace {

const QString kWaylandTitle = QStringLiteral("VYRN 在 Wayland 会话中功能有限");
// What this session cannot do, which depends on whether the desktop hands out screen pictures.
QString waylandMissing(bool screenshots, bool hotkeys = true) {
    QStringList missing;
    if (!hotkeys)
        missing.append(QStringLiteral("全局快捷键"));
    if (!screenshots)
        missing.append(QStringLiteral("截图翻译"));
    if (missing.isEmpty())
        return QStringLiteral("暂不可用：模拟复制，它需要 X11（Xorg）会话。");
    return QStringLiteral("暂不可用：") + missing.join(QStringLiteral("、")) +
           QStringLiteral("和模拟复制，它们需要 X11（Xorg）会话。");
}
// The desktop runs a bound command without VYRN's folder on its search path.
QString waylandBody(bool screenshots) {
    return QStringLiteral("可用：托盘菜单、偏好设置，以及在系统设置的键盘快捷键中绑定 ") +
           QCoreApplication::applicationFilePath() +
           QStringLiteral(" --selection（通过辅助功能读取选中的文字进行划词翻译）。") +
           waylandMissing(screenshots, false);
}
// Where the desktop's own shortcut service holds VYRN's hotkeys (KDE Plasma).
QString waylandBodyWithHotkeys(bool screenshots) {
    return QStringLiteral("可用：托盘菜单、偏好设置、全局快捷键（也可在系统设置 → 快捷键 → VYRN 中修改），"
                          "以及划词翻译（通过辅助功能读取选中的文字）。") +
           waylandMissing(screenshots);
}
// Where the desktop runs VYRN's hotkeys as its own keyboard shortcuts (GNOME).
QString waylandBodyWithDesktopKeybindings(const QString& place, bool screenshots) {
    return QStringLiteral("可用：托盘菜单、偏好设置、全局快捷键（作为 ") + place +
           QStringLiteral(
               "，可在 偏好设置 → 快捷键 中添加或移除），以及划词翻译（通过辅助功能读取选中的文字）。") +
           waylandMissing(screenshots);
}

} // namespace

AppDelegate::AppDelegate(const Setup& setup)
    : m_platform(PlatformLoader::load(setup.session, setup.platform)) {
    PlatformServices& platform = *m_platform;
    // Before any request: every one of them (translation, connection test, update check)
    // takes the proxy the environment names.
    QNetworkProxyFactory::setApplicationProxyFactory(new EnvironmentProxy);
    // The key store is in place before the preferences first read a key (their migrations may).
    logi(QStringLiteral("密钥存储: ") + platform.keyStore->name());
    m_settings = std::make_unique<SettingsManager>(
        setup.preferencesPath.isEmpty() ? SettingsManager::preferencesPath() : setup.preferencesPath,
        std::move(platform.keyStore), std::move(platform.fileKeyStore), std::move(platform.otherKeyStore));
    m_messageBoxes = std::make_unique<MessageBoxAlertPresenter>();
    m_alerts = setup.alerts ? setup.alerts : m_messageBoxes.get();
    m_notifications = std::make_unique<NotificationManager>(std::move(platform.notifications));
    m_engine =
        std::make_unique<TranslationEngine>(*m_settings, *m_alerts, [this] { m_settingsWindow->show(); });
    m_ocr = std::make_unique<OCREngine>(*m_settings);
    m_updateChecker = std::make_unique<UpdateChecker>(*m_settings, *m_alerts);
    m_screenshots = std::make_unique<ScreenshotEngine>(std::move(platform.screenCapture));
    // Xwayland's key grabs see only X11 programs' keys.
    if (platform.session == SessionType::Wayland)
        m_panelFocus = std::make_unique<PanelFocus>();
    m_results = std::make_unique<ResultWindowController>(*m_settings, *platform.hotkeys,
                                                         *platform.colorScheme, m_panelFocus.get());
    m_settingsWindow =
        std::make_unique<SettingsWindowController>(*m_settings, *m_alerts, [this] { reregisterHotkeys(); });
    m_settingsWindow->setScreenshotPermission(platform.screenshotPermission);
    // A capture without the desktop's consent: the step that asks for it, from a window of ours.
    connect(m_screenshots.get(), &ScreenshotEngine::permissionNeeded, m_settingsWindow.get(),
            &SettingsWindowController::showScreenshotPermission);

    TranslationPipeline::Services services;
    services.desktop = std::make_unique<DesktopPipeline>(
        DesktopPipeline::Windows{*m_results, *m_screenshots, *m_notifications, *platform.hotkeys,
                                 *platform.colorScheme},
        m_panelFocus.get());
    services.translator = std::make_shared<EngineTranslator>(*m_engine);
    services.selection = std::make_unique<SelectedTextReader>(std::move(platform.selection));
    services.accessibility = std::move(platform.accessibility);
    services.ocr = m_ocr.get();
    services.alerts = m_alerts;
    m_pipeline = std::make_unique<TranslationPipeline>(std::move(services));

    m_hotkeys = std::make_unique<GlobalHotkeys>(*m_settings, *platform.hotkeys, *m_alerts,
                                                platform.session == SessionType::Wayland);
    useHotkeyRoute(platform);
    connect(m_hotkeys.get(), &GlobalHotkeys::screenshotPressed, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { startScreenshot(); }, Qt::QueuedConnection);
    });
    connect(m_hotkeys.get(), &GlobalHotkeys::selectionPressed, this, [this] {
        // The window whose selection is to be read is the one in front at the press; the
        // flow starts later, outside the X event dispatch.
        m_pipeline->captureSelectionSource();
        QMetaObject::invokeMethod(
            this, [this] { startSelection(); }, Qt::QueuedConnection);
    });
    // The tray's entry reads the selection of the window in front when its menu opened.
    m_tray = std::make_unique<TrayMenu>(TrayMenu::Actions{
        [this] { startScreenshot(); }, [this] { startSelection(); }, [this] { m_settingsWindow->show(); },
        [this] {
            if (m_pipeline)
                m_pipeline->captureSelectionSource();
        }});
}

// Members go in reverse order: the flows before the windows they show, the windows before
// the platform services they use.
AppDelegate::~AppDelegate() {
    m_quitting->store(true);
}

void AppDelegate::start(const LaunchOptions& options) {
    m_tray->setup();
    // "点击查看结果": a click on the finished translation's notification brings its panel up.
    connect(m_notifications.get(), &NotificationManager::activated, m_results.get(),
            &ResultWindowController::raisePanel);
    if (m_platform->session == SessionType::Wayland)
        announceWaylandLimits();
    if (!m_platform->selectionNote.isEmpty())
        logi(m_platform->selectionNote);
    QTimer::singleShot(recognizerWarmUpDelay, this, [this] {
        m_pipeline->prepareLoadingPanel();
        if (m_screenshots->unavailableReason().isEmpty())
            m_pipeline->warmUpRecognizer();
    });

    reregisterHotkeys();
    logFirstRunWithoutKey();
    // Over the settings window a plain start opens, not under it.
    QTimer::singleShot(settingsWindowDelay * 2, this, &AppDelegate::offerDesktopKeybindings);

    const AppRequest request = options.request;
    const bool plainStart = request.action == AppAction::Activate;
    if (plainStart && options.background)
        m_platform->completeLaunch(request.startupId);
    else if (plainStart)
        QTimer::singleShot(settingsWindowDelay, this, [this, request] { perform(request); });

    QStringList ready = m_hotkeys->registered();
    ready.append(QStringLiteral("点击托盘图标操作"));
    logi(APP_DISPLAY_NAME + QStringLiteral(" 就绪 — ") + ready.join(QStringLiteral(" | ")));

    m_updateChecker->check();
    if (!plainStart) {
        QMetaObject::invokeMethod(
            this, [this, request] { perform(request); }, Qt::QueuedConnection);
    }
}

void AppDelegate::handleRequest(const AppRequest& request) {
    const QString name = appActionName(request.action);
    logi(name.isEmpty() ? QStringLiteral("再次启动 vyrn：打开偏好设置")
                        : QStringLiteral("收到命令行操作: --") + name);
    perform(request);
}

void AppDelegate::stop() {
    m_quitting->store(true);
    m_screenshots->cleanup();
    // Its workers end and its Esc grab goes while the display is still there.
    m_pipeline.reset();
    m_hotkeys->release();
    logi(APP_DISPLAY_NAME + QStringLiteral(" 已退出"));
}

void AppDelegate::startScreenshot(const QByteArray& launchId) {
    if (m_panelFocus)
        m_panelFocus->actionStarted(launchId);
    if (m_pipeline)
        m_pipeline->start();
}

void AppDelegate::startSelection(const QByteArray& launchId) {
    if (m_panelFocus)
        m_panelFocus->actionStarted(launchId);
    if (m_pipeline)
        m_pipeline->startTextTranslation();
}

void AppDelegate::reregisterHotkeys() {
    if (!std::exchange(m_loggedConnection, true) && !m_platform->connectionNote.isEmpty())
        logi(m_platform->connectionNote);
    m_hotkeys->reregister();
}

void AppDelegate::perform(const AppRequest& request) {
    m_platform->completeLaunch(request.startupId);
    const QByteArray& launchId = request.startupId.isEmpty() ? request.activationToken : request.startupId;
    switch (request.action) {
    case AppAction::Activate:
    case AppAction::Settings:
        m_settingsWindow->show();
        break;
    case AppAction::Screenshot:
        startScreenshot(launchId);
        break;
    case AppAction::Selection:
        // A desktop shortcut bound to `vyrn --selection` leaves the focus where the text is.
        if (m_pipeline)
            m_pipeline->captureSelectionSource();
        startSelection(launchId);
        break;
    case AppAction::Quit:
        // After the launch feedback of this request has been ended (a timer queued earlier).
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        break;
    }
}

void AppDelegate::logFirstRunWithoutKey() {
    // The key store may take seconds (a locked keyring): never on the main thread. A store
    // that cannot be asked logs its own line; it is not a first run.
    // The line is written from the main loop, so it never follows "VYRN 已退出". The pool
    // waits for its task before the preferences go, and the task stops waiting for the store
    // (a wallet's password prompt may be open) as soon as VYRN quits.
    m_startupWork.start([self = QPointer<AppDelegate>(this), &settings = *m_settings, quitting = m_quitting] {
        KeyWait wait;
        wait.stillWanted = [quitting] { return !quitting->load(); };
        const KeyLookup lookup = settings.activeProviderAndKey(wait).key;
        const std::optional<QString> key = lookup.key();
        if (!self || (lookup.state() != KeyLookup::State::notFound && !(key && key->isEmpty())))
            return;
        QMetaObject::invokeMethod(
            self, [] { logi(QStringLiteral("首次运行，API Key 未配置")); }, Qt::QueuedConnection);
    });
}

void AppDelegate::useHotkeyRoute(const PlatformServices& platform) {
    DesktopKeybindings* desktop = platform.desktopKeybindings.get();
    // The command the desktop runs is this program file: `vyrn --screenshot` starts VYRN when
    // it is not running and hands the action over when it is.
    m_hotkeys->useDesktopKeybindings(desktop, QCoreApplication::applicationFilePath());
    SettingsWindowController::HotkeyRoute route;
    route.describe = [this] { return m_hotkeys->route(); };
    // Recording under Wayland: VYRN's keyboard grab reaches only X11 programs, the compositor
    // sees every key first.
    if (platform.blockGlobalShortcuts) {
        route.suspend = platform.blockGlobalShortcuts;
        route.recordingNote =
            QStringLiteral("录制时，KDE 的全局快捷键（包括 VYRN 自己的）会暂停，录完即恢复；"
                           "少数由 KWin 直接处理的按键（如单按 Super 键）仍可能先响应。");
    } else if (desktop) {
        route.desktopKeybindings = true;
        route.desktopPlace = desktop->place();
        route.setDesktopKeybindings = [this](bool wanted) { m_hotkeys->setDesktopKeybindingsWanted(wanted); };
        route.suspend = [this](bool recording) { m_hotkeys->suspendDesktopKeybindings(recording); };
        route.recordingNote = QStringLiteral("录制时，VYRN 在 ") + desktop->place() +
                              QStringLiteral(" 中的两项会暂时移除，录完即恢复；GNOME 自己的快捷键仍会先响应，"
                                             "已被它占用的组合可能录不到。");
    } else if (platform.session == SessionType::Wayland) {
        route.recordingNote = QStringLiteral(
            "Wayland 会话中，桌面自己的快捷键可能先于录制响应：如果按下组合后桌面有了反应，请换一个组合。");
    }
    m_settingsWindow->setHotkeyRoute(std::move(route));
}

void AppDelegate::offerDesktopKeybindings() {
    DesktopKeybindings* desktop = m_hotkeys->desktopKeybindings();
    if (!desktop || m_settings->desktopKeybindingsOffered() || m_settings->desktopKeybindings())
        return;
    // Once: the answer stays in the settings window's button.
    m_settings->setDesktopKeybindingsOffered(true);
    const QString place = desktop->place();
    const QString lines =
        hotkeyDisplayString(m_settings->hotkeyKeyCode(), m_settings->hotkeyModifiers()) +
        QStringLiteral("　截图翻译\n") +
        hotkeyDisplayString(m_settings->selectionHotkeyKeyCode(), m_settings->selectionHotkeyModifiers()) +
        QStringLiteral("　划词翻译");
    m_alerts->openLater(
        {QStringLiteral("把 VYRN 的快捷键添加到 ") + place + QStringLiteral("？"),
         QStringLiteral("在 GNOME 的 Wayland 会话中，程序不能自己注册全局快捷键。VYRN 可以在 ") + place +
             QStringLiteral(" 中添加两个自定义快捷键，立即生效：\n\n") + lines +
             QStringLiteral("\n\n它们运行 ") + QCoreApplication::applicationFilePath() +
             QStringLiteral(" --screenshot 和 --selection。以后可在 设置 → 快捷键 中移除。"),
         AlertRequest::Style::Informational,
         {QStringLiteral("添加到 ") + place, QStringLiteral("暂不添加")}},
        [self = QPointer<AppDelegate>(this)](int answer) {
            if (!self || answer != 0)
                return;
            self->m_hotkeys->setDesktopKeybindingsWanted(true);
            self->m_settingsWindow->refreshHotkeyRoute();
        });
}

void AppDelegate::announceWaylandLimits() {
    const DesktopKeybindings* desktop = m_hotkeys->desktopKeybindings();
    const bool screenshots = m_screenshots->unavailableReason().isEmpty();
    QString body = !m_platform->hotkeys->unavailable() ? waylandBodyWithHotkeys(screenshots)
                   : desktop ? waylandBodyWithDesktopKeybindings(desktop->place(), screenshots)
                             : waylandBody(screenshots);
    const auto announce = [this](const QString& text) {
        logi(QStringLiteral("Wayland 会话: ") + text);
        m_notifications->show(kWaylandTitle, text);
    };
    ScreenshotPermission* permission = m_platform->screenshotPermission;
    if (!permission) {
        announce(body);
        return;
    }
    // GNOME asks once, from the settings window, before it hands out pictures.
    permission->lookUpPermission([self = QPointer<AppDelegate>(this), body,
                                  announce](ScreenshotPermission::State state) {
        if (!self)
            return;
        announce(state == ScreenshotPermission::State::Granted
                     ? body
                     : body +
                           QStringLiteral("截图翻译第一次使用前，请在 偏好设置 → 通用 中点击「允许截图」。"));
    });
}
