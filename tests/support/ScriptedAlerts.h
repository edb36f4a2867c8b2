#pragma once

#include "base/Alerts.h"

#include <optional>
#include <utility>

// Alerts answered without a window: each is recorded, and answered at once with the answer
// set for it, else as dismissed.
class ScriptedAlerts final : public AlertPresenter {
public:
    void open(const AlertRequest& alert, AlertAnswer onAnswer) override {
        last = alert;
        const int answer = std::exchange(nextAnswer, std::nullopt).value_or(-1);
        if (onAnswer)
            onAnswer(answer);
    }
    void reset() { nextAnswer.reset(), last.reset(); }

    std::optional<int> nextAnswer;
    std::optional<AlertRequest> last;
};
