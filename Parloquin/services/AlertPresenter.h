#pragma once

#include <string>
#include <vector>

namespace parloquin {

enum class AlertStyle { warning = 0, informational = 1, critical = 2 };

// A modal alert: a message, an informative text and its buttons, first button first.
struct Alert {
    AlertStyle style = AlertStyle::warning;
    std::string messageText;
    std::string informativeText;
    std::vector<std::string> buttons;
    // A question whose first button destroys something (deletes, clears, resets): Return and
    // Escape both answer the last button, the one that keeps everything.
    bool destructive = false;
};

// The response for the first button; the n-th button answers alertFirstButtonReturn + n.
inline constexpr int alertFirstButtonReturn = 1000;

// Shows modal alerts. Callers run it from the main loop, never inside a system callback.
class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    virtual int runModal(const Alert& alert) = 0;
};

}  // namespace parloquin
