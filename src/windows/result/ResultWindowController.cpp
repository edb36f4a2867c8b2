#include "windows/result/ResultWindowController.h"

#include "base/Logger.h"
#include "keys/LinuxKeyMap.h"
#include "platform/DesktopColorScheme.h"
#include "platform/FloatingPanelWindow.h"
#include "platform/HotkeyService.h"
#include "result/HTMLRenderer.h"
#include "result/PanelGeometry.h"
#include "result/StreamedPage.h"
#include "settings/AIProvider.h"
#include "settings/SettingsManager.h"
#include "windows/PanelFocus.h"
#include "windows/PanelPalette.h"
#include "windows/result/ResultPanel.h"
#include "windows/result/ResultToolbar.h"
#include "windows/result/ResultWebEngine.h"
#include "windows/result/ResultWebView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPalette>
#include <QScreen>
#include <QShortcut>
#include <QWindow>

#include <cmath>

namespace {

qreal primaryBottom() {
    const QScreen* primary = QGuiApplication::primaryScreen();
    return primary ? primary->geometry().y() + primary->geometry().height() : 0;
}

struct Screens {
    QList<ScreenFrames> frames;
    qsizetype mainIndex = 0;
};

Screens currentScreens() {
    Screens screens;
    const qreal bottom = primaryBottom();
    const QList<QScreen*> all = QGuiApplication::screens();
    for (const QScreen* screen : all)
        screens.frames.append({PanelGeometry::flipped(QRectF(screen->geometry()), bottom),
                               PanelGeometry::flipped(QRectF(screen->availableGeometry()), bottom)});
    screens.mainIndex = std::max<qsizetype>(0, all.indexOf(QGuiApplication::primaryScreen()));
    return screens;
}

// Whole pixels, so that the frame read back from the window system compares equal.
QRectF whole(const QRectF& rect) {
    return {std::round(rect.x()), std::round(rect.y()), std::round(rect.width()), std::round(rect.height())};
}

// The body colours of the two page schemes.
QColor pageBackground(bool dark) {
    return dark ? QColor(0x1c, 0x1c, 0x1e) : QColor(Qt::white);
}

QString grabFailureReason(const KeyGrabFailure& failure) {
    return failure.error == KeyGrabError::HeldByAnotherProgram ? QStringLiteral("该组合键已被其他程序占用")
                                                               : failure.message;
}

} // namespace

ResultWindowController::ResultWindowController(SettingsManager& settings, HotkeyService& hotkeys,
                                               const DesktopColorScheme& colorScheme, PanelFocus* focus)
    : m_settings(settings), m_hotkeys(hotkeys), m_colorScheme(colorScheme),
      m_focus(focus), m_keys{{{"ESC",
                               &SettingsManager::closePanelHotkeyKeyCode,
                               &SettingsManager::closePanelHotkeyModifiers,
                               &ResultWindowController::closePanel,
                               {},
                               {}},
                              {"TogglePanel",
                               &SettingsManager::togglePanelHotkeyKeyCode,
                               &SettingsManager::togglePanelHotkeyModifiers,
                               &ResultWindowController::moveToOtherHalf,
                               {},
                               {}},
                              {"SplitMode",
                               &SettingsManager::splitHotkeyKeyCode,
                               &SettingsManager::splitHotkeyModifiers,
                               &ResultWindowController::toggleSplitMode,
                               {},
                               {}}}} {
    connect(qApp, &QCoreApplication::aboutToQuit, this, &ResultWindowController::shutdown);
    m_frameSave.setSingleShot(true);
    m_frameSave.setInterval(500);
    connect(&m_frameSave, &QTimer::timeout, this, &ResultWindowController::saveMovedFrame);
    m_streamTimer.setSingleShot(true);
    connect(&m_streamTimer, &QTimer::timeout, this, &ResultWindowController::applyStreamUpdate);
}

ResultWindowController::~ResultWindowController() {
    releasePanelKeys();
    // Without shutdown() the web engine is left for the process's end to take.
    if (m_engine)
        m_engine->setParent(nullptr);
}

ResultPanel* ResultWindowController::panel() const {
    return m_open ? m_panel : nullptr;
}

ResultWebView* ResultWindowController::webView() const {
    return m_open ? m_panel->webView() : nullptr;
}

QRectF ResultWindowController::toBottomLeft(const QRectF& rect) {
    return PanelGeometry::flipped(rect, primaryBottom());
}

void ResultWindowController::show(const QString& markdown, const QString& originalText,
                                  const QRectF& screenshotRect) {
    QMetaObject::invokeMethod(
        this,
        [this, markdown, originalText, screenshotRect] { showNow(markdown, originalText, screenshotRect); },
        Qt::QueuedConnection);
}

