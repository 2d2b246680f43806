#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {

enum UNAuthorizationOptions : unsigned {
    UNAuthorizationOptionBadge = 1u << 0,
    UNAuthorizationOptionSound = 1u << 1,
    UNAuthorizationOptionAlert = 1u << 2,
};

struct UNNotificationContent {
    std::string title;
    std::string body;
    bool playsDefaultSound = false;
};

// A notification to deliver now.
struct UNNotificationRequest {
    std::string identifier;
    UNNotificationContent content;
};

// The desktop's notifications. Main thread only; completions run later on the main loop.
class UNUserNotificationCenter {
public:
    using AuthorizationCompletion = std::function<void(bool granted)>;
    // Nothing on delivery, else what went wrong.
    using DeliveryCompletion = std::function<void(std::optional<std::string> error)>;

    virtual ~UNUserNotificationCenter() = default;

    // Whether notifications can be shown.
    virtual void requestAuthorization(unsigned options, AuthorizationCompletion completion) = 0;
    virtual void add(const UNNotificationRequest& request, DeliveryCompletion completion = {}) = 0;

    // The notification service of the desktop session (org.freedesktop.Notifications on the
    // session bus), posting as "Parloquin".
    static std::shared_ptr<UNUserNotificationCenter> current();
};

}  // namespace platform
