#pragma once

#include "base/SessionType.h"
#include "pipeline/SelectionServices.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

class AccessibilitySupport;
class DesktopColorScheme;
class DesktopKeybindings;
class HotkeyService;
class KeyStoreBackend;
class NotificationService;
class ScreenCapture;
class ScreenshotPermission;
class X11Connection;

// Every service VYRN takes from the desktop, made by PlatformLoader for one session type.
// The program's owner hands each to whoever uses it. Members go in reverse order, so the
// connection outlives the hotkeys that use it.
struct PlatformServices {
    PlatformServices();
    ~PlatformServices();
    PlatformServices(const PlatformServices&) = delete;
    PlatformServices& operator=(const PlatformServices&) = delete;

    SessionType session = SessionType::None;
    std::unique_ptr<X11Connection> x11; // the hotkeys' own; null when none could be opened
    std::unique_ptr<KeyStoreBackend> keyStore;
    // The private key file when keyStore is the Secret Service: keys saved while the Secret
    // Service did not answer wait there to move into it. Null when keyStore is that file.
    std::unique_ptr<KeyStoreBackend> fileKeyStore;
    // The Secret Service while keyStore is the KDE wallet: keys saved there move into it.
    std::unique_ptr<KeyStoreBackend> otherKeyStore;
    std::unique_ptr<NotificationService> notifications;
    std::unique_ptr<ScreenCapture> screenCapture;
    // The screen capture's consent step, where the desktop asks the user once (GNOME on
    // Wayland); null elsewhere. Lives as long as screenCapture.
    ScreenshotPermission* screenshotPermission = nullptr;
    std::unique_ptr<HotkeyService> hotkeys;
    // Where the desktop binds VYRN's actions in its own settings instead (GNOME on Wayland);
    // null elsewhere.
    std::unique_ptr<DesktopKeybindings> desktopKeybindings;
    // Pauses the desktop's global shortcuts, VYRN's among them (true), and lets them work again
    // (false), where its shortcut service can (KDE Plasma); empty elsewhere.
    std::function<void(bool blocked)> blockGlobalShortcuts;
    std::unique_ptr<DesktopColorScheme> colorScheme;
    std::unique_ptr<AccessibilitySupport> accessibility;
    SelectionServices selection;
    // Ends the launch feedback of a start another `vyrn` handed over (its startup id).
    std::function<void(const QByteArray& startupId)> completeLaunch;

    // What the owner logs when it puts these to use: why reading the selection is limited
    // here, and why the X server could not be reached for the hotkeys. Empty when nothing is.
    QString selectionNote;
    QString connectionNote;
};