void ResultWindowController::prepareWebEngine() {
    if (m_engine)
        return;
    QElapsedTimer timer;
    timer.start();
    m_engine = new ResultWebEngine(this);
    m_panel = new ResultPanel(*m_engine);
    ResultToolbar* toolbar = m_panel->toolbar();
    connect(toolbar, &ResultToolbar::splitChosen, this, &ResultWindowController::chooseSplit);
    connect(toolbar, &ResultToolbar::smallerFontRequested, this, &ResultWindowController::decreaseFontSize);
    connect(toolbar, &ResultToolbar::largerFontRequested, this, &ResultWindowController::increaseFontSize);
    connect(m_panel, &ResultPanel::closing, this, &ResultWindowController::panelClosing);
    connect(m_panel, &ResultPanel::exposed, this, &ResultWindowController::panelExposed);
    connect(m_panel, &ResultPanel::frameChanged, this, &ResultWindowController::panelFrameChanged);
    if (m_focus) {
        for (PanelKey& key : m_keys) {
            key.shortcut = new QShortcut(m_panel);
            connect(key.shortcut, &QShortcut::activated, this, [this, action = key.action] {
                QMetaObject::invokeMethod(this, action, Qt::QueuedConnection);
            });
        }
    }
    connect(m_panel->webView(), &ResultWebView::pageLoaded, this, [this](bool ok) {
        if (m_warmingUp && !m_open) {
            // Its "One. Two." must never be what a panel opens with.
            m_warmingUp = false;
            m_panel->webView()->showPage(QString(), m_panel->palette().color(QPalette::Window));
        }
        if (!m_open)
            return;
        if (m_stream && !m_streamPageLoaded) {
            m_streamPageLoaded = true;
            if (m_pending)
                applyStreamUpdate();
        }
        Q_EMIT pageLoaded(ok);
    });
    // A page like an answer's starts the page process now and has it load the fonts and
    // the style sheet, rather than with the answer.
    m_panel->webView()->showPage(HTMLRenderer::renderSplit(QStringLiteral("## 中文翻译\n第一句。第二句。"),
                                                           QStringLiteral("One. Two."), false, 14, QString()),
                                 Qt::white);
    m_warmingUp = true;
    logi(QStringLiteral("网页引擎已启动 (") + QString::number(timer.elapsed()) + QStringLiteral(" ms)"));
}

void ResultWindowController::shutdown() {
    closePanel();
    delete m_panel;
    m_panel = nullptr;
    delete m_engine;
    m_engine = nullptr;
}

void ResultWindowController::showNow(const QString& markdown, const QString& originalText,
                                     const QRectF& screenshotRect) {
    if (m_open)
        closePanel();
    prepareWebEngine();
    m_markdown = markdown;
    m_originalText = originalText;
    m_notice.clear();
    m_endLines.clear();
    m_streamed = false;
    m_canSplit = HTMLRenderer::canSplit(markdown, originalText);
    m_splitMode = m_settings.defaultSplitMode() && m_canSplit;
    m_open = true;
    m_panel->toolbar()->setSplit(m_splitMode, m_canSplit);
    reloadWebView();
    open(screenshotRect);
}

void ResultWindowController::beginStreaming(const QString& originalText, const QRectF& screenshotRect,
                                            const QString& markdownSoFar, const QString& notice) {
    if (m_open)
        closePanel();
    prepareWebEngine();
    m_markdown.clear();
    m_originalText = originalText;
    m_notice = notice;
    m_endLines.clear();
    m_streamed = true;
    m_canSplit = false;
    m_splitMode = m_settings.defaultSplitMode() && StreamedPage::canStartSplit(originalText);
    m_stream = std::make_unique<StreamedPage>(originalText, m_splitMode);
    m_stream->update(markdownSoFar);
    m_shownBlocks = m_stream->blocks();
    m_pending = false;
    m_streamPageLoaded = false;
    m_sinceStreamUpdate.start();
    m_open = true;
    m_panel->toolbar()->setSplit(m_splitMode, false, false);
    reloadWebView();
    open(screenshotRect);
}

void ResultWindowController::updateStreaming(const QString& markdownSoFar) {
    if (!m_stream)
        return; // closed meanwhile
    m_pendingMarkdown = markdownSoFar;
    m_pending = true;
    if (m_streamTimer.isActive())
        return;
    constexpr qint64 interval = 100;
    const qint64 since = m_sinceStreamUpdate.elapsed();
    if (since >= interval)
        applyStreamUpdate();
    else
        m_streamTimer.start(int(interval - since));
}

void ResultWindowController::applyStreamUpdate() {
    m_streamTimer.stop();
    if (!m_stream || !m_pending || !m_streamPageLoaded)
        return; // the page applies what is pending once it has loaded
    m_pending = false;
    m_sinceStreamUpdate.start();
    m_stream->update(m_pendingMarkdown);
    pushBlocks(m_stream->blocks());
}

