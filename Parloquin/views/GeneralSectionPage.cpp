#include "Parloquin/views/GeneralSectionPage.h"

#include "Parloquin/views/GeneralSettingsView.h"

namespace parloquin {

QWidget* GeneralSectionPage::make(const PageContext& context) {
    return new GeneralSettingsView(context);
}

}  // namespace parloquin
