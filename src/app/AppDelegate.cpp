#include "app/AppDelegate.h"

#include "base/AppConstants.h"
#include "base/HotkeyHook.h"
#include "base/Logger.h"
#include "base/SessionType.h"
#include "base/SettingsWindowHook.h"
#include "base/TranslationActions.h"
#include "keys/HotkeyNames.h"
#include "pipeline/TranslationPipeline.h"
#include "platform/HotkeyService.h"
#include "platform/KeyStoreFactory.h"
#include "platform/NotificationServiceFactory.h"
#include "platform/x11/X11StartupFeedback.h"
#include "settings/KeyStore.h"
#include "settings/SettingsManager.h"
#include "update/UpdateChecker.h"
#include "windows/NotificationManager.h"
#include "windows/TrayMenu.h"
#include "windows/capture/ScreenshotEngine.h"
#include "windows/pipeline/DesktopPipeline.h"
#include "windows/result/ResultWindowController.h"
#include "windows/settings/SettingsWindowController.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThreadPool>
#include <QTimer>

namespace {

// The key store is chosen before the settings store first reads a key (its migrations may).
SettingsManager& openSettingsStore() {
    KeyStore::setBackend(KeyStoreFactory::create());
    return SettingsManager::shared();
}

const QString kWaylandTitle = QStringLiteral("VYRN 在 Wayland 会话中功能有限");
const QString kWaylandBody =
    QStringLiteral("可用：托盘菜单、偏好设置，以及在系统设置的键盘快捷键中绑定 vyrn --selection"
                   "（通过辅助功能读取选中的文字进行划词翻译）。"
                   "暂不可用：全局快捷键、截图翻译和模拟复制，它们需要 X11（Xorg）会话。");

} // namespace

AppDelegate::AppDelegate() : m_settings(openSettingsStore()) {
    Alerts::setPresenter(&m_alertPresenter);
    HotkeyHook::setReregisterHandler([this] { reregisterHotkey(); });
    SettingsWindowHook::setShowHandler([] { SettingsWindowController::shared().show(); });
}

AppDelegate::~AppDelegate() {
    SettingsWindowHook::setShowHandler({});
    if (m_pipeline) {
        TranslationActions::setScreenshotHandler({});
        TranslationActions::setSelectionHandler({});
    }
    HotkeyHook::setReregisterHandler({});
    Alerts::setPresenter(nullptr);
}

void AppDelegate::start(const LaunchOptions& options) {
    NotificationManager::shared().setService(NotificationServiceFactory::create());
    TrayMenu::shared().setup();
    // "点击查看结果": a click on the finished translation's notification brings its panel up.
    connect(&NotificationManager::shared(), &NotificationManager::activated,
            &ResultWindowController::shared(), &ResultWindowController::raisePanel);
    if (currentSessionType() == SessionType::Wayland)
        announceWaylandLimits();

    m_pipeline = std::make_unique<TranslationPipeline>(DesktopPipeline::services());
    TranslationActions::setScreenshotHandler([this] { m_pipeline->start(); });
    TranslationActions::setSelectionHandler([this] { m_pipeline->startTextTranslation(); });
    QTimer::singleShot(recognizerWarmUpDelay, this, [this] {
        m_pipeline->prepareLoadingPanel();
        if (ScreenshotEngine::shared().unavailableReason().isEmpty())
            m_pipeline->warmUpRecognizer();
    });

    reregisterHotkey();
    logFirstRunWithoutKey();

    const AppRequest request = options.request;
    const bool plainStart = request.action == AppAction::Activate;
    if (plainStart && options.background)
        X11StartupFeedback::completeLaunch(request.startupId);
    else if (plainStart)
        QTimer::singleShot(settingsWindowDelay, this, [this, request] { perform(request); });

    QStringList ready = registeredHotkeys();
    ready.append(QStringLiteral("点击托盘图标操作"));
    logi(APP_DISPLAY_NAME + QStringLiteral(" 就绪 — ") + ready.join(QStringLiteral(" | ")));

    UpdateChecker::shared().check();
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
    HotkeyHook::setReregisterHandler({});
    ScreenshotEngine::shared().cleanup();
    TranslationActions::setScreenshotHandler({});
    TranslationActions::setSelectionHandler({});
    // Its workers end and its Esc grab goes while the display is still there.
    m_pipeline.reset();
    m_screenshotHotkey.reset();
    m_selectionHotkey.reset();
    logi(APP_DISPLAY_NAME + QStringLiteral(" 已退出"));
}

void AppDelegate::perform(const AppRequest& request) {
    X11StartupFeedback::completeLaunch(request.startupId);
    switch (request.action) {
    case AppAction::Activate:
    case AppAction::Settings:
        SettingsWindowHook::show();
        break;
    case AppAction::Screenshot:
        TranslationActions::startScreenshot();
        break;
    case AppAction::Selection:
        // A desktop shortcut bound to `vyrn --selection` leaves the focus where the text is.
        if (m_pipeline)
            m_pipeline->captureSelectionSource();
        TranslationActions::startSelection();
        break;
    case AppAction::Quit:
        // After the launch feedback of this request has been ended (a timer queued earlier).
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
        break;
    }
}

