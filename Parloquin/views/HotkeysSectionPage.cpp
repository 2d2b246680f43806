#include "Parloquin/views/HotkeysSectionPage.h"

#include "Parloquin/views/PlaceholderPageView.h"

namespace parloquin {

QWidget* HotkeysSectionPage::make(const PageContext&) {
    return new PlaceholderPageView(SidebarSection::hotkeys);
}

}  // namespace parloquin
