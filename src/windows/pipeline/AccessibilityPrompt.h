#pragma once

#include <QWidget>

#include <functional>

class QPushButton;

// Asks whether to switch on the desktop's accessibility support, which browsers and
// office programs need before they tell anyone what is selected in them. The answer is
// given once: true for "开启辅助功能", false for "稍后", Esc or closing the window.
class AccessibilityPrompt : public QWidget {
    Q_OBJECT
public:
    AccessibilityPrompt();
    // Shows it, centred on the screen under the pointer; an open prompt is raised and
    // keeps its first caller.
    void ask(std::function<void(bool enable)> answer);

    QPushButton* enableButton() const { return m_enable; }
    QPushButton* laterButton() const { return m_later; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void answer(bool enable);

    QPushButton* m_enable;
    QPushButton* m_later;
    std::function<void(bool)> m_answer;
};
