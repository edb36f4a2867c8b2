#include "app/Alerts.h"

#include "app/Logger.h"

namespace {
AlertPresenter* g_presenter = nullptr;
std::optional<int> g_nextAnswer;
std::optional<AlertRequest> g_lastAlert;
} // namespace

namespace Alerts {

void setPresenter(AlertPresenter* presenter) {
    g_presenter = presenter;
}

void open(const AlertRequest& alert, AlertAnswer onAnswer) {
    g_lastAlert = alert;
    if (!onAnswer)
        onAnswer = [](int) {};
    if (g_nextAnswer) {
        const int answer = *g_nextAnswer;
        g_nextAnswer.reset();
        onAnswer(answer);
        return;
    }
    if (!g_presenter) {
        logi(QStringLiteral("提示: ") + alert.messageText + QStringLiteral(" — ") + alert.informativeText);
        onAnswer(-1);
        return;
    }
    g_presenter->open(alert, std::move(onAnswer));
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