void AppDelegate::reregisterHotkey() {
    // Both go before either is registered again: the service refuses a combination VYRN
    // still holds, which swapping the two hotkeys would otherwise meet.
    m_screenshotHotkey.reset();
    m_selectionHotkey.reset();
    if (currentSessionType() == SessionType::Wayland) {
        logi(QStringLiteral("Wayland 会话：不注册全局快捷键"));
        return;
    }
    HotkeyService& keys = HotkeyService::shared();
    if (keys.unavailable()) {
        loge(QStringLiteral("键盘事件处理器安装失败: 无法连接 X 服务器"));
        presentHotkeyConflictAlert(
            {{QStringLiteral("键盘事件处理器"), QString(), QStringLiteral("无法连接 X 服务器")}});
        return;
    }

    struct GlobalHotkey {
        Flow flow;
        QString name;
        QString logLabel;
        int (SettingsManager::*keyCode)() const;
        int (SettingsManager::*modifiers)() const;
        QString (SettingsManager::*display)() const;
        void (SettingsManager::*setDisplay)(const QString&);
        std::unique_ptr<HotkeyRegistration> AppDelegate::*registration;
    };
    const GlobalHotkey hotkeys[] = {
        {Flow::Screenshot, QStringLiteral("截图翻译"), QStringLiteral("截图快捷键"),
         &SettingsManager::hotkeyKeyCode, &SettingsManager::hotkeyModifiers, &SettingsManager::hotkeyDisplay,
         &SettingsManager::setHotkeyDisplay, &AppDelegate::m_screenshotHotkey},
        {Flow::Selection, QStringLiteral("划词翻译"), QStringLiteral("划词快捷键"),
         &SettingsManager::selectionHotkeyKeyCode, &SettingsManager::selectionHotkeyModifiers,
         &SettingsManager::selectionHotkeyDisplay, &SettingsManager::setSelectionHotkeyDisplay,
         &AppDelegate::m_selectionHotkey},
    };

    std::vector<HotkeyFailure> failures;
    for (const GlobalHotkey& hotkey : hotkeys) {
        const int keyCode = (m_settings.*hotkey.keyCode)();
        const int modifiers = (m_settings.*hotkey.modifiers)();
        const QString display = hotkeyDisplayString(keyCode, modifiers);
        KeyGrabResult<HotkeyRegistration> result = keys.registerHotkey(keyCode, modifiers);
        if (!result) {
            const QString reason = hotkeyFailureReason(*result.failure, keyCode, modifiers);
            failures.push_back({hotkey.name, display, reason});
            loge(hotkey.logLabel + QStringLiteral("注册失败: ") + display + QStringLiteral(" — ") + reason);
            continue;
        }
        const Flow flow = hotkey.flow;
        connect(result.handle.get(), &HotkeyRegistration::pressed, this,
                [this, flow](quint32 pressTime) { hotkeyPressed(flow, pressTime); });
        this->*hotkey.registration = std::move(result.handle);
        // Only a success rewrites the stored text, and only when it changed.
        if ((m_settings.*hotkey.display)() != display)
            (m_settings.*hotkey.setDisplay)(display);
        logi(hotkey.logLabel + QStringLiteral(": ") + (m_settings.*hotkey.display)());
    }
    if (!failures.empty())
        presentHotkeyConflictAlert(failures);
}

void AppDelegate::presentHotkeyConflictAlert(const std::vector<HotkeyFailure>& failures) {
    QStringList lines;
    for (const HotkeyFailure& failure : failures) {
        const QString shown = failure.display.isEmpty()
                                  ? QString()
                                  : QStringLiteral("「") + failure.display + QStringLiteral("」");
        lines.append(failure.name + shown + QStringLiteral("：") + failure.reason);
    }
    const AlertRequest alert{QStringLiteral("快捷键注册失败"),
                             QStringLiteral("以下快捷键无法使用：\n\n") + lines.join(QLatin1Char('\n')) +
                                 QStringLiteral("\n\n请前往 设置 → 快捷键，修改为其他组合。"),
                             AlertRequest::Style::Warning,
                             {QStringLiteral("知道了")}};
    QMetaObject::invokeMethod(
        this, [alert] { Alerts::open(alert); }, Qt::QueuedConnection);
}

QStringList AppDelegate::registeredHotkeys() const {
    QStringList registered;
    if (m_screenshotHotkey)
        registered.append(
            hotkeyDisplayString(m_screenshotHotkey->keyCode(), m_screenshotHotkey->modifiers()) +
            QStringLiteral(" 截图翻译"));
    if (m_selectionHotkey)
        registered.append(hotkeyDisplayString(m_selectionHotkey->keyCode(), m_selectionHotkey->modifiers()) +
                          QStringLiteral(" 划词翻译"));
    return registered;
}

void AppDelegate::hotkeyPressed(Flow flow, quint32 pressTime) {
    Q_UNUSED(pressTime)
    // What a flow needs from the moment of the press (the window whose selection is to be
    // read) is taken here; the flow itself starts later, outside the X event dispatch.
    if (flow == Flow::Selection && m_pipeline)
        m_pipeline->captureSelectionSource();
    QMetaObject::invokeMethod(
        this,
        [flow] {
            if (flow == Flow::Screenshot)
                TranslationActions::startScreenshot();
            else
                TranslationActions::startSelection();
        },
        Qt::QueuedConnection);
}

void AppDelegate::logFirstRunWithoutKey() {
    // The key store may take seconds (a locked keyring): never on the main thread. A store
    // that cannot be asked logs its own line; it is not a first run.
    // The line is written from the main loop, so it never follows "VYRN 已退出".
    QThreadPool::globalInstance()->start([self = QPointer<AppDelegate>(this)] {
        const KeyLookup lookup = SettingsManager::shared().activeApiKey();
        const std::optional<QString> key = lookup.key();
        if (!self || (lookup.state() != KeyLookup::State::notFound && !(key && key->isEmpty())))
            return;
        QMetaObject::invokeMethod(
            self, [] { logi(QStringLiteral("首次运行，API Key 未配置")); }, Qt::QueuedConnection);
    });
}

void AppDelegate::announceWaylandLimits() {
    logi(QStringLiteral("Wayland 会话: ") + kWaylandBody);
    NotificationManager::shared().show(kWaylandTitle, kWaylandBody);
}
