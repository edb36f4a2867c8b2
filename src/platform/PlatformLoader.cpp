#include "platform/PlatformLoader.h"

#include "base/AppConstants.h"
#include "base/DesktopSession.h"
#include "base/Logger.h"
#include "platform/DesktopColorScheme.h"
#include "platform/DesktopKeybindings.h"
#include "platform/HotkeyService.h"
#include "platform/PlatformServices.h"
#include "platform/atspi/AtspiAccessibilityReader.h"
#include "platform/freedesktop/AccessibilityBusStatus.h"
#include "platform/freedesktop/FileKeyStore.h"
#include "platform/freedesktop/FreedesktopNotificationService.h"
#include "platform/freedesktop/PortalScreenCapture.h"
#include "platform/freedesktop/SecretServiceItems.h"
#include "platform/freedesktop/SecretServiceKeyStore.h"
#include "platform/gnome/GnomeCustomKeybindings.h"
#include "platform/kde/KGlobalAccelHotkeyService.h"
#include "platform/kde/KWalletKeyStore.h"
#include "platform/kde/KWinScreenCapture.h"
#include "platform/null/NullHotkeyService.h"
#include "platform/null/NullNotificationService.h"
#include "platform/null/NullScreenCapture.h"
#include "platform/null/NullSelectionServices.h"
#include "platform/x11/X11Clipboard.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11DisplayProbe.h"
#include "platform/x11/X11HotkeyService.h"
#include "platform/x11/X11PrimarySelection.h"
#include "platform/x11/X11ScreenCapture.h"
#include "platform/x11/X11SelectionConnection.h"
#include "platform/x11/X11SourceWindow.h"
#include "platform/x11/X11StartupFeedback.h"
#include "platform/x11/X11SyntheticCopy.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusReply>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStandardPaths>

PlatformServices::PlatformServices() = default;
PlatformServices::~PlatformServices() = default;

