#include "Parloquin/views/SpinnerView.h"

#include <QPainter>

#include "Parloquin/views/ThemeColors.h"

namespace parloquin {

SpinnerView::SpinnerView(int diameter, QWidget* parent) : QWidget(parent) {
    setFixedSize(diameter, diameter);
    setAccessibleName(QStringLiteral("Fortschritt"));
    timer_.setInterval(33);
    connect(&timer_, &QTimer::timeout, this, [this] {
        angle_ = (angle_ + 12) % 360;
        update();
    });
}

void SpinnerView::showEvent(QShowEvent*) { timer_.start(); }
void SpinnerView::hideEvent(QHideEvent*) { timer_.stop(); }

void SpinnerView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal width = std::max<qreal>(2, this->width() / 10.0);
    const QRectF circle = QRectF(rect()).adjusted(width, width, -width, -width);
    QColor track = ThemeColors::shared().secondary;
    track.setAlphaF(0.25f);
    painter.setPen(QPen(track, width));
    painter.drawEllipse(circle);
    painter.setPen(QPen(ThemeColors::shared().secondary, width, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(circle, -angle_ * 16, 100 * 16);
}

}  // namespace parloquin
