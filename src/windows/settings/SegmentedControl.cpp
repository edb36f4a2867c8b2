#include "windows/settings/SegmentedControl.h"

#include <QButtonGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QToolButton>

SegmentedControl::SegmentedControl(const QStringList& labels, QWidget* parent)
    : QWidget(parent), m_group(new QButtonGroup(this)) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    for (int i = 0; i < labels.size(); ++i) {
        auto* button = new QToolButton(this);
        button->setText(labels[i]);
        button->setCheckable(true);
        button->setAutoRaise(false);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        button->setAccessibleName(labels[i]);
        m_group->addButton(button, i);
        row->addWidget(button);
    }
    m_group->setExclusive(true);
    if (QAbstractButton* first = m_group->button(0))
        first->setChecked(true);
    // Toggled, not clicked: choosing the segment already selected is no change.
    connect(m_group, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        markSelected();
        if (checked)
            Q_EMIT segmentChanged(id);
    });
    markSelected();
}

void SegmentedControl::markSelected() {
    // A checked button is only a shade darker in most styles, and in dark palettes not at
    // all; the selected segment takes the selection colours instead.
    for (QAbstractButton* button : m_group->buttons()) {
        QPalette colours = palette();
        if (button->isChecked()) {
            colours.setColor(QPalette::Button, colours.color(QPalette::Highlight));
            colours.setColor(QPalette::ButtonText, colours.color(QPalette::HighlightedText));
        }
        button->setPalette(colours);
    }
}

void SegmentedControl::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        markSelected();
    QWidget::changeEvent(event);
}

int SegmentedControl::selectedSegment() const {
    return m_group->checkedId();
}

void SegmentedControl::setSelectedSegment(int index) {
    if (QAbstractButton* button = m_group->button(index)) {
        const QSignalBlocker blocker(m_group);
        button->setChecked(true);
        markSelected();
    }
}
