#pragma once

namespace parloquin {

enum class ActivationPolicy { regular = 0, accessory = 1 };

// The application's standing on the desktop: a regular application with windows in the task bar,
// or an accessory that lives in the tray.
class ApplicationActivation {
public:
    virtual ~ApplicationActivation() = default;
    virtual ActivationPolicy activationPolicy() const = 0;
    virtual void setActivationPolicy(ActivationPolicy policy) = 0;
    virtual void activateIgnoringOtherApps() = 0;
    // Any of the application's windows is visible and has a non-empty title.
    virtual bool hasVisibleTitledWindow() const = 0;
};

}  // namespace parloquin
