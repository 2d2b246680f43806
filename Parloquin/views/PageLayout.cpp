#include "Parloquin/views/PageLayout.h"

#include <QScrollArea>
#include <QVBoxLayout>

namespace parloquin {

QVBoxLayout* PageLayout::column(QWidget* widget, int spacing) {
    auto* layout = new QVBoxLayout(widget);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(spacing);
    return layout;
}

QVBoxLayout* PageLayout::scrollingPage(QScrollArea* area, const QString& name, int spacing) {
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* content = new QWidget(area);
    content->setObjectName(name);
    QVBoxLayout* page = column(content, spacing);
    page->setContentsMargins(padding, padding, padding, padding);
    area->setWidget(content);
    // The scroll area's own background would hide the page's.
    content->setAutoFillBackground(false);
    area->viewport()->setAutoFillBackground(false);
    return page;
}

}  // namespace parloquin
