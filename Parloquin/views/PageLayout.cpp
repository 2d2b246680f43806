#include "Parloquin/views/PageLayout.h"

#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

#include "Parloquin/views/SecondaryText.h"
#include "Parloquin/views/TextStyle.h"

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

QWidget* PageLayout::sectionHeader(const char* title, const char* explanation, QWidget* parent) {
    auto* header = new QWidget(parent);
    auto* layout = column(header, 4);
    auto* heading = new QLabel(QString::fromUtf8(title), header);
    heading->setFont(TextStyle::headline());
    layout->addWidget(heading);
    if (explanation)
        layout->addWidget(SecondaryText::label(QString::fromUtf8(explanation), TextStyle::caption(), header));
    return header;
}

QWidget* PageLayout::section(const char* title, const char* explanation, int spacing, QWidget* parent) {
    auto* section = new QWidget(parent);
    column(section, spacing)->addWidget(sectionHeader(title, explanation, section));
    return section;
}

}  // namespace parloquin
