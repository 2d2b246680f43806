#include "Parloquin/views/StatisticsSectionPage.h"

#include "Parloquin/views/PlaceholderPageView.h"
#include "Parloquin/views/StatisticsView.h"

namespace parloquin {

QWidget* StatisticsSectionPage::make(const PageContext& context) {
    if (!context.statisticsManager) return new PlaceholderPageView(SidebarSection::statistics);
    return new StatisticsView(*context.statisticsManager, context);
}

}  // namespace parloquin
