#pragma once

#include "base/Alerts.h"

class QWidget;

// Alerts as message boxes above other windows, opened without a nested event loop so that
// hotkeys, timers and network answers keep running while one is up. An alert that only
// informs is shown without taking the focus from the program the user is typing in; one
// that asks a question takes it. An alert equal to one already open brings that one
// forward instead of stacking a second, and its answer goes to every caller that asked.
class MessageBoxAlertPresenter final : public AlertPresenter {
public:
    ~MessageBoxAlertPresenter() override;
    void open(const AlertRequest& alert, AlertAnswer onAnswer) override;
};

namespace AlertBoxes {
// A question about `parent`'s own contents (save, reset): blocks that window only, and
// still returns at once.
void openWindowModal(QWidget* parent, const AlertRequest& alert, AlertAnswer onAnswer);
} // namespace AlertBoxes
