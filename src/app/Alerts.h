#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// A modal alert as the flows describe it; widgets are the UI layer's business.
struct AlertRequest {
    enum class Style { Informational, Warning, Critical };
    QString messageText;
    QString informativeText;
    Style style = Style::Warning;
    QStringList buttons; // in order; the first is the default
};

// Shows alerts for core code. The UI installs the real presenter at start.
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    // Runs the alert modally and returns the index of the pressed button, -1 when dismissed.
    virtual int run(const AlertRequest& alert) = 0;
};

namespace Alerts {
void setPresenter(AlertPresenter* presenter);
// Main thread only. A pending next answer is consumed instead of showing anything;
// without a presenter the alert is logged and counts as dismissed.
int run(const AlertRequest& alert);
// Test hook: the next alert returns `buttonIndex` at once, without a window.
void setNextAnswer(int buttonIndex);
// The last alert run (shown or pre-answered), for tests.
std::optional<AlertRequest> lastAlert();
// Test hook: forgets a pending next answer and the last alert.
void resetForTesting();
} // namespace Alerts