namespace {

const QString kNoGraphicalSession = QStringLiteral("截图翻译需要 X11 图形会话：请在桌面环境中运行 VYRN。");

// In a Wayland session the X11 compatibility server sees only X11 programs: no capture of
// the screen, no global keys, no selections of Wayland programs.
void loadX11Services(PlatformServices& platform) {
    // Three connections to the X server, each for a reason:
    // - Qt's own draws the windows; the screen capture reads the screen through it.
    // - The hotkeys' (X11Connection): Qt's speaks XKB, and the server withholds the core
    //   MappingNotify events from XKB clients, which is how a moved Super or Num Lock shows.
    // - The selection's (X11SelectionConnection): it owns the restored clipboard and answers
    //   SelectionRequest events on a window whose events only it reads; QClipboard would wait
    //   up to 5 s on the main thread for an owner that does not answer.
    auto* qtX11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (qtX11 && qtX11->connection())
        platform.screenCapture = std::make_unique<X11ScreenCapture>(qtX11->connection());
    else
        platform.screenCapture = std::make_unique<NullScreenCapture>(kNoGraphicalSession);

    auto connection = std::make_unique<X11Connection>();
    if (connection->isOpen()) {
        platform.hotkeys = std::make_unique<X11HotkeyService>(*connection);
        platform.x11 = std::move(connection);
    } else {
        platform.connectionNote = QStringLiteral("X11 连接失败: ") + connection->error();
        platform.hotkeys = std::make_unique<NullHotkeyService>(NullHotkeyService::Reason::DisplayUnreachable);
    }

    if (std::shared_ptr<X11SelectionConnection> selection = X11SelectionConnection::open()) {
        platform.selection.sourceProbe = std::make_unique<X11SourceWindow>(selection);
        platform.selection.primary = std::make_unique<X11PrimarySelection>(selection);
        platform.selection.clipboard = std::make_unique<X11Clipboard>(selection);
        platform.selection.keyboard = std::make_unique<X11SyntheticCopy>(selection);
    } else {
        platform.selectionNote = QStringLiteral("选中文本：无法连接 X 服务器，PRIMARY 与 Ctrl+C 兜底不可用");
    }
}

void loadNullServices(PlatformServices& platform) {
    if (platform.session == SessionType::Wayland) {
        platform.screenCapture = std::make_unique<NullScreenCapture>(QStringLiteral(
            "截图翻译暂时需要 X11 会话，当前是 Wayland 会话。请注销后在登录界面选择 X11（Xorg）会话，"
            "或先使用划词翻译。"));
        platform.hotkeys = std::make_unique<NullHotkeyService>(NullHotkeyService::Reason::Wayland);
    } else {
        platform.screenCapture = std::make_unique<NullScreenCapture>(kNoGraphicalSession);
        platform.hotkeys = std::make_unique<NullHotkeyService>(NullHotkeyService::Reason::NoSession);
    }
    platform.selectionNote =
        QStringLiteral("选中文本：不是 X11 会话，只能通过辅助功能读取（PRIMARY 与 Ctrl+C 兜底不可用）");
}

DesktopBusNames desktopBusNames() {
    DesktopBusNames names;
    const QDBusConnection bus = QDBusConnection::sessionBus();
    const QDBusConnectionInterface* daemon = bus.isConnected() ? bus.interface() : nullptr;
    if (!daemon)
        return names;
    const auto owned = [daemon](const char* name) {
        return daemon->isServiceRegistered(QLatin1String(name)).value();
    };
    names.kglobalaccel = owned("org.kde.kglobalaccel");
    names.kwin = owned("org.kde.KWin");
    names.gnomeShell = owned("org.gnome.Shell");
    names.gnomeMediaKeys = owned("org.gnome.SettingsDaemon.MediaKeys");
    return names;
}

// The start line: what each service is, on which desktop, and why.
void logChoice(const DesktopVerdict& verdict, const PlatformServices& platform) {
    QString hotkeys = QStringLiteral("X11 按键抓取");
    if (dynamic_cast<const KGlobalAccelHotkeyService*>(platform.hotkeys.get()))
        hotkeys = QStringLiteral("KDE 全局快捷键服务（kglobalaccel）");
    else if (platform.desktopKeybindings)
        hotkeys = platform.desktopKeybindings->place() + QStringLiteral("（自定义快捷键，经用户同意后写入）");
    else if (const std::optional<KeyGrabFailure> reason = platform.hotkeys->unavailable())
        hotkeys = QStringLiteral("不可用（") + reason->message + QStringLiteral("）");
    QString capture = platform.screenCapture->unavailableReason().isEmpty() ? QStringLiteral("X11 屏幕")
                                                                            : QStringLiteral("不可用");
    if (dynamic_cast<const KWinScreenCapture*>(platform.screenCapture.get()))
        capture = QStringLiteral("KWin（org.kde.KWin.ScreenShot2）");
    else if (dynamic_cast<const PortalScreenCapture*>(platform.screenCapture.get()))
        capture = QStringLiteral("截图门户（xdg-desktop-portal）");
    const QString selection = platform.selection.sourceProbe
                                  ? QStringLiteral("辅助功能 + X11 PRIMARY 与 Ctrl+C")
                                  : QStringLiteral("仅辅助功能");
    logi(QStringLiteral("桌面: ") + desktopName(verdict.desktop) + QStringLiteral("（") + verdict.reason +
         QStringLiteral("）— 快捷键: ") + hotkeys + QStringLiteral("；截图: ") + capture +
         QStringLiteral("；选中文本: ") + selection);
}

} // namespace

