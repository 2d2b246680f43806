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

namespace {

// Room around the fill for the focus ring.
constexpr int kRingMargin = 2;

}  // namespace

QSize StyledButton::sizeHint() const {
    return ButtonStyle::sizeForLabel(fontMetrics(), text(), !symbol_.isEmpty()) +
           QSize(2 * kRingMargin, 2 * kRingMargin);
}

void StyledButton::setSymbol(const QString& symbol) {
    symbol_ = symbol;
    symbolIcon_ = symbol.isEmpty() ? QIcon() : SymbolIcon::icon(symbol.toStdString());
    updateGeometry();
    update();
}

void StyledButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // A ring outside the fill shows where the keyboard is.
    const QRect bounds = rect().adjusted(kRingMargin, kRingMargin, -kRingMargin, -kRingMargin);
    style_->draw(painter, bounds, text(), isDown(), symbolIcon_);
    if (hasFocus()) {
        painter.setRenderHint(QPainter::Antialiasing);
        QColor ring = ThemeColors::shared().accentColor;
        ring.setAlpha(140);
        painter.setPen(QPen(ring, 2));
        painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), ButtonStyle::cornerRadius + 2,
                                ButtonStyle::cornerRadius + 2);
    }
}

}  // namespace parloquin
