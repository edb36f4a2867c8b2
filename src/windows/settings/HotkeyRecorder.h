#pragma once

#include "engine/ConnectionTest.h"

#include <QColor>
#include <QLabel>
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QTimer>
#include <QWindow>

#include <chrono>
#include <functional>
#include <optional>

class QKeyEvent;

// A push button whose frame takes a colour (recording, accepted, rejected) on any style.
class RecordButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;
    // `secondary` is the style's own look.
    void setTone(StatusTone tone);
    StatusTone tone() const { return m_tone; }
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    StatusTone m_tone = StatusTone::secondary;
};

// Turns one record button and its status label into a small recording machine: a click,
// one key combination, and the combination is kept until the window saves it. While it
// records, the whole keyboard is held, so that neither VYRN's own hotkeys nor the desktop's
// shortcuts act on the keys pressed for it. Main thread.
class HotkeyRecorder : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds defaultTimeout{10000};

    // `defaultDisplay` names the hotkey stored now; `othersBusy` tells whether another
    // recorder of the window is recording.
    // `blockDesktopShortcuts` (may be empty) stops the desktop's own shortcuts (true) while
    // the keyboard is held and lets them work again (false) after, where a keyboard grab
    // cannot (Wayland).
    HotkeyRecorder(QSet<int> allowedSoloKeyCodes, QString soloKeyHint,
                   std::function<QString()> defaultDisplay, std::function<bool()> othersBusy,
                   std::function<void(bool)> blockDesktopShortcuts = {});
    ~HotkeyRecorder() override;

    void attach(RecordButton* button, QLabel* statusLabel);

    void start();
    // Ends a recording without a result.
    void cancel();
    // Back to the start, silently; button and label stay as they are.
    void reset();
    // Drops a recording that was saved but could not be taken: the button names the stored
    // hotkey again.
    void dropRecording();
    void scheduleBezelReset(std::chrono::milliseconds delay);

    bool isRecording() const { return m_isRecording; }
    // Recording, or still holding the keyboard until the recorded key is let go.
    bool isBusy() const { return m_isRecording || m_heldWindow; }
    std::optional<int> recordedKeyCode() const { return m_recordedKeyCode; }
    int recordedModifiers() const { return m_recordedModifiers; }
    QString soloKeyHint() const { return m_soloKeyHint; }

    void setTimeout(std::chrono::milliseconds timeout) { m_timeoutDuration = timeout; }
    // A line shown under the button while recording: what may still take the keys first.
    void setRecordingNote(const QString& note) { m_recordingNote = note; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void handlePress(const QKeyEvent& event);
    void reject(const QString& status, quint32 nativeScanCode);
    void holdKeyboard();
    void releaseKeyboard();
    // Keeps the keyboard until `nativeScanCode` is let go: released at once, the held key's
    // auto-repeat would reach the hotkey or shortcut it was recorded as.
    void releaseKeyboardAfterKeyUp(quint32 nativeScanCode);
    void setTitle(const QString& display);

    const QSet<int> m_allowedSoloKeyCodes;
    const QString m_soloKeyHint;
    const std::function<QString()> m_defaultDisplay;
    const std::function<bool()> m_othersBusy;
    const std::function<void(bool)> m_blockDesktopShortcuts;
    bool m_desktopShortcutsBlocked = false;
    QString m_recordingNote;

    QPointer<RecordButton> m_button;
    QPointer<QLabel> m_statusLabel;
    bool m_isRecording = false;
    std::optional<int> m_recordedKeyCode;
    int m_recordedModifiers = 0;
    std::chrono::milliseconds m_timeoutDuration = defaultTimeout;
    QTimer m_timeout;
    QTimer m_bezelReset;

    QPointer<QWindow> m_heldWindow; // set while the keyboard is held
    quint32 m_awaitedKeyUp = 0;
    QTimer m_keyUpFallback;
};
