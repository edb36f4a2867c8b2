#pragma once

#include <QTimer>
#include <QWidget>

// The turning wheel of ticks that says "working": turns while it is shown.
class Spinner : public QWidget {
    Q_OBJECT
public:
    explicit Spinner(QWidget* parent = nullptr);
    int step() const { return m_step; }

    static constexpr int ticks = 12;

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QTimer m_timer;
    int m_step = 0;
};
