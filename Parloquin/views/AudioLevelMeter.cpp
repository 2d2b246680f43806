#include "Parloquin/views/AudioLevelMeter.h"

#include <QPainter>
#include <QPainterPath>

#include "Parloquin/views/ThemeColors.h"

namespace parloquin {

AudioLevelMeter::AudioLevelMeter(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setFixedHeight(12);
    setAccessibleName(QStringLiteral("Audiopegel"));
}

void AudioLevelMeter::setLevel(float level) {
    if (level == level_) return;
    level_ = level;
    update();
}

QColor AudioLevelMeter::levelColor(float level) {
    const ThemeColors& colors = ThemeColors::shared();
    if (level < 0.3f) {
        QColor quiet = colors.green;
        quiet.setAlphaF(0.7f);
        return quiet;
    }
    if (level < 0.7f) return colors.green;
    if (level < 0.9f) return colors.orange;
    return colors.red;
}

void AudioLevelMeter::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor track = ThemeColors::shared().secondary;
    track.setAlphaF(0.2f);
    QPainterPath background;
    background.addRoundedRect(QRectF(rect()), cornerRadius, cornerRadius);
    painter.fillPath(background, track);
    // The manager delivers 0...1; the bar is not clamped here.
    const qreal width = rect().width() * static_cast<qreal>(level_);
    if (width <= 0) return;
    QPainterPath fill;
    fill.addRoundedRect(QRectF(0, 0, width, rect().height()), cornerRadius, cornerRadius);
    painter.fillPath(fill, levelColor(level_));
}

}  // namespace parloquin
