#include "Parloquin/views/ContentAreaView.h"

#include <QVBoxLayout>

#include "Parloquin/views/AudioSectionPage.h"
#include "Parloquin/views/FileSectionPage.h"
#include "Parloquin/views/GeneralSectionPage.h"
#include "Parloquin/views/HistorySectionPage.h"
#include "Parloquin/views/HotkeysSectionPage.h"
#include "Parloquin/views/OtherSectionPage.h"
#include "Parloquin/views/StatisticsSectionPage.h"
#include "Parloquin/views/ThemeColors.h"

namespace parloquin {

ContentAreaView::ContentAreaView(PageContext context, SidebarSection section, QWidget* parent)
    : QWidget(parent), context_(std::move(context)), section_(section) {
    setObjectName(QStringLiteral("ContentArea"));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, ThemeColors::shared().controlBackgroundColor);
    setPalette(palette);
    setAutoFillBackground(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    showPage();
}

QWidget* ContentAreaView::makePage(SidebarSection section, const PageContext& context) {
    switch (section) {
        case SidebarSection::general: return GeneralSectionPage::make(context);
        case SidebarSection::file: return FileSectionPage::make(context);
        case SidebarSection::hotkeys: return HotkeysSectionPage::make(context);
        case SidebarSection::audio: return AudioSectionPage::make(context);
        case SidebarSection::statistics: return StatisticsSectionPage::make(context);
        case SidebarSection::history: return HistorySectionPage::make(context);
        case SidebarSection::other: return OtherSectionPage::make(context);
    }
    return nullptr;
}

void ContentAreaView::setSection(SidebarSection section) {
    if (section == section_ && page_) return;
    section_ = section;
    showPage();
}

void ContentAreaView::showPage() {
    // The old page may be the one whose event brought us here: it goes once that event is done.
    if (page_) {
        layout()->removeWidget(page_);
        page_->hide();
        page_->deleteLater();
    }
    page_ = makePage(section_, context_);
    if (!page_) return;
    const auto title = rawValue(section_);
    page_->setAccessibleName(QString::fromUtf8(title.data(), qsizetype(title.size())));
    layout()->addWidget(page_);
}

}  // namespace parloquin
