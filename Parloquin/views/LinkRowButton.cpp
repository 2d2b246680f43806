#include "Parloquin/views/LinkRowButton.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "Parloquin/views/SymbolIcon.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"

namespace parloquin {
namespace {

constexpr int kSymbolColumn = 20;
constexpr int kSymbolSize = 16;
constexpr int kChevronSize = 10;
constexpr int kSpacing = 12;
constexpr int kVerticalPadding = 6;
constexpr int kHorizontalPadding = 8;

}  // namespace

LinkRowButton::LinkRowButton(std::string_view symbol, const QString& title, const QString& description,
                             QWidget* parent)
    : QAbstractButton(parent), description_(description) {
    setText(title);
    setAccessibleName(title);
    if (!description.isEmpty()) setAccessibleDescription(description);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    const ThemeColors& colors = ThemeColors::shared();
    symbol_ = SymbolIcon::pixmap(symbol, kSymbolSize, colors.accentColor, devicePixelRatioF());
    chevron_ = SymbolIcon::pixmap("chevron.right", kChevronSize, colors.secondary, devicePixelRatioF());
}

QSize LinkRowButton::sizeHint() const {
    const QFontMetrics body(TextStyle::body());
    int height = body.height();
    int width = body.horizontalAdvance(text());
    if (!description_.isEmpty()) {
        const QFontMetrics caption(TextStyle::caption());
        height += 2 + caption.height();
        width = std::max(width, caption.horizontalAdvance(description_));
    }
    return QSize(2 * kHorizontalPadding + kSymbolColumn + kSpacing + width + kSpacing + kChevronSize,
                 height + 2 * kVerticalPadding);
}

void LinkRowButton::enterEvent(QEnterEvent* event) {
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void LinkRowButton::leaveEvent(QEvent* event) {
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void LinkRowButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const ThemeColors& colors = ThemeColors::shared();
    if (hovered_ || isDown() || hasFocus()) {
        QColor fill = colors.secondary;
        fill.setAlphaF(isDown() ? 0.16f : 0.08f);
        QPainterPath shape;
        shape.addRoundedRect(QRectF(rect()), 6, 6);
        painter.fillPath(shape, fill);
    }
    const QRect area = rect().adjusted(kHorizontalPadding, kVerticalPadding, -kHorizontalPadding, -kVerticalPadding);
    const QFontMetrics body(TextStyle::body());
    const int symbolTop = area.top() + (body.height() - kSymbolSize) / 2;
    painter.drawPixmap(QRect(area.left() + (kSymbolColumn - kSymbolSize) / 2, symbolTop, kSymbolSize, kSymbolSize),
                       symbol_);
    painter.drawPixmap(QRect(area.right() - kChevronSize + 1, area.top() + (area.height() - kChevronSize) / 2,
                             kChevronSize, kChevronSize),
                       chevron_);

    const int textLeft = area.left() + kSymbolColumn + kSpacing;
    const int textWidth = area.right() - kChevronSize - kSpacing - textLeft;
    painter.setFont(TextStyle::body());
    painter.setPen(colors.primary);
    painter.drawText(QRect(textLeft, area.top(), textWidth, body.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     body.elidedText(text(), Qt::ElideRight, textWidth));
    if (!description_.isEmpty()) {
        const QFontMetrics caption(TextStyle::caption());
        painter.setFont(TextStyle::caption());
        painter.setPen(colors.secondary);
        painter.drawText(QRect(textLeft, area.top() + body.height() + 2, textWidth, caption.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, caption.elidedText(description_, Qt::ElideRight, textWidth));
    }
}

}  // namespace parloquin
