#include "windows/settings/SettingsWindow.h"

#include "base/AppConstants.h"
#include "settings/AIProvider.h"
#include "windows/settings/HotkeyRecorder.h"
#include "windows/settings/ProviderCard.h"
#include "windows/settings/SegmentedControl.h"
#include "windows/settings/StatusStyle.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const QSize designSize(640, 880);

QLabel* label(const QString& text, qreal size, QFont::Weight weight, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setFont(StatusStyle::font(size, weight));
    label->setWordWrap(true);
    return label;
}

QLabel* secondaryLabel(const QString& text, qreal size, QWidget* parent) {
    QLabel* result = label(text, size, QFont::Normal, parent);
    StatusStyle::setTone(result, StatusTone::secondary);
    return result;
}

// A scrolling area without a frame of its own that shows the tab's background.
QScrollArea* plainScrollArea(QWidget* parent) {
    auto* area = new QScrollArea(parent);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->viewport()->setAutoFillBackground(false);
    return area;
}

const QString tips = QStringLiteral("💡 提示：\n"
                                    "• 截图翻译：任意位置按下快捷键 → 框选区域 → 自动翻译\n"
                                    "• 划词翻译：先选中文字 → 按下快捷键 → 自动翻译（更快捷）\n"
                                    "• 关闭面板：翻译浮动面板显示时，按下自定义快捷键即可关闭\n"
                                    "• 切换弹窗：翻译浮动面板显示时，按下快捷键可在左右侧之间切换\n"
                                    "• 拆分翻译：翻译浮动面板显示时，按快捷键可在「整段 / 拆分」之间切换");

} // namespace

SettingsWindow::SettingsWindow(const QList<HotkeySectionText>& hotkeySectionTexts)
    : QWidget(nullptr, Qt::Window) {
    setAttribute(Qt::WA_DeleteOnClose);
    // Qt adds " — VYRN" to every title but the program's own name, as Linux desktops name windows.
    setWindowTitle(QStringLiteral("偏好设置"));

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(12, 12, 12, 6);
    column->setSpacing(8);
    tabView = new QTabWidget(this);
    tabView->addTab(buildGeneralTab(), QStringLiteral("通用"));
    tabView->addTab(buildHotkeysTab(hotkeySectionTexts), QStringLiteral("快捷键"));
    tabView->addTab(buildTemplateTab(), QStringLiteral("模板"));
    tabView->widget(0)->setObjectName(QStringLiteral("general"));
    tabView->widget(1)->setObjectName(QStringLiteral("hotkeys"));
    tabView->widget(2)->setObjectName(QStringLiteral("template"));
    column->addWidget(tabView, 1);
    column->addWidget(buildBottomBar());

    // The designed size where the screen has room for it; the tabs scroll on smaller screens.
    QSize size = designSize;
    if (const QScreen* screen = this->screen())
        size = size.boundedTo(screen->availableGeometry().size() - QSize(40, 80));
    resize(size);
}

