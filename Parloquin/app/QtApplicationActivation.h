#pragma once

#include "Parloquin/hotkeys/ApplicationActivation.h"

namespace parloquin {

// The application's standing on an X11 desktop, which shows no icon for the application itself:
// a regular application has its windows listed in the task bar and window switcher, an accessory
// one keeps them out of both (platform::TaskbarListing). Activation raises and focuses the
// application's visible windows.
class QtApplicationActivation : public ApplicationActivation {
public:
    ActivationPolicy activationPolicy() const override { return policy_; }
    void setActivationPolicy(ActivationPolicy policy) override;
    void activateIgnoringOtherApps() override;
    // Normal windows and dialogs only: the overlay, the floating button and menus do not count.
    bool hasVisibleTitledWindow() const override;

private:
    ActivationPolicy policy_ = ActivationPolicy::accessory;
};

}  // namespace parloquin
