#pragma once

#include <QWidget>

class ResultToolbar;
class ResultWebEngine;
class ResultWebView;

// The floating window of the answer: stays above other windows, out of the taskbar;
// shown without taking the keyboard from the application being read, and takes it when
// clicked, so that the page can be copied from. Closing only hides it: the next answer
// reuses the window and its page process.
class ResultPanel : public QWidget {
    Q_OBJECT
public:
    explicit ResultPanel(ResultWebEngine& engine);

    ResultToolbar* toolbar() const { return m_toolbar; }
    ResultWebView* webView() const { return m_webView; }

Q_SIGNALS:
    // The user, a key or the program is closing the panel.
    void closing();
    // Moved or resized, by the window manager or the user.
    void frameChanged();
    // The window manager has shown the panel (its frame is known from then on).
    void exposed();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    ResultToolbar* m_toolbar;
    ResultWebView* m_webView;
};
