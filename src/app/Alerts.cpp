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

int run(const AlertRequest& alert) {
    g_lastAlert = alert;
    if (g_nextAnswer) {
        const int answer = *g_nextAnswer;
        g_nextAnswer.reset();
        return answer;
    }
    if (!g_presenter) {
        logi(QStringLiteral("提示: ") + alert.messageText + QStringLiteral(" — ") + alert.informativeText);
        return -1;
    }
    return g_presenter->run(alert);
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
