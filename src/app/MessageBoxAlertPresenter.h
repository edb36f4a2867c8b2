#pragma once

#include "app/Alerts.h"

// Alerts as QMessageBox, kept above other windows and activated, like the floating
// alerts of the flows.
class MessageBoxAlertPresenter final : public AlertPresenter {
public:
    int run(const AlertRequest& alert) override;
};
