#include "Parloquin/views/PlaceholderPageView.h"

#include <QVBoxLayout>

#include "Parloquin/views/PageHeaderView.h"

namespace parloquin {

PlaceholderPageView::PlaceholderPageView(SidebarSection section, QWidget* parent) : QWidget(parent) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 32, 32, 32);
    const QString title = QString::fromUtf8(rawValue(section).data(), qsizetype(rawValue(section).size()));
    layout->addWidget(new PageHeaderView(title.toUpper(), QString(), this));
    layout->addStretch(1);
}

}  // namespace parloquin
