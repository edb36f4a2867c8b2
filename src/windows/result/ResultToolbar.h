#pragma once

#include <QWidget>

class QAbstractButton;

// The strip above the answer: 整段 / 拆分 on the left, A− / A＋ on the right.
class ResultToolbar : public QWidget {
    Q_OBJECT
public:
    static constexpr int height = 36;

    explicit ResultToolbar(QWidget* parent = nullptr);

    // 拆分 can be chosen only when the answer can be split; neither while `switchable` is false
    // (an answer still arriving).
    void setSplit(bool split, bool canSplit, bool switchable = true);
    // Each button is enabled while the size can still move its way (12 to 22).
    void setFontSize(int size);

    QAbstractButton* wholeButton() const { return m_whole; }
    QAbstractButton* splitButton() const { return m_split; }
    QAbstractButton* smallerButton() const { return m_smaller; }
    QAbstractButton* largerButton() const { return m_larger; }

Q_SIGNALS:
    void splitChosen(bool split);
    void smallerFontRequested();
    void largerFontRequested();

protected:
    void changeEvent(QEvent* event) override;

private:
    void styleSegments();

    QAbstractButton* m_whole;
    QAbstractButton* m_split;
    QAbstractButton* m_smaller;
    QAbstractButton* m_larger;
};
