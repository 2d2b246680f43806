#include "Parloquin/views/StatisticsSectionPage.h"

#include "Parloquin/views/PlaceholderPageView.h"

namespace parloquin {

QWidget* StatisticsSectionPage::make(const PageContext&) {
    return new PlaceholderPageView(SidebarSection::statistics);
}

}  // namespace parloquin