void ResultWindowController::pushBlocks(const QStringList& blocks) {
    const QString script = StreamedPage::updateScript(m_shownBlocks, blocks);
    m_shownBlocks = blocks;
    if (!script.isEmpty())
        m_panel->webView()->runInOwnWorld(script);
}

void ResultWindowController::finishStreaming(const QString& markdown, const QStringList& endLines) {
    if (!m_stream)
        return;
    m_streamTimer.stop();
    m_pending = false;
    m_markdown = markdown;
    m_endLines = endLines;
    const bool wasSplit = m_stream->isSplit();
    m_stream->finish(markdown);
    QStringList blocks = m_stream->blocks();
    for (const QString& line : endLines)
        blocks.append(StreamedPage::warningLine(line));
    m_splitMode = m_stream->isSplit();
    m_stream.reset();
    m_canSplit = HTMLRenderer::canSplit(markdown, m_originalText);
    m_panel->toolbar()->setSplit(m_splitMode, m_canSplit);
    if (m_splitMode != wasSplit || !m_streamPageLoaded) {
        reloadWebView();
        return;
    }
    pushBlocks(blocks);
}

QStringList ResultWindowController::finishedBlocks(bool split) const {
    StreamedPage page(m_originalText, split);
    page.finish(m_markdown);
    QStringList blocks = page.blocks();
    for (const QString& line : m_endLines)
        blocks.append(StreamedPage::warningLine(line));
    return blocks;
}

void ResultWindowController::open(const QRectF& screenshotRect) {
    SettingsManager& settings = m_settings;
    m_panel->toolbar()->setFontSize(settings.popupFontSize());
    // The view may still hold the frame of the page it showed before it was hidden.
    m_panel->webView()->coverUntilPainted(pageBackground(PanelPalette::prefersDark(m_colorScheme)));
    m_warmingUp = false;

    const Screens screens = currentScreens();
    const std::optional<QString> saved = settings.windowFrame();
    const std::optional<QRectF> savedFrame =
        saved ? std::optional<QRectF>(PanelGeometry::parseFrameText(*saved)) : std::nullopt;
    // The window manager forgets the panel's states whenever it is hidden.
    if (const std::optional<QMargins> margins = FloatingPanelWindow::prepare(m_panel->windowHandle()))
        m_frameMargins = *margins;
    m_settled = false;
    place(whole(PanelGeometry::placement(screens.frames, screens.mainIndex, screenshotRect, savedFrame)));
    // Not as the window manager may have left it (minimised, maximised) last time.
    m_panel->showNormal();
    grabPanelKeys();
    if (m_focus)
        m_focus->take(m_panel, QStringLiteral("结果面板"));
}

void ResultWindowController::closePanel() {
    if (m_open)
        m_panel->close();
}

void ResultWindowController::panelClosing() {
    if (!m_open)
        return;
    m_open = false;
    const bool abandoned = m_stream != nullptr;
    m_stream.reset();
    m_streamTimer.stop();
    m_pending = false;
    saveMovedFrame();
    releasePanelKeys();
    m_splitMode = false;
    // Nothing of this answer shows through when the window opens with the next one.
    m_panel->webView()->showPage(QString(), m_panel->palette().color(QPalette::Window));
    if (abandoned)
        Q_EMIT streamAbandoned();
    Q_EMIT panelClosed();
}

void ResultWindowController::raisePanel() {
    if (!m_open)
        return;
    if (m_panel->isMinimized())
        m_panel->showNormal();
    m_panel->raise();
    m_panel->activateWindow();
}

void ResultWindowController::grabPanelKeys() {
    SettingsManager& settings = m_settings;
    for (PanelKey& key : m_keys) {
        const int keyCode = (settings.*key.keyCode)();
        const int modifiers = (settings.*key.modifiers)();
        if (key.shortcut) {
            const std::optional<int> combination = LinuxKeyMap::qtCombinationForHotkey(keyCode, modifiers);
            key.shortcut->setKey(combination ? QKeySequence(QKeyCombination::fromCombined(*combination))
                                             : QKeySequence());
            continue;
        }
        if (key.grab && key.grab->keyCode() == keyCode && key.grab->modifiers() == modifiers)
            continue;
        const QString tag = QString::fromLatin1(key.tag);
        if (key.grab) {
            key.grab.reset();
            logi(tag + QStringLiteral(" tap: 已移除"));
        }
        KeyGrabResult<TemporaryKeyGrab> result = m_hotkeys.grabTemporarily(keyCode, modifiers);
        if (!result) {
            logi(tag + QStringLiteral(" tap: 创建失败（") + grabFailureReason(*result.failure) +
                 QStringLiteral("）"));
            continue;
        }
        key.grab = std::move(result.handle);
        // Later: the action may close the panel, which deletes the grab now signalling.
        connect(key.grab.get(), &TemporaryKeyGrab::triggered, this, [this, action = key.action] {
            QMetaObject::invokeMethod(this, action, Qt::QueuedConnection);
        });
        logi(tag + QStringLiteral(" tap: 已安装"));
    }
}

