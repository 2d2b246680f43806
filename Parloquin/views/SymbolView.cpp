#include "Parloquin/views/SymbolView.h"

#include "Parloquin/views/SymbolIcon.h"

namespace parloquin {

SymbolView::SymbolView(std::string symbol, int size, QColor color, QWidget* parent)
    : QLabel(parent), symbol_(std::move(symbol)), size_(size), color_(color) {
    setFixedSize(size_, size_);
    setAlignment(Qt::AlignCenter);
    draw();
}

void SymbolView::setColor(QColor color) {
    if (color == color_) return;
    color_ = color;
    draw();
}

void SymbolView::draw() { setPixmap(SymbolIcon::pixmap(symbol_, size_, color_, devicePixelRatioF())); }

}  // namespace parloquin
