#pragma once

#include "Parloquin/views/RoundedPanel.h"

namespace parloquin {

class PlainButton;
class SettingBinding;

// The orange banner of the history and statistics pages while the privacy mode is on: what it
// means for the page, and a button that switches the mode off. It shows and hides itself with
// the setting, wherever that is changed.
class PrivacyBannerView : public RoundedPanel {
public:
    // The binding is that of "privacyModeEnabled".
    PrivacyBannerView(const QString& note, SettingBinding* privacyMode, QWidget* parent = nullptr);

    PlainButton* disableButton() const { return disable_; }

private:
    PlainButton* disable_;
};

}  // namespace parloquin
