#include "windows/settings/AboutDialog.h"

#include "base/AppConstants.h"
#include "base/AppIcon.h"
#include "windows/settings/StatusStyle.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QUrl>
#include <QVBoxLayout>

namespace {

void addPath(QGridLayout* grid, int row, const QString& title, const QString& path, QWidget* parent) {
    grid->addWidget(new QLabel(title, parent), row, 0, Qt::AlignTop);
    auto* value = new QLabel(path, parent);
    value->setTextInteractionFlags(Qt::TextSelectableByMouse);
    grid->addWidget(value, row, 1, Qt::AlignTop);
    const QString folder = QFileInfo(path).absolutePath();
    auto* open =
        new QLabel(QStringLiteral("<a href=\"%1\">打开文件夹</a>")
                       .arg(QUrl::fromLocalFile(folder).toString(QUrl::FullyEncoded).toHtmlEscaped()),
                   parent);
    QObject::connect(open, &QLabel::linkActivated, parent,
                     [](const QString& link) { QDesktopServices::openUrl(QUrl(link)); });
    grid->addWidget(open, row, 2, Qt::AlignTop);
}

} // namespace

namespace AboutDialog {

void open(QWidget* parent, const QString& settingsFile) {
    static QPointer<QDialog> current;
    if (current && current->parentWidget() == parent) {
        current->raise();
        current->activateWindow();
        return;
    }
    auto* dialog = new QDialog(parent);
    current = dialog;
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("关于 ") + APP_DISPLAY_NAME);

    auto* column = new QVBoxLayout(dialog);
    column->setSpacing(10);
    auto* header = new QHBoxLayout;
    auto* icon = new QLabel(dialog);
    icon->setPixmap(AppIcon::icon().pixmap(64, 64));
    header->addWidget(icon, 0, Qt::AlignTop);
    auto* title = new QLabel(dialog);
    title->setText(QStringLiteral("<b>") + APP_DISPLAY_NAME + QStringLiteral("</b><br>版本 ") +
                   APP_FULL_VERSION + QStringLiteral("<br>截图或划词，AI 翻译英文并列出词汇和短语"));
    title->setFont(StatusStyle::font(13));
    header->addWidget(title, 1);
    column->addLayout(header);

    auto* grid = new QGridLayout;
    grid->setColumnStretch(1, 1);
    grid->setHorizontalSpacing(10);
    addPath(grid, 0, QStringLiteral("日志："), LOG_PATH, dialog);
    addPath(grid, 1, QStringLiteral("设置："), settingsFile, dialog);
    column->addLayout(grid);

    auto* buttons = new QDialogButtonBox(dialog);
    buttons->addButton(QStringLiteral("好"), QDialogButtonBox::AcceptRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    column->addWidget(buttons);
    dialog->setMinimumWidth(460);
    dialog->open();
}

} // namespace AboutDialog
