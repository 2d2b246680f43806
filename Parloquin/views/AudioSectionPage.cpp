#include "Parloquin/views/AudioSectionPage.h"

#include "Parloquin/views/AudioSettingsView.h"

namespace parloquin {

QWidget* AudioSectionPage::make(const PageContext& context) { return new AudioSettingsView(context); }

}  // namespace parloquin
