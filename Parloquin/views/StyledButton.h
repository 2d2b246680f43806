#pragma once

#include <QPushButton>
#include <memory>

#include "Parloquin/views/ButtonStyle.h"

namespace parloquin {

// A push button drawn in one of the page button styles.
class StyledButton : public QPushButton {
public:
    StyledButton(const QString& text, std::shared_ptr<const ButtonStyle> style, QWidget* parent = nullptr);

    const ButtonStyle& style() const { return *style_; }
    // A symbol before the label ("play.fill"), drawn in the label's colour; empty for none.
    void setSymbol(const QString& symbol);
    const QString& symbol() const { return symbol_; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::shared_ptr<const ButtonStyle> style_;
    QString symbol_;
    QIcon symbolIcon_;
};

}  // namespace parloquin
