#include "Parloquin/views/OtherSectionPage.h"

#include "Parloquin/views/OtherSettingsView.h"

namespace parloquin {

QWidget* OtherSectionPage::make(const PageContext& context) { return new OtherSettingsView(context); }

}  // namespace parloquin
