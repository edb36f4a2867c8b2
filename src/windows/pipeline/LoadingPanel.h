#pragma once

#include <QWidget>

class QLabel;
class Spinner;

// The small panel shown while a translation runs: a spinner, what is happening and the
// steps. Stays above other windows and is never given the keyboard, so the program being
// read keeps it, unless it `takesFocus` for its Esc where keys cannot be grabbed; a normal
// window, not a tool window, which some window managers hide while their application is
// inactive. Dragging its background moves it.
class LoadingPanel : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize contentSize{300, 140};

    explicit LoadingPanel(bool takesFocus = false);
    void setTexts(const QString& title, const QString& subtitle);
    QString title() const;
    QString subtitle() const;
    Spinner* spinner() const { return m_spinner; }

Q_SIGNALS:
    // Drawn on the screen for the first time since it was shown.
    void painted();
    // The user closed it from its window frame; it stays until the translation is cancelled.
    void closeRequested();
    // Esc while it has the keyboard.
    void escapePressed();

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    Spinner* m_spinner;
    QLabel* m_title;
    QLabel* m_subtitle;
    bool m_paintedSinceShown = false;
};
