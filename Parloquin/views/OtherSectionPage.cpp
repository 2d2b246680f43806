#include "Parloquin/views/OtherSectionPage.h"

#include "Parloquin/views/PlaceholderPageView.h"

namespace parloquin {

QWidget* OtherSectionPage::make(const PageContext&) {
    return new PlaceholderPageView(SidebarSection::other);
}

}  // namespace parloquin
