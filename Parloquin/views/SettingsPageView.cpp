#include "Parloquin/views/SettingsPageView.h"

#include <QVBoxLayout>

#include "Parloquin/views/PageHeaderView.h"

namespace parloquin {

SettingsPageView::SettingsPageView(const QString& title, const QString& subtitle, QWidget* parent)
    : QScrollArea(parent), content_(new QWidget(this)) {
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    sections_ = column(content_, spacing);
    sections_->setContentsMargins(padding, padding, padding, padding);
    sections_->addWidget(new PageHeaderView(title, subtitle, content_));
    sections_->addStretch(1);
    setWidget(content_);
    // The scroll area's own background would hide the page's.
    content_->setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
}

QVBoxLayout* SettingsPageView::column(QWidget* widget, int spacing) {
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

void SettingsPageView::addSection(QWidget* section) { sections_->insertWidget(sections_->count() - 1, section); }

}  // namespace parloquin
