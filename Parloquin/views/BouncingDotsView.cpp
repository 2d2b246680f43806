#include "Parloquin/views/BouncingDotsView.h"

#include <QPainter>
#include <cmath>
#include <numbers>

#include "Parloquin/views/ThemeColors.h"

namespace parloquin {

BouncingDotsView::BouncingDotsView(QWidget* parent) : QWidget(parent) {
    setFixedSize(dotCount * dotSize + (dotCount - 1) * spacing, dotSize + 2 * int(amplitude));
    setAccessibleName(QStringLiteral("Wird geladen"));
    timer_.setInterval(16);
    connect(&timer_, &QTimer::timeout, this, qOverload<>(&QWidget::update));
}

double BouncingDotsView::offset(int dot, double secondsShown) {
    const double t = secondsShown - dot * delayStep;
    if (t <= 0) return -amplitude;
    // Up to down, then back: an ease-in-ease-out curve each way.
    const double phase = std::fmod(t, 2 * halfPeriod) / halfPeriod;  // 0 … 2
    const double along = phase <= 1 ? phase : 2 - phase;
    const double eased = (1 - std::cos(along * std::numbers::pi)) / 2;
    return -amplitude + 2 * amplitude * eased;
}

void BouncingDotsView::showEvent(QShowEvent*) {
    shown_.start();
    timer_.start();
}

void BouncingDotsView::hideEvent(QHideEvent*) { timer_.stop(); }

void BouncingDotsView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    QColor color = ThemeColors::shared().blue;
    color.setAlphaF(0.7f);
    painter.setBrush(color);
    const double seconds = shown_.isValid() ? shown_.elapsed() / 1000.0 : 0.0;
    for (int dot = 0; dot < dotCount; ++dot) {
        const double y = height() / 2.0 + offset(dot, seconds) - dotSize / 2.0;
        painter.drawEllipse(QRectF(dot * (dotSize + spacing), y, dotSize, dotSize));
    }
}

}  // namespace parloquin
