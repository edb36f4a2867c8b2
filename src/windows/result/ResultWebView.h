#pragma once

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

Q_SIGNALS:
    // The page last shown has loaded (not one it replaced before it was done).
    void pageLoaded(bool ok);

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    ResultWebEngine& m_engine;
    QUrl m_address;
};
