#include "Parloquin/views/HistorySectionPage.h"

#include "Parloquin/views/HistoryView.h"
#include "Parloquin/views/PlaceholderPageView.h"

namespace parloquin {

QWidget* HistorySectionPage::make(const PageContext& context) {
    if (!context.historyManager) return new PlaceholderPageView(SidebarSection::history);
    return new HistoryView(*context.historyManager, context);
}

}  // namespace parloquin
