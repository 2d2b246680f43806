#include "Parloquin/views/HotkeysSectionPage.h"

#include "Parloquin/views/HotkeysSettingsView.h"

namespace parloquin {

QWidget* HotkeysSectionPage::make(const PageContext& context) { return new HotkeysSettingsView(context); }

}  // namespace parloquin
