#include "Parloquin/views/HotkeyPresetRow.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "Parloquin/views/SymbolIcon.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"

namespace parloquin {
namespace {

constexpr int kPadding = 12;
constexpr int kSpacing = 12;
constexpr int kIconSize = 20;
constexpr qreal kCornerRadius = 8;

}  // namespace

HotkeyPresetRow::HotkeyPresetRow(const QString& title, const QString& description, std::string preset,
                                 QWidget* parent)
    : QAbstractButton(parent), title_(title), description_(description), preset_(std::move(preset)) {
    setText(title);
    setAccessibleDescription(description);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void HotkeyPresetRow::setSelected(bool selected) {
    if (selected == selected_) return;
    selected_ = selected;
    update();
}

QFont HotkeyPresetRow::titleFont() const {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(TextStyle::body().pointSizeF());
    font.setWeight(QFont::Medium);
    return font;
}

QSize HotkeyPresetRow::sizeHint() const {
    const QFontMetrics title(titleFont());
    const QFontMetrics description(TextStyle::caption());
    const int textHeight = title.height() + 2 + description.height();
    const int width = 2 * kPadding + kIconSize + kSpacing +
                      std::max(title.horizontalAdvance(title_), description.horizontalAdvance(description_));
    return {width, std::max(textHeight, kIconSize) + 2 * kPadding};
}

void HotkeyPresetRow::paintEvent(QPaintEvent*) {
    const ThemeColors& colors = ThemeColors::shared();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = selected_ ? colors.accentColor : colors.secondary;
    fill.setAlphaF(selected_ ? 0.1f : (isDown() ? 0.1f : underMouse() ? 0.05f : 0.0f));
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    painter.fillPath(shape, fill);
    if (hasFocus()) {
        QColor ring = colors.accentColor;
        ring.setAlpha(140);
        painter.strokePath(shape, QPen(ring, 1));
    }

    const QRect content = rect().adjusted(kPadding, kPadding, -kPadding, -kPadding);
    const QRect icon(content.left(), content.center().y() - kIconSize / 2, kIconSize, kIconSize);
    painter.drawPixmap(icon, selected_
                                 ? SymbolIcon::pixmap("checkmark.circle.fill", kIconSize, colors.accentColor,
                                                      devicePixelRatioF())
                                 : SymbolIcon::pixmap("circle", kIconSize, colors.secondary, devicePixelRatioF()));

    const QFontMetrics title(titleFont());
    const QFontMetrics description(TextStyle::caption());
    const int textHeight = title.height() + 2 + description.height();
    const int left = icon.right() + 1 + kSpacing;
    const int top = content.center().y() - textHeight / 2;
    painter.setFont(titleFont());
    painter.setPen(colors.primary);
    painter.drawText(QRect(left, top, content.right() - left, title.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     title_);
    painter.setFont(TextStyle::caption());
    painter.setPen(colors.secondary);
    painter.drawText(QRect(left, top + title.height() + 2, content.right() - left, description.height()),
                     Qt::AlignLeft | Qt::AlignVCenter,
                     description.elidedText(description_, Qt::ElideRight, content.right() - left));
}

}  // namespace parloquin
