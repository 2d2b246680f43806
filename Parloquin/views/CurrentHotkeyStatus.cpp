#include "Parloquin/views/CurrentHotkeyStatus.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/SymbolIcon.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"

namespace parloquin {
namespace {

// A size given against a body text of 13 points, in proportion to this desktop's body text.
QFont sized(qreal points, QFont::Weight weight) {
    QFont font = TextStyle::body();
    font.setPointSizeF(font.pointSizeF() * points / 13);
    font.setWeight(weight);
    return font;
}

}  // namespace

QColor CurrentHotkeyStatus::color(HotkeysSettings::Tone tone) {
    const ThemeColors& colors = ThemeColors::shared();
    switch (tone) {
        case HotkeysSettings::Tone::green: return colors.green;
        case HotkeysSettings::Tone::orange: return colors.orange;
        case HotkeysSettings::Tone::blue: return colors.accentColor;
        case HotkeysSettings::Tone::secondary: return colors.secondary;
    }
    return colors.secondary;
}

CurrentHotkeyStatus::CurrentHotkeyStatus(QWidget* parent) : RoundedPanel(QColor(Qt::transparent), 8, 12, parent) {
    auto* row = new QHBoxLayout;
    row->setSpacing(12);
    static_cast<QVBoxLayout*>(layout())->addLayout(row);
    icon_ = new QLabel(this);
    row->addWidget(icon_, 0, Qt::AlignVCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    auto* label = SecondaryText::label(QString::fromUtf8(HotkeysSettings::statusLabel), sized(10, QFont::DemiBold), this);
    texts->addWidget(label);
    text_ = new QLabel(this);
    text_->setFont(sized(12, QFont::Medium));
    text_->setWordWrap(true);
    texts->addWidget(text_);
    row->addLayout(texts, 1);

    note_ = SecondaryText::label(QString(), sized(11, QFont::Normal), this);
    note_->setMaximumWidth(240);
    row->addWidget(note_, 0, Qt::AlignVCenter);
}

void CurrentHotkeyStatus::setStatus(const HotkeysSettings::Status& status) {
    const QColor tint = color(status.tone);
    setFill(ThemeColors::withAlpha(tint, 0.1));
    setBorder(ThemeColors::withAlpha(tint, 0.3), 1);
    icon_->setPixmap(SymbolIcon::pixmap(status.icon, 16, tint, devicePixelRatioF()));
    text_->setText(QString::fromStdString(status.text));
    QPalette palette = text_->palette();
    palette.setColor(QPalette::WindowText, tint);
    text_->setPalette(palette);
    note_->setText(status.permissionNote ? QString::fromUtf8(status.permissionNote) : QString());
    note_->setVisible(status.permissionNote != nullptr);
    setAccessibleName(QString::fromUtf8(HotkeysSettings::statusLabel));
    setAccessibleDescription(text_->text());
}

}  // namespace parloquin
