#pragma once

#include <QDialog>

class QAbstractButton;
class QVBoxLayout;

namespace parloquin {

// A sheet over the main window: its title with a close symbol at the trailing side, the sheet's
// content, and the button "Schließen". Both buttons close it. Shown with open(), it blocks only
// its window.
class SheetView : public QDialog {
public:
    SheetView(const QString& title, QWidget* parent);

    QAbstractButton* closeSymbolButton() const { return closeSymbol_; }
    QAbstractButton* closeButton() const { return close_; }

protected:
    // Where a sheet puts its content, between the title and "Schließen".
    QVBoxLayout* contentLayout() const { return content_; }

private:
    QVBoxLayout* content_;
    QAbstractButton* closeSymbol_;
    QAbstractButton* close_;
};

}  // namespace parloquin
