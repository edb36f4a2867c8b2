#include "pipeline/CopySelectionFallback.h"

#include "base/Logger.h"
#include "pipeline/ClipboardAccess.h"
#include "pipeline/SourceWindowProbe.h"
#include "pipeline/SyntheticKeyboard.h"
#include "pipeline/TerminalWindows.h"
#include "text/GraphemeCount.h"

#include <QPointer>

CopySelectionFallback::CopySelectionFallback(ClipboardAccess& clipboard, SyntheticKeyboard& keyboard,
                                             SourceWindowProbe& focus, QObject* parent)
    : QObject(parent), m_clipboard(clipboard), m_keyboard(keyboard), m_focus(focus) {
    m_pollTimer.setSingleShot(true);
    m_pollTimer.setInterval(pollInterval);
    connect(&m_pollTimer, &QTimer::timeout, this, &CopySelectionFallback::attempt);
    m_clipboard.setChangeListener([this] { clipboardChanged(); });
}

CopySelectionFallback::~CopySelectionFallback() {
    m_clipboard.setChangeListener(nullptr);
}

// A callback into `step` that does nothing once this object is gone or a newer run began.
template <typename... Args>
auto CopySelectionFallback::guarded(void (CopySelectionFallback::*step)(Args...)) {
    return [self = QPointer<CopySelectionFallback>(this), run = m_run, step](Args... args) {
        if (self && self->m_running && self->m_run == run)
            (self.data()->*step)(std::move(args)...);
    };
}

void CopySelectionFallback::run(const std::optional<SelectionSource>& source, Done done) {
    ++m_run;
    m_done = std::move(done);
    m_running = true;
    m_cancelled = false;
    m_attempt = 0;
    m_snapshot = {};
    if (!source || source->window == 0) {
        logi(QStringLiteral("来源窗口未知：不发送 Ctrl+C"));
        finish(std::nullopt);
        return;
    }
    if (isTerminalWindow(source->windowInstance, source->windowClass)) {
        logi(QStringLiteral("终端窗口：不发送 Ctrl+C"));
        finish(std::nullopt);
        return;
    }
    m_sourceWindow = source->window;
    // The hotkey's own keys (Super, Shift) would turn Ctrl+C into another shortcut.
    m_keyboard.waitUntilNoKeyDown(keyReleaseLimit, guarded(&CopySelectionFallback::afterKeysReleased));
}

void CopySelectionFallback::cancel() {
    if (!m_running || m_cancelled)
        return;
    m_cancelled = true;
    if (m_pollTimer.isActive()) {
        m_pollTimer.stop();
        restoreAndFinish(std::nullopt);
    }
}

void CopySelectionFallback::afterKeysReleased(bool released) {
    if (m_cancelled || !released) {
        if (!released)
            logi(QStringLiteral("按键 1 秒内未松开：不发送 Ctrl+C"));
        finish(std::nullopt);
        return;
    }
    m_oldChangeCount = m_clipboard.changeCount();
    m_clipboard.capture(guarded(&CopySelectionFallback::afterCapture));
}

void CopySelectionFallback::afterCapture(std::optional<ClipboardSnapshot> snapshot) {
    if (!snapshot) {
        // What cannot be saved (a silent owner, too much) could not be put back: leave it alone.
        logi(QStringLiteral("无法完整保存剪贴板内容：不发送 Ctrl+C"));
        finish(std::nullopt);
        return;
    }
    if (m_cancelled || !sourceStillFocused()) {
        finish(std::nullopt);
        return;
    }
    m_snapshot = std::move(*snapshot);
    m_keyboard.sendCopyShortcut(guarded(&CopySelectionFallback::afterSent));
}

// The keys go to whatever has the focus when they are sent, seconds after the source was
// seen (longer for the tray's entry): a terminal in front would take Ctrl+C as an interrupt.
bool CopySelectionFallback::sourceStillFocused() {
    const std::optional<SelectionSource> focused = m_focus.capture();
    if (!focused || focused->window != m_sourceWindow) {
        logi(QStringLiteral("焦点已不在来源窗口：不发送 Ctrl+C"));
        return false;
    }
    if (isTerminalWindow(focused->windowInstance, focused->windowClass)) {
        logi(QStringLiteral("终端窗口：不发送 Ctrl+C"));
        return false;
    }
    return true;
}

