#include "windows/settings/ProviderCard.h"

#include "settings/SettingsWindowRules.h"
#include "windows/settings/StatusStyle.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QLabel* titleLabel(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(StatusStyle::font(12, QFont::DemiBold));
    return label;
}

QLabel* statusLabel(qreal size, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setFont(StatusStyle::font(size));
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    StatusStyle::setTone(label, StatusTone::secondary);
    return label;
}

} // namespace

ProviderCard::ProviderCard(AIProvider provider, const ModelChoices& models, QWidget* parent)
    : QWidget(parent), m_provider(provider) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 8, 0, 8);
    column->setSpacing(6);

    auto* registerLabel = statusLabel(12, this);
    registerLabel->setText(QStringLiteral("注册地址：") + AIProviders::consoleHost(provider));
    column->addWidget(registerLabel);
    column->addSpacing(18);

    column->addWidget(titleLabel(QStringLiteral("模型（Model）："), this));
    m_modelPopup = new QComboBox(this);
    m_modelPopup->addItems(models.models);
    m_modelPopup->setCurrentIndex(models.selected);
    m_modelPopup->setAccessibleName(QStringLiteral("模型"));
    column->addWidget(m_modelPopup);
    column->addSpacing(18);

    column->addWidget(titleLabel(QStringLiteral("API Key："), this));
    auto* keyRow = new QHBoxLayout;
    keyRow->setSpacing(6);
    m_keyField = new QLineEdit(this);
    m_keyField->setPlaceholderText(QStringLiteral("正在读取 API Key..."));
    m_keyField->setEchoMode(QLineEdit::Password);
    m_keyField->setReadOnly(true);
    m_keyField->setAccessibleName(QStringLiteral("API Key"));
    keyRow->addWidget(m_keyField, 1);
    m_eyeButton = new QToolButton(this);
    m_eyeButton->setText(QStringLiteral("👁️"));
    // Text fonts that carry these two symbols draw them as small outlines; the desktop's
    // colour emoji, where there is one, draws them as the icons they are meant to be.
    QFont symbols = m_eyeButton->font();
    symbols.setFamilies({QStringLiteral("Noto Color Emoji"), QStringLiteral("emoji"), symbols.family()});
    m_eyeButton->setFont(symbols);
    m_eyeButton->setFixedWidth(m_keyField->sizeHint().height() + 8); // the emoji font's advances are wide
    m_eyeButton->setAutoRaise(true);
    m_eyeButton->setToolTip(QStringLiteral("显示或隐藏 API Key"));
    m_eyeButton->setAccessibleName(QStringLiteral("显示或隐藏 API Key"));
    connect(m_eyeButton, &QToolButton::clicked, this, &ProviderCard::toggleKeyVisibility);
    keyRow->addWidget(m_eyeButton);
    column->addLayout(keyRow);
    m_keyStatusLabel = statusLabel(11, this);
    m_keyStatusLabel->hide();
    column->addWidget(m_keyStatusLabel);
    column->addSpacing(8);

    auto* testRow = new QHBoxLayout;
    testRow->setSpacing(8);
    m_testButton = new QPushButton(QStringLiteral("测试连接"), this);
    m_testButton->setMinimumWidth(100);
    testRow->addWidget(m_testButton, 0, Qt::AlignTop);
    m_testStatusLabel = statusLabel(11, this);
    testRow->addWidget(m_testStatusLabel, 1);
    column->addLayout(testRow);
    column->addStretch(1);
}

void ProviderCard::showStoredKey(const KeyLookup& lookup) {
    m_keyField->setReadOnly(false);
    m_keyField->setPlaceholderText(QStringLiteral("输入 API Key..."));
    if (lookup.isStoreUnavailable()) {
        m_keyState = KeyFieldState::unavailable;
        showKeyStatus({QStringLiteral("⚠️ 密钥存储不可用（") + lookup.reason() +
                           QStringLiteral("），未能读取已保存的 API Key。密钥环可能已锁定或没有响应：解锁后"
                                          "重新打开偏好设置即可看到它；留空保存不会删除它。"),
                       StatusTone::warning});
        return;
    }
    m_keyState = KeyFieldState::known;
    m_keyField->setText(lookup.key().value_or(QString()));
}

QString ProviderCard::keyFieldText() const {
    return m_keyField->text();
}

void ProviderCard::toggleKeyVisibility() {
    m_apiKeyVisible = !m_apiKeyVisible;
    m_keyField->setEchoMode(m_apiKeyVisible ? QLineEdit::Normal : QLineEdit::Password);
    m_eyeButton->setText(m_apiKeyVisible ? QStringLiteral("🔒") : QStringLiteral("👁️"));
}

void ProviderCard::showKeyStatus(const StatusMessage& status) {
    StatusStyle::showStatus(m_keyStatusLabel, status);
    m_keyStatusLabel->setVisible(!status.text.isEmpty());
}

void ProviderCard::showTestStatus(const StatusMessage& status) {
    StatusStyle::showStatus(m_testStatusLabel, status);
}

QString ProviderCard::modelTitle() const {
    return m_modelPopup->currentText();
}
