#include "Parloquin/app/FloatingDictationControlView.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QSvgRenderer>
#include <algorithm>

namespace parloquin {
namespace {

constexpr double kSymbolBox = 18, kSpacing = 8, kLabelMinWidth = 58;

QFont labelFont() {
    QFont font;
    font.setPixelSize(13);
    font.setWeight(QFont::DemiBold);
    return font;
}

QColor withOpacity(QColor colour, double opacity) {
    colour.setAlphaF(float(opacity));
    return colour;
}

}  // namespace

FloatingDictationControlView::Appearance FloatingDictationControlView::appearance(bool isRecording,
                                                                                   bool isProcessing) {
    if (isProcessing)
        return {withOpacity(QColor(255, 149, 0), 0.92), "hourglass", "Warten", "Transkript wird verarbeitet"};
    if (isRecording)
        return {withOpacity(QColor(255, 59, 48), 0.92), "stop.fill", "Stopp", "Aufnahme stoppen"};
    return {withOpacity(QColor(0, 0, 0), 0.78), "mic.fill", "Aufnahme", "Aufnahme starten"};
}

FloatingDictationControlView::FloatingDictationControlView(std::function<void()> onToggle, QWidget* parent)
    : QWidget(parent), onToggle_(std::move(onToggle)) {
    setAttribute(Qt::WA_TranslucentBackground);
    setFocusPolicy(Qt::NoFocus);
    setServiceState(false, false);
}

void FloatingDictationControlView::setServiceState(bool isRecording, bool isProcessing) {
    isRecording_ = isRecording;
    isProcessing_ = isProcessing;
    setToolTip(QString::fromUtf8(appearance(isRecording, isProcessing).helpText));
    // Off while processing: clicks do nothing then, the pointer does not promise otherwise, and
    // assistive technology reads the button as unavailable.
    setEnabled(!isProcessing);
    if (isProcessing) {
        unsetCursor();
        pressed_ = false;  // a press under way ends here: its release goes elsewhere now
        dragging_ = false;
    } else {
        setCursor(Qt::PointingHandCursor);
    }
    update();
}

void FloatingDictationControlView::click() {
    if (isProcessing_) return;
    if (onToggle_) onToggle_();
}

void FloatingDictationControlView::paintEvent(QPaintEvent*) {
    const Appearance look = appearance(isRecording_, isProcessing_);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    const QRectF capsule = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    const double radius = capsule.height() / 2;
    painter.setPen(Qt::NoPen);
    painter.setBrush(look.colour);
    painter.drawRoundedRect(capsule, radius, radius);
    if (pressed_ && !dragging_ && !isProcessing_) {
        painter.setBrush(QColor(255, 255, 255, 40));
        painter.drawRoundedRect(capsule, radius, radius);
    }

    const QString label = QString::fromUtf8(look.label);
    const QFontMetricsF metrics(labelFont());
    const double labelWidth = std::max(kLabelMinWidth, metrics.horizontalAdvance(label));
    const double rowWidth = kSymbolBox + kSpacing + labelWidth;
    double x = (width() - rowWidth) / 2;
    const double centreY = height() / 2.0;

    QSvgRenderer symbol(QStringLiteral(":/parloquin/%1.svg").arg(QLatin1String(look.symbol)));
    const QSizeF symbolSize = QSizeF(symbol.defaultSize()).scaled(15, 15, Qt::KeepAspectRatio);
    symbol.render(&painter, QRectF(x + (kSymbolBox - symbolSize.width()) / 2, centreY - symbolSize.height() / 2,
                                   symbolSize.width(), symbolSize.height()));
    x += kSymbolBox + kSpacing;

    painter.setFont(labelFont());
    painter.setPen(Qt::white);
    painter.drawText(QRectF(x, 0, labelWidth, height()), Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                     label);
}

void FloatingDictationControlView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    pressed_ = true;
    dragging_ = false;
    pressGlobal_ = event->globalPosition().toPoint();
    windowAtPress_ = window()->pos();
    update();
}

void FloatingDictationControlView::mouseMoveEvent(QMouseEvent* event) {
    if (!pressed_) return;
    const QPoint moved = event->globalPosition().toPoint() - pressGlobal_;
    if (!dragging_ && moved.manhattanLength() < QApplication::startDragDistance()) return;
    dragging_ = true;
    window()->move(windowAtPress_ + moved);
}

void FloatingDictationControlView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !pressed_) return;
    const bool wasClick = !dragging_ && rect().contains(event->position().toPoint());
    pressed_ = false;
    dragging_ = false;
    update();
    if (wasClick) click();
}

}  // namespace parloquin