void CopySelectionFallback::afterSent(bool sent) {
    if (!sent) {
        loge(QStringLiteral("Ctrl+C 发送失败"));
        restoreAndFinish(std::nullopt);
        return;
    }
    if (m_cancelled) {
        restoreAndFinish(std::nullopt);
        return;
    }
    waitForNextAttempt();
}

void CopySelectionFallback::waitForNextAttempt() {
    if (m_clipboard.changeCount() != m_oldChangeCount)
        QTimer::singleShot(0, this, guarded(&CopySelectionFallback::attempt));
    else
        m_pollTimer.start();
}

// An attempt starts as soon as the clipboard changes hands instead of at the end of
// the pause: the same rules, less waiting.
void CopySelectionFallback::clipboardChanged() {
    if (m_pollTimer.isActive()) {
        m_pollTimer.stop();
        attempt();
    }
}

void CopySelectionFallback::attempt() {
    if (m_cancelled) {
        restoreAndFinish(std::nullopt);
        return;
    }
    ++m_attempt;
    if (m_clipboard.changeCount() != m_oldChangeCount) {
        m_clipboard.readText(guarded(&CopySelectionFallback::afterAttemptRead));
        return;
    }
    afterAttemptRead(std::nullopt);
}

void CopySelectionFallback::afterAttemptRead(std::optional<QString> text) {
    if (text && !text->isEmpty() && !m_cancelled) {
        logi(QStringLiteral("Ctrl+C 获取成功（重试 %1 次）").arg(m_attempt));
        restoreAndFinish(std::move(text));
        return;
    }
    if (m_cancelled) {
        restoreAndFinish(std::nullopt);
        return;
    }
    if (m_attempt < pollAttempts) {
        m_pollTimer.start();
        return;
    }
    m_clipboard.readText(guarded(&CopySelectionFallback::afterFinalRead));
}

void CopySelectionFallback::afterFinalRead(std::optional<QString> text) {
    if (text && !text->isEmpty() && !m_snapshot.previousTexts().contains(*text)) {
        logi(QStringLiteral("Ctrl+C 获取成功（兜底读取）"));
        restoreAndFinish(std::move(text));
        return;
    }
    logi(QStringLiteral("Ctrl+C 兜底失败：oldChangeCount=%1 → finalChangeCount=%2，剪贴板当前文本长度=%3")
             .arg(m_oldChangeCount)
             .arg(m_clipboard.changeCount())
             .arg(text ? graphemeCount(*text) : -1));
    restoreAndFinish(std::nullopt);
}

void CopySelectionFallback::restoreAndFinish(std::optional<QString> result) {
    if (m_clipboard.changeCount() == m_oldChangeCount) {
        // Nobody took the clipboard: its owner still serves it, better than any copy.
        logi(QStringLiteral("剪贴板未被改动，无需恢复"));
        finish(std::move(result));
        return;
    }
    const qsizetype items = m_snapshot.items.size();
    m_clipboard.restore(m_snapshot, [self = QPointer<CopySelectionFallback>(this), run = m_run, items,
                                     result = std::move(result)](bool restored) {
        if (restored && items == 0)
            logi(QStringLiteral("剪贴板已恢复（0 个条目）：复制前为空，已清空"));
        else if (restored)
            logi(QStringLiteral("剪贴板已恢复（%1 个条目）：内容现由 VYRN 提供，VYRN 退出后失效，"
                                "除非剪贴板管理器已接管")
                     .arg(items));
        else
            loge(QStringLiteral("剪贴板恢复失败：未能取得剪贴板所有权，原剪贴板内容可能已丢失"));
        if (self && self->m_run == run)
            self->finish(result);
    });
}

void CopySelectionFallback::finish(std::optional<QString> result) {
    m_pollTimer.stop();
    m_running = false;
    m_snapshot = {};
    Done done = std::exchange(m_done, nullptr);
    if (done && !m_cancelled)
        done(std::move(result));
}
