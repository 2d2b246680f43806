#include "Parloquin/views/FileSectionPage.h"

#include "Parloquin/views/PlaceholderPageView.h"

namespace parloquin {

QWidget* FileSectionPage::make(const PageContext&) {
    return new PlaceholderPageView(SidebarSection::file);
}

}  // namespace parloquin
