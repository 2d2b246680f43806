#include "Parloquin/views/MetricCardView.h"

#include <QLabel>
#include <QVBoxLayout>

#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/SymbolView.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"

namespace parloquin {

QColor MetricCardView::color(MetricCard::Tint tint) {
    const ThemeColors& colors = ThemeColors::shared();
    switch (tint) {
        case MetricCard::Tint::blue: return colors.blue;
        case MetricCard::Tint::green: return colors.green;
        case MetricCard::Tint::purple: return colors.purple;
        case MetricCard::Tint::orange: return colors.orange;
        case MetricCard::Tint::cyan: return colors.cyan;
        case MetricCard::Tint::indigo: return colors.indigo;
        case MetricCard::Tint::gray: return colors.gray;
    }
    return colors.secondary;
}

MetricCardView::MetricCardView(const MetricCard& card, QWidget* parent)
    : RoundedPanel(QColor(), 12, parent), card_(card) {
    QColor fill = ThemeColors::shared().secondary;
    fill.setAlphaF(0.05f);
    setFill(fill);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    setMinimumWidth(10);
    const QString title = QString::fromStdString(card_.title);
    setAccessibleName(title);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(12);
    auto* icon = new SymbolView(card_.icon, 20, color(card_.color), this);
    icon->setAccessibleName(title);
    column->addWidget(icon, 0, Qt::AlignLeft);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(4);
    value_ = new QLabel(QString::fromStdString(card_.value), this);
    value_->setFont(TextStyle::sized(28, QFont::Bold));
    texts->addWidget(value_);
    auto* titleLabel = SecondaryText::label(title, TextStyle::caption(), this);
    titleLabel->setWordWrap(false);
    texts->addWidget(titleLabel);
    if (card_.subtitle) {
        auto* subtitle = SecondaryText::label(QString::fromStdString(*card_.subtitle), TextStyle::sized(10), this);
        QPalette palette = subtitle->palette();
        palette.setColor(QPalette::WindowText, ThemeColors::withOpacity(ThemeColors::shared().secondary, 0.7));
        subtitle->setPalette(palette);
        texts->addWidget(subtitle);
    }
    column->addLayout(texts);
    column->addStretch(1);
}

}  // namespace parloquin
