#include "Parloquin/views/AudioDeviceRow.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>

#include "Parloquin/views/SymbolIcon.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"

namespace parloquin {
namespace {

constexpr int kSymbolSize = 16;
constexpr qreal kCornerRadius = 8;

}  // namespace

AudioDeviceRow::AudioDeviceRow(AudioDevice device, bool isSelected, std::function<void()> onSelect, QWidget* parent)
    : QAbstractButton(parent), device_(std::move(device)), isSelected_(isSelected), onSelect_(std::move(onSelect)) {
    const ThemeColors& colors = ThemeColors::shared();
    const QString name = QString::fromStdString(device_.name);
    setText(name);
    setAccessibleName(name);
    setCheckable(false);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(12, 8, 12, 8);
    layout->setSpacing(10);
    symbol_ = new QLabel(this);
    symbol_->setPixmap(isSelected_ ? SymbolIcon::pixmap("checkmark.circle.fill", kSymbolSize, colors.accentColor,
                                                        devicePixelRatioF())
                                   : SymbolIcon::pixmap("mic.fill", kSymbolSize, colors.secondary, devicePixelRatioF()));
    symbol_->setAttribute(Qt::WA_TransparentForMouseEvents);
    layout->addWidget(symbol_);
    name_ = new QLabel(name, this);
    QFont font = TextStyle::body();
    font.setWeight(isSelected_ ? QFont::Medium : QFont::Normal);
    name_->setFont(font);
    name_->setAttribute(Qt::WA_TransparentForMouseEvents);
    layout->addWidget(name_);
    if (device_.isDefault) {
        badge_ = new QLabel(QStringLiteral("Systemstandard"), this);
        badge_->setFont(TextStyle::caption());
        QColor tint = colors.accentColor;
        tint.setAlphaF(0.1f);
        badge_->setStyleSheet(QStringLiteral("QLabel { color: %1; background: %2; border-radius: 4px; padding: 2px 6px; }")
                                  .arg(colors.accentColor.name(), tint.name(QColor::HexArgb)));
        badge_->setAttribute(Qt::WA_TransparentForMouseEvents);
        layout->addWidget(badge_);
    }
    layout->addStretch(1);
    if (isSelected_) setAccessibleDescription(QStringLiteral("Ausgewählt"));
    connect(this, &QAbstractButton::clicked, this, [this] {
        if (onSelect_) onSelect_();
    });
}

QSize AudioDeviceRow::sizeHint() const { return layout()->sizeHint(); }

void AudioDeviceRow::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = ThemeColors::shared().accentColor;
    fill.setAlphaF(isSelected_ ? 0.1f : (underMouse() || hasFocus() ? 0.04f : 0.0f));
    if (fill.alpha() == 0) return;
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), kCornerRadius, kCornerRadius);
    painter.fillPath(shape, fill);
}

}  // namespace parloquin
