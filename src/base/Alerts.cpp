#include "base/Alerts.h"

void AlertPresenter::openFor(QObject* window, const AlertRequest& alert, AlertAnswer onAnswer) {
    Q_UNUSED(window)
    open(alert, std::move(onAnswer));
}

void AlertPresenter::openLater(const AlertRequest& alert, AlertAnswer onAnswer) {
    if (!onAnswer)
        onAnswer = [](int) {};
    QMetaObject::invokeMethod(
        this, [this, alert, onAnswer] { open(alert, onAnswer); }, Qt::QueuedConnection);
}

void AlertPresenter::showError(const QString& message, AlertAnswer then) {
    openLater({QStringLiteral("翻译失败"), message, AlertRequest::Style::Warning, {QStringLiteral("确定")}},
              std::move(then));
}

void AlertPresenter::showAlert(const QString& title, const QString& message) {
    openLater({title, message, AlertRequest::Style::Informational, {QStringLiteral("确定")}});
}
