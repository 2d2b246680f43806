#include "Parloquin/hotkeys/MessageBoxAlertPresenter.h"

#include <QMessageBox>
#include <QPushButton>

namespace parloquin {

int MessageBoxAlertPresenter::runModal(const Alert& alert) {
    QMessageBox box;
    switch (alert.style) {
        case AlertStyle::warning: box.setIcon(QMessageBox::Warning); break;
        case AlertStyle::informational: box.setIcon(QMessageBox::Information); break;
        case AlertStyle::critical: box.setIcon(QMessageBox::Critical); break;
    }
    box.setText(QString::fromStdString(alert.messageText));
    box.setInformativeText(QString::fromStdString(alert.informativeText));

    std::vector<std::string> titles = alert.buttons;
    if (titles.empty()) titles.push_back("OK");
    std::vector<QPushButton*> buttons;
    for (const auto& title : titles)
        buttons.push_back(box.addButton(QString::fromStdString(title), QMessageBox::ActionRole));
    box.setDefaultButton(buttons.front());
    box.setEscapeButton(buttons.back());
    box.exec();

    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (box.clickedButton() == buttons[i]) return alertFirstButtonReturn + int(i);
    return alertFirstButtonReturn + int(buttons.size()) - 1;
}

}  // namespace parloquin
