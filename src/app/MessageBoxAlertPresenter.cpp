#include "app/MessageBoxAlertPresenter.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>

#include <memory>

void MessageBoxAlertPresenter::open(const AlertRequest& alert, AlertAnswer onAnswer) {
    auto* box = new QMessageBox;
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QApplication::applicationDisplayName());
    // Alert texts quote what came from outside (a server's answer, recognised text);
    // as rich text they could carry markup and links that open on a click.
    box->setTextFormat(Qt::PlainText);
    box->setText(alert.messageText);
    box->setInformativeText(alert.informativeText);
    if (auto* informative = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        informative->setTextFormat(Qt::PlainText);
    switch (alert.style) {
    case AlertRequest::Style::Informational:
        box->setIcon(QMessageBox::Information);
        break;
    case AlertRequest::Style::Warning:
        box->setIcon(QMessageBox::Warning);
        break;
    case AlertRequest::Style::Critical:
        box->setIcon(QMessageBox::Critical);
        break;
    }
    auto buttons = std::make_shared<QList<QAbstractButton*>>();
    for (qsizetype i = 0; i < alert.buttons.size(); ++i) {
        QPushButton* button =
            box->addButton(alert.buttons.at(i), i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole);
        if (i == 0)
            box->setDefaultButton(button);
        buttons->append(button);
    }
    QObject::connect(box, &QMessageBox::finished, box, [box, buttons, onAnswer = std::move(onAnswer)] {
        onAnswer(int(buttons->indexOf(box->clickedButton())));
    });
    box->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box->setWindowModality(Qt::NonModal);
    box->show();
    box->raise();
    box->activateWindow();
}
