#include "Parloquin/views/SidebarItemView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/SymbolIcon.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"

namespace parloquin {
namespace {

QString qstring(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

}  // namespace

SidebarItemView::SidebarItemView(SidebarSection section, QWidget* parent)
    : QWidget(parent), section_(section), fullSubtitle_(qstring(subtitle(section))) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(8, 4, 8, 4);
    row->setSpacing(12);

    icon_ = new QLabel(this);
    icon_->setFixedSize(24, 24);
    icon_->setAlignment(Qt::AlignCenter);
    icon_->setPixmap(SymbolIcon::pixmap(iconName(section), 16, ThemeColors::shared().primary, devicePixelRatioF()));
    row->addWidget(icon_, 0, Qt::AlignVCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    title_ = new QLabel(qstring(rawValue(section)).toUpper(), this);
    QFont titleFont = TextStyle::body();
    titleFont.setWeight(QFont::Medium);
    title_->setFont(titleFont);
    subtitle_ = SecondaryText::label(fullSubtitle_, TextStyle::caption2(), this);
    subtitle_->setWordWrap(false);
    subtitle_->setMinimumWidth(1);
    subtitle_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    texts->addWidget(title_);
    texts->addWidget(subtitle_);
    row->addLayout(texts, 1);
}

void SidebarItemView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    elideSubtitle();
}

void SidebarItemView::elideSubtitle() {
    const QString shown = subtitle_->fontMetrics().elidedText(fullSubtitle_, Qt::ElideRight, subtitle_->width());
    if (shown != subtitle_->text()) subtitle_->setText(shown);
    subtitle_->setToolTip(shown == fullSubtitle_ ? QString() : fullSubtitle_);
}

}  // namespace parloquin
