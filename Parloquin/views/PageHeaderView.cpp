#include "Parloquin/views/PageHeaderView.h"

#include <QLabel>
#include <QVBoxLayout>

#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/TextStyle.h"

namespace parloquin {

PageHeaderView::PageHeaderView(const QString& title, const QString& subtitle, QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("PageHeader"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    title_ = new QLabel(title, this);
    title_->setFont(TextStyle::title());
    title_->setAccessibleName(title);
    layout->addWidget(title_);
    if (!subtitle.isEmpty()) {
        subtitle_ = SecondaryText::label(subtitle, TextStyle::body(), this);
        layout->addWidget(subtitle_);
    }
}

}  // namespace parloquin
