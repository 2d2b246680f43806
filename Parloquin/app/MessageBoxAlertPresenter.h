#pragma once

#include <QMessageBox>
#include <QPushButton>
#include <memory>
#include <vector>

#include "Parloquin/services/AlertPresenter.h"

namespace parloquin {

// Alerts as QMessageBox dialogs. Escape answers with the last button; Return with the first, or
// with the last for a destructive question.
class MessageBoxAlertPresenter : public AlertPresenter {
public:
    int runModal(const Alert& alert) override;

    // The dialog that runModal shows, not yet shown; its buttons in the alert's order go to
    // buttons when given.
    static std::unique_ptr<QMessageBox> messageBox(const Alert& alert, std::vector<QPushButton*>* buttons = nullptr);
};

}  // namespace parloquin
