#include "Parloquin/app/RecordingOverlayView.h"

#include <QEasingCurve>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <random>

namespace parloquin {
namespace {

constexpr int kTimerInterval = 100;          // ms, elapsed time and dot
constexpr int kWaveformInterval = 150;       // ms, bars
constexpr double kPaddingX = 16, kPaddingY = 10, kSpacing = 8;
constexpr double kDotSize = 10, kBarWidth = 3, kBarSpacing = 2, kBarAreaHeight = 20;
constexpr double kCornerRadius = 20;

QFont labelFont() {
    QFont font;
    font.setPixelSize(14);
    font.setWeight(QFont::Medium);
    return font;
}

QFont timeFont() {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(14);
    font.setWeight(QFont::Medium);
    return font;
}

const QString kLabel = QStringLiteral("Aufnahme...");

RecordingOverlayView::Jitter randomJitter() {
    auto generator = std::make_shared<std::mt19937>(std::random_device{}());
    return [generator] { return std::uniform_real_distribution<double>(-0.05, 0.05)(*generator); };
}

}  // namespace

RecordingOverlayView::RecordingOverlayView(LevelSource level, QWidget* parent)
    : QWidget(parent), level_(std::move(level)), jitter_(randomJitter()) {
    waveformHeights_.fill(0.3);
    shownHeights_ = waveformHeights_;
    previousHeights_ = waveformHeights_;
    setAttribute(Qt::WA_TranslucentBackground);
    setAttribute(Qt::WA_TransparentForMouseEvents);

    timer_.setInterval(kTimerInterval);
    timer_.setTimerType(Qt::PreciseTimer);
    connect(&timer_, &QTimer::timeout, this, [this] { updateElapsedTime(); });
    waveformTimer_.setInterval(kWaveformInterval);
    waveformTimer_.setTimerType(Qt::PreciseTimer);
    connect(&waveformTimer_, &QTimer::timeout, this, [this] { updateWaveform(); });

    barAnimation_.setDuration(kWaveformInterval);
    barAnimation_.setEasingCurve(QEasingCurve::InOutQuad);
    barAnimation_.setStartValue(0.0);
    barAnimation_.setEndValue(1.0);
    connect(&barAnimation_, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
        const double t = value.toDouble();
        for (int i = 0; i < barCount; ++i)
            shownHeights_[i] = previousHeights_[i] + (waveformHeights_[i] - previousHeights_[i]) * t;
        update();
    });
    startTime_.start();
}

QSize RecordingOverlayView::sizeHint() const { return {300, 50}; }

void RecordingOverlayView::resetStartTime() {
    startTime_.start();
    elapsedTime_ = 0;
    update();
}

void RecordingOverlayView::updateElapsedTime() {
    elapsedTime_ = double(startTime_.nsecsElapsed()) / 1e9;
    update();
}

void RecordingOverlayView::setElapsedTimeForDisplay(double seconds) {
    elapsedTime_ = seconds;
    update();
}

void RecordingOverlayView::updateWaveform() {
    const double level = level_ ? double(level_()) : 0.0;
    smoothedLevel_ = std::max(level, 0.05) * 0.3 + smoothedLevel_ * 0.7;
    const double jitter = jitter_ ? jitter_() : 0.0;
    const double height = std::clamp(smoothedLevel_ + jitter, 0.2, 1.0);

    previousHeights_ = shownHeights_;
    std::rotate(waveformHeights_.begin(), waveformHeights_.begin() + 1, waveformHeights_.end());
    waveformHeights_.back() = height;
    barAnimation_.stop();
    barAnimation_.start();
}

std::string RecordingOverlayView::formattedElapsedTime(double elapsedTime) {
    if (!std::isfinite(elapsedTime) || elapsedTime < 0) elapsedTime = 0;
    const long long seconds = elapsedTime >= 9.2e18 ? 9'200'000'000'000'000'000LL : (long long)elapsedTime;
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld", seconds / 60, seconds % 60);
    return text;
}

double RecordingOverlayView::dotOpacity() const { return std::sin(elapsedTime_ * 3) * 0.3 + 0.7; }