QWidget* SettingsWindow::buildGeneralTab() {
    auto* tab = new QWidget;
    auto* column = new QVBoxLayout(tab);
    column->setContentsMargins(12, 12, 12, 8);
    column->setSpacing(6);

    column->addWidget(label(QStringLiteral("AI 模型提供商："), 12, QFont::DemiBold, tab));
    providerPopup = new QComboBox(tab);
    for (AIProvider provider : AIProviders::allCases())
        providerPopup->addItem(AIProviders::displayName(provider), AIProviders::rawValue(provider));
    providerPopup->setAccessibleName(QStringLiteral("AI 模型提供商"));
    column->addWidget(providerPopup);

    m_cardArea = plainScrollArea(tab);
    column->addWidget(m_cardArea, 1);

    launchAtLoginCheckbox = new QCheckBox(QStringLiteral("登录时启动"), tab);
    launchAtLoginCheckbox->setFont(StatusStyle::font(12));
    column->addWidget(launchAtLoginCheckbox);
    launchAtLoginStatus = secondaryLabel(QString(), 10, tab);
    launchAtLoginStatus->setContentsMargins(20, 0, 0, 0);
    launchAtLoginStatus->hide();
    column->addWidget(launchAtLoginStatus);

    telemetryCheckbox = new QCheckBox(QStringLiteral("参与匿名使用统计"), tab);
    telemetryCheckbox->setFont(StatusStyle::font(12));
    column->addWidget(telemetryCheckbox);
    telemetryNote =
        secondaryLabel(QStringLiteral("仅上报随机匿名标识统计每日使用人数，不含任何个人信息"), 10, tab);
    telemetryNote->setContentsMargins(20, 0, 0, 0);
    column->addWidget(telemetryNote);

    screenshotPermissionBox = new QWidget(tab);
    auto* permission = new QVBoxLayout(screenshotPermissionBox);
    permission->setContentsMargins(0, 8, 0, 0);
    permission->setSpacing(6);
    permission->addWidget(label(QStringLiteral("截图权限："), 12, QFont::DemiBold, screenshotPermissionBox));
    screenshotPermissionNote = secondaryLabel(QString(), 10, screenshotPermissionBox);
    permission->addWidget(screenshotPermissionNote);
    auto* row = new QHBoxLayout;
    row->setSpacing(10);
    screenshotPermissionButton = new QPushButton(QStringLiteral("允许截图"), screenshotPermissionBox);
    screenshotPermissionButton->setMinimumSize(120, 32);
    row->addWidget(screenshotPermissionButton, 0, Qt::AlignTop);
    screenshotPermissionStatus = secondaryLabel(QString(), 11, screenshotPermissionBox);
    row->addWidget(screenshotPermissionStatus, 1);
    permission->addLayout(row);
    screenshotPermissionBox->hide();
    column->addWidget(screenshotPermissionBox);
    return tab;
}

ProviderCard* SettingsWindow::providerCard() const {
    return m_providerCard;
}

void SettingsWindow::setProviderCard(ProviderCard* card) {
    if (QWidget* old = m_cardArea->takeWidget())
        old->deleteLater();
    m_providerCard = card;
    m_cardArea->setWidget(card);
    card->setAutoFillBackground(false); // set by setWidget; the tab's own background shows through
}

QWidget* SettingsWindow::buildHotkeysTab(const QList<HotkeySectionText>& sections) {
    auto* tab = new QWidget;
    auto* outer = new QVBoxLayout(tab);
    outer->setContentsMargins(0, 0, 0, 0);
    QScrollArea* area = plainScrollArea(tab);
    outer->addWidget(area);
    auto* content = new QWidget;
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(20, 16, 20, 16);
    column->setSpacing(4);

    hotkeyRouteTitle = label(QStringLiteral("🧭 快捷键生效方式"), 15, QFont::DemiBold, content);
    column->addWidget(hotkeyRouteTitle);
    hotkeyRouteLabel = secondaryLabel(QString(), 11, content);
    column->addWidget(hotkeyRouteLabel);
    desktopKeybindingsButton = new QPushButton(content);
    desktopKeybindingsButton->setMinimumHeight(32);
    desktopKeybindingsButton->hide();
    column->addWidget(desktopKeybindingsButton, 0, Qt::AlignLeft);
    column->addSpacing(12);

    for (const HotkeySectionText& section : sections) {
        column->addWidget(label(section.title, 15, QFont::DemiBold, content));
        column->addWidget(secondaryLabel(section.description, 11, content));
        auto* row = new QHBoxLayout;
        row->setSpacing(10);
        auto* button = new RecordButton(content);
        button->setFont(StatusStyle::font(18, QFont::Medium));
        button->setMinimumSize(180, 32);
        button->setAccessibleName(section.title);
        row->addWidget(button, 0, Qt::AlignTop);
        QLabel* status = secondaryLabel(QString(), 12, content);
        status->setMinimumHeight(48);
        status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        row->addWidget(status, 1);
        column->addLayout(row);
        column->addSpacing(12);
        hotkeySections.append({button, status});
    }

    column->addWidget(label(QStringLiteral("🎯 默认优先弹窗"), 15, QFont::DemiBold, content));
    column->addWidget(secondaryLabel(
        QStringLiteral("翻译完成后，优先显示「整段」还是「拆分」视图（内容不适合拆分时自动回退整段）"), 11,
        content));
    defaultSplitSeg = new SegmentedControl({QStringLiteral("整段"), QStringLiteral("拆分")}, content);
    defaultSplitSeg->setFixedWidth(180);
    column->addSpacing(4);
    column->addWidget(defaultSplitSeg);
    column->addSpacing(16);
    column->addWidget(secondaryLabel(tips, 11, content));
    column->addStretch(1);
    area->setWidget(content);
    content->setAutoFillBackground(false);
    return tab;
}

