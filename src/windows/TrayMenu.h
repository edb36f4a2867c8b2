#pragma once

#include <QObject>

#include <functional>
#include <memory>

class QMenu;
class QSystemTrayIcon;

// The tray icon, the program's one permanent presence on screen, and its menu: both
// translations, the settings and quitting.
class TrayMenu : public QObject {
    Q_OBJECT
public:
    // What the menu's entries do; every one is set.
    struct Actions {
        std::function<void()> screenshot;
        std::function<void()> selection;
        std::function<void()> settings;
        // Before the menu shows, while the window the user worked in is still in front.
        std::function<void()> opening;
    };
    explicit TrayMenu(Actions actions);
    ~TrayMenu() override;

    // Once, at start. Without a tray the icon waits for one and the log says so.
    void setup();
    QSystemTrayIcon* trayIcon() const { return m_trayIcon; }
    QMenu* menu() const { return m_menu.get(); }

private:
    Actions m_actions;
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_trayIcon = nullptr;
};
