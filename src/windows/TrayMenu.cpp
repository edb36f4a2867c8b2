#include "windows/TrayMenu.h"

#include "base/AppConstants.h"
#include "base/AppIcon.h"
#include "base/Logger.h"

#include <QCoreApplication>
#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

TrayMenu::TrayMenu(Actions actions) : m_actions(std::move(actions)) {}

TrayMenu::~TrayMenu() {
    delete m_trayIcon;
}

void TrayMenu::setup() {
    if (m_trayIcon)
        return;
    m_menu = std::make_unique<QMenu>();
    connect(m_menu.get(), &QMenu::aboutToShow, this, [this] { m_actions.opening(); });
    m_menu->addAction(QStringLiteral("📷 截图翻译"), this, [this] { m_actions.screenshot(); });
    m_menu->addAction(QStringLiteral("📝 划词翻译"), this, [this] { m_actions.selection(); });
    m_menu->addSeparator();
    m_menu->addAction(QStringLiteral("⚙️ 偏好设置..."), this, [this] { m_actions.settings(); });
    m_menu->addSeparator();
    // exit(), not quit(): quit() first asks every window to close, and any one may refuse.
    m_menu->addAction(QStringLiteral("退出 ") + APP_NAME, this, [] { QCoreApplication::exit(0); });

    m_trayIcon = new QSystemTrayIcon(AppIcon::icon(), this);
    m_trayIcon->setToolTip(APP_NAME);
    m_trayIcon->setContextMenu(m_menu.get());
    // A click on the book opens the menu too, as the right button does.
    connect(m_trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            m_menu->popup(QCursor::pos());
    });
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        logi(QStringLiteral("系统托盘不可用：托盘出现前不显示图标，再次运行 vyrn 可打开偏好设置"));
    // Shown even without a tray: it docks as soon as one appears.
    m_trayIcon->show();
}
