#include "Parloquin/views/StyledButton.h"

#include <QPainter>

#include "Parloquin/views/SymbolIcon.h"
#include "Parloquin/views/ThemeColors.h"

namespace parloquin {

StyledButton::StyledButton(const QString& text, std::shared_ptr<const ButtonStyle> style, QWidget* parent)
    : QPushButton(text, parent), style_(std::move(style)) {
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

// The fill reaches the button's edges, so that it lines up with the text beside and above it.
QSize StyledButton::sizeHint() const { return ButtonStyle::sizeForLabel(fontMetrics(), text(), !symbol_.isEmpty()); }

void StyledButton::setSymbol(const QString& symbol) {
    symbol_ = symbol;
    symbolIcon_ = symbol.isEmpty() ? QIcon() : SymbolIcon::icon(symbol.toStdString());
    updateGeometry();
    update();
}

void StyledButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect bounds = rect();
    style_->draw(painter, bounds, text(), isDown(), isEnabled(), symbolIcon_);
    if (hasFocus()) {
        // Where the keyboard is: a ring on the fill's edge, with a light line inside it so that it
        // shows on a fill of the accent colour too.
        painter.setRenderHint(QPainter::Antialiasing);
        QColor ring = ThemeColors::shared().accentColor;
        ring.setAlpha(220);
        painter.setPen(QPen(ring, 2));
        painter.drawRoundedRect(QRectF(bounds).adjusted(1, 1, -1, -1), ButtonStyle::cornerRadius - 1,
                                ButtonStyle::cornerRadius - 1);
        painter.setPen(QPen(QColor(255, 255, 255, 200), 1));
        painter.drawRoundedRect(QRectF(bounds).adjusted(2.5, 2.5, -2.5, -2.5), ButtonStyle::cornerRadius - 2.5,
                                ButtonStyle::cornerRadius - 2.5);
    }
}

}  // namespace parloquin
