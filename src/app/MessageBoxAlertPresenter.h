#pragma once

#include "app/Alerts.h"

// Alerts as message boxes above other windows, opened without a nested event loop so that
// hotkeys, timers and network answers keep running while one is up.
class MessageBoxAlertPresenter final : public AlertPresenter {
public:
    void open(const AlertRequest& alert, AlertAnswer onAnswer) override;
};
