#include "Parloquin/views/ButtonStyle.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>

namespace parloquin {

QSize ButtonStyle::sizeForLabel(const QFontMetrics& metrics, const QString& label) {
    return QSize(metrics.horizontalAdvance(label) + 2 * horizontalPadding, metrics.height() + 2 * verticalPadding);
}

void ButtonStyle::draw(QPainter& painter, const QRect& bounds, const QString& label, bool pressed) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(opacity(pressed));
    QPainterPath shape;
    shape.addRoundedRect(QRectF(bounds), cornerRadius, cornerRadius);
    painter.fillPath(shape, fillColor());
    painter.setPen(textColor());
    painter.drawText(bounds, Qt::AlignCenter | Qt::TextSingleLine, label);
    painter.restore();
}

}  // namespace parloquin
