#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// What a flow wants to tell the user; how it is shown is the UI layer's business.
struct AlertRequest {
    enum class Style { Informational, Warning, Critical };
    QString messageText;
    QString informativeText;
    Style style = Style::Warning;
    QStringList buttons; // in order; the first is the default
};

// Receives the index of the pressed button, or -1 when the alert was dismissed.
using AlertAnswer = std::function<void(int buttonIndex)>;

// Shows alerts for core code. The UI installs the real presenter at start.
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    // Returns at once; the answer arrives later on the main thread.
    virtual void open(const AlertRequest& alert, AlertAnswer onAnswer) = 0;
};

namespace Alerts {
void setPresenter(AlertPresenter* presenter);
// Main thread only; never waits for the user. A pending next answer is delivered at once
// instead of showing anything; without a presenter the alert is logged and counts as dismissed.
void open(const AlertRequest& alert, AlertAnswer onAnswer = {});
// For UI code that shows an alert itself: records it as the last alert and, when a test
// has set the next answer, delivers that answer and returns true.
bool answeredInAdvance(const AlertRequest& alert, const AlertAnswer& onAnswer);
// Any thread; the alert opens later on the main thread. The flows' failure alert
// ("翻译失败" with the message) and their informational alert. `then` runs once the
// user has answered the failure alert.
void showError(const QString& message, AlertAnswer then = {});
void showAlert(const QString& title, const QString& message);
// Test hook: the next alert is answered with `buttonIndex` at once, without a window.
void setNextAnswer(int buttonIndex);
// The last alert opened (shown or pre-answered), for tests.
std::optional<AlertRequest> lastAlert();
// Test hook: forgets a pending next answer and the last alert.
void resetForTesting();
} // namespace Alerts
