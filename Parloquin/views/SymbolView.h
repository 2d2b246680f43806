#pragma once

#include <QColor>
#include <QLabel>
#include <string>

namespace parloquin {

// One symbol drawn in one colour at a size in points; assistive technology reads its name when
// it is the only thing a control shows.
class SymbolView : public QLabel {
public:
    SymbolView(std::string symbol, int size, QColor color, QWidget* parent = nullptr);

    const std::string& symbol() const { return symbol_; }
    QColor color() const { return color_; }
    void setColor(QColor color);

private:
    void draw();

    std::string symbol_;
    int size_;
    QColor color_;
};

}  // namespace parloquin
