#pragma once

#include <QTimer>
#include <QUrl>
#include <QWebEngineView>

class ResultWebEngine;

// The web view inside the result panel: the rendered answer, with copying and selecting
// all by keyboard (Ctrl+C, Ctrl+A) and context menu.
class ResultWebView : public QWebEngineView {
    Q_OBJECT
public:
    explicit ResultWebView(ResultWebEngine& engine, QWidget* parent = nullptr);
    ~ResultWebView() override;

    // Pages of any size: they are served by the engine, not handed over as a data URL
    // (which the engine refuses above 2 MB). `background` shows until the page paints.
    void showPage(const QString& html, const QColor& background);
    // Hides whatever the view drew last (a page shown before the panel was hidden) behind
    // `background` until the page shown next has loaded and had time to paint.
    void coverUntilPainted(const QColor& background);
    bool isCovered() const;
    // Runs `script` in a world of the program's own: it reaches the page's document even
    // though the page's own scripts are off, and nothing in the page can reach it.
    void runInOwnWorld(const QString& script);

Q_SIGNALS:
    // The page last shown has loaded (not one it replaced before it was done).
    void pageLoaded(bool ok);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void uncover();

    ResultWebEngine& m_engine;
    QUrl m_address;
    QWidget* m_cover;
    QTimer m_uncoverLater;
};
