#include "Parloquin/views/HistorySectionPage.h"

#include "Parloquin/views/PlaceholderPageView.h"

namespace parloquin {

QWidget* HistorySectionPage::make(const PageContext&) {
    return new PlaceholderPageView(SidebarSection::history);
}

}  // namespace parloquin
