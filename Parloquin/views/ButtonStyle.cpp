#include "Parloquin/views/ButtonStyle.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace parloquin {

QSize ButtonStyle::sizeForLabel(const QFontMetrics& metrics, const QString& label, bool withSymbol) {
    const int symbol = withSymbol ? metrics.height() + symbolSpacing : 0;
    return QSize(symbol + metrics.horizontalAdvance(label) + 2 * horizontalPadding,
                 metrics.height() + 2 * verticalPadding);
}

void ButtonStyle::draw(QPainter& painter, const QRect& bounds, const QString& label, bool pressed, bool enabled,
                       const QIcon& symbol) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setOpacity(opacity(pressed, enabled));
    QPainterPath shape;
    shape.addRoundedRect(QRectF(bounds), cornerRadius, cornerRadius);
    painter.fillPath(shape, fillColor());
    painter.setPen(textColor());
    if (symbol.isNull()) {
        painter.drawText(bounds, Qt::AlignCenter | Qt::TextSingleLine, label);
    } else {
        // Symbol and label as one group, centred.
        const QFontMetrics metrics = painter.fontMetrics();
        const int side = metrics.height();
        const int width = side + symbolSpacing + metrics.horizontalAdvance(label);
        const int left = bounds.left() + (bounds.width() - width) / 2;
        const QRect symbolArea(left, bounds.top() + (bounds.height() - side) / 2, side, side);
        QPixmap shape = symbol.pixmap(QSize(side, side), painter.device() ? painter.device()->devicePixelRatioF() : 1.0);
        {
            QPainter tint(&shape);
            tint.setCompositionMode(QPainter::CompositionMode_SourceIn);
            tint.fillRect(QRect(QPoint(), shape.size() / shape.devicePixelRatio()), textColor());
        }
        painter.drawPixmap(symbolArea, shape);
        painter.drawText(QRect(symbolArea.right() + 1 + symbolSpacing, bounds.top(), width - side - symbolSpacing,
                               bounds.height()),
                         Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, label);
    }
    painter.restore();
}

}  // namespace parloquin
