#include "windows/PanelFocus.h"

#include "base/Logger.h"
#include "platform/WindowActivation.h"

#include <QApplication>
#include <QInputEvent>
#include <QWidget>
#include <QWindow>

namespace {

// X server times wrap around after 49 days.
bool later(quint32 time, quint32 than) {
    return qint32(time - than) > 0;
}

} // namespace

PanelFocus::PanelFocus() {
    qApp->installEventFilter(this);
    m_deadline.setSingleShot(true);
    // Mutter and KWin decide within a few milliseconds; a busy machine may take longer.
    m_deadline.setInterval(1000);
    connect(&m_deadline, &QTimer::timeout, this, &PanelFocus::check);
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) {
        if (!m_panel)
            return;
        if (window && window == m_panel->windowHandle()) {
            m_received = true;
            return;
        }
        // Mutter may grant the loading panel's request only after the result panel's, and then
        // give the keyboard back to the program being read as the loading panel goes: asked
        // again, a few times at most, until the deadline.
        if (m_deadline.isActive() && m_askedAgain < 3 && m_panel->isVisible()) {
            ++m_askedAgain;
            ask();
        }
    });
}

PanelFocus::~PanelFocus() {
    qApp->removeEventFilter(this);
}

std::optional<quint32> PanelFocus::launchTime(const QByteArray& launchId) {
    const qsizetype at = launchId.lastIndexOf("_TIME");
    if (at < 0)
        return std::nullopt;
    bool ok = false;
    const quint32 time = launchId.mid(at + 5).toUInt(&ok);
    return ok ? std::optional<quint32>(time) : std::nullopt;
}

void PanelFocus::actionStarted(const QByteArray& launchId) {
    m_userTime = launchTime(launchId).value_or(WindowActivation::serverTime());
}

bool PanelFocus::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
        // On X11 an input event carries the server's time.
        if (const quint32 time = quint32(static_cast<QInputEvent*>(event)->timestamp());
            time && (!m_userTime || later(time, m_userTime)))
            m_userTime = time;
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void PanelFocus::take(QWidget* panel, const QString& name) {
    if (!m_userTime)
        m_userTime = WindowActivation::serverTime();
    m_panel = panel;
    m_name = name;
    m_received = QGuiApplication::focusWindow() == panel->windowHandle();
    m_askedAgain = 0;
    ask();
    m_deadline.start();
}

void PanelFocus::ask() {
    // Passing the keyboard from one of VYRN's own windows takes it from nobody: now. Mutter
    // also stamps a window it focuses with the time it does so, and refuses older requests.
    const bool ours = QGuiApplication::focusWindow() != nullptr;
    WindowActivation::request(m_panel->windowHandle(), ours ? WindowActivation::serverTime() : m_userTime);
}

void PanelFocus::check() {
    if (!m_panel || !m_panel->isVisible() || m_received)
        return;
    logi(QStringLiteral("桌面没有把键盘焦点交给") + m_name +
         QStringLiteral("（用户可能已在别的窗口操作）：Esc 等面板按键不可用，可点击面板的关闭按钮"));
}
