#pragma once

namespace platform {

// The two grants that global keyboard access needs.
class PermissionProbe {
public:
    virtual ~PermissionProbe() = default;
    // Synthetic input and control of other applications. With prompt, the desktop may ask the user
    // (this desktop has no such prompt; the answer is the same).
    virtual bool isAccessibilityTrusted(bool prompt) = 0;
    // Watching keys of the whole session.
    virtual bool canMonitorInput() = 0;
};

}  // namespace platform
