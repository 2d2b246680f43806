#include "Parloquin/views/HotkeyDisplay.h"

#include <QFontDatabase>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

#include "Parloquin/views/HotkeysSettings.h"
#include "Parloquin/views/SymbolIcon.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"

namespace parloquin {
namespace {

constexpr int kPadding = 12;
constexpr int kSpacing = 8;
constexpr int kIconSize = 16;
constexpr qreal kCornerRadius = 8;

}  // namespace

HotkeyDisplay::HotkeyDisplay(QWidget* parent) : QAbstractButton(parent) {
    setCursor(Qt::PointingHandCursor);
    setMaximumWidth(maximumWidth);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setAccessibleName(QString::fromUtf8(HotkeysSettings::primaryTitle));
    spinner_.setInterval(80);
    connect(&spinner_, &QTimer::timeout, this, [this] {
        spinnerAngle_ = (spinnerAngle_ + 30) % 360;
        update();
    });
}

void HotkeyDisplay::setHotkey(const QString& hotkey) {
    hotkey_ = hotkey;
    setText(label());
    updateGeometry();
    update();
}

void HotkeyDisplay::setRecording(bool recording) {
    recording_ = recording;
    if (recording)
        spinner_.start();
    else
        spinner_.stop();
    setText(label());
    update();
}

QString HotkeyDisplay::label() const {
    return recording_ ? QString::fromUtf8(HotkeysSettings::recordingLabel) : hotkey_;
}

QString HotkeyDisplay::action() const {
    return QString::fromUtf8(recording_ ? HotkeysSettings::cancelAction : HotkeysSettings::changeAction);
}

QFont HotkeyDisplay::labelFont() const {
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPointSizeF(TextStyle::body().pointSizeF());
    font.setWeight(QFont::Medium);
    return font;
}

QFont HotkeyDisplay::actionFont() const { return TextStyle::caption(); }

QSize HotkeyDisplay::sizeHint() const {
    const QFontMetrics label(labelFont());
    const QFontMetrics action(actionFont());
    const int height = std::max({label.height(), action.height(), kIconSize}) + 2 * kPadding;
    return {maximumWidth, height};
}

QSize HotkeyDisplay::minimumSizeHint() const {
    const QFontMetrics label(labelFont());
    const QFontMetrics action(actionFont());
    const int width = 2 * kPadding + kIconSize + 3 * kSpacing + label.horizontalAdvance(this->label()) +
                      action.horizontalAdvance(this->action());
    return {width, sizeHint().height()};
}

void HotkeyDisplay::paintEvent(QPaintEvent*) {
    const ThemeColors& colors = ThemeColors::shared();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(rect()).adjusted(1, 1, -1, -1);
    QPainterPath shape;
    shape.addRoundedRect(area, kCornerRadius, kCornerRadius);
    QColor fill = colors.secondary;
    fill.setAlphaF(isDown() ? 0.18f : 0.1f);
    painter.fillPath(shape, fill);
    if (recording_) {
        painter.strokePath(shape, QPen(colors.accentColor, 2));
    } else if (hasFocus()) {
        QColor ring = colors.accentColor;
        ring.setAlpha(140);
        painter.strokePath(shape, QPen(ring, 1));
    }

    const QRect content = rect().adjusted(kPadding, kPadding, -kPadding, -kPadding);
    const QRect icon(content.left(), content.center().y() - kIconSize / 2, kIconSize, kIconSize);
    if (recording_) {
        // A small turning arc, as a busy indicator.
        const QRectF ring = QRectF(icon).adjusted(2.5, 2.5, -2.5, -2.5);
        painter.setPen(QPen(colors.secondary, 2, Qt::SolidLine, Qt::RoundCap));
        painter.drawArc(ring, -spinnerAngle_ * 16, 270 * 16);
    } else {
        painter.drawPixmap(icon, SymbolIcon::pixmap("keyboard.fill", kIconSize, colors.primary, devicePixelRatioF()));
    }

    const QFontMetrics actionMetrics(actionFont());
    const int actionWidth = actionMetrics.horizontalAdvance(action());
    const QRect actionArea(content.right() - actionWidth, content.top(), actionWidth, content.height());
    painter.setFont(actionFont());
    painter.setPen(colors.accentColor);
    painter.drawText(actionArea, Qt::AlignRight | Qt::AlignVCenter, action());

    const QRect labelArea(icon.right() + 1 + kSpacing, content.top(),
                          actionArea.left() - kSpacing - (icon.right() + 1 + kSpacing), content.height());
    painter.setFont(labelFont());
    painter.setPen(colors.primary);
    painter.drawText(labelArea, Qt::AlignLeft | Qt::AlignVCenter,
                     QFontMetrics(labelFont()).elidedText(label(), Qt::ElideRight, labelArea.width()));
}

}  // namespace parloquin
