#pragma once

#include "pipeline/ClipboardSnapshot.h"
#include "pipeline/SelectionSource.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

class ClipboardAccess;
class SourceWindowProbe;
class SyntheticKeyboard;

// The last resort for reading a selection: save the clipboard, send Ctrl+C to the
// source window, watch the clipboard for the copy, and put the clipboard back as it
// was. Every wait is a timer or a callback; the main thread never blocks.
class CopySelectionFallback : public QObject {
    Q_OBJECT
public:
    using Done = std::function<void(std::optional<QString>)>;

    static constexpr int pollAttempts = 15;
    static constexpr std::chrono::milliseconds pollInterval{100};
    static constexpr std::chrono::milliseconds keyReleaseLimit{1000};

    // `focus` tells which window the keys would reach when they are due.
    CopySelectionFallback(ClipboardAccess& clipboard, SyntheticKeyboard& keyboard, SourceWindowProbe& focus,
                          QObject* parent = nullptr);
    ~CopySelectionFallback() override;

    // `done` runs once, on the main thread, after the clipboard is back.
    void run(const std::optional<SelectionSource>& source, Done done);
    // The answer is dropped; a clipboard the copy changed is still put back.
    void cancel();
    bool isRunning() const { return m_running; }
    void setPollIntervalForTesting(std::chrono::milliseconds interval) { m_pollTimer.setInterval(interval); }

private:
    template <typename... Args> auto guarded(void (CopySelectionFallback::*step)(Args...));
    void afterKeysReleased(bool released);
    void afterCapture(std::optional<ClipboardSnapshot> snapshot);
    bool sourceStillFocused();
    void afterSent(bool sent);
    void waitForNextAttempt();
    void clipboardChanged();
    void attempt();
    void afterAttemptRead(std::optional<QString> text);
    void afterFinalRead(std::optional<QString> text);
    void restoreAndFinish(std::optional<QString> result);
    void finish(std::optional<QString> result);

    ClipboardAccess& m_clipboard;
    SyntheticKeyboard& m_keyboard;
    SourceWindowProbe& m_focus;
    QTimer m_pollTimer;
    Done m_done;
    bool m_running = false;
    bool m_cancelled = false;
    quint64 m_run = 0; // callbacks of an earlier run are ignored
    quint32 m_sourceWindow = 0;
    ClipboardSnapshot m_snapshot;
    quint64 m_oldChangeCount = 0;
    int m_attempt = 0;
};
