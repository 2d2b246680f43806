#pragma once

#include <optional>
#include <string>

namespace platform {

// Whether the X server that DISPLAY names can be reached, asked before anything that needs one
// (Qt's X11 platform stops the program when it finds none).
class X11DisplayCheck {
public:
    X11DisplayCheck() = delete;

    // Nothing when the display opens; otherwise one line that says what the program needs.
    static std::optional<std::string> problem(const std::string& programName);
};

}  // namespace platform
