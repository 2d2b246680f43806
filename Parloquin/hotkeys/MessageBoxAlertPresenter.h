#pragma once

#include "Parloquin/services/AlertPresenter.h"

namespace parloquin {

// Alerts as QMessageBox dialogs. Escape answers with the last button.
class MessageBoxAlertPresenter : public AlertPresenter {
public:
    int runModal(const Alert& alert) override;
};

}  // namespace parloquin
