#include "Parloquin/app/MessageBoxAlertPresenter.h"

#include <QApplication>
#include <QIcon>

namespace parloquin {

std::unique_ptr<QMessageBox> MessageBoxAlertPresenter::messageBox(const Alert& alert,
                                                                  std::vector<QPushButton*>* buttons) {
    auto box = std::make_unique<QMessageBox>();
    switch (alert.style) {
        case AlertStyle::warning: box->setIcon(QMessageBox::Warning); break;
        case AlertStyle::informational:
            // An informational alert shows the application's own icon when it has one.
            if (QApplication::windowIcon().isNull())
                box->setIcon(QMessageBox::Information);
            else
                box->setIconPixmap(QApplication::windowIcon().pixmap(64, 64));
            break;
        case AlertStyle::critical: box->setIcon(QMessageBox::Critical); break;
    }
    box->setText(QString::fromStdString(alert.messageText));
    box->setInformativeText(QString::fromStdString(alert.informativeText));

    std::vector<std::string> titles = alert.buttons;
    if (titles.empty()) titles.push_back("OK");
    std::vector<QPushButton*> added;
    for (const auto& title : titles)
        added.push_back(box->addButton(QString::fromStdString(title), QMessageBox::ActionRole));
    box->setDefaultButton(alert.destructive ? added.back() : added.front());
    box->setEscapeButton(added.back());
    if (buttons) *buttons = std::move(added);
    return box;
}

int MessageBoxAlertPresenter::runModal(const Alert& alert) {
    std::vector<QPushButton*> buttons;
    const std::unique_ptr<QMessageBox> box = messageBox(alert, &buttons);
    box->exec();

    for (std::size_t i = 0; i < buttons.size(); ++i)
        if (box->clickedButton() == buttons[i]) return alertFirstButtonReturn + int(i);
    return alertFirstButtonReturn + int(buttons.size()) - 1;
}

}  // namespace parloquin
