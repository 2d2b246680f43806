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

void CardView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(shape, fill_);
}

}  // namespace parloquin
