#include "Parloquin/views/AudioSectionPage.h"

#include "Parloquin/views/PlaceholderPageView.h"

namespace parloquin {

QWidget* AudioSectionPage::make(const PageContext&) {
    return new PlaceholderPageView(SidebarSection::audio);
}

}  // namespace parloquin
