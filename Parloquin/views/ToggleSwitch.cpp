#include "Parloquin/views/ToggleSwitch.h"

#include <QPainter>
#include <QPainterPath>

#include "Parloquin/views/ThemeColors.h"

namespace parloquin {
namespace {

constexpr int kTrackWidth = 38;
constexpr int kTrackHeight = 22;
constexpr int kKnobInset = 2;
constexpr int kMargin = 2;  // room for the focus ring

}  // namespace

ToggleSwitch::ToggleSwitch(QWidget* parent) : QAbstractButton(parent) {
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize ToggleSwitch::sizeHint() const { return QSize(kTrackWidth + 2 * kMargin, kTrackHeight + 2 * kMargin); }

bool ToggleSwitch::hitButton(const QPoint& position) const { return rect().contains(position); }

void ToggleSwitch::paintEvent(QPaintEvent*) {
    const ThemeColors& colors = ThemeColors::shared();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled()) painter.setOpacity(0.45);

    const QRectF track(kMargin, (height() - kTrackHeight) / 2.0, kTrackWidth, kTrackHeight);
    const qreal radius = kTrackHeight / 2.0;
    QColor off = colors.primary;
    off.setAlphaF(0.18f);
    QPainterPath trackShape;
    trackShape.addRoundedRect(track, radius, radius);
    painter.fillPath(trackShape, isChecked() ? colors.accentColor : off);
    if (isDown()) painter.fillPath(trackShape, QColor(0, 0, 0, 30));

    const qreal knob = kTrackHeight - 2 * kKnobInset;
    const qreal x = isChecked() ? track.right() - kKnobInset - knob : track.left() + kKnobInset;
    const QRectF knobRect(x, track.top() + kKnobInset, knob, knob);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawEllipse(knobRect.translated(0, 0.75));
    painter.setBrush(Qt::white);
    painter.drawEllipse(knobRect);

    if (hasFocus()) {
        QColor ring = colors.accentColor;
        ring.setAlpha(140);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(ring, 2));
        painter.drawRoundedRect(track.adjusted(-1, -1, 1, 1), radius + 1, radius + 1);
    }
}

}  // namespace parloquin
