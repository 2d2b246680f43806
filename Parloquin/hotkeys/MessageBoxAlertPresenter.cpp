#include "Parloquin/hotkeys/MessageBoxAlertPresenter.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>
#include <QPushButton>

namespace parloquin {

int MessageBoxAlertPresenter::runModal(const Alert& alert) {
    QMessageBox box;
    switch (alert.style) {
        case AlertStyle::warning: box.setIcon(QMessageBox::Warning); break;
        case AlertStyle::informational:
            // An informational alert shows the application's own icon when it has one.
            if (QApplication::windowIcon().isNull())
                box.setIcon(QMessageBox::Information);
            else
                box.setIconPixmap(QApplication::windowIcon().pixmap(64, 64));
            break;
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
