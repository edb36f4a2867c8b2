#pragma once

#include <QObject>

#include <memory>

class QMenu;
class QSystemTrayIcon;

// The tray icon, the program's one permanent presence on screen, and its menu: both
// translations, the settings and quitting.
class StatusBarController : public QObject {
    Q_OBJECT
public:
    static StatusBarController& shared();
    StatusBarController();
    ~StatusBarController() override;

    // Once, at start. Without a tray the icon waits for one and the log says so.
    void setup();
    QSystemTrayIcon* statusItem() const { return m_statusItem; }
    QMenu* menu() const { return m_menu.get(); }

private:
    std::unique_ptr<QMenu> m_menu;
    QSystemTrayIcon* m_statusItem = nullptr;
};
