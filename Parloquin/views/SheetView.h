#pragma once

#include <QDialog>

class QAbstractButton;
class QHBoxLayout;
class QVBoxLayout;

namespace parloquin {

class StyledButton;

// A sheet over the main window, on the light background of the pages' controls: its title with a
// close symbol at the trailing side, the sheet's content, and a row of buttons ending with the
// close button ("Schließen" unless the sheet names it otherwise). The symbol and the button close
// it. Shown with open(), it blocks only its window, and it is gone once closed.
class SheetView : public QDialog {
public:
    SheetView(const QString& title, QWidget* parent, const QString& closeLabel = QString::fromUtf8("Schließen"));

    QAbstractButton* closeSymbolButton() const { return closeSymbol_; }
    StyledButton* closeButton() const { return close_; }

protected:
    // Where a sheet puts its content, between the title and the buttons.
    QVBoxLayout* contentLayout() const { return content_; }
    // The row of buttons at the foot, right-aligned; a sheet adds its own before the close button.
    void addButton(QAbstractButton* button);

private:
    QVBoxLayout* content_;
    QHBoxLayout* buttons_;
    QAbstractButton* closeSymbol_;
    StyledButton* close_;
};

}  // namespace parloquin
