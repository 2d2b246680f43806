#include "Parloquin/views/RoundedPanel.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace parloquin {

RoundedPanel::RoundedPanel(QColor fill, qreal radius, QWidget* parent)
    : QWidget(parent), fill_(fill), radius_(radius) {}

RoundedPanel::RoundedPanel(QColor fill, qreal radius, int padding, QWidget* parent)
    : RoundedPanel(fill, radius, parent) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(padding, padding, padding, padding);
    column->setSpacing(12);
}

void RoundedPanel::setFill(QColor fill) {
    fill_ = fill;
    gradientEnd_ = QColor();
    update();
}

void RoundedPanel::setGradient(QColor from, QColor to) {
    fill_ = from;
    gradientEnd_ = to;
    update();
}

void RoundedPanel::setBorder(QColor color, qreal width, bool dashed) {
    border_ = color;
    borderWidth_ = width;
    dashed_ = dashed;
    update();
}

void RoundedPanel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(rect()).adjusted(borderWidth_ / 2, borderWidth_ / 2, -borderWidth_ / 2,
                                                  -borderWidth_ / 2);
    QPainterPath shape;
    shape.addRoundedRect(bounds, radius_, radius_);
    if (gradientEnd_.isValid()) {
        QLinearGradient gradient(bounds.topLeft(), bounds.bottomRight());
        gradient.setColorAt(0, fill_);
        gradient.setColorAt(1, gradientEnd_);
        painter.fillPath(shape, gradient);
    } else {
        painter.fillPath(shape, fill_);
    }
    if (borderWidth_ > 0 && border_.isValid()) {
        QPen pen(border_, borderWidth_);
        if (dashed_) pen.setDashPattern({8 / borderWidth_, 8 / borderWidth_});
        painter.setPen(pen);
        painter.drawPath(shape);
    }
}

}  // namespace parloquin
