#include "windows/MessageBoxAlertPresenter.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>

#include <list>
#include <vector>

namespace {

const char* const kButtonIndex = "vyrnButtonIndex";

struct OpenAlert {
    AlertRequest request;
    QPointer<QWidget> parent; // null for alerts of the whole program
    QPointer<QMessageBox> box;
    std::vector<AlertAnswer> answers;
};

// A box deleted with its parent window never finishes: it is dropped here instead.
std::list<OpenAlert>& openAlerts() {
    static std::list<OpenAlert> alerts;
    alerts.remove_if([](const OpenAlert& open) { return open.box.isNull(); });
    return alerts;
}

bool asksQuestion(const AlertRequest& alert) {
    return alert.buttons.size() > 1;
}

bool sameAlert(const AlertRequest& a, const AlertRequest& b) {
    return a.messageText == b.messageText && a.informativeText == b.informativeText && a.style == b.style &&
           a.buttons == b.buttons;
}

// Repeated hotkey presses must not stack copies of one alert: bring the open one
// forward, and let it answer this caller too.
bool joinOpenAlert(QWidget* parent, const AlertRequest& alert, AlertAnswer& onAnswer) {
    for (OpenAlert& open : openAlerts()) {
        if (open.parent != parent || !sameAlert(open.request, alert))
            continue;
        open.answers.push_back(std::move(onAnswer));
        open.box->raise();
        if (asksQuestion(alert))
            open.box->activateWindow();
        return true;
    }
    return false;
}

QMessageBox* buildBox(QWidget* parent, const AlertRequest& alert) {
    auto* box = new QMessageBox(parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QApplication::applicationDisplayName());
    // Alert texts quote what came from outside (a server's answer, recognised text);
    // as rich text they could carry markup and links that open on a click.
    box->setTextFormat(Qt::PlainText);
    box->setText(alert.messageText);
    box->setInformativeText(alert.informativeText);
    if (auto* informative = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"))) {
        informative->setTextFormat(Qt::PlainText);
        // Qt sizes the box to the shortest line and wraps Chinese mid-phrase; give lines room.
        informative->setMinimumWidth(informative->fontMetrics().horizontalAdvance(QStringLiteral("中")) * 24);
    }
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
    QPushButton* last = nullptr;
    for (qsizetype i = 0; i < alert.buttons.size(); ++i) {
        last =
            box->addButton(alert.buttons.at(i), i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole);
        last->setProperty(kButtonIndex, int(i));
        if (i == 0)
            box->setDefaultButton(last);
    }
    // Every question ends in a way out ("取消", "稍后提醒"): Esc and the close button take it.
    if (last)
        box->setEscapeButton(last);
    return box;
}

void track(QWidget* parent, QMessageBox* box, const AlertRequest& alert, AlertAnswer onAnswer) {
    std::list<OpenAlert>& alerts = openAlerts();
    const auto entry = alerts.insert(alerts.end(), OpenAlert{alert, parent, box, {}});
    entry->answers.push_back(std::move(onAnswer));
    QObject::connect(box, &QMessageBox::finished, box, [box, entry] {
        QAbstractButton* clicked = box->clickedButton();
        const int index = clicked ? clicked->property(kButtonIndex).toInt() : -1;
        // Gone from the list before anyone hears the answer, so an answer that asks again opens anew.
        const std::vector<AlertAnswer> answers = std::move(entry->answers);
        openAlerts().erase(entry);
        for (const AlertAnswer& answer : answers) {
            if (answer)
                answer(index);
        }
    });
}

} // namespace

MessageBoxAlertPresenter::~MessageBoxAlertPresenter() {
    // Alerts still open when the program ends go unanswered.
    std::list<OpenAlert>& alerts = openAlerts();
    for (auto it = alerts.begin(); it != alerts.end();) {
        if (it->parent) {
            ++it;
            continue;
        }
        if (QMessageBox* box = it->box) {
            box->disconnect();
            delete box;
        }
        it = alerts.erase(it);
    }
}

void MessageBoxAlertPresenter::open(const AlertRequest& alert, AlertAnswer onAnswer) {
    if (joinOpenAlert(nullptr, alert, onAnswer))
        return;
    QMessageBox* box = buildBox(nullptr, alert);
    track(nullptr, box, alert, std::move(onAnswer));
    box->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    box->setWindowModality(Qt::NonModal);
    const bool question = asksQuestion(alert);
    box->setAttribute(Qt::WA_ShowWithoutActivating, !question);
    box->show();
    box->raise();
    if (question)
        box->activateWindow();
}

void MessageBoxAlertPresenter::openFor(QObject* window, const AlertRequest& alert, AlertAnswer onAnswer) {
    auto* parent = qobject_cast<QWidget*>(window);
    if (!parent) {
        open(alert, std::move(onAnswer));
        return;
    }
    if (joinOpenAlert(parent, alert, onAnswer))
        return;
    QMessageBox* box = buildBox(parent, alert);
    track(parent, box, alert, std::move(onAnswer));
    box->setWindowModality(Qt::WindowModal);
    box->open();
}
