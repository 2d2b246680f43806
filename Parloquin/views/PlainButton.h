#pragma once

#include <QColor>
#include <QFont>
#include <QPushButton>
#include <string>

namespace parloquin {

// A button that is only its label (and a symbol before it, when given) in one colour: the
// pages' small actions such as "Exportieren", "Löschen" or "Deaktivieren". Pressed, it dims.
class PlainButton : public QPushButton {
public:
    PlainButton(const QString& text, QColor color, const QFont& font, const std::string& symbol = {},
                QWidget* parent = nullptr);

    QColor color() const { return color_; }
    void setColor(QColor color);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor color_;
    std::string symbol_;
};

}  // namespace parloquin
