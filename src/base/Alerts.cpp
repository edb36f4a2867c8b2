#include "base/Alerts.h"

#include "base/Logger.h"

#include <QCoreApplication>

#include <utility>

namespace {
AlertPresenter* g_presenter = nullptr;
std::optional<int> g_nextAnswer;
std::optional<AlertRequest> g_lastAlert;

// Always later, also on the main thread: a flow reports a failure and goes on tidying up
// before the user sees anything.
void openLater(const AlertRequest& alert, AlertAnswer onAnswer = {}) {
    if (QCoreApplication* app = QCoreApplication::instance())
        QMetaObject::invokeMethod(
            app, [alert, onAnswer] { Alerts::open(alert, onAnswer); }, Qt::QueuedConnection);
    else
        Alerts::open(alert, std::move(onAnswer));
}
} // namespace

namespace Alerts {

void setPresenter(AlertPresenter* presenter) {
    g_presenter = presenter;
}

bool answeredInAdvance(const AlertRequest& alert, const AlertAnswer& onAnswer) {
    g_lastAlert = alert;
    if (!g_nextAnswer)
        return false;
    const int answer = *std::exchange(g_nextAnswer, std::nullopt);
    if (onAnswer)
        onAnswer(answer);
    return true;
}

void open(const AlertRequest& alert, AlertAnswer onAnswer) {
    if (!onAnswer)
        onAnswer = [](int) {};
    if (answeredInAdvance(alert, onAnswer))
        return;
    if (!g_presenter) {
        logi(QStringLiteral("提示: ") + alert.messageText + QStringLiteral(" — ") + alert.informativeText);
        onAnswer(-1);
        return;
    }
    g_presenter->open(alert, std::move(onAnswer));
}

void showError(const QString& message, AlertAnswer then) {
    openLater({QStringLiteral("翻译失败"), message, AlertRequest::Style::Warning, {QStringLiteral("确定")}},
              std::move(then));
}

void showAlert(const QString& title, const QString& message) {
    openLater({title, message, AlertRequest::Style::Informational, {QStringLiteral("确定")}});
}

void setNextAnswer(int buttonIndex) {
    g_nextAnswer = buttonIndex;
}

std::optional<AlertRequest> lastAlert() {
    return g_lastAlert;
}

void resetForTesting() {
    g_nextAnswer.reset();
    g_lastAlert.reset();
}

} // namespace Alerts