QWidget* SettingsWindow::buildTemplateTab() {
    auto* tab = new QWidget;
    auto* column = new QVBoxLayout(tab);
    column->setContentsMargins(20, 16, 20, 20);
    column->setSpacing(6);
    column->addWidget(label(QStringLiteral("翻译提示词模板"), 15, QFont::DemiBold, tab));
    column->addWidget(secondaryLabel(QStringLiteral("在「默认模板」与「自定义模板」之间切换。"
                                                    "修改后点击窗口底部「保存并应用」使更改生效。"),
                                     11, tab));
    auto* modeRow = new QHBoxLayout;
    modeRow->setSpacing(12);
    templateModeSeg = new SegmentedControl({QStringLiteral("默认模板"), QStringLiteral("自定义模板")}, tab);
    templateModeSeg->setFixedWidth(200);
    modeRow->addWidget(templateModeSeg);
    templateModeStatusLabel = secondaryLabel(QString(), 11, tab);
    modeRow->addWidget(templateModeStatusLabel, 1);
    column->addSpacing(4);
    column->addLayout(modeRow);
    column->addSpacing(4);

    templateTextView = new QPlainTextEdit(tab);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPointSizeF(StatusStyle::font(12).pointSizeF());
    templateTextView->setFont(mono);
    templateTextView->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    templateTextView->setAccessibleName(QStringLiteral("翻译提示词模板"));
    column->addWidget(templateTextView, 1);
    return tab;
}

QWidget* SettingsWindow::buildBottomBar() {
    auto* bar = new QWidget(this);
    auto* column = new QVBoxLayout(bar);
    column->setContentsMargins(4, 0, 4, 0);
    column->setSpacing(2);
    auto* row = new QHBoxLayout;
    row->setSpacing(8);
    saveButton = new QPushButton(QStringLiteral("保存并应用"), bar);
    resetButton = new QPushButton(QStringLiteral("恢复默认"), bar);
    aboutButton = new QPushButton(QStringLiteral("关于 VYRN"), bar);
    aboutButton->setFlat(true);
    for (QPushButton* button : {saveButton, resetButton})
        button->setMinimumSize(120, 32);
    row->addWidget(saveButton);
    row->addWidget(resetButton);
    row->addStretch(1);
    row->addWidget(aboutButton);
    column->addLayout(row);
    versionLabel = secondaryLabel(APP_DISPLAY_NAME + QLatin1Char(' ') + APP_FULL_VERSION, 10, bar);
    versionLabel->setAlignment(Qt::AlignCenter);
    column->addWidget(versionLabel);
    return bar;
}

void SettingsWindow::closeEvent(QCloseEvent* event) {
    Q_EMIT closing();
    event->accept();
}

void SettingsWindow::changeEvent(QEvent* event) {
    if (event->type() == QEvent::PaletteChange)
        StatusStyle::refreshTones(this);
    QWidget::changeEvent(event);
}

void SettingsWindow::keyPressEvent(QKeyEvent* event) {
    // Return saves, as the default button of a dialog does; a focused button takes it itself.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        auto* focused = qobject_cast<QAbstractButton*>(focusWidget());
        (focused ? focused : static_cast<QAbstractButton*>(saveButton))->animateClick();
        return;
    }
    QWidget::keyPressEvent(event);
}