void RecordingOverlayView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    resetStartTime();
    if (stopped_) return;
    timer_.start();
    waveformTimer_.start();
}

void RecordingOverlayView::hideEvent(QHideEvent* event) {
    timer_.stop();
    waveformTimer_.stop();
    barAnimation_.stop();
    QWidget::hideEvent(event);
}

void RecordingOverlayView::stopUpdating() {
    stopped_ = true;
    timer_.stop();
    waveformTimer_.stop();
}

QPainterPath RecordingOverlayView::capsuleShape(QSize size) const {
    QPainterPath path;
    path.addRoundedRect(capsuleRect(QSizeF(size)), kCornerRadius, kCornerRadius);
    return path;
}

QRectF RecordingOverlayView::capsuleRect(QSizeF area) const {
    const QFontMetricsF labelMetrics(labelFont());
    const QFontMetricsF timeMetrics(timeFont());
    const QString time = QString::fromStdString(formattedElapsedTime());
    const double timeWidth = std::max(timeMetrics.horizontalAdvance(time), timeMetrics.horizontalAdvance("00:00"));
    const double waveformWidth = barCount * kBarWidth + (barCount - 1) * kBarSpacing;
    const double width = kPaddingX + kDotSize + kSpacing + labelMetrics.horizontalAdvance(kLabel) + kSpacing +
                         timeWidth + kSpacing + waveformWidth + kPaddingX;
    const double height = kPaddingY + std::max(kBarAreaHeight, labelMetrics.height()) + kPaddingY;
    return QRectF((area.width() - width) / 2, (area.height() - height) / 2, width, height);
}

void RecordingOverlayView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF capsule = capsuleRect(QSizeF(size()));

    // A soft shadow, black at 0.3, five points lower.
    painter.setPen(Qt::NoPen);
    for (int i = 5; i >= 1; --i) {
        QColor shadow(0, 0, 0, int(255 * 0.3 / 5));
        painter.setBrush(shadow);
        const QRectF spread = capsule.translated(0, 5).adjusted(-i, -i, i, i);
        painter.drawRoundedRect(spread, kCornerRadius + i, kCornerRadius + i);
    }
    painter.setBrush(QColor(0, 0, 0, int(255 * 0.75)));
    painter.drawRoundedRect(capsule, kCornerRadius, kCornerRadius);

    const double centreY = capsule.center().y();
    double x = capsule.left() + kPaddingX;

    QColor red(255, 59, 48);
    red.setAlphaF(float(dotOpacity()));
    painter.setBrush(red);
    painter.drawEllipse(QRectF(x, centreY - kDotSize / 2, kDotSize, kDotSize));
    x += kDotSize + kSpacing;

    painter.setFont(labelFont());
    painter.setPen(QColor(255, 255, 255, int(255 * 0.9)));
    const double labelWidth = QFontMetricsF(labelFont()).horizontalAdvance(kLabel);
    painter.drawText(QRectF(x, capsule.top(), labelWidth + 1, capsule.height()), Qt::AlignVCenter | Qt::AlignLeft,
                     kLabel);
    x += labelWidth + kSpacing;

    painter.setFont(timeFont());
    painter.setPen(Qt::white);
    const QString time = QString::fromStdString(formattedElapsedTime());
    const QFontMetricsF timeMetrics(timeFont());
    const double timeWidth = std::max(timeMetrics.horizontalAdvance(time), timeMetrics.horizontalAdvance("00:00"));
    painter.drawText(QRectF(x, capsule.top(), timeWidth + 1, capsule.height()), Qt::AlignVCenter | Qt::AlignLeft,
                     time);
    x += timeWidth + kSpacing;

    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    for (int i = 0; i < barCount; ++i) {
        const double height = std::clamp(shownHeights_[i], 0.0, 1.0) * kBarAreaHeight;
        painter.drawRoundedRect(QRectF(x, centreY - height / 2, kBarWidth, height), 1.5, 1.5);
        x += kBarWidth + kBarSpacing;
    }
}

}  // namespace parloquin
