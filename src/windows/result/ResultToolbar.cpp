#include "windows/result/ResultToolbar.h"

#include <QButtonGroup>
#include <QEvent>
#include <QHBoxLayout>
#include <QPushButton>

namespace {

QPushButton* button(const QString& text, QWidget* parent, int width) {
    auto* created = new QPushButton(text, parent);
    created->setFixedSize(width, 24);
    created->setFocusPolicy(Qt::NoFocus); // the keyboard stays with the page, for Ctrl+C
    return created;
}

} // namespace

ResultToolbar::ResultToolbar(QWidget* parent)
    : QWidget(parent), m_whole(button(QStringLiteral("整段"), this, 75)),
      m_split(button(QStringLiteral("拆分"), this, 75)),
      m_smaller(button(QStringLiteral("A\u2212"), this, 60)),
      m_larger(button(QStringLiteral("A\uFF0B"), this, 60)) {
    setFixedHeight(height);
    styleSegments();
    m_whole->setCheckable(true);
    m_split->setCheckable(true);
    auto* segments = new QButtonGroup(this);
    segments->addButton(m_whole, 0);
    segments->addButton(m_split, 1);
    connect(segments, &QButtonGroup::idClicked, this, [this](int id) { Q_EMIT splitChosen(id == 1); });
    connect(m_smaller, &QAbstractButton::clicked, this, &ResultToolbar::smallerFontRequested);
    connect(m_larger, &QAbstractButton::clicked, this, &ResultToolbar::largerFontRequested);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 6, 12, 6);
    layout->setSpacing(0);
    layout->addWidget(m_whole);
    layout->addWidget(m_split);
    layout->addStretch();
    layout->addWidget(m_smaller);
    layout->addSpacing(8);
    layout->addWidget(m_larger);
}

void ResultToolbar::setSplit(bool split, bool canSplit, bool switchable) {
    m_whole->setEnabled(switchable);
    m_split->setEnabled(switchable && canSplit);
    (split ? m_split : m_whole)->setChecked(true);
}

void ResultToolbar::setFontSize(int size) {
    m_smaller->setEnabled(size > 12);
    m_larger->setEnabled(size < 22);
}

void ResultToolbar::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        styleSegments();
}

// One switch of two segments, the chosen one filled with the highlight colour. The
// colours are written in: a style sheet's palette() is read once, when it is set.
void ResultToolbar::styleSegments() {
    const QPalette& colours = palette();
    const auto colour = [&](QPalette::ColorRole role) { return colours.color(role).name(); };
    const QString segment =
        QStringLiteral("QPushButton{border:1px solid %1;background:%2;color:%3;%7}"
                       "QPushButton:checked{background:%4;color:%5;border-color:%4}"
                       "QPushButton:disabled{color:%6}")
            .arg(colour(QPalette::Mid), colour(QPalette::Button), colour(QPalette::ButtonText),
                 colour(QPalette::Highlight), colour(QPalette::HighlightedText),
                 colours.color(QPalette::Disabled, QPalette::ButtonText).name());
    m_whole->setStyleSheet(
        segment.arg(QStringLiteral("border-top-left-radius:5px;border-bottom-left-radius:5px")));
    m_split->setStyleSheet(segment.arg(
        QStringLiteral("border-left:none;border-top-right-radius:5px;border-bottom-right-radius:5px")));
}