void ResultWindowController::releasePanelKeys() {
    for (PanelKey& key : m_keys) {
        if (!key.grab)
            continue;
        key.grab.reset();
        logi(QString::fromLatin1(key.tag) + QStringLiteral(" tap: 已移除"));
    }
}

void ResultWindowController::reloadHotkeys() {
    if (m_open)
        grabPanelKeys();
}

void ResultWindowController::toggleSplitMode() {
    if (!m_open || !m_canSplit || m_stream)
        return;
    m_splitMode = !m_splitMode;
    m_panel->toolbar()->setSplit(m_splitMode, m_canSplit);
    reloadWebView();
}

void ResultWindowController::chooseSplit(bool split) {
    if (m_stream)
        return;
    m_splitMode = split && m_canSplit;
    reloadWebView();
}

void ResultWindowController::increaseFontSize() {
    changeFontSize(1);
}

void ResultWindowController::decreaseFontSize() {
    changeFontSize(-1);
}

void ResultWindowController::changeFontSize(int step) {
    SettingsManager& settings = m_settings;
    settings.setPopupFontSize(settings.popupFontSize() + step);
    // A reload would lose what has arrived and where the reader is.
    if (m_stream && m_open)
        m_panel->webView()->runInOwnWorld(StreamedPage::fontSizeScript(settings.popupFontSize()));
    else
        reloadWebView();
    if (m_open)
        m_panel->toolbar()->setFontSize(settings.popupFontSize());
}

void ResultWindowController::reloadWebView() {
    if (!m_open)
        return;
    SettingsManager& settings = m_settings;
    const bool dark = PanelPalette::prefersDark(m_colorScheme);
    const int fontSize = settings.popupFontSize();
    const QString provider = AIProviders::shortName(settings.apiProvider());
    m_panel->setPalette(PanelPalette::forScheme(dark));
    QString page;
    if (m_stream) {
        m_shownBlocks = m_stream->blocks();
        m_streamPageLoaded = false;
        page = StreamedPage::page(m_shownBlocks, m_notice, m_splitMode, m_originalText, dark, fontSize,
                                  provider);
    } else if (m_streamed) {
        page = StreamedPage::page(finishedBlocks(m_splitMode), m_notice, m_splitMode, m_originalText, dark,
                                  fontSize, provider);
    } else {
        page = m_splitMode ? HTMLRenderer::renderSplit(m_markdown, m_originalText, dark, fontSize, provider)
                           : HTMLRenderer::renderPage(m_markdown, m_originalText, dark, fontSize, provider);
    }
    m_panel->webView()->showPage(page, pageBackground(dark));
}

void ResultWindowController::moveToOtherHalf() {
    if (!m_open)
        return;
    const Screens screens = currentScreens();
    const QRectF frame = m_settled ? currentFrame() : m_frame;
    const std::optional<qsizetype> index =
        PanelGeometry::screenHolding(screens.frames, frame, screens.mainIndex);
    if (!index)
        return;
    const QRectF moved = whole(PanelGeometry::otherHalf(screens.frames.at(*index), frame));
    place(moved);
    saveFrame(moved);
}

void ResultWindowController::place(const QRectF& frame) {
    m_frame = frame;
    const QRect qtFrame = PanelGeometry::flipped(frame, primaryBottom()).toRect();
    // The content's own rectangle: the window manager puts its frame around it.
    m_panel->setGeometry(qtFrame.marginsRemoved(m_frameMargins));
}

QRectF ResultWindowController::currentFrame() const {
    return PanelGeometry::flipped(QRectF(m_panel->frameGeometry()), primaryBottom());
}

void ResultWindowController::panelExposed() {
    if (!m_open || m_settled)
        return;
    // Placed with margins of an earlier panel, or none: once framed, fit the frame again.
    const QMargins margins = m_panel->windowHandle()->frameMargins();
    if (margins != m_frameMargins) {
        m_frameMargins = margins;
        place(m_frame);
    }
    m_settled = true;
}

void ResultWindowController::panelFrameChanged() {
    if (!m_open || !m_settled)
        return;
    const QRectF frame = currentFrame();
    if (frame == m_frame)
        return;
    m_frame = frame;
    m_frameMoved = true;
    if (!m_frameSave.isActive())
        m_frameSave.start();
}

void ResultWindowController::saveMovedFrame() {
    if (m_frameMoved)
        saveFrame(m_frame);
}

void ResultWindowController::saveFrame(const QRectF& frame) {
    m_frameSave.stop();
    m_frameMoved = false;
    m_settings.setWindowFrame(PanelGeometry::frameText(frame));
}
