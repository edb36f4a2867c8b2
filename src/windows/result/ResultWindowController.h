#pragma once

#include <QElapsedTimer>
#include <QMargins>
#include <QObject>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <array>
#include <memory>

class DesktopColorScheme;
class HotkeyService;
class PanelFocus;
class QShortcut;
class ResultPanel;
class ResultWebEngine;
class ResultWebView;
class SettingsManager;
class StreamedPage;
class TemporaryKeyGrab;

// Owns the floating result panel, its web view, and the three panel keys (close, move to
// the other half of the screen, split view), which are grabbed only while a panel is open;
// with a PanelFocus the panel takes the keyboard instead, and they are its own keys.
// Main thread only, except show().
//
//   ResultWindowController results(settings, hotkeys, colorScheme);
//   results.prepareWebEngine();          // once the flow's loading panel has painted
//   results.show(answer, original, ResultWindowController::toBottomLeft(selection));
//   connect(&results, &ResultWindowController::panelClosed, ...);
class ResultWindowController : public QObject {
    Q_OBJECT
public:
    // Lives on the main thread; show() may be called from a flow's worker.
    ResultWindowController(SettingsManager& settings, HotkeyService& hotkeys,
                           const DesktopColorScheme& colorScheme, PanelFocus* focus = nullptr);
    ~ResultWindowController() override;

    // Any thread; returns at once. The panel opens on the main thread, after closing an
    // open one, on the half of the screen away from `screenshotRect` (where the source
    // text is, in the coordinates toBottomLeft() gives).
    void show(const QString& markdown, const QString& originalText, const QRectF& screenshotRect);
    bool isPanelOpen() const { return m_open; }

    // An answer still arriving (main thread). Opens the panel with what has arrived so far
    // (not empty); `notice`, when not empty, is a line above the answer.
    void beginStreaming(const QString& originalText, const QRectF& screenshotRect,
                        const QString& markdownSoFar, const QString& notice = {});
    // The whole answer so far. The page follows at most about ten times a second.
    void updateStreaming(const QString& markdownSoFar);
    // The complete answer: the page of show(), with the notice above and `endLines` as warning
    // lines at its end.
    void finishStreaming(const QString& markdown, const QStringList& endLines = {});
    bool isStreaming() const { return m_stream != nullptr; }

    // Starts the web engine, the panel's window and a page process for the first answer,
    // so that it shows sooner. The first call blocks the main thread for 0.1 to 0.3 s and
    // adds some 130 MB: make it once the flow's loading panel has painted, never during the
    // selection drag or at start-up.
    void prepareWebEngine();

    // Qt's global coordinates (origin top left, y downwards) to the ones show() takes:
    // origin at the primary screen's bottom-left corner, y upwards.
    static QRectF toBottomLeft(const QRectF& rect);

    // The open panel and its view; null while none is open.
    ResultPanel* panel() const;
    ResultWebView* webView() const;
    bool isSplitMode() const { return m_splitMode; }

public Q_SLOTS:
    // Brings an open panel to the front and gives it the keyboard (a notification was clicked).
    void raisePanel();
    // Grabs the panel keys again after the settings changed them while a panel is open.
    void reloadHotkeys();
    void closePanel();
    void moveToOtherHalf();
    void toggleSplitMode();
    void increaseFontSize();
    void decreaseFontSize();
    void reloadWebView();
    // Closes the panel and frees it with the web engine. Runs when the event loop ends:
    // later, once the application object is going, web views can no longer be destroyed.
    void shutdown();

Q_SIGNALS:
    // The panel is gone and its keys are free: the next translation may start.
    void panelClosed();
    // A page of the open panel finished loading (each opening, split switch, font change).
    void pageLoaded(bool ok);
    // The panel was closed while its answer was still arriving (before panelClosed()).
    void streamAbandoned();

private:
    struct PanelKey {
        const char* tag;
        int (SettingsManager::*keyCode)() const;
        int (SettingsManager::*modifiers)() const;
        void (ResultWindowController::*action)();
        std::unique_ptr<TemporaryKeyGrab> grab;
        QShortcut* shortcut = nullptr; // the window's own key, with a PanelFocus
    };

    void showNow(const QString& markdown, const QString& originalText, const QRectF& screenshotRect);
    void grabPanelKeys();
    void releasePanelKeys();
    void chooseSplit(bool split);
    void changeFontSize(int step);
    void panelClosing();
    void panelExposed();
    void panelFrameChanged();
    void place(const QRectF& frame);
    QRectF currentFrame() const;
    void saveFrame(const QRectF& frame);
    void saveMovedFrame();
    void open(const QRectF& screenshotRect);
    void applyStreamUpdate();
    void pushBlocks(const QStringList& blocks);
    QStringList finishedBlocks(bool split) const;

    SettingsManager& m_settings;
    HotkeyService& m_hotkeys;
    const DesktopColorScheme& m_colorScheme;
    PanelFocus* m_focus;
    ResultWebEngine* m_engine = nullptr;
    // Hidden, not destroyed, while closed: the next answer reuses its window and page process.
    ResultPanel* m_panel = nullptr;
    bool m_open = false;
    std::array<PanelKey, 3> m_keys;
    QString m_markdown;
    QString m_originalText;
    bool m_splitMode = false;
    bool m_canSplit = false;
    // Of an answer that arrived as a stream: shown with these around it until the next.
    QString m_notice;
    QStringList m_endLines;
    bool m_streamed = false;
    std::unique_ptr<StreamedPage> m_stream;
    QString m_pendingMarkdown;
    bool m_pending = false;
    bool m_streamPageLoaded = false;
    QStringList m_shownBlocks; // what the page's answer part holds
    QTimer m_streamTimer;
    QElapsedTimer m_sinceStreamUpdate;
    bool m_warmingUp = false;
    // The frame the panel was last given or seen at, and whether the window manager has
    // shown it yet (before that, its moves are the manager's placement, not the user's).
    QRectF m_frame;
    bool m_settled = false;
    QMargins m_frameMargins;
    // A drag moves the panel dozens of times a second: where it went reaches the preference
    // file at most twice a second, and at once when the panel closes.
    QTimer m_frameSave;
    bool m_frameMoved = false;
};
