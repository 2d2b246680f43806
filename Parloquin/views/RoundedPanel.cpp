#include "Parloquin/views/RoundedPanel.h"

#include <QPainter>
#include <QPainterPath>

namespace parloquin {

RoundedPanel::RoundedPanel(QWidget* parent) : QWidget(parent) {}

void RoundedPanel::setColors(const QColor& fill, const QColor& border, qreal borderWidth) {
    fill_ = fill;
    border_ = border;
    borderWidth_ = borderWidth;
    update();
}

void RoundedPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // The frame lies inside the area, half its width in from the edge.
    const qreal inset = borderWidth_ / 2;
    const QRectF area = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    QPainterPath shape;
    shape.addRoundedRect(area, cornerRadius, cornerRadius);
    painter.fillPath(shape, fill_);
    if (borderWidth_ > 0 && border_.alpha() > 0) painter.strokePath(shape, QPen(border_, borderWidth_));
}

}  // namespace parloquin
