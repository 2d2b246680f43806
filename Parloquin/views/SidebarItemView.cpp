#include "Parloquin/views/SidebarItemView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStringList>
#include <QVBoxLayout>
#include <algorithm>

#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/SymbolIcon.h"
#include "Parloquin/views/TextStyle.h"
#include "Parloquin/views/ThemeColors.h"

namespace parloquin {
namespace {

QString qstring(std::string_view text) { return QString::fromUtf8(text.data(), qsizetype(text.size())); }

constexpr int kTextSpacing = 2;

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
    texts->setSpacing(kTextSpacing);
    title_ = new QLabel(qstring(rawValue(section)).toUpper(), this);
    QFont titleFont = TextStyle::body();
    titleFont.setWeight(QFont::Medium);
    title_->setFont(titleFont);
    subtitle_ = SecondaryText::label(fullSubtitle_, TextStyle::caption2(), this);
    // Broken into lines here, so that the label never asks for a width of its own.
    subtitle_->setWordWrap(false);
    subtitle_->setMinimumWidth(1);
    subtitle_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    texts->addStretch(1);
    texts->addWidget(title_);
    texts->addWidget(subtitle_);
    texts->addStretch(1);
    row->addLayout(texts, 1);
}

QSize SidebarItemView::sizeHint() const {
    const QMargins margins = layout()->contentsMargins();
    const int texts =
        title_->sizeHint().height() + kTextSpacing + subtitleLines * subtitle_->fontMetrics().lineSpacing();
    return {QWidget::sizeHint().width(), margins.top() + std::max(texts, icon_->height()) + margins.bottom()};
}

// Lines are broken at spaces only ("Mikrofon-Test" stays whole); a word too long for a line of
// its own is cut short.
QString SidebarItemView::wrapped(const QString& text, const QFont& font, int width) {
    const QFontMetrics metrics(font);
    const QStringList words = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList lines;
    qsizetype next = 0;
    while (next < words.size() && lines.size() < subtitleLines - 1) {
        QString line = words[next++];
        while (next < words.size() && metrics.horizontalAdvance(line + QLatin1Char(' ') + words[next]) <= width)
            line += QLatin1Char(' ') + words[next++];
        lines << metrics.elidedText(line, Qt::ElideRight, width);
    }
    if (next < words.size()) lines << metrics.elidedText(words.mid(next).join(QLatin1Char(' ')), Qt::ElideRight, width);
    return lines.join(QLatin1Char('\n'));
}

void SidebarItemView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    wrapSubtitle();
}

void SidebarItemView::wrapSubtitle() {
    const QString shown = wrapped(fullSubtitle_, subtitle_->font(), subtitle_->width());
    if (shown != subtitle_->text()) subtitle_->setText(shown);
    const bool cut = shown.count(QChar(0x2026)) > fullSubtitle_.count(QChar(0x2026));
    subtitle_->setToolTip(cut ? fullSubtitle_ : QString());
}

}  // namespace parloquin