namespace PlatformLoader {

QString displayProblem(SessionType session) {
    switch (session) {
    case SessionType::None:
        return QStringLiteral(
            "没有图形桌面会话（未设置 DISPLAY）：VYRN 需要在 X11 桌面中运行，请在桌面会话的终端里启动它。");
    case SessionType::Wayland:
        if (qEnvironmentVariableIsEmpty("DISPLAY"))
            return QStringLiteral("Wayland 会话中没有 X11 兼容服务（Xwayland）：VYRN 的窗口需要它。"
                                  "请启用 Xwayland，或在登录界面选择 X11（Xorg）会话。");
        break;
    case SessionType::X11:
        break;
    }
    return x11DisplayProblem();
}

std::unique_ptr<PlatformServices> load(SessionType session, const Options& options) {
    auto platform = std::make_unique<PlatformServices>();
    platform->session = session;
    loadKeyStores(*platform);
    if (QDBusConnection::sessionBus().isConnected())
        platform->notifications = std::make_unique<FreedesktopNotificationService>();
    else
        platform->notifications = std::make_unique<NullNotificationService>();
    platform->colorScheme = std::make_unique<DesktopColorScheme>();
    platform->accessibility = std::make_unique<AccessibilityBusStatus>();
    // VYRN's windows are X11 ones in either session type (through Xwayland under Wayland).
    platform->completeLaunch = X11StartupFeedback::completeLaunch;

    // An X11 session never asks the bus: a desktop's services may answer there too.
    const DesktopVerdict desktop =
        detectDesktop(session, DesktopEnvironment::fromProcess(),
                      session == SessionType::Wayland ? desktopBusNames() : DesktopBusNames{});
    if (session == SessionType::X11)
        loadX11Services(*platform);
    else
        loadNullServices(*platform);
    if (desktop.desktop == Desktop::Plasma5Wayland || desktop.desktop == Desktop::Plasma6Wayland) {
        auto kde = std::make_unique<KGlobalAccelHotkeyService>(QDBusConnection::sessionBus());
        platform->blockGlobalShortcuts = [service = kde.get()](bool blocked) {
            service->blockShortcuts(blocked);
        };
        platform->hotkeys = std::move(kde);
        // The service chosen so far takes the captures KWin refuses.
        platform->screenCapture = std::make_unique<KWinScreenCapture>(
            QDBusConnection::sessionBus(),
            std::make_unique<PortalScreenCapture>(PortalScreenCapture::Options{}));
    } else if (desktop.desktop == Desktop::GnomeWayland) {
        platform->desktopKeybindings = GnomeCustomKeybindings::open();
        PortalScreenCapture::Options portal;
        portal.askFirst = true;
        portal.mutterLayout = true;
        auto capture = std::make_unique<PortalScreenCapture>(std::move(portal));
        logi(QStringLiteral("截图：GNOME 截图门户，许可记在") +
             (capture->appId().isEmpty()
                  ? QStringLiteral("未识别身份的程序共用的条目下")
                  : QStringLiteral("应用标识 ") + capture->appId() + QStringLiteral(" 下")));
        platform->screenshotPermission = capture.get();
        platform->screenCapture = std::move(capture);
    }
    logChoice(desktop, *platform);
    if (dynamic_cast<const KWinScreenCapture*>(platform->screenCapture.get()))
        for (const QString& line : KWinScreenCapture::entryReport(
                 QCoreApplication::applicationFilePath(),
                 QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)))
            logi(line);
    SelectionServices& selection = platform->selection;
    if (!selection.sourceProbe) {
        selection.sourceProbe = std::make_unique<NullSourceWindowProbe>();
        selection.primary = std::make_unique<NullPrimarySelection>();
        selection.clipboard = std::make_unique<NullClipboard>();
        selection.keyboard = std::make_unique<NullSyntheticKeyboard>();
    }
    const QString helper = options.accessibilityHelper.isEmpty()
                               ? AtspiAccessibilityReader::defaultHelperPath()
                               : options.accessibilityHelper;
    if (QFileInfo(helper).isExecutable())
        selection.accessibility = std::make_unique<AtspiAccessibilityReader>(helper);
    else
        selection.accessibility =
            std::make_unique<NullAccessibilityReader>(QStringLiteral("找不到读取程序 %1").arg(helper));
    return platform;
}

namespace {

// In a Plasma session the wallet is the desktop's key store, and the keychain library would
// reach it instead of any Secret Service anyway: VYRN asks it itself, so that the log names
// the store really in use and a wallet waiting for its password can be waited for.
std::unique_ptr<KeyStoreBackend> plasmaWallet() {
    const QString version = qEnvironmentVariable("KDE_SESSION_VERSION");
    if (!qEnvironmentVariable("XDG_CURRENT_DESKTOP").split(QLatin1Char(':')).contains(QLatin1String("KDE")) ||
        (version != QLatin1String("5") && version != QLatin1String("6")))
        return nullptr;
    return KWalletKeyStore::connect(QStringLiteral("kwalletd") + version);
}

bool secretServiceRunning() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() &&
           bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.secrets")).value();
}

} // namespace

bool secretServiceAvailable() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface())
        return false;
    const QString name = QStringLiteral("org.freedesktop.secrets");
    if (bus.interface()->isServiceRegistered(name))
        return true;
    const QDBusReply<QStringList> activatable = bus.interface()->call(QStringLiteral("ListActivatableNames"));
    return activatable.isValid() && activatable.value().contains(name);
}

std::unique_ptr<KeyStoreBackend> loadKeyStore() {
    if (std::unique_ptr<KeyStoreBackend> wallet = plasmaWallet())
        return wallet;
    if (secretServiceAvailable())
        return std::make_unique<SecretServiceKeyStore>();
    return fileKeyStore();
}

void loadKeyStores(PlatformServices& platform) {
    platform.keyStore = loadKeyStore();
    const QString location = platform.keyStore->location();
    if (location != QLatin1String("file"))
        platform.fileKeyStore = fileKeyStore();
    // Only a Secret Service already running: asking would start one on a desktop that has its
    // wallet instead.
    if (location == QLatin1String("kwallet") && secretServiceRunning())
        platform.otherKeyStore = std::make_unique<SecretServiceItems>();
}

std::unique_ptr<KeyStoreBackend> fileKeyStore() {
    return std::make_unique<FileKeyStore>(AppConstants::configDirectory() + QStringLiteral("/keys.json"));
}

} // namespace PlatformLoader
