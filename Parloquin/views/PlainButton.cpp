#include "Parloquin/views/PlainButton.h"

#include <QPainter>

#include "Parloquin/views/SymbolIcon.h"
#include "Parloquin/views/ThemeColors.h"

namespace parloquin {
namespace {

constexpr int kSpacing = 4;
constexpr int kMargin = 2;  // room for the focus ring

}  // namespace

PlainButton::PlainButton(const QString& text, QColor color, const QFont& font, const std::string& symbol,
                         QWidget* parent)
    : QPushButton(text, parent), color_(color), symbol_(symbol) {
    setFont(font);
    setFlat(true);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void PlainButton::setColor(QColor color) {
    color_ = color;
    update();
}

QSize PlainButton::sizeHint() const {
    const QFontMetrics metrics = fontMetrics();
    int width = metrics.horizontalAdvance(text());
    if (!symbol_.empty()) width += metrics.height() + (text().isEmpty() ? 0 : kSpacing);
    return {width + 2 * kMargin, metrics.height() + 2 * kMargin};
}

void PlainButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown()) painter.setOpacity(0.6);
    QRect area = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    if (!symbol_.empty()) {
        const int size = fontMetrics().height();
        const QPixmap symbol = SymbolIcon::pixmap(symbol_, size, color_, devicePixelRatioF());
        painter.drawPixmap(QRect(area.left(), area.center().y() - size / 2, size, size), symbol);
        area.setLeft(area.left() + size + kSpacing);
    }
    painter.setPen(color_);
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter, text());
    if (hasFocus()) {
        QColor ring = ThemeColors::shared().accentColor;
        ring.setAlpha(140);
        painter.setOpacity(1);
        painter.setPen(QPen(ring, 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(rect()).adjusted(0.75, 0.75, -0.75, -0.75), 3, 3);
    }
}

}  // namespace parloquin
