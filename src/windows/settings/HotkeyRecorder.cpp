#include "windows/settings/HotkeyRecorder.h"

#include "base/Logger.h"
#include "keys/HotkeyConflicts.h"
#include "keys/HotkeyNames.h"
#include "keys/LinuxKeyMap.h"
#include "platform/RecordingKeyboard.h"
#include "settings/HotkeyRecording.h"
#include "windows/settings/StatusStyle.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionButton>

namespace {
constexpr std::chrono::milliseconds keyUpWait{1000};
constexpr std::chrono::milliseconds afterRejection{1500};
constexpr std::chrono::milliseconds afterAcceptance{2000};

const QString recordingTitle = QStringLiteral("... 按下组合键 ...");
} // namespace

void RecordButton::setTone(StatusTone tone) {
    m_tone = tone;
    update();
}

QSize RecordButton::sizeHint() const {
    // As wide as the longer titles it shows, so that recording or a longer combination does
    // not move the row, and all five buttons line up.
    QSize hint = QPushButton::sizeHint();
    QStyleOptionButton option;
    initStyleOption(&option);
    for (const QString& title : {QStringLiteral("  ") + recordingTitle + QStringLiteral("  "),
                                 QStringLiteral("  Super+Shift+T  ")}) {
        const QSize text = fontMetrics().size(Qt::TextShowMnemonic, title);
        hint = hint.expandedTo(style()->sizeFromContents(QStyle::CT_PushButton, &option, text, this));
    }
    return hint;
}

void RecordButton::paintEvent(QPaintEvent* event) {
    QPushButton::paintEvent(event);
    if (m_tone == StatusTone::secondary)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor colour = StatusStyle::toneColor(m_tone, palette());
    painter.setPen(QPen(colour, 2));
    colour.setAlpha(40);
    painter.setBrush(colour);
    painter.drawRoundedRect(QRectF(rect()).adjusted(2, 2, -2, -2), 5, 5);
}

HotkeyRecorder::HotkeyRecorder(QSet<int> allowedSoloKeyCodes, QString soloKeyHint,
                               std::function<QString()> defaultDisplay, std::function<bool()> othersBusy,
                               std::function<void(bool)> blockDesktopShortcuts)
    : m_allowedSoloKeyCodes(std::move(allowedSoloKeyCodes)), m_soloKeyHint(std::move(soloKeyHint)),
      m_defaultDisplay(std::move(defaultDisplay)), m_othersBusy(std::move(othersBusy)),
      m_blockDesktopShortcuts(std::move(blockDesktopShortcuts)) {
    m_timeout.setSingleShot(true);
    m_bezelReset.setSingleShot(true);
    m_keyUpFallback.setSingleShot(true);
    connect(&m_timeout, &QTimer::timeout, this, [this] {
        if (m_isRecording)
            cancel();
    });
    connect(&m_bezelReset, &QTimer::timeout, this, [this] {
        if (!m_isRecording && m_button)
            m_button->setTone(StatusTone::secondary);
    });
    connect(&m_keyUpFallback, &QTimer::timeout, this, &HotkeyRecorder::releaseKeyboard);
}

HotkeyRecorder::~HotkeyRecorder() {
    releaseKeyboard();
}

void HotkeyRecorder::attach(RecordButton* button, QLabel* statusLabel) {
    m_button = button;
    m_statusLabel = statusLabel;
    setTitle(m_defaultDisplay());
    statusLabel->setText(QStringLiteral("点击上方按钮开始录制新快捷键"));
    connect(button, &QPushButton::clicked, this, &HotkeyRecorder::start);
}

void HotkeyRecorder::setTitle(const QString& display) {
    if (m_button)
        m_button->setText(QStringLiteral("  ") + display + QStringLiteral("  "));
}

void HotkeyRecorder::start() {
    if (isBusy() || m_othersBusy())
        return;
    m_isRecording = true;
    m_recordedKeyCode.reset();
    m_recordedModifiers = 0;
    m_bezelReset.stop();
    setTitle(recordingTitle);
    if (m_button)
        m_button->setTone(StatusTone::warning);
    QString status = QStringLiteral("请按下组合键...");
    if (!m_soloKeyHint.isEmpty())
        status += QLatin1Char('\n') + m_soloKeyHint;
    if (!m_recordingNote.isEmpty())
        status += QLatin1Char('\n') + m_recordingNote;
    if (m_statusLabel)
        m_statusLabel->setText(status);
    holdKeyboard();
    m_timeout.start(m_timeoutDuration);
}

void HotkeyRecorder::cancel() {
    m_isRecording = false;
    m_timeout.stop();
    m_bezelReset.stop();
    releaseKeyboard();
    setTitle(m_defaultDisplay());
    if (m_button)
        m_button->setTone(StatusTone::secondary);
    if (m_statusLabel)
        m_statusLabel->setText(QStringLiteral("录制超时，请重试"));
}

