#pragma once

#include "base/Alerts.h"

class QWidget;

// Alerts as message boxes above other windows, opened without a nested event loop so that
// hotkeys, timers and network answers keep running while one is up. An alert that only
// informs is shown without taking the focus from the program the user is typing in; one
// that asks a question takes it. An alert equal to one already open brings that one
// forward instead of stacking a second, and its answer goes to every caller that asked.
class MessageBoxAlertPresenter : public AlertPresenter {
public:
    ~MessageBoxAlertPresenter() override;
    void open(const AlertRequest& alert, AlertAnswer onAnswer) override;
    // Window-modal to `window` when it is a widget.
    void openFor(QObject* window, const AlertRequest& alert, AlertAnswer onAnswer) override;
};
