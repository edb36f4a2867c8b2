#pragma once

#include <QStringList>
#include <QWidget>

class QButtonGroup;

// A row of joined buttons of which exactly one is selected ("整段 | 拆分").
class SegmentedControl : public QWidget {
    Q_OBJECT
public:
    explicit SegmentedControl(const QStringList& labels, QWidget* parent = nullptr);

    int selectedSegment() const;
    // Without a segmentChanged signal, as a program's own change.
    void setSelectedSegment(int index);

Q_SIGNALS:
    // The user chose another segment.
    void segmentChanged(int index);

protected:
    void changeEvent(QEvent* event) override;

private:
    void markSelected();

    QButtonGroup* m_group;
};