void HotkeyRecorder::reset() {
    m_isRecording = false;
    m_timeout.stop();
    m_bezelReset.stop();
    releaseKeyboard();
    m_recordedKeyCode.reset();
    m_recordedModifiers = 0;
}

void HotkeyRecorder::dropRecording() {
    reset();
    setTitle(m_defaultDisplay());
    if (m_button)
        m_button->setTone(StatusTone::secondary);
    if (m_statusLabel)
        m_statusLabel->setText(QStringLiteral("该组合无法使用，仍使用原快捷键"));
}

void HotkeyRecorder::scheduleBezelReset(std::chrono::milliseconds delay) {
    m_bezelReset.start(delay);
}

void HotkeyRecorder::holdKeyboard() {
    QWidget* window = m_button ? m_button->window() : nullptr;
    QWindow* handle = window ? window->windowHandle() : nullptr;
    if (!handle)
        return;
    if (!RecordingKeyboard::hold(handle))
        logi(QStringLiteral("录制快捷键：无法独占键盘（其他程序正占用），桌面快捷键可能先响应"));
    if (m_blockDesktopShortcuts && !std::exchange(m_desktopShortcutsBlocked, true))
        m_blockDesktopShortcuts(true);
    m_heldWindow = handle;
    m_awaitedKeyUp = 0;
    qApp->installEventFilter(this);
}

void HotkeyRecorder::releaseKeyboard() {
    m_keyUpFallback.stop();
    m_awaitedKeyUp = 0;
    qApp->removeEventFilter(this);
    if (QWindow* window = m_heldWindow.data())
        RecordingKeyboard::release(window);
    m_heldWindow = nullptr;
    // Every way out of a recording comes here: the desktop's shortcuts must never stay off.
    if (std::exchange(m_desktopShortcutsBlocked, false))
        m_blockDesktopShortcuts(false);
}

void HotkeyRecorder::releaseKeyboardAfterKeyUp(quint32 nativeScanCode) {
    if (!m_heldWindow || nativeScanCode == 0) {
        releaseKeyboard();
        return;
    }
    m_awaitedKeyUp = nativeScanCode;
    m_keyUpFallback.start(keyUpWait);
}

bool HotkeyRecorder::eventFilter(QObject* watched, QEvent* event) {
    if (!m_heldWindow)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Taken here, so no shortcut of the window (Return saves) acts on it.
        event->accept();
        return true;
    case QEvent::KeyPress:
        if (m_isRecording)
            handlePress(*static_cast<QKeyEvent*>(event));
        return true;
    case QEvent::KeyRelease: {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (m_awaitedKeyUp != 0 && !key->isAutoRepeat() && key->nativeScanCode() == m_awaitedKeyUp)
            releaseKeyboard();
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

void HotkeyRecorder::handlePress(const QKeyEvent& event) {
    const int modifiers = LinuxKeyMap::carbonModifiersFromQt(event.modifiers());
    const std::optional<int> keyCode =
        RecordingKeyboard::keyCodeOfPress(event.nativeScanCode(), event.key(), event.modifiers());
    switch (decideRecordedKey(keyCode, modifiers, isModifierKey(event.key()), m_allowedSoloKeyCodes)) {
    case RecordingDecision::ignore:
        return;
    case RecordingDecision::rejectBareKey:
        reject(QStringLiteral("❌ 单个字母不能作为快捷键\n请同时按住 Ctrl / Alt / Super / Shift 之一再按字母"),
               event.nativeScanCode());
        return;
    case RecordingDecision::rejectUnknownKey:
        reject(QStringLiteral("❌ 该键无法用作快捷键"), event.nativeScanCode());
        return;
    case RecordingDecision::accept:
        break;
    }

    m_recordedKeyCode = *keyCode;
    m_recordedModifiers = modifiers;
    m_isRecording = false;
    m_timeout.stop();
    releaseKeyboardAfterKeyUp(event.nativeScanCode());

    const QString display = hotkeyDisplayString(*keyCode, modifiers);
    setTitle(display);
    QString status =
        QStringLiteral("✅ 已录制：") + display + QStringLiteral("\n点击「保存并应用」使快捷键生效");
    StatusTone tone = StatusTone::success;
    if (const std::optional<QString> conflict = checkSystemHotkeyConflict(modifiers, *keyCode)) {
        status += QStringLiteral("\n⚠️ 可能与系统快捷键冲突：") + *conflict;
        tone = StatusTone::warning;
    }
    if (m_button)
        m_button->setTone(tone);
    if (m_statusLabel)
        m_statusLabel->setText(status);
    scheduleBezelReset(afterAcceptance);
}

void HotkeyRecorder::reject(const QString& status, quint32 nativeScanCode) {
    m_isRecording = false;
    m_timeout.stop();
    releaseKeyboardAfterKeyUp(nativeScanCode);
    setTitle(m_defaultDisplay());
    if (m_button)
        m_button->setTone(StatusTone::failure);
    if (m_statusLabel)
        m_statusLabel->setText(status);
    scheduleBezelReset(afterRejection);
}
