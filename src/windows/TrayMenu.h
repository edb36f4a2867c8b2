#pragma once

#include <QObject>

#include <memory>

class QMenu;
class QSystemTrayIcon;

// The tray icon, the program's one permanent presence on screen, and its menu: both
// translations, the settings and quitting.
class TrayMenu : public QObject {
    Q_OBJECT
public:
    static TrayMenu& shared();
    TrayMenu();
    ~TrayMenu() override;

    // Once, at start. Without a tray the icon waits for one and the log says so.
    void setup();
    QSystemTrayIcon* trayIcon() const { return m_trayIcon; }
    QMenu* menu() const { return m_menu.get(); }

private:
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_trayIcon = nullptr;
};
