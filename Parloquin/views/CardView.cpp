#include "Parloquin/views/CardView.h"

#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace parloquin {

CardView::CardView(const QColor& color, qreal opacity, int padding, QWidget* parent) : QWidget(parent), fill_(color) {
    fill_.setAlphaF(static_cast<float>(opacity));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(padding, padding, padding, padding);
    layout->setSpacing(12);
}

void CardView::setFill(const QColor& color, qreal opacity) {
    fill_ = color;
    fill_.setAlphaF(static_cast<float>(opacity));
    update();
}

void CardView::setBorder(const QColor& color, qreal width) {
    border_ = color;
    borderWidth_ = width;
    update();
}

void CardView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal inset = borderWidth_ / 2;
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(inset, inset, -inset, -inset), cornerRadius, cornerRadius);
    painter.fillPath(shape, fill_);
    if (borderWidth_ > 0) painter.strokePath(shape, QPen(border_, borderWidth_));
}

}  // namespace parloquin
