#pragma once

#include "Parloquin/hotkeys/ApplicationActivation.h"

namespace parloquin {

// The application's standing on an X11 desktop. A tray application has no dock icon to show or
// hide: the task bar lists each visible top-level window by itself, whatever the policy. So the
// policy is only remembered here, for those that ask and restore it; activation raises and focuses
// the application's visible windows.
class QtApplicationActivation : public ApplicationActivation {
public:
    ActivationPolicy activationPolicy() const override { return policy_; }
    void setActivationPolicy(ActivationPolicy policy) override { policy_ = policy; }
    void activateIgnoringOtherApps() override;
    // Normal windows and dialogs only: the overlay, the floating button and menus do not count.
    bool hasVisibleTitledWindow() const override;

private:
    ActivationPolicy policy_ = ActivationPolicy::accessory;
};

}  // namespace parloquin
